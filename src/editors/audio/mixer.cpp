// The mixer window: its frame, the rebuild of the strips from the song, its messages and
// settings, and the seams through which the main window and the song reach it.
#include "editors/audio/mixer.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/ui/uplugeditor.h"
#include "editors/audio/mixer_items.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "platform/window/window.h"
#include "song/render.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <cstdio>
#include <sstream>

using namespace platform;

TfmMixer* fmMixer = nullptr;

namespace {

constexpr int FaderHeight = 103, RowHeight = 20, ColumnWidth = 48, SidebarWidth = 17;

bool Minimised(const TChannel* Channel) {
    return Channel && Channel->Show == 1;
}

int SendBusCount() {
    return SubEngine ? static_cast<int>(SubEngine->SendBuses.size()) : 0;
}

std::string SlotCaption(const TSoftOut& Slot, int Index) {
    if (!Slot.Name.empty()) return Slot.Name;
    char s[16];
    std::snprintf(s, sizeof s, "Ch%.2d", Index + 1);
    return s;
}

std::string PluginName(const TMFX* Plugin) {
    std::string s;
    if (Plugin) Plugin->GetName(s);
    return s;
}

} // namespace

TfmMixer::TfmMixer(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsNone;
    FormStyle = fsStayOnTop;
    Caption = "Mixer";
    OnCreate = [this](TObject*) { FormCreate(); };
    OnShow = [this](TObject*) { FormShow(); };
    OnDestroy = [this](TObject*) { FormDestroy(); };
}

TfmMixer::~TfmMixer() {
    if (fmMixer == this) fmMixer = nullptr;
    if (Gui) {
        Gui->Captured = nullptr;
        Gui->ClearItems();
    }
    delete Client;
    Client = nullptr;
    delete TitleBar;
    TitleBar = nullptr;
}

void TfmMixer::CreateParams(TCreateParams& P) {
    TForm::CreateParams(P);
    P.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    // Owned by the main window: it goes with it and hides when the program is minimised.
    if (fmMdi && fmMdi != static_cast<TForm*>(this) && fmMdi->HandleAllocated())
        P.WndParent = fmMdi->Handle();
}

void TfmMixer::BuildFrame() {
    Gui = new TXGui(this);
    Gui->Parent = this;
    Gui->BorderWidth = 3;
    Gui->SetBounds(0, 0, GetClientWidth(), GetClientHeight());
    Gui->OnPaintCtrl = [this](TXGui*, TXGuiBase* Item, TCanvas& C, bool& Done) {
        PaintCtrl(Item, C, Done);
    };
    Gui->OnMouse = [this](TXGui*, TXGuiBase* Item, TMouseButton Button, TShiftState Shift, int, int,
                          int State) {
        MouseCtrl(Item, static_cast<int>(Button), static_cast<unsigned>(Shift), State);
    };

    TitleBar = new TXGuiScroll(nullptr);
    TitleBar->Name = "titleBar";
    TitleBar->SetBounds(3, 3, Gui->InnerWidth(), 18);
    TitleBar->Scrollbar->Visible = false;
    DragItem = new TXGuiDrag(TitleBar);
    DragItem->Name = "Drag";
    DragItem->SetBounds(0, 1, Gui->GetWidth() - 6, 16);
    TitleBar->Add(DragItem);
    CloseItem = new TXGuiButton(TitleBar);
    CloseItem->Name = "Close";
    CloseItem->Caption.clear();
    CloseItem->SetBounds(0, 1, 16, 16);
    TitleBar->Add(CloseItem);
    MenuAdd = new TXGuiUser(TitleBar);
    MenuAdd->Name = "MenuAdd";
    MenuAdd->SetBounds(1, 1, 32, 16);
    TitleBar->Add(MenuAdd);
    MenuView = new TXGuiUser(TitleBar);
    MenuView->Name = "MenuView";
    MenuView->SetBounds(35, 1, 36, 16);
    TitleBar->Add(MenuView);
    Gui->Items.push_back(TitleBar);

    Client = new TXGuiScroll(nullptr);
    Client->Name = "Client";
    Client->SetBounds(3, 21, Gui->InnerWidth(), 0);
    Client->Scrollbar->Visible = false;
    Gui->Items.push_back(Client);
}

