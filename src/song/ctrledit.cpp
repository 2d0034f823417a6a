#include "song/ctrledit.h"

#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/gmnames.h"
#include "song/primitives.h"
#include "song/timebase.h"
#include "song/trackout.h"
#include "song/undo.h"

#include <algorithm>
#include <vector>

namespace {

bool IsLaneEvent(const _TEvent* e, int Lane, int Controller) {
    std::uint32_t kind = MidiStatus(e->Msg);
    switch (Lane) {
    case 1:
        return kind == 0xE0;
    case 2:
        return kind == 0xB0 && static_cast<int>(MidiData1(e->Msg)) == Controller;
    case 5:
        return kind == 0xC0;
    default:
        return false;
    }
}

bool IsLane(int Lane) {
    return Lane == 1 || Lane == 2 || Lane == 5;
}

int LaneValue(std::uint32_t Msg, int Lane) {
    if (Lane == 1) return static_cast<int>(MidiData1(Msg) | (MidiData2(Msg) << 7));
    if (Lane == 5) return static_cast<int>(MidiData1(Msg));
    return static_cast<int>(MidiData2(Msg));
}

// The lane event with a new value, limited to the lane's range; the fourth byte goes unless
// KeepRest.
void SetLaneValue(_TEvent* e, int Lane, int Value, bool KeepRest = false) {
    std::uint32_t status = e->Msg & 0xFF;
    std::uint32_t rest = KeepRest ? e->Msg & 0xFF000000u : 0;
    std::uint32_t msg;
    if (Lane == 1) {
        std::uint32_t v = static_cast<std::uint32_t>(Clamp(Value, 0, 16383));
        msg = PackMidiMsg(status, v & 0x7F, v >> 7);
    } else if (Lane == 5) {
        msg = PackMidiMsg(status, static_cast<std::uint32_t>(Clamp(Value, 0, 127)),
                          KeepRest ? MidiData2(e->Msg) : 0);
    } else {
        msg = PackMidiMsg(status, MidiData1(e->Msg),
                          static_cast<std::uint32_t>(Clamp(Value, 0, 127)));
    }
    e->Msg = msg | rest;
    e->Flags |= efRedraw;
}

bool IsParam(const _TEvent* e, int Param) {
    return MidiStatus(e->Msg) == msAweParam &&
           (Param == -1 || static_cast<int>(MidiData1(e->Msg)) == Param);
}

void SetParamValue(_TEvent* e, int Value) {
    e->Msg = PackAweParam(MidiChannel(e->Msg), static_cast<int>(MidiData1(e->Msg)),
                          Clamp(Value, -8192, 8192));
    e->Flags |= efRedraw;
}

// The last event before Tick that passes Match; of several at that time, the first.
template <class F> _TEvent* LastBefore(_TPart* Part, int Tick, F&& Match) {
    _TEvent* found = nullptr;
    std::int64_t foundTime = -1, time = 0;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (time >= Tick) break;
        if (Match(e) && time != foundTime) {
            found = e;
            foundTime = time;
        }
    }
    return found;
}

// The same as LastBefore, but the last one at that time in list order.
template <class F> _TEvent* LastInListBefore(_TPart* Part, int Tick, F&& Match) {
    _TEvent* found = nullptr;
    std::int64_t time = 0;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (time >= Tick) break;
        if (Match(e)) found = e;
    }
    return found;
}

// The lane's events from the anchor of Tick (the first of the latest same-time group at or
// before Tick, else the first one after it) up to Tick + the grid, exclusive.
std::vector<_TEvent*> LaneEventsAround(_TPart* Part, int Lane, int Controller, int Tick) {
    std::vector<std::pair<_TEvent*, std::int64_t>> lane;
    std::int64_t time = 0;
    for (_TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next) {
        time += e->Delta;
        if (IsLaneEvent(e, Lane, Controller)) lane.push_back({e, time});
    }
    std::size_t anchor = 0;
    for (std::size_t i = 0; i < lane.size() && lane[i].second <= Tick; ++i)
        if (i == 0 || lane[i].second != lane[i - 1].second) anchor = i;
    std::vector<_TEvent*> out;
    std::int64_t end = static_cast<std::int64_t>(Tick) + Song->GridTicks();
    for (std::size_t i = anchor; i < lane.size() && lane[i].second < end; ++i)
        out.push_back(lane[i].first);
    return out;
}

