#pragma once
// The Qt half of the window layer: top-level windows of the model as Qt widgets that show the
// retained surfaces, and Qt's input turned into the model's router. Only the GUI platform
// layers and their tests include this header.

#include "platform/window/window.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>

namespace platform {

class QtHotKeys;

// The Qt window flags for a top-level window of the model. Every window is frameless: the model
// draws its own frames and captions.
Qt::WindowFlags WindowFlagsFor(DWORD style, DWORD exStyle, UINT classStyle);
// Windows that must not take the activation when shown or clicked.
bool ShowsWithoutActivating(DWORD style, DWORD exStyle, UINT classStyle);

// The font of standard controls drawn by Qt: 8 points at 96 dpi as pixels, like gdi text.
QFont StandardControlFont();

// A key of Qt as a virtual key: keypad keys distinct, OEM keys by their place on the keyboard
// (X11 key codes) where the scan code is known. 0 for keys without one.
UINT VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                  bool* extended);

class QtWindow : public QWidget {
    Q_OBJECT
public:
    QtWindow(HWND h, Qt::WindowFlags flags);
    HWND Handle() const { return h_; }
    int Paints() const { return paints_; }
    bool syncing = false;  // the model moves the widget: its move events are not news

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    TPoint ScreenPoint(QPointF local) const;
    void Press(QMouseEvent* e);
    void SyncModelGeometry();

    HWND h_;
    int paints_ = 0;
};

class QtPresenter : public Presenter {
public:
    QtPresenter();
    ~QtPresenter() override;

    QtWindow* Widget(HWND top) const;
    QWidget* HostWidget(HWND host) const;
    // Cursor shown over the program's windows.
    const QCursor& Cursor() const { return cursor_; }
    static QCursor CursorFor(HCURSOR c);

    void WindowCreated(HWND top) override;
    void WindowDestroyed(HWND top) override;
    void WindowMoved(HWND top, const TRect& windowRect) override;
    void WindowShown(HWND top, bool activate) override;
    void WindowHidden(HWND top) override;
    void ZOrderChanged() override;
    void WindowActivated(HWND top) override;
    void SurfaceUpdated(HWND top, const TRect& surfaceRect) override;
    void SurfaceScrolled(HWND top, const TRect& surfaceRect, int dx, int dy) override;
    void CursorChanged(HCURSOR cursor) override;
    void CursorMoved(int x, int y) override;
    bool StartSystemMove(HWND top, LRESULT hitTest) override;
    void HotKeysChanged() override;
    std::uintptr_t NativeHostId(HWND host) override;
    void NativeHostGone(HWND host) override;

private:
    void HostsFollow(HWND top);
    std::map<HWND, QPointer<QtWindow>> windows_;
    std::map<HWND, QPointer<QWidget>> hosts_;
    std::unique_ptr<QtHotKeys> hotKeys_;
    QCursor cursor_;
};

// The presenter of the open display; nullptr when none is open.
QtPresenter* CurrentQtPresenter();

} // namespace platform