void TfmMixer::FormCreate() {
    fmMixer = this;
    Connections = false;
    Meters.clear();
    BuildFrame();
    BuildMenus();
    TIniFile ini;
    int left = ini.ReadInteger("Mixer", "Left", 338);
    int top = ini.ReadInteger("Mixer", "Top", 295);
    if (GetSystemMetrics(SM_CXSCREEN) < left) left = GetSystemMetrics(SM_CXSCREEN) - 100;
    if (GetSystemMetrics(SM_CYSCREEN) < top) top = GetSystemMetrics(SM_CYSCREEN) - 100;
    SetBounds(left, top, GetWidth(), GetHeight());
    Rebuild();
}

void TfmMixer::FormShow() {
    Gui->HostWnd = Handle();
    DragItem->Wnd = Handle();
    if (Plugs) Plugs->Wnd = Handle();
}

void TfmMixer::FormDestroy() {
    if (Gui) Gui->Captured = nullptr;
    if (Client) Client->Clear();
    Plugs = nullptr;
    WaveItem = nullptr;
    Meters.clear();
    if (Gui) Gui->ClearItems();
    if (fmMixer == this) fmMixer = nullptr;
}

void TfmMixer::ToggleVisible() {
    if (Visible) {
        Hide();
        return;
    }
    Gui->HostWnd = Handle();
    DragItem->Wnd = Handle();
    if (Plugs) Plugs->Wnd = Handle();
    Visible = true; // shown without activation (WS_EX_NOACTIVATE)
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT TfmMixer::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    switch (Msg) {
    case WM_USER:
        if (W == 1)
            RepaintItems("SubLed");
        else if (W == 2)
            Rebuild();
        return 0;
    case WM_MOUSEACTIVATE:
        if (Going()) break;
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (!GetActiveWindow() && fmMdi && fmMdi->HandleAllocated())
            SetActiveWindow(fmMdi->Handle());
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return TForm::WndProc(Msg, W, L);
}

void TfmMixer::RepaintItems(const std::string& Name) {
    if (!Client) return;
    for (TXGuiBase* item : Client->Children)
        if (item->Name == Name) Gui->InvalidateControl(item);
}

// ---- building blocks ----

int TfmMixer::StripHeight() const {
    return FaderHeight + 4 * RowHeight + 40 * SendBusCount() + RowHeight * MaxInserts;
}

void TfmMixer::CountMaxInserts() {
    std::size_t most = 0;
    auto look = [&most](TSoftOuts& Slots, int Count, bool WhileActive) {
        for (int i = 0; i < Count; ++i) {
            TSoftOut& slot = Slots[static_cast<std::size_t>(i)];
            if (WhileActive && !slot.Active) break;
            most = std::max(most, slot.Inserts.size());
        }
    };
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            look(item->Outputs, std::min(item->OutputCount, OutputSlotCount), false);
    if (Song) {
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Song->TrackAt(t);
            if (track && track->Mode == tmAudio) look(track->Outputs, OutputSlotCount, true);
        }
        look(Song->DiskOutputs, OutputSlotCount, true);
    }
    MaxInserts = static_cast<int>(most);
}

bool TfmMixer::HasDiskTrack() {
    if (!Song) return false;
    for (int t = 0; t < TrackCount; ++t)
        if (_TTrack* track = Song->TrackAt(t); track && track->Mode == tmDisk) return true;
    return false;
}

TXGuiBase* TfmMixer::AddUser(const std::string& Name, std::intptr_t Tag, int X, int Y, int W,
                             int H) {
    auto* item = new TXGuiUser(Client);
    item->Name = Name;
    item->Tag = Tag;
    item->SetBounds(X, Y, W, H);
    Client->Children.push_back(item);
    return item;
}

