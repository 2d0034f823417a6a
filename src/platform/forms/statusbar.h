#pragma once
// The status bar, a Qt widget control (widgetcontrol.h) aligned to the bottom: panels of
// given widths with a text each (the last one takes what is left), or one simple text.

#include "platform/forms/widgetcontrol.h"

#include <memory>
#include <vector>

namespace platform {

class TStatusBar;

struct TStatusPanel {
    std::string Text;
    int Width = 50;
};

class TStatusBar : public TWidgetControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    ~TStatusBar() override;

    std::string_view ClassName() const override { return "TStatusBar"; }

    // The panels; after changing their fields call UpdatePanels (SetPanelText does).
    int PanelCount() const { return int(panels_.size()); }
    TStatusPanel& Panels(int i) { return panels_.at(std::size_t(i)); }
    TStatusPanel& AddPanel();
    void ClearPanels();
    void SetPanelText(int i, const std::string& text);

    bool GetSimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool v);
    TProperty<TStatusBar, bool, &TStatusBar::GetSimplePanel, &TStatusBar::SetSimplePanel>
        SimplePanel{this};
    const std::string& GetSimpleText() const { return simpleText_; }
    void SetSimpleText(const std::string& v);
    TProperty<TStatusBar, std::string, &TStatusBar::GetSimpleText, &TStatusBar::SetSimpleText>
        SimpleText{this};

    void UpdatePanels();

protected:
    void BoundsChanged() override;
    QWidget* CreateWidget() override;
    LRESULT DialogCode() const override { return 0; }

private:
    std::vector<TStatusPanel> panels_;
    bool simplePanel_ = false;
    std::string simpleText_;
};

} // namespace platform
