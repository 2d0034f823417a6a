#pragma once
// The properties dialog: sample rate and block size for audio-system drivers without a dialog of
// their own. Made at start-up; TAudio::ShowSettings fills and shows it.

#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"

class TfmAudioAbout : public platform::TForm {
public:
    explicit TfmAudioAbout(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmAudioAbout"; }

    platform::TComboBox* comboRate;
    platform::TEdit* editFrames;
    platform::TButton* Button1; // "&OK"
    platform::TButton* Button2; // "&Cancel"

    // The frames and the rate (the item of that text selected, none when no item matches).
    void Fill(int Frames, int Rate);
    // OK: the chosen rate and block size to the audio object and its plug-ins.
    void Button1Click();
};

extern TfmAudioAbout* fmAudioAbout;

// The rates offered, in list order.
inline constexpr int AboutRates[] = {22050, 24000, 44100, 48000, 96000};

// The block size an edit's text asks for: 4096 when it is not a number, at least 32.
int FramesOfText(const std::string& Text);

// TAudio::ShowSettings' dialog: filled from the audio object, shown modally; True on OK.
bool ShowAudioAbout();