void OpenPartStep(_TPart* Part, const char* Caption) {
    Song->UndoStore->Begin(ukEdit, Caption);
    Song->UndoStore->AddPart(SnapshotPart(Part));
}

// Takes the events that Drop picks out of the part, keeping the order of the others, and
// hands each to Gone before it is freed.
template <class D, class G> void RemoveEvents(_TPart* Part, D&& Drop, G&& Gone) {
    EventsToAbsolute(Part);
    _TEvent* list = Part->Events;
    Part->Events = nullptr;
    Part->Last = nullptr;
    _TEvent** tail = &Part->Events;
    for (_TEvent* e = list; e;) {
        _TEvent* next = e->Next;
        e->Next = nullptr;
        if (Drop(e)) {
            Gone(e);
            FreeEvent(e);
        } else {
            *tail = e;
            tail = &e->Next;
        }
        e = next;
    }
    EventsToDelta(Part);
    Part->Flags |= pfRedraw;
}

} // namespace

int RampValue(std::int64_t T, int FromTick, int ToTick, int StartValue, int EndValue) {
    double slope = ToTick != FromTick ? static_cast<double>(EndValue - StartValue) /
                                            (static_cast<double>(ToTick) - FromTick)
                                      : 0.0;
    double v = static_cast<double>(T) * slope + StartValue - FromTick * slope;
    return FloorToInt(static_cast<float>(v));
}

void SetLaneValueAt(_TPart* Part, int Tick, int Value, int Lane, int Controller) {
    if (!IsLane(Lane)) return;
    _TEvent* e = LastInListBefore(
        Part, Tick, [&](const _TEvent* x) { return IsLaneEvent(x, Lane, Controller); });
    if (e) SetLaneValue(e, Lane, Value);
}

void SetVelocityAt(_TPart* Part, int Tick, int Velocity, bool SelectedOnly) {
    _TEvent* first = LastBefore(Part, Tick, [&](const _TEvent* e) {
        return IsNoteOn(e->Msg) && (!SelectedOnly || (e->Flags & efSelected));
    });
    if (!first) return;
    std::uint32_t v = static_cast<std::uint32_t>(Clamp(Velocity, 1, 127));
    for (_TEvent* e = first; e && (e == first || e->Delta == 0); e = e->Next)
        if (IsNoteOn(e->Msg)) {
            e->Msg = (e->Msg & ~0xFF0000u) | (v << 16);
            e->Flags |= efRedraw;
        }
}

void SetSampleNoteValueAt(_TPart* Part, int Tick, int Value, bool IsVolume, int Sample) {
    _TEvent* e = LastBefore(Part, Tick, [&](const _TEvent* x) {
        return IsNoteOn(x->Msg) && static_cast<int>(MidiData1(x->Msg)) == Sample;
    });
    if (!e) return;
    if (IsVolume)
        e->Msg = (e->Msg & ~0xFF0000u) | (static_cast<std::uint32_t>(Clamp(Value, 1, 127)) << 16);
    else
        e->Msg = (e->Msg & 0xFFFFFFu) | (static_cast<std::uint32_t>(Clamp(Value, 0, 127)) << 24);
    e->Flags |= efRedraw;
}

void SetParamValueAt(_TPart* Part, int Tick, int Value, int Param) {
    _TEvent* e = LastInListBefore(Part, Tick, [&](const _TEvent* x) { return IsParam(x, Param); });
    if (e) SetParamValue(e, Value);
}