void TfmMixer::AddSidebar(TChannel* Channel, int& X) {
    const auto tag = reinterpret_cast<std::intptr_t>(Channel);
    AddUser("Sidebar", tag, X, 0, SidebarWidth, StripHeight());
    AddUser("ChMinimize", tag, X + 1, 0, 17, 16);
    if (Channel && Channel->HasPlugin) AddUser("ChEditor", tag, X + 1, 16, 17, 16);
    X += SidebarWidth;
}

TXGuiBase* TfmMixer::AddNameLabel(const std::string& Name, const std::string& Caption,
                                  std::intptr_t Tag, int X, int Y, int W) {
    auto* label = new TMixLabel(Client);
    label->Name = Name;
    label->Caption = Caption;
    label->Tag = Tag;
    label->SetBounds(X, Y, W, RowHeight);
    Client->Children.push_back(label);
    return label;
}

void TfmMixer::AddVuAndFader(TSoftOut& Slot, int X, int Y) {
    AddMeterAndFader(Slot.Volume, Slot.PeakLeft, Slot.PeakRight,
                     reinterpret_cast<std::intptr_t>(&Slot), X, Y);
}

void TfmMixer::AddMeterAndFader(std::atomic<float>& Volume, std::atomic<float>& PeakLeft,
                                std::atomic<float>& PeakRight, std::intptr_t Tag, int X, int Y) {
    auto* vu = new TMixMeter(Client);
    vu->Name = "VU";
    vu->Tag = Tag;
    vu->PeakLeft = &PeakLeft;
    vu->PeakRight = &PeakRight;
    vu->SetBounds(X, Y, 22, FaderHeight);
    Client->Children.push_back(vu);
    Meters.push_back(vu);
    auto* fader = new TXGuiFader(Client);
    fader->Name = "Volume";
    fader->Horizontal = false;
    fader->Min = 0;
    fader->Max = 100;
    fader->Pos = Round(Volume.load() * 100.0);
    fader->Tag = reinterpret_cast<std::intptr_t>(&Volume);
    fader->SetBounds(X + 22, Y, 26, FaderHeight);
    Client->Children.push_back(fader);
}

// A bus's docked parameter area: the plug-in's faders in a scrolled area of its own.
void TfmMixer::AddDockedArea(TSub* Bus, int X) {
    auto* area = new TXGuiScroll(Client);
    area->Name = "Editor";
    area->Tag = reinterpret_cast<std::intptr_t>(Bus->Plugin);
    area->SetBounds(X, 20, 120, StripHeight() - 20);
    Client->Children.push_back(area);
    // A group-volume bus has no plug-in object to show.
    if (Bus->Editor && Bus->Kind != skGroupVolume) Bus->Editor->AddParamControls(104, area);
    area->UpdateRange();
}

// ---- strips ----

void TfmMixer::BuildMasterStrip(int& X) {
    const int H = StripHeight();
    if (SubEngine) {
        for (TSub* bus : SubEngine->MasterBuses) {
            AddSidebar(bus->Channel, X);
            if (Minimised(bus->Channel)) continue;
            const auto tag = reinterpret_cast<std::intptr_t>(bus);
            if (bus->Docked == 1 && bus->EditorShown == 1) {
                AddUser("SubLed", tag, X, 0, 16, 20);
                AddNameLabel("Sub", PluginName(bus->Plugin), 0, X + 16, 0, 104);
                AddDockedArea(bus, X);
                X += 120;
            } else {
                if (bus->Editor) bus->Editor->NotifyWnd = Handle();
                AddNameLabel("SubName", PluginName(bus->Plugin), 0, X, 0, ColumnWidth);
                AddUser("category", bus->Kind, X, 20, ColumnWidth, 20);
                AddUser("whitespace", 0, X, 40, ColumnWidth, H - 40);
                X += ColumnWidth;
            }
        }
    }
    AddSidebar(Song->MasterChannel, X);
    if (Minimised(Song->MasterChannel)) return;
    AddNameLabel("MasterFX", "Master", 0, X, 0, ColumnWidth);
    WaveItem = AddUser("Wave", 0, X, 20, ColumnWidth, 40);
    AddUser("whitespace", 0, X, 60, ColumnWidth, 40 * SendBusCount() + RowHeight * MaxInserts);
    AddVuAndFader(Song->MasterOut, X, H - FaderHeight - RowHeight);
    AddUser("airpump", SubEngine ? static_cast<std::intptr_t>(SubEngine->MasterBuses.size()) : 0, X,
            H - RowHeight, ColumnWidth, RowHeight);
    X += ColumnWidth;
}

