#pragma once
// The mixer: a borderless tool window that floats above the others without taking the
// activation, and shows one strip per signal path of the song (master effects, the master,
// the buses, the softsynths' outputs, the audio tracks' outputs, the disk outputs). All of it is
// one named-item canvas; the strips are not kept anywhere but rebuilt from the song whenever
// what they show changes. GUI thread only, except that the song's deferred actions post
// WM_USER (wParam 2) to it from the audio thread.

#include "platform/forms/form.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TChannel;
class TSub;
class TXGui;
class TXGuiBase;
class TXGuiButton;
class TXGuiDrag;
class TXGuiScroll;
struct TSoftOut;
class TSoftOuts;

namespace platform {
class TCanvas;
class TMenuItem;
class TPopupMenu;
} // namespace platform

// Colours of the mixer's values, wires and output texts.
inline constexpr std::uint32_t LedHighColor = 0x47B1F8; // RGB(248, 177, 71)
inline constexpr std::uint32_t LedLowColor = 0x055C96;  // RGB(150, 92, 5)

// Strip kinds an item remembers, for the handlers that act differently per strip.
enum class TStripKind : std::uint8_t { None, Softsynth, Sample, Disk };

class TfmMixer : public platform::TForm {
public:
    explicit TfmMixer(platform::TComponent* AOwner);
    ~TfmMixer() override;
    std::string_view ClassName() const override { return "TfmMixer"; }

    TXGui* Gui = nullptr;
    TXGuiScroll* TitleBar = nullptr;
    TXGuiDrag* DragItem = nullptr;
    TXGuiButton* CloseItem = nullptr;
    TXGuiBase* MenuAdd = nullptr;
    TXGuiBase* MenuView = nullptr;
    TXGuiScroll* Client = nullptr;
    TXGuiDrag* Plugs = nullptr; // only while Connections is on

    bool Connections = false;
    bool OfferInsert = false;
    TSoftOut* ClickedSlot = nullptr;
    int MaxInserts = 0;
    TXGuiBase* WaveItem = nullptr;
    std::vector<TXGuiBase*> Meters; // every "VU" item, in building order

    // The pop-up menus, and what the one being shown was opened for.
    std::unique_ptr<platform::TPopupMenu> PopupBus, PopupSynth, PopupTrack, PopupDisk, PopupInsert,
        PopupOutput, PopupAdd, PopupView;
    TChannel* MenuChannel = nullptr;
    TSub* MenuInsert = nullptr;
    TSub* MenuBus = nullptr;      // the output menu of a bus
    TSoftOut* MenuSlot = nullptr; // the output menu of a slot

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Rebuild();
    void ToggleVisible();
    // Draws the meters and the wave straight into the window (the system timer). Buffer is the
    // master block as the renderer publishes it (song/render.h MixWave), nil for none.
    void RefreshMeters(const std::atomic<float>* Buffer, int Frames);

    int StripHeight() const;
    void CountMaxInserts();
    static bool HasDiskTrack();

    // Painting (mixer_paint.cpp).
    void PaintCtrl(TXGuiBase* Item, platform::TCanvas& C, bool& Done);
    void DrawConnections(platform::TCanvas& C, int Left, int Top, int Right, int Bottom);
    void DrawFader(platform::TCanvas& C, TXGuiBase* Item);
    void PaintNameLabel(platform::TCanvas& C, TXGuiBase* Item, const std::string& Caption);
    void PaintOutputButton(platform::TCanvas& C, TXGuiBase* Item, const std::string& Text);

    // Editing (mixer_edit.cpp).
    void MouseCtrl(TXGuiBase* Item, int Button, unsigned Shift, int State);
    void BuildOutputMenu(int Limit);
    void BuildFxMenu(platform::TMenuItem* Item, void (TfmMixer::*Handler)(platform::TMenuItem*));
    void BuildMenus();
    // The Add menu's commands.
    void AddSend(platform::TMenuItem* Item);
    void AddGroup(platform::TMenuItem* Item);
    void AddMaster(platform::TMenuItem* Item);
    void AddInsert(platform::TMenuItem* Item);
    void AddVolume();
    void SetMinimised(int Which, int Value);
    void ToggleConnections();
    void ToggleChannelEditor(TChannel* Channel);

    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L) override;

protected:
    void CreateParams(TCreateParams& P) override;

private:
    void BuildFrame();
    void AddSidebar(TChannel* Channel, int& X);
    TXGuiBase* AddNameLabel(const std::string& Name, const std::string& Caption, std::intptr_t Tag,
                            int X, int Y, int W);
    void AddVuAndFader(TSoftOut& Slot, int X, int Y);
    void AddMeterAndFader(std::atomic<float>& Volume, std::atomic<float>& PeakLeft,
                          std::atomic<float>& PeakRight, std::intptr_t Tag, int X, int Y);
    TXGuiBase* AddUser(const std::string& Name, std::intptr_t Tag, int X, int Y, int W, int H);
    void AddDockedArea(TSub* Bus, int X);
    void BuildMasterStrip(int& X);
    void BuildGroupStrip(int& X);
    void BuildSoftsynthStrips(int& X);
    void BuildSampleChannelStrips(int& X);
    void BuildDiskChannelStrips(int& X);
    void BuildOutputStrip(TSoftOut& Slot, TStripKind Kind, const std::string& Name,
                          const std::string& Caption, std::intptr_t NameTag, int& X);
    void RepaintItems(const std::string& Name);
};

// The mixer; nil until it is first shown.
extern TfmMixer* fmMixer;

// Fills the main window's and the song's mixer seams (the main window's creation).
void InstallMixer();

// Every item of the mixer's canvas as text, one per line, indented by depth:
// name kind (x, y, w, h) [tag] [caption or text or pos]; for tests and diagnosis.
std::string DumpMixerItems();
