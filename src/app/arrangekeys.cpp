// The arrange window's keys and its tool bar fields: a focused edit field keeps its keys, a drag
// ends with Esc, the arrows walk the parts and tracks (Alt resizes a part by a step), Shift and
// the digits set the edit resolution, Shift and the function keys go to the song areas, and the
// transport and the other global keys go on to the main window. The tempo field, the edit
// resolution menu and the "Auto Q" button live here too.
#include "app/arrange.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/midi.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/sysutils.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/partcmds.h"
#include "song/softengine.h"
#include "song/song.h"

#include <algorithm>
#include <exception>

using namespace platform;

namespace {

bool IsSelected(const _TPart* P) {
    return (P->Flags & pfSelected) != 0;
}

void Select(_TPart* P, bool On) {
    if (On)
        P->Flags |= pfSelected | pfRedraw;
    else
        P->Flags = (P->Flags & ~pfSelected) | pfRedraw;
}

// The only selected part becomes the current one and comes into view (its end or its start).
void FollowLonePart(TfmArrange& A, bool AtEnd) {
    A.RedrawParts(false);
    if (Song->SelectedPartCount() != 1) return;
    _TPart* p = Song->FirstSelectedPart();
    Song->SetCurrentPart(p);
    A.ScrollToTick(AtEnd ? p->Start + p->Length : p->Start);
}

// The same BPM everywhere it shows; the window's focus goes back to the window itself.
void SetTempoFromField(TfmArrange& A, int Bpm) {
    if (Midi) Midi->SetTempo(Bpm);
    if (fmMdi) fmMdi->BroadcastTempo();
    FileMenuWindows().ShowTempo(Bpm);
    A.ActiveControl = nullptr;
}

} // namespace

void TfmArrange::SelectNextPart(bool Shift) {
    if (!Song) return;
    Song->SetCurrentPart(nullptr);
    _TTrack* t = Song->CurrentTrack();
    _TPart* first = nullptr;
    for (_TPart* p = t ? t->Parts : nullptr; p && !first; p = p->Next)
        if (IsSelected(p)) first = p;
    if (t && !first) {
        if (t->Parts) Select(t->Parts, true);
    } else if (t && Shift) {
        _TPart* last = first;
        for (_TPart* p = first; p; p = p->Next)
            if (IsSelected(p)) last = p;
        if (last->Next) Select(last->Next, true);
    } else if (t) {
        _TPart* p = first;
        for (; p && IsSelected(p); p = p->Next)
            Select(p, false);
        if (p) {
            Song->UnselectAllParts();
            Select(p, true);
            for (_TPart* q = p->Next; q; q = q->Next)
                if (IsSelected(q)) Select(q, false);
        }
    }
    FollowLonePart(*this, true);
}

void TfmArrange::SelectPreviousPart(bool Shift) {
    if (!Song) return;
    Song->SetCurrentPart(nullptr);
    _TTrack* t = Song->CurrentTrack();
    _TPart* first = nullptr;
    _TPart* before = nullptr;
    for (_TPart* p = t ? t->Parts : nullptr; p && !first; p = p->Next) {
        if (IsSelected(p))
            first = p;
        else
            before = p;
    }
    if (first) {
        if (Shift) {
            if (before) Select(before, true);
        } else if (first == t->Parts) {
            Select(first, false);
        } else {
            for (_TPart* p = first; p; p = p->Next)
                if (IsSelected(p)) Select(p, false);
            Song->UnselectAllParts();
            Select(before, true);
        }
    }
    FollowLonePart(*this, false);
}

void TfmArrange::MoveCurrentTrack(int By) {
    if (!Song || Song->State == 1) return;
    const int old = Song->CurrentTrackIndex, index = old + By;
    if (index < 0 || index >= TrackCount) return;
    InvalidateTrackRow(old);
    Song->CurrentTrackIndex = index;
    if (ScrollY) {
        int position = -1;
        if (By < 0 && index * TrackHeight < ScrollY->Position)
            position = index * TrackHeight;
        else if (By > 0 && (index + 1) * TrackHeight > tracks->GetClientHeight())
            // The new row at the bottom edge, wherever the list stood.
            position = (index + 1) * TrackHeight - tracks->GetClientHeight();
        if (position >= 0) {
            ScrollY->SetPosition(position);
            ScrollY->Changed();
        }
    }
    InvalidateTrackRow(index);
    SendThru();
    RefreshTrackbar();
    if (Song->SoloTrack != -1 && fmMdi) fmMdi->ToggleSolo(true);
    if (Song->SelectedPartCount() > 0) {
        Song->UnselectAllParts();
        RedrawParts(false);
    }
}

void TfmArrange::PreviousTrack() {
    MoveCurrentTrack(-1);
}

void TfmArrange::NextTrack() {
    MoveCurrentTrack(1);
}

void TfmArrange::ResizeByStep(bool Longer) {
    if (!Song || Song->SelectedPartCount() != 1) return;
    const int beats = SnapMode == 2 ? SongBeatsPerBar() : 1;
    // ResizePart frees events: the pause comes first, and a refused one changes nothing.
    TEditGuard guard;
    if (!guard) return;
    EraseSelectedParts();
    _TPart* p = Song->EarliestSelectedPart();
    ResizePart(p, Longer ? beats : -beats, true);
    guard.Release();
    p->Flags |= pfRedraw;
    RedrawParts(false);
}

void TfmArrange::AreaKey(int Index) {
    TArrangeSeams& s = ArrangeSeams();
    if (!fmMdi || !s.GotoArea) return;
    const int count = int(fmMdi->Areas.Items.size());
    s.GotoArea(Index < count ? Index : -1);
}

