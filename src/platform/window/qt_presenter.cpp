#include "platform/window/qt_presenter.h"

#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/qt_hotkeys.h"
#include "platform/window/wndobj.h"

#include <QBitmap>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace platform {
namespace {

UINT ClassStyle(HWND h) {
    Wnd* w = W(h);
    return w && w->cls ? w->cls->style : 0;
}

MouseButton ButtonOf(Qt::MouseButton b, bool* known) {
    *known = true;
    switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: *known = false; return MouseButton::Left;
    }
}

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

QtPresenter* g_presenter = nullptr;

// The offscreen platform has no stacking order (and says so for every raise).
bool Stacks() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }

} // namespace

Qt::WindowFlags WindowFlagsFor(DWORD style, DWORD exStyle, UINT classStyle) {
    Qt::WindowFlags f = Qt::FramelessWindowHint;
    const bool popup = (style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION;
    if (exStyle & WS_EX_NOACTIVATE)
        f |= Qt::Tool | Qt::WindowDoesNotAcceptFocus;
    else if (popup && (classStyle & CS_SAVEBITS))
        f |= Qt::ToolTip;  // lists and menus: no activation, no grab (the model handles clicks)
    else if (exStyle & WS_EX_TOOLWINDOW)
        f |= Qt::Tool;
    else
        f |= Qt::Window;
    if (exStyle & WS_EX_TOPMOST) f |= Qt::WindowStaysOnTopHint;
    return f;
}

bool ShowsWithoutActivating(DWORD style, DWORD exStyle, UINT classStyle) {
    Qt::WindowFlags f = WindowFlagsFor(style, exStyle, classStyle);
    return (f & Qt::WindowDoesNotAcceptFocus) || (f & Qt::WindowType_Mask) == Qt::ToolTip;
}

QFont StandardControlFont() {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(11);  // 8 pt at 96 dpi
    f.setStyleHint(QFont::SansSerif);
    return f;
}

// --- QtWindow ---

QtWindow::QtWindow(HWND h, Qt::WindowFlags flags) : QWidget(nullptr, flags), h_(h) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setAcceptDrops(true);
    const bool quiet = ShowsWithoutActivating(GetWindowStyle(h), DWORD(GetWindowLongPtr(h, GWL_EXSTYLE)),
                                              ClassStyle(h));
    setAttribute(Qt::WA_ShowWithoutActivating, quiet);
    setFocusPolicy(quiet ? Qt::NoFocus : Qt::StrongFocus);
    setWindowTitle(QString::fromStdString(GetWindowText(h)));
}

TPoint QtWindow::ScreenPoint(QPointF local) const {
    TRect r;
    GetWindowRect(h_, &r);
    return {r.Left + int(std::floor(local.x())), r.Top + int(std::floor(local.y()))};
}

bool QtWindow::event(QEvent* e) {
    // Tab and Backtab belong to the model's focus handling, not to Qt's.
    if (e->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(e));
        return true;
    }
    return QWidget::event(e);
}

void QtWindow::paintEvent(QPaintEvent* e) {
    ++paints_;
    std::shared_ptr<Surface> s = GetWindowSurface(h_);
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!s || s->width <= 0 || s->height <= 0) {
        p.fillRect(e->rect(), Qt::black);
        return;
    }
    // The surface as an image without a copy: 0xFFRRGGBB rows are Qt's RGB32.
    const QImage image(reinterpret_cast<const uchar*>(s->pixels.data()), s->width, s->height,
                       s->Stride(), QImage::Format_RGB32);
    if (!s->top) {
        for (const QRect& r : e->region()) p.drawImage(r, image, r);
        return;
    }
    // Turned rows (a scroll): the rows above `split` are stored top rows lower, the rest from
    // the first stored row on.
    const int split = s->height - s->top;
    const QRect upper(0, 0, s->width, split), lower(0, split, s->width, s->top);
    for (const QRect& r : e->region()) {
        if (QRect a = r.intersected(upper); !a.isEmpty())
            p.drawImage(a, image, a.translated(0, s->top));
        if (QRect b = r.intersected(lower); !b.isEmpty())
            p.drawImage(b, image, b.translated(0, -split));
    }
}

void QtWindow::Press(QMouseEvent* e) {
    bool known;
    MouseButton b = ButtonOf(e->button(), &known);
    if (!known) return;
    if (ShowsWithoutActivating(GetWindowStyle(h_), DWORD(GetWindowLongPtr(h_, GWL_EXSTYLE)),
                               ClassStyle(h_))) {
        // A tool window or list raises on a click; the keyboard stays with its owner.
        if (Stacks()) raise();
        if (g_presenter) {
            HWND owner = GetAncestor(h_, GA_ROOTOWNER);
            if (QtWindow* o = g_presenter->Widget(owner); o && o != this && !o->isActiveWindow())
                o->activateWindow();
        }
    }
    TPoint p = ScreenPoint(e->position());
    RouteMouseButton(b, true, p.X, p.Y);
}

