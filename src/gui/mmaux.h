#pragma once
// A recording line of the system mixer: its name above a horizontal fader (0..127). The
// sample-part editor switches it with WM_USER, WParam 1 and LParam 1 (active) or 0; an
// inactive line greys its name and checkers the fader.

#include "gui/fader.h"

#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"

class TMMAux : public platform::TPanel {
public:
    explicit TMMAux(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TMMAux"; }

    bool GetActive() const { return active_; }
    void SetActive(bool v);
    platform::TProperty<TMMAux, bool, &TMMAux::GetActive, &TMMAux::SetActive> Active{this};

    platform::TLabel* BBB = nullptr; // the line's name
    TFader* AAA = nullptr;

    void AResize(platform::TObject* /*Sender*/) {}
    // WM_USER: WParam 1 sets Active to LParam = 1; other values are ignored.
    void Input(platform::WPARAM w, platform::LPARAM l);
    platform::LRESULT WndProc(platform::UINT msg, platform::WPARAM w, platform::LPARAM l) override;

private:
    bool active_ = true;
};
