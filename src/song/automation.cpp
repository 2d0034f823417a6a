// Parameter automation: entries, place codes and the point lists of a block.
#include "song/automation.h"

#include "devices/mfx.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <cmath>
#include <cstddef>

TAutoPlug::TAutoPlug() : pool_(new TAutoPoint[AutoPointPoolSize]) {}
TAutoPlug::~TAutoPlug() = default;

TAutoPoint* TAutoPlug::NewPoint() {
    if (used_ >= AutoPointPoolSize) return nullptr;
    TAutoPoint* p = &pool_[static_cast<std::size_t>(used_++)];
    *p = TAutoPoint{};
    return p;
}

float AutoEventValue(const _TEvent& Event) {
    return static_cast<float>(Event.Msg >> 16) / 32768.0f;
}

namespace {

bool Matches(const _TEvent& E, int Channel, int Param) {
    return (E.Msg & 0xF0) == 0xB0 && static_cast<int>(E.Msg & 0x0F) == Channel &&
           AutoEventParam(E.Msg) == Param;
}

// Links P into the list by Frame; a point with the first point's Frame goes after it.
void LinkPoint(TAutoPoint*& Head, TAutoPoint* P) {
    if (!Head || P->Offset < Head->Offset) {
        P->Next = Head;
        Head = P;
        return;
    }
    TAutoPoint* prev = Head;
    while (prev->Next && prev->Next->Offset < P->Offset)
        prev = prev->Next;
    P->Next = prev->Next;
    prev->Next = P;
}

// The last tick whose sample time is at most S.
std::int64_t LastTickAtOrBefore(std::int64_t S) {
    auto samples = [](std::int64_t T) {
        return static_cast<std::int64_t>(TicksToSamples(static_cast<double>(T)));
    };
    std::int64_t t = static_cast<std::int64_t>(std::floor(SamplesToTicks(static_cast<double>(S))));
    // The rounding puts the estimate a tick or so off; the steps are bounded, as the
    // conversion saturates at the ends of its range.
    for (int i = 0; i < 4 && samples(t + 1) <= S; ++i)
        ++t;
    for (int i = 0; i < 4 && samples(t) > S; ++i)
        --t;
    return t;
}

struct TLast {
    const _TEvent* Event = nullptr;
    std::int64_t Time = 0;
};

} // namespace

