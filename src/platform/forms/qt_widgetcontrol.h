#pragma once
// The Qt side of the controls that are Qt widgets (widgetcontrol.h), for their qt_*.cpp files.

#include "platform/forms/widgetcontrol.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class QApplication;

namespace platform {

// A Qt application for widgets: the open display's, or one on the offscreen platform while no
// display is open. Held while a widget control lives.
void AcquireQtApplication();
void ReleaseQtApplication();
// The display takes the widgets' application when it opens and gives it back when it closes
// while widgets still need it.
std::unique_ptr<QApplication> TakeWidgetApplication();
void KeepWidgetApplication(std::unique_ptr<QApplication> app);

// Owns a control's widget, watches it for changes of its look and keeps it off the screen.
class QtWidgetHost : public QObject {
public:
    QtWidgetHost(TWidgetControl* control, QWidget* widget);
    ~QtWidgetHost() override;
    QWidget* widget() const { return widget_; }
    // Turns a model key message into the Qt key event the widget expects; nullptr for none.
    static std::unique_ptr<QEvent> KeyEventOf(UINT msg, WPARAM key, LPARAM l);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    TWidgetControl* control_;
    QPointer<QWidget> widget_;
};

// The Qt colour of a framework colour.
QColor QtColorOf(TColor c);

} // namespace platform
