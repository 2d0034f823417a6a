#include "platform/forms/qt_widgetcontrol.h"

#include "platform/forms/display.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/qt_presenter.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

namespace platform {
namespace {

struct WidgetApp {
    int argc = 3;
    char arg0[8] = "tolvern";
    char arg1[10] = "-platform";
    char arg2[10] = "offscreen";
    char* argv[4] = {arg0, arg1, arg2, nullptr};
    std::unique_ptr<QApplication> app;
    int holders = 0;
};

WidgetApp& App() {
    static WidgetApp a;
    return a;
}

Qt::Key QtKeyOf(UINT vk) {
    switch (vk) {
    case VK_LEFT:
        return Qt::Key_Left;
    case VK_RIGHT:
        return Qt::Key_Right;
    case VK_UP:
        return Qt::Key_Up;
    case VK_DOWN:
        return Qt::Key_Down;
    case VK_HOME:
        return Qt::Key_Home;
    case VK_END:
        return Qt::Key_End;
    case VK_PRIOR:
        return Qt::Key_PageUp;
    case VK_NEXT:
        return Qt::Key_PageDown;
    case VK_DELETE:
        return Qt::Key_Delete;
    case VK_INSERT:
        return Qt::Key_Insert;
    default:
        if (vk >= 'A' && vk <= 'Z') return Qt::Key(Qt::Key_A + int(vk - 'A'));
        if (vk >= '0' && vk <= '9') return Qt::Key(Qt::Key_0 + int(vk - '0'));
        return Qt::Key_unknown;
    }
}

Qt::KeyboardModifiers QtModifiers(TShiftState s) {
    Qt::KeyboardModifiers m;
    if (s & ssShift) m |= Qt::ShiftModifier;
    if (s & ssCtrl) m |= Qt::ControlModifier;
    if (s & ssAlt) m |= Qt::AltModifier;
    return m;
}

// The deepest visible child of w under pos (w's coordinates), w itself when none.
QWidget* TargetAt(QWidget* w, QPointF pos) {
    QWidget* c = w->childAt(pos.toPoint());
    return c ? c : w;
}

// The widget that took the last press, until its release.
QPointer<QWidget> pressedWidget;

} // namespace

void AcquireQtApplication() {
    WidgetApp& a = App();
    ++a.holders;
    if (QCoreApplication::instance()) return;
    // Qt takes the arguments it knows out of the vector: set it up for every application.
    a.argc = 3;
    a.argv[0] = a.arg0;
    a.argv[1] = a.arg1;
    a.argv[2] = a.arg2;
    a.argv[3] = nullptr;
    a.app = std::make_unique<QApplication>(a.argc, a.argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(StandardControlFont());
}

void ReleaseQtApplication() {
    WidgetApp& a = App();
    if (a.holders > 0) --a.holders;
    if (a.holders == 0 && a.app && !DisplayOpen()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        a.app.reset();
    }
}

std::unique_ptr<QApplication> TakeWidgetApplication() {
    return std::move(App().app);
}

void KeepWidgetApplication(std::unique_ptr<QApplication> app) {
    WidgetApp& a = App();
    if (a.holders > 0)
        a.app = std::move(app);
    else if (app) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.reset();
    }
}

QColor QtColorOf(TColor c) {
    COLORREF r = ColorToRGB(c);
    return QColor(GetRValue(r), GetGValue(r), GetBValue(r));
}

// ---- QtWidgetHost

QtWidgetHost::QtWidgetHost(TWidgetControl* control, QWidget* widget)
    : control_(control), widget_(widget) {
    widget->setAttribute(Qt::WA_DontShowOnScreen);
    widget->setFocusPolicy(Qt::NoFocus);
    widget->installEventFilter(this);
    widget->show();
}

QtWidgetHost::~QtWidgetHost() {
    delete widget_.data();
}

bool QtWidgetHost::eventFilter(QObject* o, QEvent* e) {
    if (o == widget_) {
        switch (e->type()) {
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
            // The widget asks to be drawn again (a caret blink, a change of its own).
            control_->Invalidate();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(o, e);
}

std::unique_ptr<QEvent> QtWidgetHost::KeyEventOf(UINT msg, WPARAM key, LPARAM) {
    const TShiftState shift = KeyboardShiftState();
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
        Qt::Key k = QtKeyOf(UINT(key));
        if (k == Qt::Key_unknown) return nullptr;
        // Letters and digits type through WM_CHAR; here only with Ctrl (the editing keys).
        const bool typing = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
        if (typing && !(shift & ssCtrl)) return nullptr;
        return std::make_unique<QKeyEvent>(QEvent::KeyPress, k, QtModifiers(shift));
    }
    if (msg == WM_CHAR) {
        const char32_t ch = char32_t(key);
        if (ch == 8)
            return std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier,
                                               QStringLiteral("\b"));
        if (ch == 13)
            return std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier,
                                               QStringLiteral("\r"));
        if (ch < 32 || ch == 127) return nullptr;
        const QString text = QString::fromUcs4(&ch, 1);
        return std::make_unique<QKeyEvent>(QEvent::KeyPress, 0, QtModifiers(shift & ssShift), text);
    }
    return nullptr;
}

