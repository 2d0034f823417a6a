#pragma once
// The frame of the program's tool dialogs: a bar 70 pixels wide on the left holding the rotated
// title, the help text of the active page and the dialog's buttons. When the dialog shows, the
// bar takes the main window's control colours and the title grows from 2 to 16 points, 2 points
// every 10 ms. The play and stop icons start and stop the song through the main window.

#include "gui/rotatelabel.h"
#include "platform/core/timers.h"
#include "platform/forms/buttons.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/forms/label.h"

#include <string>

class TToolDialog : public platform::TForm {
public:
    TToolDialog(platform::TComponent* AOwner, const std::string& Title);
    std::string_view ClassName() const override { return "TToolDialog"; }

    platform::TPanel* panelLeftBar = nullptr;
    TRotateLabel* labelTitle = nullptr;
    platform::TLabel* labelHelp = nullptr;
    // Made by the dialogs that have them (AddButton, AddTransportIcons).
    platform::TButton* btnOk = nullptr;
    platform::TButton* btnCancel = nullptr;
    platform::TButton* btnClose = nullptr;
    platform::TSpeedButton* btnPlay = nullptr;
    platform::TSpeedButton* btnStop = nullptr;
    // 10 ms while the title grows.
    platform::TTimer titleTimer;
    // A click on the title: the dialog's help topic, where it has one.
    platform::TNotifyEvent OnTitleClick;

    // The help text of the active page (word-wrapped in the bar).
    void SetHelp(const std::string& Text);
    // The bar's buttons, stacked from its bottom in the order they are added: "&OK" is the
    // default button, "&Cancel" and "&Close" the cancel one.
    platform::TButton* AddButton(const std::string& Caption, platform::TModalResult Result);
    // The play and stop icons above the buttons.
    void AddTransportIcons();
    // The icon of the song's state shows pressed, the other raised.
    void ShowTransportState();
    // The title's size in points.
    int TitleSize() const { return labelTitle->Font.Size(); }

protected:
    void DoShow() override;
    void DoHide() override;
    // The controls of the dialog's own area start here.
    static constexpr int kBarWidth = 70;

private:
    void PlaceBarControls();
    int buttons_ = 0;
};

// The play and stop glyphs (16 x 16, transparent corners) the tool dialogs and the sync dialog
// share.
void DrawPlayGlyph(platform::TBitmap& Glyph);
void DrawStopGlyph(platform::TBitmap& Glyph);
