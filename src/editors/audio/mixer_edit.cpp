// The mixer's editing: the mouse on every item, the output menus and routing, adding effect
// buses from the plug-in menus, and the bus, softsynth, audio-track, disk, insert and view
// menus.
#include "app/arrange.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/synthmenu.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/ui/uplugeditor.h"
#include "editors/audio/mixer_items.h"
#include "platform/core/dialogs.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

// The plug-in behind every item of the effect menus; an item's Tag is its index here.
std::vector<std::string> FxMenuPaths;

namespace {

constexpr int MenuSlots = 32; // the outputs the track and disk menus change

TSoftItem* SoftsynthOf(const TChannel* Channel) {
    return Channel ? static_cast<TSoftItem*>(Channel->Owner) : nullptr;
}
TSub* BusOf(const TChannel* Channel) {
    return Channel ? static_cast<TSub*>(Channel->Owner) : nullptr;
}

int SoftsynthIndex(const TSoftItem* Item) {
    if (!SoftEngine || !Item) return -1;
    auto it = std::find(SoftEngine->Items.begin(), SoftEngine->Items.end(), Item);
    return it == SoftEngine->Items.end() ? -1 : int(it - SoftEngine->Items.begin());
}

// The slot is one the mixer shows strips of (read without marking any slot as used).
bool IsMixerSlot(const TSoftOut* Slot) {
    if (!Slot || !Song) return false;
    auto in = [Slot](const TSoftOuts& Slots) {
        const TSoftOut* first = &Slots[0];
        return Slot >= first && Slot < first + Slots.size();
    };
    if (SoftEngine)
        for (const TSoftItem* item : SoftEngine->Items)
            if (in(item->Outputs)) return true;
    for (int t = 0; t < TrackCount; ++t)
        if (const _TTrack* track = Song->TrackAt(t); track && in(track->Outputs)) return true;
    return in(Song->DiskOutputs);
}

void ToggleEditorWindow(TSoftsynthEditor* Editor) {
    if (!Editor) return;
    if (IsWindowVisible(Editor->Handle))
        Editor->Hide();
    else
        Editor->Show();
}

bool EditorShowing(TSoftsynthEditor* Editor) {
    return Editor && IsWindowVisible(Editor->Handle);
}

// The bus's place in the bus list, or in the master effects for a master effect.
const TTodoList<TSub>& ListOf(const TSub* Bus) {
    return Bus->Kind == skMasterEffect ? SubEngine->MasterBuses : SubEngine->Buses;
}

void Info(const char* Text, const char* Caption) {
    MessageBox(Text, Caption, MB_OK | MB_ICONINFORMATION);
}

TMenuItem* Item(TMenuItem* Parent, const std::string& Caption, std::function<void()> Click) {
    auto* item = new TMenuItem(Caption, [Click](TMenuItem*) {
        if (Click) Click();
    });
    Parent->Add(item);
    return item;
}

TMenuItem* Sub(TMenuItem* Parent, const std::string& Caption) {
    auto* item = new TMenuItem(Caption);
    Parent->Add(item);
    return item;
}

TMenuItem* MenuFind(TPopupMenu& Menu, const std::string& Caption) {
    TMenuItem* root = Menu.Items;
    for (int i = 0; i < root->Count(); ++i)
        if (root->Items(i)->Caption.rfind(Caption, 0) == 0) return root->Items(i);
    return nullptr;
}

} // namespace

// ---- the menus ----