// ---- TWidgetControl

TWidgetControl::TWidgetControl(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    color_ = clWindow;
    cursor_ = crDefault;
}

TWidgetControl::~TWidgetControl() {
    if (host_) {
        host_.reset();
        ReleaseQtApplication();
    }
}

QWidget* TWidgetControl::Widget() {
    if (!host_) {
        AcquireQtApplication();
        QWidget* w = CreateWidget();
        w->setFont(StandardControlFont());
        host_ = std::make_unique<QtWidgetHost>(this, w);
        TRect c = ClientRect();
        w->resize(std::max(1, c.Width()), std::max(1, c.Height()));
        w->setEnabled(enabled_);
        WidgetCreated();
        ApplyColors();
    }
    return host_->widget();
}

void TWidgetControl::CreateWnd() {
    Widget();
}

void TWidgetControl::WidgetChanged() {
    Invalidate();
}

void TWidgetControl::ApplyColors() {
    QWidget* w = Widget();
    QPalette p = w->palette();
    p.setColor(QPalette::Base, QtColorOf(color_));
    p.setColor(QPalette::Window, QtColorOf(color_));
    p.setColor(QPalette::Text, QtColorOf(Font.Get().Color));
    p.setColor(QPalette::WindowText, QtColorOf(Font.Get().Color));
    // A disabled control draws greyed, as the system draws its own: grey text and marks, and
    // a field of the window colour takes the button face.
    for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, r, QtColorOf(clGrayText));
    if (ColorToRGB(color_) == ColorToRGB(clWindow))
        p.setColor(QPalette::Disabled, QPalette::Base, QtColorOf(clBtnFace));
    w->setPalette(p);
    WidgetChanged();
}

void TWidgetControl::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    ApplyColors();
}

void TWidgetControl::FontChanged() {
    TWinControl::FontChanged();
    if (!host_) return;
    const TFont& f = Font.Get();
    QFont q = StandardControlFont();
    if (f.Name != "MS Sans Serif") q.setFamily(QString::fromStdString(f.Name));
    q.setPixelSize(std::max(1, f.Height < 0 ? -f.Height : f.Height));
    q.setBold(f.Style & fsBold);
    q.setItalic(f.Style & fsItalic);
    q.setUnderline(f.Style & fsUnderline);
    host_->widget()->setFont(q);
    ApplyColors();
}

void TWidgetControl::BoundsChanged() {
    TWinControl::BoundsChanged();
    if (host_) {
        TRect c = ClientRect();
        host_->widget()->resize(std::max(1, c.Width()), std::max(1, c.Height()));
        WidgetChanged();
    }
}

void TWidgetControl::EnabledChanged() {
    TWinControl::EnabledChanged();
    if (host_) host_->widget()->setEnabled(enabled_);
}

