// The Qt application and its event loop driving the message queue and the timers.
#include "platform/forms/display.h"

#include "platform/core/clock.h"
#include "platform/core/timers.h"
#include "platform/forms/qt_widgetcontrol.h"
#include "platform/forms/sessionbus.h"
#include "platform/menus/qt_dialogs.h"
#include "platform/window/modal.h"
#include "platform/window/paint.h"
#include "platform/window/qt_presenter.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnection>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <semaphore>
#include <thread>

namespace platform {
namespace {

// Posts and sends wake Qt through the queue's event descriptor; one Qt timer stands for the
// next core timer. Both fire in every Qt event loop, nested ones (modal forms, Qt dialogs)
// included.
class QtMessageLoop : public QObject {
public:
    QtMessageLoop() : notifier_(MessageEventFd(), QSocketNotifier::Read) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { Pump(); });
        connect(&timer_, &QTimer::timeout, this, [this] { Pump(); });
        if (auto* d = QAbstractEventDispatcher::instance())
            connect(d, &QAbstractEventDispatcher::aboutToBlock, this, [this] { Turn(); });
        Reschedule();
    }

    void Pump() {
        PumpMessages();
        Reschedule();
    }

    // Before Qt sleeps: windows invalidated by input paint, and drawing done outside a paint
    // reaches the screen.
    void Turn() {
        if (!turning_) {
            turning_ = true;
            PaintWindows();
            RunIdleHandler();
            turning_ = false;
        }
        Reschedule();
    }

    void Reschedule() {
        std::uint32_t due;
        if (!NextTimerDue(due)) {
            timer_.stop();
            return;
        }
        const auto left = std::int32_t(due - TimeGetTime());
        timer_.start(std::max<std::int32_t>(0, left));
    }

private:
    QSocketNotifier notifier_;
    QTimer timer_;
    bool turning_ = false;
};

struct DisplayState {
    int argc = 1;
    char arg0[8] = "tolvern";
    char* argv[2] = {arg0, nullptr};
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QtPresenter> presenter;
    std::unique_ptr<QtMessageLoop> loop;
    // The session bus connection's thread, started before the application is made and let go
    // once it is there (connectBus: an X11 application of our own).
    std::binary_semaphore appMade{0};
    std::atomic<bool> connectBus{false};
    std::atomic<bool> busDone{false};
    // Joined when the display closes, or by DisplayThreadsFinished once it has finished.
    std::jthread busConnection;
    Presenter* previous = nullptr;
    ModalWaitHook previousWait = nullptr;
    TDialogHooks previousDialogs;
};

DisplayState* g_display = nullptr;

void WaitInQt(std::uint32_t maxMs) {
    QTimer::singleShot(int(maxMs), [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool WantsX11() {
    const char* p = std::getenv("QT_QPA_PLATFORM");
    return !p || std::strncmp(p, "xcb", 3) == 0;
}

} // namespace

void PreferX11Platform() {
    setenv("QT_QPA_PLATFORM", "xcb", 0);
}

bool OpenDisplay(std::string* error) {
    if (g_display) return true;
    // Standard controls made before the display opened have an application already.
    std::unique_ptr<QApplication> adopted;
    if (QCoreApplication::instance()) {
        adopted = TakeWidgetApplication();
        if (!adopted || (WantsX11() && QGuiApplication::platformName() != QLatin1String("xcb"))) {
            KeepWidgetApplication(std::move(adopted));
            if (error) *error = "another Qt application object exists";
            return false;
        }
    } else if (WantsX11()) {
        // Qt would abort without a display; say why instead. A bare connection costs one
        // set-up and nothing on closing.
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const bool open = x && !xcb_connection_has_error(x);
        if (x) xcb_disconnect(x);
        if (!open) {
            const char* name = std::getenv("DISPLAY");
            if (error)
                *error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
            return false;
        }
    }
    // Settled before the program's threads started; a program that did not settle it (a test)
    // does so here, before Qt looks for the bus.
    PrepareSessionBus();
    auto* d = new DisplayState;
    // The first window shown connects Qt's accessibility bridge to the session bus, which takes
    // milliseconds: a thread of its own makes the connection while the program builds its first
    // windows, and the bridge finds it made. The thread is started first, so that it runs as soon
    // as the application is there. Without a bus that answered, nothing connects (the address
    // is one the bus library refuses at once).
    if (!adopted && SessionBusUsable())
        d->busConnection = std::jthread([d] {
            d->appMade.acquire();
            if (d->connectBus) QDBusConnection::sessionBus();
            d->busDone = true;
        });
    d->app = adopted ? std::move(adopted) : std::make_unique<QApplication>(d->argc, d->argv);
    if (d->busConnection.joinable()) {
        d->connectBus = QGuiApplication::platformName() == QLatin1String("xcb");
        d->appMade.release();
    }
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(StandardControlFont());
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect g = s->geometry();
        SetScreenGeometry(g.width(), g.height(), s->depth());
    }
    d->presenter = std::make_unique<QtPresenter>();
    d->previous = SetPresenter(d->presenter.get());
    d->previousWait = SetModalWaitHook(WaitInQt);
    // Qt's boxes and dialogs where nothing else (scripted answers) is installed.
    d->previousDialogs = SetDialogHooks({});
    SetDialogHooks(QtDialogHooks(d->previousDialogs));
    d->loop = std::make_unique<QtMessageLoop>();
    g_display = d;
    // Windows made before the display opened.
    std::vector<HWND> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        d->presenter->WindowCreated(*it);
        if (IsWindowVisible(*it)) d->presenter->WindowShown(*it, false);
    }
    d->presenter->HotKeysChanged();
    FlushSurfaces();
    return true;
}

void CloseDisplay() {
    DisplayState* d = g_display;
    if (!d) return;
    g_display = nullptr;
    SetModalWaitHook(d->previousWait);
    SetDialogHooks(std::move(d->previousDialogs));
    SetPresenter(d->previous);
    d->loop.reset();
    d->presenter.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    KeepWidgetApplication(std::move(d->app));
    delete d;
}

bool DisplayThreadsFinished() {
    DisplayState* d = g_display;
    if (!d || !d->busConnection.joinable()) return true;
    if (!d->busDone) return false;
    d->busConnection.join();
    return true;
}

bool DisplayOpen() {
    return g_display != nullptr;
}

bool DisplayIsX11() {
    return g_display && QGuiApplication::platformName() == QLatin1String("xcb");
}

int RunDisplayLoop() {
    return g_display ? QApplication::exec() : 0;
}

void ProcessDisplayEvents() {
    if (g_display) QCoreApplication::processEvents();
}

void QuitDisplayLoop(int code) {
    if (g_display) QCoreApplication::exit(code);
}

} // namespace platform