void TfmMixer::BuildMenus() {
    auto menu = [](std::unique_ptr<TPopupMenu>& M, const char* Name) {
        M = std::make_unique<TPopupMenu>();
        M->Name = Name;
        return M->Items;
    };
    TMenuItem* root;

    // The bus menu.
    root = menu(PopupBus, "PopupBus");
    Item(root, "Edit", [this] {
        TSub* bus = BusOf(MenuChannel);
        if (bus && bus->Kind != skGroupVolume) ToggleChannelEditor(MenuChannel);
    });
    Item(root, "Dock", [this] {
        TSub* bus = BusOf(MenuChannel);
        if (!bus || bus->Kind == skGroupVolume) return;
        if (bus->Docked != 1) {
            MenuChannel->Show = 0;
            bus->Docked = 1;
            bus->EditorShown = 1;
            Rebuild();
            if (EditorShowing(bus->Editor)) bus->Editor->Hide();
        } else {
            bus->Docked = 0;
            if (bus->EditorShown == 1 && bus->Editor && !EditorShowing(bus->Editor))
                bus->Editor->Show();
            Rebuild();
        }
    });
    Item(root, "Move left", [this] {
        TSub* bus = BusOf(MenuChannel);
        if (!bus || !SubEngine) return;
        TEditGuard guard;
        if (!guard) return;
        SubEngine->MoveSubUp(bus);
        Rebuild();
    });
    Item(root, "Move right", [this] {
        TSub* bus = BusOf(MenuChannel);
        if (!bus || !SubEngine) return;
        const TTodoList<TSub>& list = ListOf(bus);
        const int i = list.IndexOf(bus);
        if (i < 0 || i + 1 >= int(list.size())) return;
        TEditGuard guard;
        if (!guard) return;
        SubEngine->MoveSubUp(list[std::size_t(i) + 1]);
        Rebuild();
    });
    Item(root, "Delete", [this] {
        TSub* bus = BusOf(MenuChannel);
        if (!bus || !SubEngine || !Song) return;
        {
            TEditGuard guard;
            if (!guard) return;
            MenuChannel = nullptr;
            SubEngine->DeleteSub(bus);
            if (Song->UndoStore) Song->UndoStore->Begin(0, "Undo");
            // The strips go at once: nothing may paint them while they point at the bus.
            Rebuild();
        }
        if (fmMdi) fmMdi->RefreshParamEditor();
    });
    PopupBus->OnPopup = [this](TPopupMenu*) {
        TSub* bus = BusOf(MenuChannel);
        const int i = bus && SubEngine ? SubEngine->Buses.IndexOf(bus) : -1;
        const int n = SubEngine ? SubEngine->Count() : 0;
        MenuFind(*PopupBus, "Move left")->Enabled = i != 0;
        MenuFind(*PopupBus, "Move right")->Enabled = !(i >= 0 && i == n - 1);
    };

    // The softsynth menu.
    root = menu(PopupSynth, "PopupSynthMixer");
    Item(root, "Edit", [this] {
        if (fmMdi) fmMdi->ToggleSoftsynthEditor(SoftsynthIndex(SoftsynthOf(MenuChannel)));
    });
    Item(root, "Less outputs", [this] {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        if (SoftsynthIndex(item) < 0) return;
        int k = -1;
        for (int j = 0; j < item->OutputCount && j < OutputSlotCount; ++j)
            if (item->Outputs[std::size_t(j)].Active == 1) k = j;
        if (k <= 0) return;
        if (!item->Outputs[std::size_t(k)].Inserts.empty()) {
            Info("Please remove all Insert effects before removing channel", "Less outputs");
            return;
        }
        item->Outputs[std::size_t(k)].Active = 0;
        Rebuild();
    });
    Item(root, "More outputs", [this] {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        if (SoftsynthIndex(item) < 0) return;
        for (int j = 0; j < item->OutputCount && j < OutputSlotCount; ++j)
            if (!item->Outputs[std::size_t(j)].Active) {
                item->Outputs[std::size_t(j)].Active = 1;
                Rebuild();
                return;
            }
    });
    Item(root, "One output", [this] {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        if (SoftsynthIndex(item) < 0) return;
        const int count = std::min(item->OutputCount, OutputSlotCount);
        for (int j = 1; j < count && item->Outputs[std::size_t(j)].Active; ++j)
            if (!item->Outputs[std::size_t(j)].Inserts.empty()) {
                Info("Can't remove channels with Insert effects", "One output");
                return;
            }
        for (int j = 0; j < count; ++j)
            item->Outputs[std::size_t(j)].Active = j == 0 ? 1 : 0;
        Rebuild();
    });
    Item(root, "All outputs", [this] {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        if (SoftsynthIndex(item) < 0) return;
        for (int j = 0; j < item->OutputCount && j < OutputSlotCount; ++j)
            item->Outputs[std::size_t(j)].Active = 1;
        Rebuild();
    });
    Item(root, "Move left", [this] {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        if (SoftsynthIndex(item) < 0) return;
        {
            TEditGuard guard;
            if (!guard) return;
            SoftEngine->MoveUp(item);
            Rebuild();
        }
        if (fmMdi) fmMdi->NotifySoftsynthCount();
    });
    Item(root, "Remove", [this] {
        const int i = SoftsynthIndex(SoftsynthOf(MenuChannel));
        if (i < 0 || !fmArrange) return;
        MenuChannel = nullptr;
        fmArrange->RemoveSoftsynth(i);
    });
    PopupSynth->OnPopup = [this](TPopupMenu*) {
        TSoftItem* item = SoftsynthOf(MenuChannel);
        MenuFind(*PopupSynth, "All outputs")->Caption =
            "All outputs (" + std::to_string(item ? item->OutputCount : 0) + ")";
    };

    // The audio-track and disk menus: outputs 0..31 of a track, or of the disk tracks.
    auto less = [this](TSoftOuts& Slots, auto&& MoveDown) {
        int k = -1;
        for (int j = 0; j < MenuSlots; ++j)
            if (Slots[std::size_t(j)].Active) k = j;
        if (k <= 0) return false;
        if (!Slots[std::size_t(k)].Inserts.empty()) {
            Info("Please remove all Insert effects before removing channel", "Less outputs");
            return false;
        }
        Slots[std::size_t(k)].Active = 0;
        MoveDown(k);
        Rebuild();
        TSoftEngine::UpdateMuteSolo();
        return true;
    };
    auto more = [this](TSoftOuts& Slots) {
        for (int j = 0; j < MenuSlots; ++j)
            if (!Slots[std::size_t(j)].Active) {
                Slots[std::size_t(j)].Active = 1;
                break;
            }
        Rebuild();
        TSoftEngine::UpdateMuteSolo();
    };
    auto track = [this]() -> _TTrack* {
        if (!MenuChannel || !Song) return nullptr;
        for (int t = 0; t < TrackCount; ++t)
            if (Song->TrackAt(t) == MenuChannel->Owner) return Song->TrackAt(t);
        return nullptr;
    };
    root = menu(PopupTrack, "PopupTrack");
    Item(root, "Less outputs", [less, track] {
        _TTrack* t = track();
        if (!t) return;
        less(t->Outputs, [t](int k) {
            for (auto& sample : t->Samples)
                if (sample->Bus >= k) sample->Bus = k - 1;
        });
    });
    Item(root, "More outputs", [more, track] {
        if (_TTrack* t = track()) more(t->Outputs);
    });
    root = menu(PopupDisk, "PopupDisk");
    Item(root, "Less outputs", [less] {
        if (!Song) return;
        bool changed = false;
        less(Song->DiskOutputs, [&changed](int k) {
            for (int t = 0; t < TrackCount; ++t) {
                _TTrack* track = Song->TrackAt(t);
                if (track && track->Mode == tmDisk && track->Output >= k) {
                    track->Output = k - 1;
                    changed = true;
                }
            }
        });
        if (changed) {
            FileMenuWindows().RepaintTrackList();
            FileMenuWindows().RefreshTrackbar();
        }
    });
    Item(root, "More outputs", [more] {
        if (!Song) return;
        more(Song->DiskOutputs);
        FileMenuWindows().BuildOutputMenus();
    });

    // The insert menu.
    root = menu(PopupInsert, "PopupInsert");
    auto exchange = [this](int Step) {
        TSub* insert = MenuInsert;
        TSoftOut* slot = insert ? insert->HostSlot : nullptr;
        if (!slot || !IsMixerSlot(slot)) return;
        const int i = slot->Inserts.IndexOf(insert);
        const int j = i + Step;
        if (i < 0 || j < 0 || j >= int(slot->Inserts.size())) return;
        TEditGuard guard;
        if (!guard) return;
        {
            TRendererHold hold;
            if (Song->Todos) Song->RunTodos(); // no add of the list may wait
            std::vector<TSub*> order = slot->Inserts.Items;
            std::swap(order[std::size_t(i)], order[std::size_t(j)]);
            slot->Inserts.Assign(order);
        }
        Rebuild();
    };
    Item(root, "Delete", [this] {
        TSub* insert = MenuInsert;
        if (!insert || !SubEngine || !Song || !IsMixerSlot(insert->HostSlot)) return;
        {
            TEditGuard guard;
            if (!guard) return;
            MenuInsert = nullptr;
            SubEngine->DeleteSub(insert);
            if (Song->UndoStore) Song->UndoStore->Begin(0, "Undo");
            Rebuild();
        }
        if (fmMdi) fmMdi->RefreshParamEditor();
    });
    Item(root, "Move up", [exchange] { exchange(-1); });
    Item(root, "Move down", [exchange] { exchange(1); });

    // The View menu.
    root = menu(PopupView, "PopupView");
    TMenuItem* minimise = Sub(root, "Minimize");
    TMenuItem* maximise = Sub(root, "Maximize");
    const char* sets[] = {"All", "FX", "Softsynth", "Samples"};
    for (int w = 0; w < 4; ++w) {
        Item(minimise, sets[w], [this, w] { SetMinimised(w, 1); });
        Item(maximise, sets[w], [this, w] { SetMinimised(w, 0); });
    }
    Item(root, "Connections", [this] { ToggleConnections(); });

    // The Add menu: its plug-in submenus are filled at each opening.
    root = menu(PopupAdd, "PopupAdd");
    Sub(root, "Add Send FX");
    Sub(root, "Add Group FX");
    Item(root, "Add Group Volume", [this] { AddVolume(); });
    Sub(root, "Add Master FX");
    PopupAdd->OnPopup = [this](TPopupMenu*) {
        BuildFxMenu(MenuFind(*PopupAdd, "Add Send FX"), &TfmMixer::AddSend);
        BuildFxMenu(MenuFind(*PopupAdd, "Add Group FX"), &TfmMixer::AddGroup);
        BuildFxMenu(MenuFind(*PopupAdd, "Add Master FX"), &TfmMixer::AddMaster);
        // A slot has send levels for the first 128 send buses only.
        MenuFind(*PopupAdd, "Add Send FX")->Enabled =
            !SubEngine || SubEngine->SendBuses.Expected() < std::size_t(SendCount);
    };

    root = menu(PopupOutput, "PopupOutput");
}