void QtWindow::mousePressEvent(QMouseEvent* e) { Press(e); }

// The model detects double-clicks on its own clock.
void QtWindow::mouseDoubleClickEvent(QMouseEvent* e) { Press(e); }

void QtWindow::mouseReleaseEvent(QMouseEvent* e) {
    bool known;
    MouseButton b = ButtonOf(e->button(), &known);
    if (!known) return;
    TPoint p = ScreenPoint(e->position());
    RouteMouseButton(b, false, p.X, p.Y);
}

void QtWindow::mouseMoveEvent(QMouseEvent* e) {
    TPoint p = ScreenPoint(e->position());
    RouteMouseMove(p.X, p.Y);
}

void QtWindow::wheelEvent(QWheelEvent* e) {
    TPoint p = ScreenPoint(e->position());
    QPoint d = e->angleDelta();  // eighths of a degree: 120 a notch, as WHEEL_DELTA
    if (d.y()) RouteWheel(d.y(), p.X, p.Y, false);
    if (d.x()) RouteWheel(d.x(), p.X, p.Y, true);
    e->accept();
}

void QtWindow::keyPressEvent(QKeyEvent* e) {
    bool extended = false;
    UINT vk = VirtualKeyOf(e->key(), e->modifiers(), e->nativeScanCode(), &extended);
    if (vk) RouteKey(vk, true, extended);
    const QString text = e->text();
    for (char32_t cp : text.toUcs4()) RouteChar(cp);
    e->accept();
}

void QtWindow::keyReleaseEvent(QKeyEvent* e) {
    e->accept();
    if (e->isAutoRepeat()) return;  // the model counts repeats from repeated downs
    bool extended = false;
    UINT vk = VirtualKeyOf(e->key(), e->modifiers(), e->nativeScanCode(), &extended);
    if (vk) RouteKey(vk, false, extended);
}

void QtWindow::SyncModelGeometry() {
    if (syncing || !isVisible()) return;
    TRect r;
    if (!GetWindowRect(h_, &r)) return;
    const QRect g = geometry();
    if (g.x() == r.Left && g.y() == r.Top && g.width() == r.Width() && g.height() == r.Height())
        return;
    // Moved or sized by the window system (a system move, the window manager's placement).
    syncing = true;
    SetWindowPos(h_, 0, g.x(), g.y(), g.width(), g.height(), SWP_NOZORDER | SWP_NOACTIVATE);
    syncing = false;
}

void QtWindow::moveEvent(QMoveEvent*) { SyncModelGeometry(); }

void QtWindow::resizeEvent(QResizeEvent*) { SyncModelGeometry(); }

void QtWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (ShowsWithoutActivating(GetWindowStyle(h_), DWORD(GetWindowLongPtr(h_, GWL_EXSTYLE)),
                               ClassStyle(h_)))
        return;
    if (GetActiveWindow() != h_ && IsWindowEnabled(h_)) SetActiveWindow(h_);
}

void QtWindow::closeEvent(QCloseEvent* e) {
    // The window system asks; the model decides (WM_CLOSE, its default destroys the window).
    e->ignore();
    PostMessage(h_, WM_CLOSE, 0, 0);
}

void QtWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (!LocalFiles(e->mimeData()).empty()) e->acceptProposedAction();
}

void QtWindow::dragMoveEvent(QDragMoveEvent* e) {
    if (!LocalFiles(e->mimeData()).empty()) e->acceptProposedAction();
}

void QtWindow::dropEvent(QDropEvent* e) {
    std::vector<std::string> paths = LocalFiles(e->mimeData());
    if (paths.empty()) return;
    e->acceptProposedAction();
    TPoint p = ScreenPoint(e->position());
    RouteFileDrop(p.X, p.Y, paths);
}

// --- QtPresenter ---

QtPresenter::QtPresenter() : hotKeys_(std::make_unique<QtHotKeys>()), cursor_(Qt::ArrowCursor) {
    g_presenter = this;
}

QtPresenter::~QtPresenter() {
    for (auto& [h, w] : hosts_) delete w.data();
    for (auto& [h, w] : windows_) delete w.data();
    if (g_presenter == this) g_presenter = nullptr;
}