void TfmMixer::BuildGroupStrip(int& X) {
    if (!SubEngine) return;
    const int H = StripHeight();
    for (std::size_t i = 0; i < SubEngine->Buses.size(); ++i) {
        TSub* bus = SubEngine->Buses[i];
        AddSidebar(bus->Channel, X);
        if (Minimised(bus->Channel)) continue;
        const auto tag = reinterpret_cast<std::intptr_t>(bus);
        if (bus->Docked == 1 && bus->EditorShown == 1) {
            if (bus->Kind == skGroupVolume) {
                std::string name;
                SubEngine->ShortName(bus, name);
                AddNameLabel("Sub", name, 0, X, 0, 32);
            } else {
                AddUser("SubLed", tag, X, 0, 16, 20);
                AddNameLabel("Sub", PluginName(bus->Plugin), 0, X + 16, 0, 104);
            }
            AddDockedArea(bus, X);
            X += 120;
            continue;
        }
        if (bus->Editor) bus->Editor->NotifyWnd = Handle();
        std::string name;
        bus->GetName(name);
        AddNameLabel("SubName", name, 0, X, 0, ColumnWidth);
        AddUser("category", bus->Kind, X, 20, ColumnWidth, 20);
        if (bus->Kind == skGroupVolume) {
            AddUser("whitespace", 0, X, 40, ColumnWidth, H - 40 - FaderHeight - RowHeight);
            // A group-volume bus shows its own level, meters and output.
            AddMeterAndFader(bus->Volume, bus->PeakLeft, bus->PeakRight, tag, X,
                             H - RowHeight - FaderHeight);
        } else {
            AddUser("whitespace", 0, X, 40, ColumnWidth, H - 40 - RowHeight);
        }
        AddUser("SubOutput", static_cast<std::intptr_t>(i), X, H - RowHeight, ColumnWidth,
                RowHeight);
        X += ColumnWidth;
    }
}

void TfmMixer::BuildOutputStrip(TSoftOut& Slot, TStripKind Kind, const std::string& Name,
                                const std::string& Caption, std::intptr_t NameTag, int& X) {
    const int H = StripHeight();
    const auto slotTag = reinterpret_cast<std::intptr_t>(&Slot);
    // 1.
    static_cast<TMixLabel*>(AddNameLabel(Name, Caption, NameTag, X, 0, ColumnWidth))->Kind = Kind;
    int y = RowHeight;
    // 2.
    for (TSub* insert : Slot.Inserts) {
        TXGuiBase* item =
            AddNameLabel("Insert", "", reinterpret_cast<std::intptr_t>(insert), X, y, ColumnWidth);
        static_cast<TMixLabel*>(item)->Kind = Kind;
        insert->HostSlot = &Slot;
        y += RowHeight;
    }
    const int missing = MaxInserts - static_cast<int>(Slot.Inserts.size());
    if (missing > 0) AddUser("whitespace", 0, X, y, ColumnWidth, RowHeight * missing);
    y = RowHeight + RowHeight * MaxInserts;
    // 3.
    if (SubEngine) {
        for (int k = static_cast<int>(SubEngine->SendBuses.size()) - 1; k >= 0; --k) {
            std::string name;
            SubEngine->SendBuses[static_cast<std::size_t>(k)]->GetName(name);
            AddNameLabel("sendName", name, 0, X, y, ColumnWidth);
            auto* knob = new TMixKnob(Client);
            knob->Name = "Send2";
            knob->Min = 0;
            knob->Max = 100;
            knob->Value = Round(Slot.Sends[static_cast<std::size_t>(k)].load() * 100.0);
            knob->Text = std::to_string(k + 1) + "-";
            knob->Slot = &Slot;
            knob->Send = k;
            knob->Tag = slotTag;
            knob->SetBounds(X, y + RowHeight, ColumnWidth, RowHeight);
            Client->Children.push_back(knob);
            y += 2 * RowHeight;
        }
    }
    // 4.
    AddUser("Mute", slotTag, X, y, 24, RowHeight);
    AddUser("Solo", slotTag, X + 24, y, 24, RowHeight);
    y += RowHeight;
    // 5.
    if (Kind == TStripKind::Sample) {
        AddUser("whitespace", 0, X, y, ColumnWidth, RowHeight);
    } else {
        auto* pan = new TXGuiKnob(Client);
        pan->Name = "Pan";
        pan->Min = -100;
        pan->Max = 100;
        pan->Value = Round(Slot.Pan.load() * 100.0);
        pan->Tag = slotTag;
        pan->SetBounds(X, y, ColumnWidth, RowHeight);
        Client->Children.push_back(pan);
    }
    // 6.
    AddVuAndFader(Slot, X, H - FaderHeight - RowHeight);
    // 7.
    AddUser(Kind == TStripKind::Softsynth ? "SynthOutput" : "SampleOutput", slotTag, X,
            H - RowHeight, ColumnWidth, RowHeight);
    // 8.
    X += ColumnWidth;
}