void TfmMixer::SetMinimised(int Which, int Value) {
    if (!Song) return;
    auto set = [Value](TChannel* Channel) {
        if (Channel) Channel->Show = Value;
    };
    const bool all = Which == 0;
    if (all) {
        set(Song->MasterChannel);
        set(Song->DiskChannel);
        if (SubEngine)
            for (TSub* bus : SubEngine->MasterBuses)
                set(bus->Channel);
    }
    if ((all || Which == 1) && SubEngine)
        for (TSub* bus : SubEngine->Buses)
            set(bus->Channel);
    if ((all || Which == 2) && SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            set(item->Channel);
    if (all || Which == 3)
        for (int t = 0; t < TrackCount; ++t)
            if (_TTrack* track = Song->TrackAt(t);
                track && track->Mode == tmAudio && !track->Samples.empty())
                set(track->MixChannel);
    Rebuild();
}

void TfmMixer::ToggleConnections() {
    Connections = !Connections;
    Rebuild();
}

void TfmMixer::ToggleChannelEditor(TChannel* Channel) {
    if (!Channel) return;
    if (Channel->Kind == ckBus || Channel->Kind == ckMasterEffect) {
        TSub* bus = BusOf(Channel);
        if (bus->Docked == 1) {
            if (Channel->Show == 1) {
                Channel->Show = 0;
                bus->EditorShown = 1;
            } else {
                bus->EditorShown = bus->EditorShown == 1 ? 0 : 1;
            }
            Rebuild();
        } else {
            ToggleEditorWindow(bus->Editor);
        }
    } else if (Channel->Kind == ckSoftsynth) {
        if (fmMdi) fmMdi->ToggleSoftsynthEditor(SoftsynthIndex(SoftsynthOf(Channel)));
    }
}

void TfmMixer::BuildOutputMenu(int Limit) {
    TMenuItem* root = PopupOutput->Items;
    root->Clear();
    auto target = [this](int Target) {
        return [this, Target](TMenuItem*) {
            if (Target >= 0) {
                // The lists may have changed since the menu opened: only a bus that still
                // receives, and for a bus output only one to its left.
                TSub* to = SubEngine ? SubEngine->GetSub(Target) : nullptr;
                if (!to || (to->Kind != skGroupEffect && to->Kind != skGroupVolume)) return;
                if (MenuBus && Target >= SubEngine->Buses.IndexOf(MenuBus)) return;
            }
            if (MenuBus && SubEngine && SubEngine->Buses.IndexOf(MenuBus) >= 0)
                MenuBus->Output = Target;
            else if (MenuSlot && IsMixerSlot(MenuSlot))
                MenuSlot->Bus = Target;
            else
                return;
            Gui->Invalidate();
        };
    };
    auto* master = new TMenuItem("Master", target(-1));
    master->Tag = -1;
    root->Add(master);
    if (SubEngine)
        for (int i = 0; i < Limit && i < SubEngine->Count(); ++i) {
            TSub* bus = SubEngine->Buses[std::size_t(i)];
            if (bus->Kind != skGroupEffect && bus->Kind != skGroupVolume) continue;
            std::string name;
            bus->GetName(name);
            auto* item = new TMenuItem(name, target(i));
            item->Tag = i;
            root->Add(item);
        }
    if (OfferInsert) {
        root->Add(new TMenuItem("-"));
        TMenuItem* inserts = Sub(root, "Add Insert FX");
        BuildFxMenu(inserts, &TfmMixer::AddInsert);
    }
}

void TfmMixer::BuildFxMenu(TMenuItem* Menu, void (TfmMixer::*Handler)(TMenuItem*)) {
    if (!Menu) return;
    Menu->Clear();
    FxMenuPaths.clear();
    std::string folder;
    if (Song) Song->FxFolder(folder);
    const std::function<void(TMenuItem*)> click = [this, Handler](TMenuItem* Sender) {
        (this->*Handler)(Sender);
    };
    if (!folder.empty()) ScanLibraryFolder(Menu, folder, FxMenuPaths, click);
    if (Menu->Count() == 0) {
        auto* empty = new TMenuItem("Empty");
        empty->Enabled = false;
        Menu->Add(empty);
    }
}

namespace {
const std::string* PathOf(const TMenuItem* Item) {
    const auto i = std::size_t(Item->Tag);
    return Item->Tag >= 0 && i < FxMenuPaths.size() ? &FxMenuPaths[i] : nullptr;
}
} // namespace

void TfmMixer::AddSend(TMenuItem* Item) {
    if (const std::string* p = PathOf(Item); p && SubEngine)
        SubEngine->AddSub(skSendEffect, *p, Handle());
}
void TfmMixer::AddGroup(TMenuItem* Item) {
    if (const std::string* p = PathOf(Item); p && SubEngine)
        SubEngine->AddSub(skGroupEffect, *p, Handle());
}
void TfmMixer::AddMaster(TMenuItem* Item) {
    if (const std::string* p = PathOf(Item); p && SubEngine)
        SubEngine->AddSub(skMasterEffect, *p, Handle());
}
void TfmMixer::AddVolume() {
    if (SubEngine) SubEngine->AddSub(skGroupVolume, "", Handle());
}
void TfmMixer::AddInsert(TMenuItem* Item) {
    const std::string* p = PathOf(Item);
    if (!p || !SubEngine || !Song) return;
    // The slot may have gone since its menu opened.
    if (!IsMixerSlot(ClickedSlot)) return;
    TSub* bus = SubEngine->AddSub(skInsertEffect, *p, Handle());
    if (!bus) return;
    bus->HostSlot = ClickedSlot;
    // A clear before the add ran (New, Open) frees the bus with the dropped action.
    Song->AddTodo(tdAddItem, Handle(), &ClickedSlot->Inserts, bus, FreeDroppedBus);
}

// ---- the mouse ----

void TfmMixer::MouseCtrl(TXGuiBase* Item, int ButtonValue, unsigned ShiftValue, int State) {
    if (!Item) return;
    const auto Button = static_cast<TMouseButton>(ButtonValue);
    const TShiftState Shift = ShiftValue;
    const std::string name = Item->Name;
    TRect r;
    Item->GetRect(r);
    const int left = GetLeft() + Gui->GetLeft(), top = GetTop() + Gui->GetTop();
    auto slot = [Item] { return reinterpret_cast<TSoftOut*>(Item->Tag); };
    auto channel = [Item] { return reinterpret_cast<TChannel*>(Item->Tag); };

    if (name == "Close") {
        if (State == 2) Visible = false;
    } else if (name == "MenuAdd" || name == "MenuView") {
        if (State != 2) return;
        (name == "MenuAdd" ? PopupAdd : PopupView)->Popup(left + r.Left - 4, top + r.Bottom);
    } else if (name == "ChMinimize") {
        if (State != 1) return;
        channel()->Show = channel()->Show == 1 ? 0 : 1;
        Rebuild();
    } else if (name == "Sidebar") {
        if (State != 1) return;
        TChannel* ch = channel();
        if (Button == mbLeft && (Shift & ssDouble)) {
            ch->Show = ch->Show == 1 ? 0 : 1;
            Rebuild();
        } else if (Button == mbRight) {
            TPopupMenu* menu = ch->Kind == ckBus || ch->Kind == ckMasterEffect ? PopupBus.get()
                               : ch->Kind == ckSoftsynth                       ? PopupSynth.get()
                               : ch->Kind == ckAudioTrack                      ? PopupTrack.get()
                               : ch->Kind == ckDisk                            ? PopupDisk.get()
                                                                               : nullptr;
            if (!menu) return;
            MenuChannel = ch;
            TPoint p;
            GetCursorPos(&p);
            menu->Popup(left + r.Right, p.Y);
        }
    } else if (name == "ChEditor") {
        if (State == 1) ToggleChannelEditor(channel());
    } else if (name == "SynthName") {
        auto* label = dynamic_cast<TMixLabel*>(Item);
        if (State == 2 && Button == mbRight && label && label->Kind == TStripKind::Softsynth &&
            fmMdi)
            fmMdi->ToggleSoftsynthEditor(static_cast<int>(Item->Tag));
    } else if (name == "Insert") {
        if (State != 1) return;
        auto* insert = reinterpret_cast<TSub*>(Item->Tag);
        if (Button == mbLeft) {
            ToggleEditorWindow(insert->Editor);
        } else if (Button == mbRight) {
            MenuInsert = insert;
            TPoint p;
            GetCursorPos(&p);
            PopupInsert->Popup(p.X, p.Y);
        }
    } else if (name == "Mute" || name == "Solo") {
        if (State != 1) return;
        std::atomic<std::int32_t>& v = name == "Mute" ? slot()->Mute : slot()->Solo;
        v = v.load() == 0 ? 1 : 0;
        TSoftEngine::UpdateMuteSolo();
        if (name == "Mute")
            Gui->InvalidateControl(Item);
        else
            Gui->Invalidate();
    } else if (name == "Volume") {
        reinterpret_cast<std::atomic<float>*>(Item->Tag)->store(AsXGuiFader(Item)->Pos * 0.01f);
    } else if (name == "Pan") {
        auto* knob = static_cast<TXGuiKnob*>(Item);
        if (Button == mbRight) {
            slot()->Pan = 0.0f;
            knob->Value = 0;
            Gui->InvalidateControl(Item);
        } else {
            slot()->Pan = knob->Value * 0.01f;
        }
    } else if (name == "Send2") {
        auto* knob = static_cast<TMixKnob*>(Item);
        if (Button == mbRight) {
            SetSendLevel(*knob->Slot, knob->Send, 0.0f);
            knob->Value = 0;
            Gui->InvalidateControl(Item);
        } else {
            SetSendLevel(*knob->Slot, knob->Send, knob->Value * 0.01f);
        }
    } else if (name == "SubLed") {
        if (State != 1) return;
        auto* bus = reinterpret_cast<TSub*>(Item->Tag);
        if (!bus->Plugin) return;
        bus->Plugin->Enabled = bus->Plugin->Enabled.load() == 1 ? 0 : 1;
        Gui->InvalidateControl(Item);
        if (bus->Editor) PostMessage(bus->Editor->Handle, WM_USER, 1, 0);
    } else if (name == "FxFader") {
        auto* label = reinterpret_cast<TXGuiBase*>(Item->Tag);
        auto* plugin = Item->Parent ? reinterpret_cast<TMFX*>(Item->Parent->Tag) : nullptr;
        if (plugin && label)
            plugin->SetParameter(static_cast<int>(label->Tag), AsXGuiFader(Item)->Pos * 0.01);
        if (label) Gui->InvalidateControl(label);
    } else if (name == "SubOutput") {
        if (State != 2 || !SubEngine) return;
        TSub* bus = SubEngine->GetSub(static_cast<int>(Item->Tag));
        if (!bus) return;
        MenuBus = bus;
        MenuSlot = nullptr;
        OfferInsert = false;
        BuildOutputMenu(static_cast<int>(Item->Tag));
        PopupOutput->Popup(left + r.Left, top + r.Bottom);
    } else if (name == "SynthOutput" || name == "SampleOutput") {
        if (State != 2) return;
        MenuBus = nullptr;
        MenuSlot = slot();
        ClickedSlot = slot();
        OfferInsert = true;
        BuildOutputMenu(SubEngine ? SubEngine->Count() : 0);
        PopupOutput->Popup(left + r.Left, top + r.Bottom);
    }
}
