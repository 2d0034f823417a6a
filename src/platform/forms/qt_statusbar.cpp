#include "platform/forms/statusbar.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QFrame>
#include <QLabel>

namespace platform {

TStatusBar::TStatusBar(TComponent* AOwner) : TWidgetControl(AOwner) {
    height_ = 19;
    color_ = clBtnFace;
    SetTabStop(false);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

QWidget* TStatusBar::CreateWidget() {
    return new QWidget;
}

TStatusPanel& TStatusBar::AddPanel() {
    panels_.emplace_back();
    UpdatePanels();
    return panels_.back();
}

void TStatusBar::ClearPanels() {
    panels_.clear();
    UpdatePanels();
}

void TStatusBar::SetPanelText(int i, const std::string& text) {
    Panels(i).Text = text;
    UpdatePanels();
}

void TStatusBar::SetSimplePanel(bool v) {
    simplePanel_ = v;
    UpdatePanels();
}

void TStatusBar::SetSimpleText(const std::string& v) {
    simpleText_ = v;
    UpdatePanels();
}

void TStatusBar::BoundsChanged() {
    TWidgetControl::BoundsChanged();
    UpdatePanels();
}

// The panels are sunken labels side by side, remade whenever something changed.
void TStatusBar::UpdatePanels() {
    QWidget* w = Widget();
    for (QLabel* l : w->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        delete l;
    const int h = w->height();
    auto add = [&](const std::string& text, int x, int width) {
        auto* l = new QLabel(QString::fromStdString(text), w);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setGeometry(x, 2, std::max(1, width - 2), std::max(1, h - 2));
        l->setIndent(2);
        l->show();
    };
    if (simplePanel_) {
        add(simpleText_, 0, w->width());
    } else {
        int x = 0;
        for (std::size_t i = 0; i < panels_.size(); ++i) {
            const bool last = i + 1 == panels_.size();
            const int width = last ? std::max(panels_[i].Width, w->width() - x) : panels_[i].Width;
            add(panels_[i].Text, x, width);
            x += width;
        }
    }
    WidgetChanged();
}

} // namespace platform