void ChangeLaneValues(_TPart* Part, int Mode, int Value, int Lane, bool SelectedOnly,
                      int Controller) {
    if (!Part || !IsLane(Lane)) return;
    OpenPartStep(Part, Lane == 2   ? "Undo controller"
                       : Lane == 5 ? "Undo program change"
                                   : "Undo pitch bend");
    if (Mode != 0 && Mode != 2) return;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsLaneEvent(e, Lane, Controller) || (SelectedOnly && !(e->Flags & efSelected)))
            continue;
        SetLaneValue(e, Lane, Mode == 0 ? Value : LaneValue(e->Msg, Lane) + Value);
    }
    Part->Flags |= pfRedraw;
}

void RampLaneValues(_TPart* Part, int Controller, int FromTick, int Lane, int EndValue,
                    int StartValue, int ToTick) {
    if (!Part || !IsLane(Lane)) return;
    if (ToTick == -1) ToTick = Part->Length;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (time < FromTick || time > ToTick || !IsLaneEvent(e, Lane, Controller)) continue;
        SetLaneValue(e, Lane, RampValue(time, FromTick, ToTick, StartValue, EndValue));
    }
}

void RampSampleNoteValues(_TPart* Part, int FromTick, int ToTick, bool IsVolume, int Sample,
                          int EndValue, int StartValue) {
    if (!Part) return;
    if (ToTick == -1) ToTick = Part->Length;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (time < FromTick || time > ToTick || !IsNoteOn(e->Msg) ||
            static_cast<int>(MidiData1(e->Msg)) != Sample)
            continue;
        int v = RampValue(time, FromTick, ToTick, StartValue, EndValue);
        if (IsVolume)
            e->Msg = (e->Msg & ~0xFF0000u) | (static_cast<std::uint32_t>(Clamp(v, 1, 127)) << 16);
        else
            e->Msg = (e->Msg & 0xFFFFFFu) | (static_cast<std::uint32_t>(Clamp(v, 0, 127)) << 24);
        e->Flags |= efRedraw;
    }
}

void RampParamValues(_TPart* Part, int Param, int FromTick, int EndValue, int StartValue,
                     int ToTick) {
    if (!Part) return;
    if (ToTick == -1) ToTick = Part->Length;
    std::int64_t time = 0;
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        time += e->Delta;
        if (time < FromTick || time > ToTick || MidiStatus(e->Msg) != msAweParam ||
            static_cast<int>(MidiData1(e->Msg)) != Param)
            continue;
        int lane = Clamp(RampValue(time, FromTick, ToTick, StartValue, EndValue), 1, 127);
        SetParamValue(e, AweValueFromLane(Param, lane));
    }
}

void LimitControllerRange(_TPart* Part, int Controller, int Lo, int Hi) {
    if (!Part) return;
    OpenPartStep(Part, "Undo controller range");
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsLaneEvent(e, 2, Controller)) continue;
        int v = static_cast<int>(MidiData2(e->Msg));
        if (v < Lo) v = Lo;
        if (v > Hi) v = Hi;
        SetLaneValue(e, 2, v);
    }
    Part->Flags |= pfRedraw;
}

void LimitVelocityRange(_TPart* Part, int Lo, int Hi) {
    if (!Part) return;
    OpenPartStep(Part, "Undo velocity range");
    for (_TEvent* e = Part->Events; e; e = e->Next) {
        if (!IsNoteOn(e->Msg)) continue;
        int v = static_cast<int>(MidiData2(e->Msg));
        if (v < Lo) v = Lo;
        if (v > Hi) v = Hi;
        // A velocity of 0 would make a note off of it; a sample note keeps its pan.
        v = Clamp(v, 1, 127);
        e->Msg = (e->Msg & ~0xFF0000u) | (static_cast<std::uint32_t>(v) << 16);
        e->Flags |= efRedraw;
    }
    Part->Flags |= pfRedraw;
}