TAutoPoint* TSong::AutomationPoints(TAutoPlug& AutoPlug, int PosSamples, int Frames) {
    _TTrack* track = TrackAt(AutoPlug.Track);
    AutoPlug.ResetPoints();
    if (!track || track->Mute) return nullptr;
    const int channel = AutoPlug.Slot;
    TAutoPoint* head = nullptr;
    const std::int64_t blockEnd = static_cast<std::int64_t>(PosSamples) + Frames;
    // Sample times rise with ticks, so each comparison of an event's sample time with the
    // block becomes one of its tick with the last tick on the right side.
    const std::int64_t tPos = LastTickAtOrBefore(PosSamples);
    const std::int64_t tBefore = LastTickAtOrBefore(static_cast<std::int64_t>(PosSamples) - 1);
    const std::int64_t tEnd = LastTickAtOrBefore(blockEnd);
    const std::uint64_t epoch = EventListEpoch.load(std::memory_order_relaxed);

    for (int k = 0; k < AutoPlug.ParamCount && k < MaxAutoParams; ++k) {
        const int param = AutoPlug.Params[static_cast<std::size_t>(k)].Param;
        TLast L;
        // A point from L toward E (none for E nil); False when the pool is used up.
        auto add = [&](const _TEvent* E, std::int64_t tE) {
            TAutoPoint* p = AutoPlug.NewPoint();
            if (!p) return false;
            p->Param = param;
            const int sL = TicksToSamples(static_cast<double>(L.Time));
            const float vL = AutoEventValue(*L.Event);
            if (!E) {
                p->Offset = std::max(0, sL - PosSamples);
                p->Value = vL;
                p->Slope = 0.0f;
            } else {
                const int span = TicksToSamples(static_cast<double>(tE - L.Time));
                const float slope = tE > L.Time && span > 0
                                        ? (AutoEventValue(*E) - vL) / static_cast<float>(span)
                                        : 0.0f;
                const int d = sL - PosSamples;
                p->Slope = slope;
                if (d < 0) {
                    p->Value = vL + static_cast<float>(PosSamples - sL) * slope;
                    p->Offset = 0;
                } else {
                    p->Value = vL;
                    p->Offset = d;
                }
            }
            LinkPoint(head, p);
            return true;
        };

        // 1. The last value at or before the block start. The walk also notes the first
        //    matching event of the stopping part at or after the block start: step 2 goes on
        //    from there, as the events before it lie before the block. It resumes where the
        //    last block's left off when every matching event passed there lies before this
        //    block's first sample.
        TAutoCursor& c = AutoPlug.Cursors[static_cast<std::size_t>(k)];
        const bool resumes = c.Valid && c.Epoch == epoch && c.Track == track && c.Param == param &&
                             c.Channel == channel && c.Tick <= tBefore;
        _TPart* at = resumes ? c.Part : track->Parts;
        const _TEvent* next = resumes ? c.Next : at ? at->Events : nullptr;
        std::int64_t before = resumes ? c.Before : at ? at->Start : 0;
        if (resumes) L = {c.Last, c.LastTime};
        // Where the next block resumes: before the first part skipped for its start (it may
        // be reached later), else at the stopping event, else past the last part.
        bool kept = false;
        auto keep = [&](_TPart* P, const _TEvent* E, std::int64_t Before) {
            if (kept) return;
            kept = true;
            c = TAutoCursor{true, epoch, track,  param,   channel, tPos,
                            P,    E,     Before, L.Event, L.Time};
        };
        _TPart* stop = nullptr;
        TLast resume;
        for (_TPart* part = at; part && !stop; part = part->Next) {
            if (part != at) {
                next = part->Events;
                before = part->Start;
            }
            if (part->Flags & pfMuted) continue;
            if (part->Start > tPos) {
                keep(part, part->Events, part->Start);
                continue;
            }
            std::int64_t time = before;
            resume = {};
            for (const _TEvent* e = next; e; e = e->Next) {
                time += e->Delta;
                if (!Matches(*e, channel, param)) continue;
                if (!resume.Event && time > tBefore) resume = {e, time};
                if (time <= tPos) {
                    L = {e, time};
                } else {
                    keep(part, e, time - e->Delta);
                    stop = part;
                    break;
                }
            }
        }
        keep(nullptr, nullptr, 0);
        // 2. Points in the block and toward the first value after it.
        bool finished = false, full = false;
        for (_TPart* part = stop; part && !finished; part = part->Next) {
            if (part->Flags & pfMuted) continue;
            const bool first = part == stop;
            const _TEvent* e = first ? resume.Event : part->Events;
            std::int64_t time = first ? resume.Time : part->Start + (e ? e->Delta : 0);
            for (; e; e = e->Next, time += e ? e->Delta : 0) {
                if (!Matches(*e, channel, param)) continue;
                if (time > tEnd) {
                    if (L.Event) full = !add(e, time);
                    finished = true;
                    break;
                }
                if (e != L.Event && time > tBefore) {
                    if (L.Event && !add(e, time)) {
                        full = true;
                        finished = true;
                        break;
                    }
                    L = {e, time};
                }
            }
        }
        // 3.
        if (!finished && L.Event) full = !add(nullptr, 0);
        if (full) break; // later parameters keep their values for this block
    }
    return head;
}

void TSong::DeleteAutomationEvents(int Track, int Slot, bool ShiftDown, int Param) {
    _TTrack* track = TrackAt(Track);
    if (!track) return;
    for (_TPart* part = track->Parts; part; part = part->Next) {
        for (_TEvent* e = part->Events; e; e = e->Next) {
            e->Flags &= ~efSelected;
            const int channel = static_cast<int>(e->Msg & 0x0F);
            if (channel == Slot && (Param == -1 || AutoEventParam(e->Msg) == Param))
                e->Flags |= efSelected;
            else if (ShiftDown && channel > Slot)
                e->Msg = (e->Msg & ~0x0Fu) | static_cast<std::uint32_t>(channel - 1);
        }
        DeleteSelectedEvents(part);
    }
}

// ---- place codes ----

namespace {

// Looks for Plugin among the inserts of Slots from slot 0 up to the first inactive one.
bool FindInsert(const TSoftOuts& Slots, int Count, const TMFX* Plugin, int& Slot, int& Index) {
    for (int s = 0; s < Count && Slots[static_cast<std::size_t>(s)].Active; ++s) {
        const TSoftOut& out = Slots[static_cast<std::size_t>(s)];
        for (std::size_t i = 0; i < out.Inserts.size(); ++i)
            if (out.Inserts[i]->Plugin == Plugin) {
                Slot = s;
                Index = static_cast<int>(i);
                return true;
            }
    }
    return false;
}

TMFX* InsertAt(const TSoftOut& Slot, int Index) {
    if (Index < 0 || static_cast<std::size_t>(Index) >= Slot.Inserts.size()) return nullptr;
    return Slot.Inserts[static_cast<std::size_t>(Index)]->Plugin;
}

} // namespace

