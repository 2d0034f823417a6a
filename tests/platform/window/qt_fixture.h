#pragma once
// The window-model tests with the Qt display open (the offscreen platform unless the test
// chose another): each test opens the display and closes it at its end.

#include "platform/forms/display.h"
#include "platform/window/qt_presenter.h"
#include "window_fixture.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace forms_test {

// Runs Qt's event loop for ms of real time.
inline void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs Qt's event loop until done() holds, at most ms; returns done().
inline bool SpinUntil(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) Spin(10);
    return done();
}

class QtTest : public FormsTest {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
    }
    void TearDown() override {
        for (HWND h : TopLevelWindows()) DestroyWindow(h);
        CloseDisplay();
    }

    static QtWindow* Qw(HWND top) {
        QtPresenter* p = CurrentQtPresenter();
        return p ? p->Widget(top) : nullptr;
    }
};

} // namespace forms_test