void TfmMixer::BuildSoftsynthStrips(int& X) {
    if (!SoftEngine) return;
    const int H = StripHeight();
    for (std::size_t s = 0; s < SoftEngine->Items.size(); ++s) {
        TSoftItem* item = SoftEngine->Items[s];
        AddSidebar(item->Channel, X);
        if (Minimised(item->Channel)) continue;
        const std::string plugin = PluginName(item->Plugin.get());
        if (item->OutputCount == 0) {
            static_cast<TMixLabel*>(
                AddNameLabel("SynthName", plugin, static_cast<std::intptr_t>(s), X, 0, ColumnWidth))
                ->Kind = TStripKind::Softsynth;
            AddUser("whitespace", 0, X, 20, ColumnWidth, H - 20);
            X += ColumnWidth;
            continue;
        }
        for (int j = 0; j < item->OutputCount && j < OutputSlotCount; ++j) {
            TSoftOut& slot = item->Outputs[static_cast<std::size_t>(j)];
            if (!slot.Active) continue;
            BuildOutputStrip(slot, TStripKind::Softsynth, "SynthName",
                             slot.Name.empty() ? plugin : slot.Name, static_cast<std::intptr_t>(s),
                             X);
        }
    }
}

void TfmMixer::BuildSampleChannelStrips(int& X) {
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Song->TrackAt(t);
        if (!track || track->Mode != tmAudio || track->Samples.empty() || !track->MixChannel)
            continue;
        AddSidebar(track->MixChannel, X);
        if (Minimised(track->MixChannel)) continue;
        for (std::size_t i = 0; i < track->Outputs.size(); ++i) {
            TSoftOut& slot = track->Outputs[i];
            if (!slot.Active) break;
            BuildOutputStrip(slot, TStripKind::Sample, "SampleName",
                             SlotCaption(slot, static_cast<int>(i)), 0, X);
        }
    }
}

void TfmMixer::BuildDiskChannelStrips(int& X) {
    AddSidebar(Song->DiskChannel, X);
    if (Minimised(Song->DiskChannel)) return;
    for (std::size_t i = 0; i < Song->DiskOutputs.size(); ++i) {
        TSoftOut& slot = Song->DiskOutputs[i];
        if (!slot.Active) break;
        BuildOutputStrip(slot, TStripKind::Disk, "SynthName",
                         SlotCaption(slot, static_cast<int>(i)),
                         reinterpret_cast<std::intptr_t>(&slot), X);
    }
}