bool TSubEngine::MakePlugId(const TMFX* Plugin, TPlugId& Id) const {
    if (!Plugin) return false;
    auto set = [&](const char* code, int a, int b, int c) {
        Id.Code = code;
        Id.Ind1 = a;
        Id.Ind2 = b;
        Id.Ind3 = c;
        return true;
    };
    for (std::size_t i = 0; i < MasterBuses.size(); ++i)
        if (MasterBuses[i]->Plugin == Plugin) return set("mas", static_cast<int>(i), 0, 0);
    for (std::size_t i = 0; i < Buses.size(); ++i)
        if (Buses[i]->Plugin == Plugin) return set("grp", static_cast<int>(i), 0, 0);
    if (SoftEngine)
        for (int i = 0; i < SoftEngine->Count(); ++i)
            if (SoftEngine->Items[static_cast<std::size_t>(i)]->Plugin.get() == Plugin)
                return set("syn", i, 0, 0);
    int slot = 0, index = 0;
    if (SoftEngine)
        for (int i = 0; i < SoftEngine->Count(); ++i) {
            TSoftItem* item = SoftEngine->Items[static_cast<std::size_t>(i)];
            if (FindInsert(item->Outputs, item->OutputCount, Plugin, slot, index))
                return set("sci", i, slot, index);
        }
    if (!Song) return false;
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Song->TrackAt(t);
        if (track->Mode == tmAudio &&
            FindInsert(track->Outputs, OutputSlotCount, Plugin, slot, index))
            return set("aci", t, slot, index);
    }
    if (FindInsert(Song->DiskOutputs, OutputSlotCount, Plugin, slot, index)) {
        Id.Code = "dci";
        Id.Ind1 = slot;
        Id.Ind2 = index;
        return true;
    }
    return false;
}

TMFX* TSubEngine::ResolvePlugId(const TPlugId& Id) const {
    auto slotOf = [&](const TSoftOuts& Slots, int S, int Limit, int Index) -> TMFX* {
        if (S < 0 || S >= Limit || S >= OutputSlotCount) return nullptr;
        return InsertAt(Slots[static_cast<std::size_t>(S)], Index);
    };
    if (Id.Code == "mas") {
        if (Id.Ind1 < 0 || static_cast<std::size_t>(Id.Ind1) >= MasterBuses.size()) return nullptr;
        return MasterBuses[static_cast<std::size_t>(Id.Ind1)]->Plugin;
    }
    if (Id.Code == "grp") {
        TSub* b = GetSub(Id.Ind1);
        return b ? b->Plugin : nullptr;
    }
    if (Id.Code == "syn") {
        TSoftItem* item = SoftEngine ? SoftEngine->GetItem(Id.Ind1) : nullptr;
        return item ? item->Plugin.get() : nullptr;
    }
    if (Id.Code == "sci") {
        TSoftItem* item = SoftEngine ? SoftEngine->GetItem(Id.Ind1) : nullptr;
        return item ? slotOf(item->Outputs, Id.Ind2, item->OutputCount, Id.Ind3) : nullptr;
    }
    if (!Song) return nullptr;
    if (Id.Code == "aci") {
        _TTrack* track = Song->TrackAt(Id.Ind1);
        return track ? slotOf(track->Outputs, Id.Ind2, OutputSlotCount, Id.Ind3) : nullptr;
    }
    if (Id.Code == "dci") return slotOf(Song->DiskOutputs, Id.Ind1, OutputSlotCount, Id.Ind2);
    return nullptr;
}

// ---- the engine's steps ----

void AutomatePlugin(TSong& S, TMFX* Plugin, int Frames) {
    if (!Plugin || !Plugin->Automated || !Plugin->AutoLink) return;
    TAutoPoint* list = S.AutomationPoints(*Plugin->AutoLink, BlockPosition.Samples, Frames);
    Plugin->Command(MFX_AUTOMATION, 0, reinterpret_cast<std::intptr_t>(list));
}

void LinkAutomationEntries(TSong& S) {
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = S.TrackAt(t);
        if (!track) continue;
        for (std::size_t i = 0; i < track->AutoPlugs.size(); ++i) {
            TAutoPlug* entry = track->AutoPlugs[i];
            entry->Track = t;
            entry->Slot = static_cast<int>(i);
            entry->ResetCursors();
            if (entry->Plugin) entry->Plugin->AutoLink = entry;
        }
    }
}

void UnlinkAutomationEntries(TSong& S, const TMFX* Plugin) {
    if (!Plugin) return;
    for (int t = 0; t < TrackCount; ++t)
        if (_TTrack* track = S.TrackAt(t))
            for (TAutoPlug* entry : track->AutoPlugs)
                if (entry->Plugin == Plugin) entry->Plugin = nullptr;
}

void TRenderEngines::Automate(TMFX* Plugin, int Frames) {
    if (Song) AutomatePlugin(*Song, Plugin, Frames);
}

void TLocateHooks::LinkAutomation(TSong& S) {
    LinkAutomationEntries(S);
}
