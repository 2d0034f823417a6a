#pragma once
// The base of the standard controls that are Qt widgets.
//
// Such a control is a window of the model like any other: it takes part in the focus, the tab
// order, the z-order, clipping and the paint order, and all its input comes through the
// model's router (real input from the display and injected input in tests alike). Its Qt
// widget is never shown on screen as a widget of its own: it is the control's state and
// editing engine, and the control paints it into the model's surface (QWidget::render). Input
// reaching the control's window goes through the framework first (the key filter: OnKeyDown
// and OnKeyPress, where Key := 0 drops a key and a changed character goes on changed), then
// to the widget as Qt events. The widget needs a Qt application: the open display's, or
// without a display one on Qt's offscreen platform that lives while such controls exist.
//
// Controls of this kind are declared in Qt-free headers and implemented in qt_*.cpp files
// (qt_widgetcontrol.h gives them the widget and its helpers).

#include "platform/forms/controls.h"

#include <memory>

class QWidget;

namespace platform {

class QtWidgetHost;

class TWidgetControl : public TWinControl {
public:
    explicit TWidgetControl(TComponent* AOwner);
    ~TWidgetControl() override;

    std::string_view ClassName() const override { return "TWidgetControl"; }

    // The control's widget, made on first use.
    QWidget* Widget();

protected:
    // Makes the widget (the qt_ file of the control); called once.
    virtual QWidget* CreateWidget() = 0;
    // The widget is made: connect its signals here.
    virtual void WidgetCreated() {}
    // Hands a key or character that passed the filter to the widget (a Qt key event).
    virtual void PassKey(UINT msg, WPARAM key, LPARAM l);
    // The widget's look changed: paint it again.
    void WidgetChanged();
    // Sets the widget's colours from Color and Font.Color.
    virtual void ApplyColors();

    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void PaintWindow(HDC dc) override;
    bool EraseBackground(HDC dc) override;
    LRESULT DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
    void BoundsChanged() override;
    void EnabledChanged() override;
    void FontChanged() override;
    void CreateWnd() override;

public:
    void SetColor(TColor c) override;

private:
    friend class QtWidgetHost;
    std::unique_ptr<QtWidgetHost> host_;
};

} // namespace platform