void TfmMixer::Rebuild() {
    if (!Gui || !Client || !Song) return;
    // 1.
    Meters.clear();
    Gui->Captured = nullptr;
    Client->Clear();
    Plugs = nullptr;
    WaveItem = nullptr;
    // 2. The lists stay as they are while they are walked: a block may add to them.
    int x = 0;
    {
        TRendererHold hold;
        CountMaxInserts();
        BuildMasterStrip(x);
        BuildGroupStrip(x);
        BuildSoftsynthStrips(x);
        BuildSampleChannelStrips(x);
        if (HasDiskTrack()) BuildDiskChannelStrips(x);
    }
    // 3. and 4.
    const int H = StripHeight();
    const int width = x + 6;
    int height = H + 18 + 6;
    if (Connections) {
        int wires = 16;
        if (SubEngine)
            for (TSub* bus : SubEngine->Buses)
                if (bus->Kind == skGroupEffect || bus->Kind == skGroupVolume) wires += 8;
        height = H + wires + 18 + 6;
        // The area takes the height of its wires, so that every rail shows.
        Plugs = new TXGuiDrag(Client);
        Plugs->Name = "plugs";
        Plugs->Caption.clear();
        Plugs->Wnd = HandleAllocated() ? Handle() : 0;
        Plugs->SetBounds(0, H, width, wires);
        Client->Children.push_back(Plugs);
    }
    // 5.
    SetClientSize(width, height);
    Gui->SetBounds(0, 0, width, height);
    Client->W = Gui->InnerWidth();
    Client->H = height - 24;
    Client->UpdateRange();
    TitleBar->W = Gui->InnerWidth();
    CloseItem->X = TitleBar->W - 16 - 1;
    // 6.
    const bool plain = (!SoftEngine || SoftEngine->Items.empty()) &&
                       (!SubEngine || (SubEngine->Buses.empty() && SubEngine->MasterBuses.empty()));
    MenuView->Visible = !plain;
    DragItem->X = plain ? 33 : 71;
    DragItem->W = TitleBar->W - 16 - DragItem->X - 2;
    // 7.
    Gui->Invalidate();
}

// ---- the seams ----

namespace {

class TMixerSeam : public TAudioWindowsSeam {
public:
    void RebuildMixer() override {
        if (fmMixer) fmMixer->Rebuild();
    }
};
TMixerSeam g_seam;

void ToggleMixerWindow() {
    if (!fmMixer) Application->CreateForm(fmMixer);
    if (fmMixer) fmMixer->ToggleVisible();
}

void RefreshMixerMeters() {
    if (fmMixer && Audio) fmMixer->RefreshMeters(MixWave(), MixWaveFrames());
}

} // namespace

void InstallMixer() {
    SetAudioWindows(&g_seam);
    MdiHooks().ToggleMixerVisible = ToggleMixerWindow;
    MdiHooks().RefreshMixerMeters = RefreshMixerMeters;
    ArrangeSeams().ToggleMixer = ToggleMixerWindow;
}

// ---- the dump ----

std::string DumpMixerItems() {
    std::ostringstream out;
    if (!fmMixer || !fmMixer->Gui) return {};
    std::function<void(const std::vector<TXGuiBase*>&, int)> walk =
        [&](const std::vector<TXGuiBase*>& List, int Depth) {
            for (TXGuiBase* item : List) {
                out << std::string(std::size_t(Depth) * 2, ' ') << item->Name << " (" << item->X
                    << ", " << item->Y << ", " << item->W << ", " << item->H << ")";
                if (!item->Visible) out << " hidden";
                if (auto* l = dynamic_cast<TXGuiLabel*>(item); l && !l->Caption.empty())
                    out << " \"" << l->Caption << "\"";
                if (auto* k = dynamic_cast<TXGuiKnob*>(item)) out << " " << k->Text << k->Value;
                if (auto* f = dynamic_cast<TXGuiFader*>(item)) out << " " << f->Pos;
                out << "\n";
                if (auto* s = dynamic_cast<TXGuiScroll*>(item)) walk(s->Children, Depth + 1);
            }
        };
    walk(fmMixer->Gui->Items, 0);
    return out.str();
}