void TWidgetControl::PassKey(UINT msg, WPARAM key, LPARAM l) {
    if (std::unique_ptr<QEvent> e = QtWidgetHost::KeyEventOf(msg, key, l)) {
        QCoreApplication::sendEvent(Widget(), e.get());
        WidgetChanged();
    }
}

LRESULT TWidgetControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR: {
        // The framework's filter first; what it leaves goes to the widget.
        HWND h = ExistingHandle();
        WPARAM passed = w;
        bool dropped = false;
        if (msg == WM_CHAR) {
            char32_t ch = char32_t(w);
            dropped = ConsumeSwallowedTab(ch) || DoKeyPress(ch);
            passed = WPARAM(ch);
        } else {
            dropped = HandleKeyDownFilter(w, &passed);
        }
        if (!dropped && IsWindow(h)) PassKey(msg, passed, l);
        return 0;
    }
    case WM_SETFOCUS: {
        LRESULT r = TWinControl::WndProc(msg, w, l);
        QFocusEvent e(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(Widget(), &e);
        WidgetChanged();
        return r;
    }
    case WM_KILLFOCUS: {
        QFocusEvent e(QEvent::FocusOut, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(Widget(), &e);
        WidgetChanged();
        return TWinControl::WndProc(msg, w, l);
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: {
        HWND h = ExistingHandle();
        LRESULT r = TWinControl::WndProc(msg, w, l);
        if (!IsWindow(h)) return r;
        const QPointF pos(std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l)));
        TPoint g = ClientToScreen({int(pos.x()), int(pos.y())});
        const QEvent::Type type = msg == WM_LBUTTONDOWN     ? QEvent::MouseButtonPress
                                  : msg == WM_LBUTTONDBLCLK ? QEvent::MouseButtonDblClick
                                  : msg == WM_LBUTTONUP     ? QEvent::MouseButtonRelease
                                                            : QEvent::MouseMove;
        const Qt::MouseButton button = msg == WM_MOUSEMOVE ? Qt::NoButton : Qt::LeftButton;
        Qt::MouseButtons buttons;
        if (w & MK_LBUTTON) buttons |= Qt::LeftButton;
        // The child under the pointer takes the event (a list's viewport, a spin box's
        // line); the one that took the press keeps the pointer until the release. A press
        // whose release another window took (a combo box's list opened by it) is forgotten at
        // the next press, and a child of another control never takes this one's events.
        const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        QWidget* pressed = pressedWidget.data();
        const bool ours = pressed && (pressed == Widget() || Widget()->isAncestorOf(pressed));
        QWidget* target = !press && ours ? pressed : TargetAt(Widget(), pos);
        if (press)
            pressedWidget = target;
        else if (type == QEvent::MouseButtonRelease)
            pressedWidget = nullptr;
        const QPointF local = target->mapFrom(Widget(), pos);
        QMouseEvent e(type, local, QPointF(g.X, g.Y), button, buttons,
                      QtModifiers(KeyboardShiftState()));
        QCoreApplication::sendEvent(target, &e);
        WidgetChanged();
        return r;
    }
    default:
        return TWinControl::WndProc(msg, w, l);
    }
}

bool TWidgetControl::EraseBackground(HDC) {
    return true; // the widget paints every pixel
}

void TWidgetControl::PaintWindow(HDC dc) {
    TRect c = ClientRect();
    if (c.Width() <= 0 || c.Height() <= 0) return;
    QWidget* w = Widget();
    if (w->size() != QSize(c.Width(), c.Height())) w->resize(c.Width(), c.Height());
    auto surface = std::make_shared<Surface>(c.Width(), c.Height(), 0xFFFFFFFFu);
    QImage image(reinterpret_cast<uchar*>(surface->pixels.data()), surface->width, surface->height,
                 surface->Stride(), QImage::Format_RGB32);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    HBITMAP bmp = CreateBitmapFromSurface(surface);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(dc, 0, 0, c.Width(), c.Height(), mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}

} // namespace platform