QtWindow* QtPresenter::Widget(HWND top) const {
    auto it = windows_.find(top);
    return it == windows_.end() ? nullptr : it->second.data();
}

QWidget* QtPresenter::HostWidget(HWND host) const {
    auto it = hosts_.find(host);
    return it == hosts_.end() ? nullptr : it->second.data();
}

void QtPresenter::WindowCreated(HWND top) {
    if (Widget(top)) return;
    auto* w = new QtWindow(top, WindowFlagsFor(GetWindowStyle(top),
                                               DWORD(GetWindowLongPtr(top, GWL_EXSTYLE)),
                                               ClassStyle(top)));
    TRect r;
    GetWindowRect(top, &r);
    w->syncing = true;
    w->setGeometry(r.Left, r.Top, std::max(1, r.Width()), std::max(1, r.Height()));
    w->syncing = false;
    w->setCursor(cursor_);
    windows_[top] = w;
}

void QtPresenter::WindowDestroyed(HWND top) {
    auto it = windows_.find(top);
    if (it == windows_.end()) return;
    QPointer<QtWindow> w = it->second;
    windows_.erase(it);
    if (w) {
        w->hide();
        w->deleteLater();  // may be inside one of its own event handlers
    }
}

void QtPresenter::WindowMoved(HWND top, const TRect& r) {
    QtWindow* w = Widget(top);
    if (!w || w->syncing) return;
    w->syncing = true;
    w->setGeometry(r.Left, r.Top, std::max(1, r.Width()), std::max(1, r.Height()));
    w->syncing = false;
}

void QtPresenter::WindowShown(HWND top, bool activate) {
    QtWindow* w = Widget(top);
    if (!w) return;
    const bool quiet = ShowsWithoutActivating(GetWindowStyle(top),
                                              DWORD(GetWindowLongPtr(top, GWL_EXSTYLE)),
                                              ClassStyle(top));
    w->setAttribute(Qt::WA_ShowWithoutActivating, quiet || !activate);
    if (!w->windowHandle()) w->winId();
    HWND owner = GetWindow(top, GW_OWNER);
    if (QtWindow* o = Widget(owner); o && w->windowHandle()) {
        if (!o->windowHandle()) o->winId();
        w->windowHandle()->setTransientParent(o->windowHandle());
    }
    TRect r;
    GetWindowRect(top, &r);
    w->syncing = true;
    w->setGeometry(r.Left, r.Top, std::max(1, r.Width()), std::max(1, r.Height()));
    w->show();
    w->syncing = false;
    if (activate && !quiet) {
        if (Stacks()) w->raise();
        w->activateWindow();
    }
}

void QtPresenter::WindowHidden(HWND top) {
    if (QtWindow* w = Widget(top)) w->hide();
}

void QtPresenter::ZOrderChanged() {
    if (!Stacks()) return;
    std::vector<HWND> tops = TopLevelWindows();  // front first
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        if (QtWindow* w = Widget(*it); w && w->isVisible()) w->raise();
}

void QtPresenter::WindowActivated(HWND top) {
    QtWindow* w = Widget(top);
    if (!w || !w->isVisible() || w->isActiveWindow()) return;
    if (!ShowsWithoutActivating(GetWindowStyle(top), DWORD(GetWindowLongPtr(top, GWL_EXSTYLE)),
                                ClassStyle(top)))
        w->activateWindow();
}

void QtPresenter::SurfaceUpdated(HWND top, const TRect& r) {
    if (QtWindow* w = Widget(top)) w->update(QRect(r.Left, r.Top, r.Width(), r.Height()));
    HostsFollow(top);
}

void QtPresenter::SurfaceScrolled(HWND top, const TRect& r, int dx, int dy) {
    QtWindow* w = Widget(top);
    if (w && w->isVisible()) {
        // Qt moves what its store holds of the block (on X11 inside the server) and repaints
        // from the surface whatever of it is not painted yet, and the rest of the area.
        const QRect to(r.Left, r.Top, r.Width(), r.Height());
        w->scroll(dx, dy, to.united(to.translated(-dx, -dy)));
    } else if (w) {
        w->update(QRect(r.Left, r.Top, r.Width(), r.Height()));
    }
    HostsFollow(top);
}

// Native hosts follow their windows.
void QtPresenter::HostsFollow(HWND top) {
    for (auto& [host, widget] : hosts_)
        if (widget && GetAncestor(host, GA_ROOT) == top) NativeHostId(host);
}

