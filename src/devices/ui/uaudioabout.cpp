#include "devices/ui/uaudioabout.h"

#include "app/dialogs.h"
#include "devices/audio.h"
#include "devices/ui/setupctrls.h"
#include "platform/core/ini.h"
#include "song/timebase.h"

#include <algorithm>

using namespace platform;

TfmAudioAbout* fmAudioAbout = nullptr;

int FramesOfText(const std::string& Text) {
    return std::max(StrToIntDef(Text, 4096), MinAudioFrames);
}

TfmAudioAbout::TfmAudioAbout(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    Caption = "Properties";
    ClientWidth = 262;
    ClientHeight = 128;

    AddSetupLabel(this, "Sample rate", 16, 20);
    comboRate = new TComboBox(this);
    comboRate->Parent = this;
    comboRate->Style = csDropDownList;
    comboRate->SetBounds(120, 16, 126, 23);
    for (int rate : AboutRates)
        comboRate->Items.Add(std::to_string(rate));
    AddSetupLabel(this, "Buffer frames", 16, 52);
    editFrames = new TEdit(this);
    editFrames->Parent = this;
    editFrames->SetBounds(120, 48, 126, 23);
    editFrames->Text = "1024";

    Button1 = new TButton(this);
    Button1->Parent = this;
    Button1->Caption = "&OK";
    Button1->Default = true;
    Button1->ModalResult = mrOk;
    Button1->SetBounds(92, 90, 75, 25);
    Button1->OnClick = [this](TObject*) { Button1Click(); };
    Button2 = new TButton(this);
    Button2->Parent = this;
    Button2->Caption = "&Cancel";
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button2->SetBounds(172, 90, 75, 25);
}

void TfmAudioAbout::Fill(int Frames, int Rate) {
    editFrames->Text = std::to_string(Frames);
    comboRate->ItemIndex = comboRate->Items.IndexOf(std::to_string(Rate));
}

void TfmAudioAbout::Button1Click() {
    if (!Audio) return;
    // The plug-ins hear of the change (off, new value, on) with no block processing between.
    TRendererHold hold;
    const int i = comboRate->ItemIndex;
    if (i >= 0 && i < int(std::size(AboutRates))) Audio->SetRate(float(AboutRates[i]));
    Audio->SetFrames(FramesOfText(editFrames->Text));
}

bool ShowAudioAbout() {
    if (!Audio) return false;
    TfmAudioAbout* d = MakeForm(fmAudioAbout);
    d->Fill(Audio->Frames, Round(Audio->Rate));
    return d->ShowModal() == mrOk;
}
