#include "song/undo.h"

#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/trackout.h"

#include <algorithm>

namespace {

TUndoSamples headlessSamples;
TUndoSamples* undoSamples = &headlessSamples;

} // namespace

TUndoSamples& UndoSamples() {
    return *undoSamples;
}
void SetUndoSamples(TUndoSamples* Seam) {
    undoSamples = Seam ? Seam : &headlessSamples;
}

int TUndoSamples::PoolCount(TSong& S) {
    return S.SamplePool ? S.SamplePool->Items.Count() : 0;
}

void TUndoSamples::RestoreSample(TSong& S, int Index, TUndoExtra& Extra, const std::string& Name) {
    if (Index < 0 || Index >= PoolCount(S)) return;
    TWaveCollectionItem* item = S.SamplePool->Items.GetItem(Index);
    if (auto* copy = dynamic_cast<TUndoWave*>(&Extra)) item->SetWave(&copy->Wave);
    item->SetName(Name);
}

void TUndoSamples::FreeSample(TSong& S, int Index) {
    if (Index >= 0 && Index < PoolCount(S)) S.SamplePool->Items.Delete(Index);
}

void TUndoSamples::RemoveSampleSlot(TSong&, _TTrack& Track, int Slot) {
    if (Slot < 0 || Slot >= static_cast<int>(Track.Samples.size())) return;
    Track.Samples.erase(Track.Samples.begin() + Slot);
    if (Track.Samples.empty() && Track.MixChannel) {
        SongEngines().FreeMixChannel(Track);
        Track.MixChannel = nullptr;
    }
}

_TPart* SnapshotPart(const _TPart* Part) {
    _TPart* copy = CopyPart(Part);
    if (copy) copy->Group = Part->Group;
    return copy;
}

void SendPartController(const _TTrack* Track, const _TPart* Part, int Controller, int Value) {
    if (!Track) return;
    const std::uint32_t msg = PackMidiMsg(0xB0, std::uint32_t(Controller), std::uint32_t(Value));
    if (Track->Channel >= 0) {
        SendOnTrackChannel(Track, msg);
        return;
    }
    bool used[16] = {};
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        std::uint32_t kind = MidiStatus(e->Msg);
        if (kind >= 0x80 && kind <= 0xE0) used[MidiChannel(e->Msg)] = true;
    }
    for (std::uint32_t c = 0; c < 16; ++c)
        if (used[c]) SendToTrack(Track, msg + c);
}

TUndo::TUndo(TSong& Owner) : Owner(Owner) {}

TUndo::~TUndo() {
    FreeParts();
}

void TUndo::FreeParts() {
    while (!Parts.empty()) {
        FreePart(Parts.back());
        Parts.pop_back();
    }
    MoveSources.clear();
}

std::function<void(int, std::string_view)> UndoBeginHook;

void TUndo::Begin(int NewKind, std::string_view NewCaption) {
    if (UndoBeginHook) UndoBeginHook(NewKind, NewCaption);
    FreeParts();
    Kind = NewKind;
    if (NewKind != ukNone) {
        Caption = NewCaption;
        Owner.Modified = 1;
    } else {
        Caption = "Undo";
    }
    Extra.reset();
    Owner.SetCurrentPart(Owner.CurrentPart);
}

void TUndo::AddPart(_TPart* Part) {
    if (!Part) return;
    Part->Next = nullptr; // a saved part belongs to no track list
    Parts.push_back(Part);
}

_TPart* TUndo::PopPart() {
    if (Parts.empty()) return nullptr;
    _TPart* p = Parts.back();
    Parts.pop_back();
    if (MoveSources.size() > Parts.size()) MoveSources.resize(Parts.size());
    return p;
}

int MovedIndex(int Index, int From, int To) {
    if (Index == From) return To;
    if (From < To && Index > From && Index <= To) return Index - 1;
    if (To < From && Index >= To && Index < From) return Index + 1;
    return Index;
}

void TUndo::TrackMoved(int FromIndex, int ToIndex) {
    if (Kind == ukMove && MoveSources.empty())
        for (std::size_t i = 0; i < Parts.size(); ++i)
            MoveSources.push_back(Parts[i]->Track - Arg2);
    for (int& source : MoveSources)
        source = MovedIndex(source, FromIndex, ToIndex);
    for (_TPart* p : Parts)
        p->Track = MovedIndex(p->Track, FromIndex, ToIndex);
}

int TUndo::MoveSourceTrack(std::size_t Index) const {
    if (Index < MoveSources.size()) return MoveSources[Index];
    return Parts[Index]->Track - Arg2;
}