QCursor QtPresenter::CursorFor(HCURSOR c) {
    if (const CursorImage* image = FindCursorImage(c)) {
        QImage img(QString::fromStdString(image->path));
        if (!img.isNull()) {
            // Black is transparent.
            QImage argb = img.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < argb.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
                for (int x = 0; x < argb.width(); ++x)
                    if ((row[x] & 0xFFFFFF) == 0) row[x] = 0;
            }
            return QCursor(QPixmap::fromImage(argb), image->hotSpot.X, image->hotSpot.Y);
        }
        return QCursor(Qt::ArrowCursor);
    }
    switch (c) {
    case 0: return QCursor(Qt::BlankCursor);
    case IDC_IBEAM: return QCursor(Qt::IBeamCursor);
    case IDC_WAIT: return QCursor(Qt::WaitCursor);
    case IDC_CROSS: return QCursor(Qt::CrossCursor);
    case IDC_UPARROW: return QCursor(Qt::UpArrowCursor);
    case IDC_SIZENWSE: return QCursor(Qt::SizeFDiagCursor);
    case IDC_SIZENESW: return QCursor(Qt::SizeBDiagCursor);
    case IDC_SIZEWE: return QCursor(Qt::SizeHorCursor);
    case IDC_SIZENS: return QCursor(Qt::SizeVerCursor);
    case IDC_SIZEALL: return QCursor(Qt::SizeAllCursor);
    case IDC_NO:
    case IDC_NODROP: return QCursor(Qt::ForbiddenCursor);
    case IDC_HAND: return QCursor(Qt::PointingHandCursor);
    case IDC_APPSTARTING: return QCursor(Qt::BusyCursor);
    case IDC_HELP: return QCursor(Qt::WhatsThisCursor);
    case IDC_DRAG: return QCursor(Qt::DragMoveCursor);
    default: return QCursor(Qt::ArrowCursor);
    }
}

void QtPresenter::CursorChanged(HCURSOR c) {
    cursor_ = CursorFor(c);
    for (auto& [h, w] : windows_)
        if (w) w->setCursor(cursor_);
}

void QtPresenter::CursorMoved(int x, int y) { QCursor::setPos(x, y); }

bool QtPresenter::StartSystemMove(HWND top, LRESULT hit) {
    QtWindow* w = Widget(top);
    if (!w || !w->windowHandle()) return false;
    Qt::Edges edges;
    switch (hit) {
    case HTCAPTION: break;
    case HTLEFT: edges = Qt::LeftEdge; break;
    case HTRIGHT: edges = Qt::RightEdge; break;
    case HTTOP: edges = Qt::TopEdge; break;
    case HTBOTTOM: edges = Qt::BottomEdge; break;
    case HTTOPLEFT: edges = Qt::TopEdge | Qt::LeftEdge; break;
    case HTTOPRIGHT: edges = Qt::TopEdge | Qt::RightEdge; break;
    case HTBOTTOMLEFT: edges = Qt::BottomEdge | Qt::LeftEdge; break;
    case HTBOTTOMRIGHT: edges = Qt::BottomEdge | Qt::RightEdge; break;
    default: return false;
    }
    const bool started = hit == HTCAPTION ? w->windowHandle()->startSystemMove()
                                          : w->windowHandle()->startSystemResize(edges);
    if (started) {
        // The window manager takes the pointer and we never see the release.
        QTimer::singleShot(0, [] {
            TPoint p;
            GetCursorPos(&p);
            if (GetKeyState(VK_LBUTTON) < 0 || (MouseKeyFlags() & MK_LBUTTON))
                RouteMouseButton(MouseButton::Left, false, p.X, p.Y);
        });
    }
    return started;
}

QtPresenter* CurrentQtPresenter() { return g_presenter; }

void QtPresenter::HotKeysChanged() { hotKeys_->Sync(); }

std::uintptr_t QtPresenter::NativeHostId(HWND host) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !IsWindow(host)) return 0;
    QtWindow* top = Widget(GetAncestor(host, GA_ROOT));
    if (!top) return 0;
    QPointer<QWidget>& w = hosts_[host];
    if (!w) {
        w = new QWidget(top);
        w->setAttribute(Qt::WA_NativeWindow);
        w->setAttribute(Qt::WA_DontCreateNativeAncestors, false);
    }
    const TRect r = SurfaceRect(host, true);
    w->setGeometry(r.Left, r.Top, std::max(1, r.Width()), std::max(1, r.Height()));
    w->setVisible(IsWindowVisible(host));
    return std::uintptr_t(w->winId());
}

void QtPresenter::NativeHostGone(HWND host) {
    auto it = hosts_.find(host);
    if (it == hosts_.end()) return;
    QPointer<QWidget> w = it->second;
    hosts_.erase(it);
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

} // namespace platform