void DeleteControllers(_TPart* Part, int Controller) {
    if (!Part) return;
    const _TTrack* track = Song ? Song->TrackAt(Part->Track) : nullptr;
    RemoveEvents(
        Part,
        [&](const _TEvent* e) {
            return MidiStatus(e->Msg) == 0xB0 &&
                   (Controller == -1 || static_cast<int>(MidiData1(e->Msg)) == Controller);
        },
        [&](const _TEvent* e) {
            if (!track) return;
            std::uint32_t number = MidiData1(e->Msg);
            std::uint32_t value = number == 10 ? 63 : number == 7 ? 127 : 0;
            // A track without a channel of its own played the event on the event's channel.
            int channel = track->Channel >= 0 ? track->Channel & 15 : MidiChannel(e->Msg);
            SendToTrack(track, PackMidiMsg(0xB0 + channel, number, value));
        });
}

void DeleteParamEvents(_TPart* Part, int Param) {
    if (!Part) return;
    RemoveEvents(
        Part, [&](const _TEvent* e) { return IsParam(e, Param); }, [](const _TEvent*) {});
}

void DeleteEventsOfStatus(_TPart* Part, int Status) {
    if (!Part) return;
    UnselectEvents(Part);
    for (_TEvent* e = Part->Events; e; e = e->Next)
        if (static_cast<int>(MidiStatus(e->Msg)) == Status) e->Flags |= efSelected | efRedraw;
    DeleteSelectedEvents(Part);
    Part->Flags |= pfRedraw;
}

void TSong::ChangeLaneValueAt(_TPart* Part, int Delta, int Controller, int Lane, int Tick) {
    if (!Part || !IsLane(Lane)) return;
    std::vector<_TEvent*> events = LaneEventsAround(Part, Lane, Controller, Tick);
    if (events.empty()) return;
    OpenPartStep(Part, "Undo controller value");
    for (_TEvent* e : events)
        SetLaneValue(e, Lane, LaneValue(e->Msg, Lane) + Delta, true);
    Part->Flags |= pfRedraw;
}

void TSong::SelectLaneEventsAt(_TPart* Part, int Tick, int Controller, int Lane) {
    if (!Part || !IsLane(Lane)) return;
    UnselectEvents(Part);
    for (_TEvent* e : LaneEventsAround(Part, Lane, Controller, Tick))
        e->Flags |= efSelected | efRedraw;
}

void TSong::DeleteControllersSelectedParts(int Controller) {
    EditSelectedParts(*this, ukEdit, "Undo delete", false, [&](_TTrack*, _TPart* p) {
        DeleteControllers(p, Controller);
        return false;
    });
}

void TSong::DeleteParamsSelectedParts(int Param) {
    EditSelectedParts(*this, ukEdit, "Undo delete", false, [&](_TTrack*, _TPart* p) {
        DeleteParamEvents(p, Param);
        return false;
    });
}

void TSong::DeleteStatusSelectedParts(int Status) {
    EditSelectedParts(*this, ukEdit, "Undo delete", false, [&](_TTrack*, _TPart* p) {
        DeleteEventsOfStatus(p, Status);
        return false;
    });
}

bool TSong::PartHasStatus(const _TPart* Part, int Status) const {
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (static_cast<int>(MidiStatus(e->Msg)) == Status) return true;
    return false;
}

bool TSong::PartHasController(const _TPart* Part, int Controller) const {
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (IsLaneEvent(e, 2, Controller)) return true;
    return false;
}

bool TSong::PartHasParam(const _TPart* Part, int Param) const {
    for (const _TEvent* e = Part ? Part->Events : nullptr; e; e = e->Next)
        if (MidiStatus(e->Msg) == msAweParam && static_cast<int>(MidiData1(e->Msg)) == Param)
            return true;
    return false;
}