void TfmArrange::StepArea(bool Next) {
    TArrangeSeams& s = ArrangeSeams();
    if (!fmMdi || !s.GotoArea) return;
    const int count = int(fmMdi->Areas.Items.size());
    if (count == 0) return; // as the browser's buttons: nothing to go to
    const int index = s.AreaIndex ? s.AreaIndex() : -1;
    s.GotoArea(Next ? (index + 1 + count) % count : (count + index - 1 + count) % count);
}

void TfmArrange::FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (dynamic_cast<TEdit*>(ActiveControl())) return; // the key is the field's
    // A box's open list takes the keys that choose in it (Enter would also play the song).
    if (auto* box = dynamic_cast<TComboBox*>(ActiveControl()); box && box->DroppedDown) return;
    if (Key == VK_ESCAPE || Key == 220) CancelDrag();
    if (Key == VK_SPACE && (Shift & ssCtrl)) {
        ToggleSynthEditor();
        return;
    }
    const bool shift = (Shift & ssShift) != 0;
    switch (Key) {
    case VK_LEFT:
        if (Shift & ssAlt)
            ResizeByStep(false);
        else
            SelectPreviousPart(shift);
        return;
    case VK_RIGHT:
        if (Shift & ssAlt)
            ResizeByStep(true);
        else
            SelectNextPart(shift);
        return;
    case VK_UP:
        PreviousTrack();
        return;
    case VK_DOWN:
        NextTrack();
        return;
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
        if (shift && fmMdi) {
            const int value = 64 >> (Key - '1');
            fmMdi->SetGridValue(value, std::to_string(value));
        }
        return;
    case 'T':
        if (shift && (Shift & ssCtrl)) {
            btnThru->Down = !btnThru->Down;
            btnThruClick();
        }
        return;
    case VK_F1:
    case VK_F2:
    case VK_F3:
    case VK_F4:
    case VK_F5:
    case VK_F6:
    case VK_F7:
    case VK_F8:
    case VK_F9:
    case VK_F10:
        if (shift) {
            AreaKey(Key - VK_F1);
            if (Key == VK_F10) Key = 0; // not on to the menu bar
        } else if (Key == VK_F1) {
            Application->HelpContext(1);
        }
        return;
    case 226:
        StepArea(shift);
        return;
    default:
        if (fmMdi) fmMdi->FormKeyDown(Sender, Key, Shift);
        return;
    }
}

void TfmArrange::FormKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (Key != VK_RIGHT && fmMdi) fmMdi->FormKeyUp(Sender, Key, Shift);
}

void TfmArrange::EnterTempo() {
    std::string text = editBpm->Text();
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    int bpm = 120;
    if (!text.empty()) {
        try {
            bpm = StrToInt(text);
        } catch (const EConvertError&) {
            Application->HandleException(std::current_exception());
            return;
        }
    }
    SetTempoFromField(*this, std::clamp(bpm, 10, 250));
}

void TfmArrange::TempoPreset() {
    const std::vector<std::string> lines = OptionsTempoLines();
    if (!lines.empty()) {
        std::string text = lines.front();
        text.erase(0, text.find_first_not_of(" \t"));
        text.erase(text.find_last_not_of(" \t") + 1);
        try {
            SetTempoFromField(*this, StrToInt(text));
            return;
        } catch (const EConvertError&) {
            Application->HandleException(std::current_exception());
        }
    }
    ActiveControl = nullptr;
}

void TfmArrange::btnAutoQClick() {
    if (!Song) return;
    Song->InputQuantize = btnAutoQ->Down ? 1 : 0;
    if (Midi) Midi->SetQ(btnAutoQ->Down, Song->GridTicks());
}

void TfmArrange::InstallToolbarFields() {
    editBpm->OnKeyDown = [this](TObject*, std::uint16_t& Key, TShiftState) {
        if (Key == VK_RETURN) EnterTempo();
    };
    editBpm->OnDblClick = [this](TObject*) { TempoPreset(); };

    PopupRes = new TPopupMenu();
    for (int value : {64, 32, 16, 8, 4, 2}) {
        auto* i = new TMenuItem(std::to_string(value), [value](TMenuItem*) {
            if (fmMdi) fmMdi->SetGridValue(value, std::to_string(value));
        });
        PopupRes->Items->Add(i);
    }
    panelRes->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        if (panelRes->CanFocus()) panelRes->SetFocus();
    };
    panelRes->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        const TPoint p = panelRes->ClientToScreen({0, panelRes->Height});
        ActiveControl = nullptr;
        PopupRes->Popup(p.X, p.Y);
    };

    btnAutoQ = new TSpeedButton(this);
    btnAutoQ->Parent = panelControl;
    btnAutoQ->SetBounds(430, 3, 48, 21);
    btnAutoQ->Caption = "Auto Q";
    btnAutoQ->Hint = "Quantize recorded notes to the edit resolution\rShortcut A";
    btnAutoQ->GroupIndex = 15;
    btnAutoQ->AllowAllUp = true;
    btnAutoQ->OnClick = [this](TObject*) { btnAutoQClick(); };
    MdiHooks().RecordPunchIn = [] { RecordPunchIn(); };
    MdiHooks().ToggleAutoQuantize = [] {
        if (!fmArrange) return;
        fmArrange->btnAutoQ->Down = !fmArrange->btnAutoQ->Down;
        fmArrange->btnAutoQClick();
    };
}