namespace {

// Links a saved part into its track, first deleting the part that starts where it starts.
// A part that cannot go in is freed.
void PutBack(TSong& S, _TPart* Saved, bool Selected) {
    _TTrack* t = S.TrackAt(Saved->Track);
    if (!t) {
        FreePart(Saved);
        return;
    }
    DeletePart(t, Saved);
    Saved->Flags = (Saved->Flags & ~pfBeforeSplit) | pfRedraw;
    if (Selected) Saved->Flags |= pfSelected;
    Saved->Next = nullptr;
    if (!InsertPart(t, Saved)) FreePart(Saved);
}

void InsertBack(TSong& S, _TPart* Saved) {
    _TTrack* t = S.TrackAt(Saved->Track);
    Saved->Flags = (Saved->Flags & ~pfBeforeSplit) | pfRedraw;
    Saved->Next = nullptr;
    if (!t || !InsertPart(t, Saved)) FreePart(Saved);
}

// Kinds 18 and 19: the halves go, the parts as they were before the split come back.
void UndoSplit(TSong& S, std::vector<_TPart*>& Saved, bool Selected) {
    for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
        _TPart* p = *it;
        if (_TTrack* t = S.TrackAt(p->Track)) DeletePart(t, p);
        if (p->Flags & pfBeforeSplit) {
            if (Selected) p->Flags |= pfSelected;
            InsertBack(S, p);
        } else {
            FreePart(p);
        }
    }
    Saved.clear();
}

} // namespace

void TSong::Undo() {
    TUndo& u = *UndoStore;
    std::vector<int> sources; // of a move
    if (u.Kind == ukMove)
        for (std::size_t i = 0; i < u.Parts.size(); ++i)
            sources.push_back(u.MoveSourceTrack(i));
    std::vector<_TPart*> saved;
    saved.swap(u.Parts);
    // Anything left in saved at the end was not taken back into the song.
    auto takeLast = [&]() -> _TPart* {
        if (saved.empty()) return nullptr;
        _TPart* p = saved.back();
        saved.pop_back();
        return p;
    };
    auto validPool = [&](int index) {
        return index >= 0 && index < UndoSamples().PoolCount(*this);
    };

    switch (u.Kind) {
    case ukDelete:
        while (_TPart* p = takeLast())
            InsertBack(*this, p);
        break;
    case ukMove: {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            if (_TTrack* t = TrackAt((*it)->Track)) DeletePart(t, *it);
        for (std::size_t i = saved.size(); i-- > 0;) {
            _TPart* p = saved[i];
            SendPartController(TrackAt(p->Track), p, 123, 0);
            p->Start -= u.Arg1;
            p->Track = sources[i];
            InsertBack(*this, p);
        }
        saved.clear();
        break;
    }
    case ukAdded:
        while (_TPart* p = takeLast()) {
            _TTrack* t = TrackAt(p->Track);
            if (t) {
                DeletePart(t, p);
                SendPartController(t, p, 123, 0);
            }
            FreePart(p);
        }
        break;
    case ukInsert:
        if (_TPart* p = takeLast()) {
            if (_TTrack* t = TrackAt(p->Track)) DeletePart(t, p);
            FreePart(p);
        }
        break;
    case ukGlue:
        for (_TPart* p : saved)
            PutBack(*this, p, true);
        saved.clear();
        break;
    case ukRecord:
        if (_TPart* p = takeLast()) PutBack(*this, p, false);
        break;
    case ukSingle:
        if (_TPart* p = takeLast()) PutBack(*this, p, true);
        break;
    case ukLength:
    case ukEdit:
    case ukStep:
        while (_TPart* p = takeLast())
            PutBack(*this, p, true);
        break;
    case ukSplit:
        UnselectAllParts();
        UndoSplit(*this, saved, true);
        break;
    case ukArea: {
        UnselectAllParts();
        int shift = u.Arg2 - u.Arg1;
        for (int i = 0; i < TrackCount; ++i)
            for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
                if (p->Start >= u.Arg2) {
                    p->Start -= shift;
                    p->Flags |= pfRedraw;
                }
        UndoSplit(*this, saved, false);
        UnselectAllParts();
        break;
    }
    case ukReplace:
        if (u.Extra && validPool(u.Arg1))
            UndoSamples().RestoreSample(*this, u.Arg1, *u.Extra, u.Name);
        break;
    case ukResizeStart:
        if (saved.size() == 2) {
            _TPart* after = saved[1];
            if (_TTrack* t = TrackAt(after->Track)) DeletePart(t, after);
            FreePart(after);
            saved.pop_back();
            _TPart* before = takeLast();
            before->Flags |= pfSelected;
            InsertBack(*this, before);
        } else {
            platform::MessageBox("Undo resize error", "Error",
                                 platform::MB_OK | platform::MB_ICONERROR);
        }
        break;
    case ukRecordOver:
        if (u.Extra && validPool(u.Arg1))
            UndoSamples().RestoreSample(*this, u.Arg1, *u.Extra, u.Name);
        if (_TPart* p = takeLast()) PutBack(*this, p, true);
        break;
    case ukRecordNew:
        if (validPool(u.Arg1)) UndoSamples().FreeSample(*this, u.Arg1);
        if (_TPart* p = takeLast()) {
            int track = p->Track;
            PutBack(*this, p, true);
            _TTrack* t = TrackAt(track);
            if (t && u.Arg2 >= 0 && u.Arg2 < static_cast<int>(t->Samples.size()))
                UndoSamples().RemoveSampleSlot(*this, *t, u.Arg2);
        }
        break;
    default: // nothing to undo, kind 21 of the editor plug-ins included
        break;
    }
    for (_TPart* p : saved)
        FreePart(p);
    SetCurrentPart(SelectedPartCount() == 1 ? FirstSelectedPart() : nullptr);
    u.Begin(ukNone, "Undo");
}
