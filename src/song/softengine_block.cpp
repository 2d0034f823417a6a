// A softsynth in one audio block: its due song events become timed events with frames inside
// the block, the plug-in gets them with the live events and processes the block, and its
// outputs are mixed through their slots. Runs on the audio thread and allocates nothing.
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/engine.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>

static_assert(sizeof(_TTimedEvent) == sizeof(TMfxEvent) &&
                  offsetof(_TTimedEvent, Frame) == offsetof(TMfxEvent, Frame) &&
                  offsetof(_TTimedEvent, Msg) == offsetof(TMfxEvent, Message) &&
                  offsetof(_TTimedEvent, Source) == offsetof(TMfxEvent, Synth) &&
                  offsetof(_TTimedEvent, Next) == offsetof(TMfxEvent, Next),
              "timed events are the own interface's event nodes");

namespace {

// Channels a plug-in has beyond the slot buffers read silence and write into the discard.
float silence[MaxBlockFrames];
float discard[MaxBlockFrames];

// A plug-in's emitted list is walked at most this far: a list that loops must not hang a block.
constexpr int MaxRoutedEvents = 65536;
// Song events one softsynth dispatches in a block at most: whatever the locators do under a
// running loop, a block ends.
constexpr int MaxDispatched = 1 << 20;

bool Running(const TSong* S) {
    return S && S->State != 0;
}

void Refill(TSong& S, TSoftItem& Item, std::int64_t Base) {
    const int base = static_cast<int>(std::clamp<std::int64_t>(Base, INT_MIN / 2, INT_MAX / 2));
    S.PrimeSoftsynthQueues(S.LeftLocator, Item.Number(), base);
}

bool AfterLoopEnd(const TSong& S, const TSoftQ& Q, const _TSoftNode& Node) {
    return S.Looping && static_cast<std::int64_t>(Q.BaseTick) + Q.ToGo(Node) >= S.RightLocator;
}

// The distance from the last dispatched event to the first loop pass that starts at or after
// the block, for a queue found empty at the start of a block. The queue's own clock says
// where the passes lie, so a refill that finds nothing does not shift the next one.
std::int64_t NextPassBase(const TSong& S, const TSoftQ& Q) {
    const std::int64_t span = static_cast<std::int64_t>(S.RightLocator) - S.LeftLocator;
    if (span <= 0) return static_cast<std::int64_t>(S.RightLocator) - Q.BaseTick;
    std::int64_t boundary = static_cast<std::int64_t>(S.RightLocator) - Q.LocateBase;
    const double now = SamplesToTicks(Q.SampleBase);
    if (now > static_cast<double>(boundary))
        boundary += static_cast<std::int64_t>(std::ceil((now - static_cast<double>(boundary)) /
                                                        static_cast<double>(span))) *
                    span;
    while (TicksToSamples(static_cast<double>(boundary)) < Q.SampleBase)
        boundary += span;
    return boundary - Q.Pos;
}

std::uint32_t NoteRelease(int Channel, int Key) {
    return PackMidiMsg(0x90 + static_cast<std::uint32_t>(Channel), static_cast<std::uint32_t>(Key),
                       0);
}

} // namespace

// ---- dispatching ----

void DispatchSoftsynthEvents(TSoftItem& Item, int Frames) {
    // A softsynth whose plug-in is not there stands still.
    if (!Item.Plugin->Loaded) return;
    TSong* S = Song;
    if (Running(S)) {
        TSoftQ& q = *Item.Queue;
        const bool looping = S->Looping;
        if (looping && !q.Pending) Refill(*S, Item, NextPassBase(*S, q));
        int dispatched = 0;
        while (_TSoftNode* e = q.Head()) {
            if (++dispatched > MaxDispatched) break;
            if (AfterLoopEnd(*S, q, *e)) {
                Refill(*S, Item, static_cast<std::int64_t>(S->RightLocator) - q.BaseTick);
                e = q.Head();
                // Locators moved under a running loop can leave even the refill past its end.
                if (!e || AfterLoopEnd(*S, q, *e)) break;
            }
            // With the timed pool used up the rest waits, overdue, for the next block.
            if (q.FreeTimedCount() == 0) break;
            if (!Item.EventDue(q.ToGo(*e), Frames)) break;
            _TEvent* ev = e->Event;
            const int channel = e->Channel;
            q.AddTimed(*ev, channel, -1);
            q.DropHead();
            if (q.IsMadeEvent(ev)) {
                q.FreeMadeEvent(ev);
            } else if (ev->Next) {
                ev->Next->ToGo = ev->Next->Delta;
                q.AddEvent(ev->Next, channel);
            }
            if (looping && !q.Pending)
                Refill(*S, Item, static_cast<std::int64_t>(S->RightLocator) - q.BaseTick);
        }
    }
    Item.Process(S ? S->MixBuffer.data() : nullptr, Frames);
}

bool TSoftItem::EventDue(int ToGo, int Frames) {
    TSoftQ& q = *Queue;
    const int at = TicksToSamples(static_cast<double>(q.Pos) + ToGo);
    // Earlier than the block (held back by a full block or pool) is due at once.
    if (at > q.SampleBase + Frames - 1) return false;
    q.Pos += ToGo;
    q.BaseTick += ToGo;
    return true;
}

// ---- processing ----

void TSoftItem::CountNote(std::uint32_t Msg) {
    const std::uint32_t status = Msg & 0xFF;
    if (status < 0x80 || status >= 0xF0) return;
    std::int16_t& n = Queue->NoteCount[Msg & 0x0F][MidiData1(Msg) & 0x7F];
    if (IsNoteOn(Msg)) {
        if (n < INT16_MAX) ++n;
    } else if (IsNoteOff(Msg)) {
        n = n > 0 ? static_cast<std::int16_t>(n - 1) : 0;
    }
}

void TSoftItem::AddRecord(int Frame, std::uint32_t Msg) {
    const int i = EventBlock.numEvents++;
    VstMidiEvent& r = EventRecords[static_cast<std::size_t>(i)];
    r = VstMidiEvent{};
    r.type = kVstMidiType;
    r.byteSize = sizeof(VstMidiEvent);
    r.deltaFrames = Frame;
    r.midiData[0] = static_cast<char>(Msg & 0xFF);
    r.midiData[1] = static_cast<char>((Msg >> 8) & 0xFF);
    r.midiData[2] = static_cast<char>((Msg >> 16) & 0xFF);
}

void TSoftItem::Process(float* /*MixBuffer*/, int Frames) {
    TMFX& plug = *Plugin;
    if (!plug.Loaded || Frames <= 0) return;
    if (plug.Enabled.load(std::memory_order_relaxed) == 0) {
        Consume(Frames);
        return;
    }
    if (switchedOff_) {
        // Note-offs went by while it was off: what it still holds is released now.
        switchedOff_ = false;
        FlushNotes = 1;
    }
    const bool running = Running(Song);
    if (running && plug.Automated) RenderEngines().Automate(&plug, Frames);
    if (plug.Effect)
        ProcessVst(Frames);
    else if (plug.Interface)
        ProcessOwn(Frames);
    if (running) Queue->AdvanceSamples(Frames);
}

void TSoftItem::Consume(int Frames) {
    switchedOff_ = true;
    TSoftQ& q = *Queue;
    q.FreeTimedList(q.TakeTimed());
    TRTEvent live;
    while (Plugin->Events.Pop(live)) {
    }
    std::uint32_t msg = 0;
    while (Plugin->InputEvents.Pop(msg)) {
    }
    if (Running(Song)) q.AdvanceSamples(Frames);
}

void TSoftItem::ProcessOwn(int Frames) {
    TMFX& plug = *Plugin;
    TSoftQ& q = *Queue;
    const int slots = std::min(ActiveSlotCount(Outputs), OutputCount);
    for (int i = 0; i < slots; ++i) {
        float* buffer = SampleMixBuffers[static_cast<std::size_t>(i)].data();
        ClearFloats(buffer, 2 * Frames);
        plug.Command(MFX_OUTPUT_BUFFER, reinterpret_cast<std::intptr_t>(buffer), i);
    }
    float* first = SampleMixBuffers[0].data();
    if (slots == 0) ClearFloats(first, 2 * Frames);

    // The block's list: live events (the GUI's, then the MIDI input's), released notes, then
    // the queue's own; what finds no room in the pool waits for the next block.
    _TTimedEvent* list = nullptr;
    _TTimedEvent** tail = &list;
    auto append = [&](std::uint32_t Msg) {
        _TTimedEvent* t = q.NewTimed();
        if (!t) return false;
        t->Msg = Msg;
        *tail = t;
        tail = &t->Next;
        return true;
    };
    TRTEvent live;
    while (q.FreeTimedCount() > 0 && plug.Events.Pop(live))
        append(live.Value);
    std::uint32_t input = 0;
    while (q.FreeTimedCount() > 0 && plug.InputEvents.Pop(input))
        append(input);
    // Taken at once: a stop that comes while this block flushes asks again for the next one.
    if (FlushNotes.exchange(0)) {
        bool done = true;
        for (int ch = 0; ch < NoteChannels && done; ++ch)
            for (int key = 0; key < NoteKeys && done; ++key)
                while (q.NoteCount[ch][key] > 0) {
                    if (!append(NoteRelease(ch, key))) {
                        done = false;
                        break;
                    }
                    CountNote(NoteRelease(ch, key));
                }
        if (!done) FlushNotes = 1;
    }
    _TTimedEvent* timed = q.TakeTimed();
    for (_TTimedEvent* t = timed; t; t = t->Next)
        CountNote(t->Msg);
    *tail = timed;

    plug.Command(MFX_EVENTS, reinterpret_cast<std::intptr_t>(list), 0);
    TMfxEvent* emitted = nullptr;
    plug.Command(MFX_EMITTED_EVENTS, reinterpret_cast<std::intptr_t>(&emitted), 0);
    if (emitted && SoftEngine)
        SoftEngine->RouteEvents(reinterpret_cast<const _TTimedEvent*>(emitted));
    plug.Interface->Process(plug.Interface, first, Frames);
    q.FreeTimedList(list);

    if (!Song) return;
    for (int i = 0; i < slots; ++i) {
        TSoftOut& slot = Outputs[static_cast<std::size_t>(i)];
        slot.PeakLeft = 0.0f;
        slot.PeakRight = 0.0f;
        MixSlot(*Song, slot, SampleMixBuffers[static_cast<std::size_t>(i)].data(),
                TSlotOwner::Softsynth, Frames);
    }
}

void TSoftItem::ProcessVst(int Frames) {
    TMFX& plug = *Plugin;
    TSoftQ& q = *Queue;
    EventBlock.numEvents = 0;
    auto room = [&] { return EventBlock.numEvents < MaxBlockEvents; };

    // Live events first, the GUI's and then the MIDI input's, each in the order they came.
    TRTEvent live;
    while (room() && plug.Events.Pop(live)) {
        if (live.IsMidi) {
            AddRecord(0, live.Value);
        } else {
            plug.Dispatch(effSetProgram, 0, static_cast<VstIntPtr>(live.Value));
            if (EditorWnd) platform::PostMessage(EditorWnd, platform::WM_USER, 0, 0);
        }
    }
    std::uint32_t input = 0;
    while (room() && plug.InputEvents.Pop(input))
        AddRecord(0, input);
    if (FlushNotes.exchange(0)) {
        bool done = true;
        for (int ch = 0; ch < NoteChannels && done; ++ch)
            for (int key = 0; key < NoteKeys && done; ++key)
                while (q.NoteCount[ch][key] > 0) {
                    if (!room()) {
                        done = false;
                        break;
                    }
                    AddRecord(0, NoteRelease(ch, key));
                    CountNote(NoteRelease(ch, key));
                }
        if (!done) FlushNotes = 1;
    }
    while (room() && q.Timed) {
        _TTimedEvent* t = q.PopTimed();
        AddRecord(t->Frame, t->Msg);
        CountNote(t->Msg);
        q.FreeTimed(t);
    }
    // What did not fit is overdue in the next block.
    for (_TTimedEvent* t = q.Timed; t; t = t->Next)
        t->Frame = 0;
    if (EventBlock.numEvents > 0) plug.Dispatch(effProcessEvents, 0, 0, &EventBlock);

    AEffect* e = plug.Effect;
    const int pinsIn = static_cast<int>(ins_.size()), pinsOut = static_cast<int>(outs_.size());
    const int numOut = std::clamp(e->numOutputs, 0, pinsOut);
    const int channels = std::min(numOut, MaxMixedSlots);
    for (int c = 0; c < channels; ++c)
        ClearFloats(SampleMixBuffers[static_cast<std::size_t>(c)].data(), Frames);
    ClearFloats(silence, Frames);
    auto channel = [&](int c) {
        return c < channels ? SampleMixBuffers[static_cast<std::size_t>(c)].data() : silence;
    };
    for (int c = 0; c < pinsIn; ++c)
        ins_[static_cast<std::size_t>(c)] = channel(c);
    for (int c = 0; c < pinsOut; ++c)
        outs_[static_cast<std::size_t>(c)] = c < channels ? channel(c) : discard;
    plug.ProcessPins(ins_.data(), pinsIn, outs_.data(), pinsOut, Frames);
    // A plug-in may have written into its inputs.
    ClearFloats(silence, Frames);

    if (!Song) return;
    float* inter = PlugBuffers[4].data();
    const int active = ActiveSlotCount(Outputs);
    int next = 0;
    for (int i = 0; i < active; ++i) {
        TSoftOut& slot = Outputs[static_cast<std::size_t>(i)];
        const bool stereo = slot.Channels == 2;
        const float* left = channel(next);
        const float* right = stereo ? channel(next + 1) : left;
        next += stereo ? 2 : 1;
        for (int f = 0; f < Frames; ++f) {
            inter[2 * f] = left[f];
            inter[2 * f + 1] = right[f];
        }
        slot.PeakLeft = 0.0f;
        slot.PeakRight = 0.0f;
        MixSlot(*Song, slot, inter, TSlotOwner::Softsynth, Frames);
    }
}

void TSoftItem::PreparePins() {
    int in = 0, out = 0;
    if (Plugin->Loaded && Plugin->Effect) {
        in = std::clamp(Plugin->Effect->numInputs, 0, MaxPluginPins);
        out = std::clamp(Plugin->Effect->numOutputs, 0, MaxPluginPins);
    }
    const auto n = static_cast<std::size_t>(std::max({MaxMixedSlots, in, out}));
    ins_.assign(n, silence);
    outs_.assign(n, discard);
}

// ---- the list in a block ----

void TSoftEngine::RouteEvents(const _TTimedEvent* List) {
    int walked = 0;
    for (const _TTimedEvent* r = List; r && walked < MaxRoutedEvents; r = r->Next, ++walked) {
        TSoftItem* target = GetItem(r->Source);
        if (!target) continue;
        TSoftQ& q = *target->Queue;
        _TTimedEvent* t = q.NewTimed();
        if (!t) continue; // the receiver's pool is used up: the event is lost
        t->Frame = r->Frame;
        t->Msg = r->Msg;
        t->Source = 0;
        q.LinkTimed(t);
    }
}

void TRenderEngines::RenderSoftsynths(TSong&, int Frames) {
    if (!SoftEngine) return;
    // Softsynths without outputs first: what they pass on is heard in the same block.
    for (TSoftItem* item : SoftEngine->Items)
        if (item->OutputCount == 0) DispatchSoftsynthEvents(*item, Frames);
    for (TSoftItem* item : SoftEngine->Items)
        if (item->OutputCount > 0) DispatchSoftsynthEvents(*item, Frames);
}

void TRenderEngines::SkipSoftsynths(int Frames) {
    if (!SoftEngine || !Running(Song)) return;
    for (TSoftItem* item : SoftEngine->Items)
        if (item->Plugin->Loaded) item->Queue->AdvanceSamples(Frames);
}

void StopSoftsynthNotes() {
    if (!SoftEngine) return;
    const bool stopped = !Running(Song);
    for (TSoftItem* item : SoftEngine->Items) {
        item->FlushNotes = 1;
        TMFX& plug = *item->Plugin;
        if (plug.Loaded && plug.Interface) plug.Command(MFX_POSITION, 0, 0);
        if (stopped) plug.AddEvent(true, PackMidiMsg(0xB0, 123, 0));
    }
}

// ---- locate ----

void TLocateHooks::LocateSoftsynths(TSong& S, int Tick) {
    if (!SoftEngine) return;
    // Room for one pending entry per part of the tracks each softsynth plays.
    std::vector<int> parts(static_cast<std::size_t>(SoftEngine->Count()), 0);
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = S.TrackAt(i);
        if (!t || t->Mode != tmSoftsynth || !SoftEngine->GetItem(t->Output)) continue;
        for (_TPart* p = t->Parts; p; p = p->Next)
            ++parts[static_cast<std::size_t>(t->Output.load())];
    }
    const int tempo = Midi ? Midi->Tempo.load() : 120;
    for (TSoftItem* item : SoftEngine->Items) {
        TSoftQ& q = *item->Queue;
        TMFX& plug = *item->Plugin;
        q.ReservePending(parts[static_cast<std::size_t>(item->Number())]);
        const bool own = plug.Loaded && plug.Interface;
        if (own) plug.Command(MFX_POSITION, 1, TicksToSamples(Tick));
        q.Reset();
        q.BaseTick = Tick;
        q.LocateBase = Tick;
        if (own) plug.Command(MFX_TEMPO, tempo, 0);
    }
}

void TLocateHooks::PrimeSoftsynthQueues(TSong& S, int Tick) {
    S.PrimeSoftsynthQueues(Tick, -1, 0);
}

void TLocateHooks::DelaySoftsynthQueues(TSong&, int Ticks, int BaseTick) {
    if (!SoftEngine) return;
    for (TSoftItem* item : SoftEngine->Items) {
        item->Queue->Delay(Ticks);
        item->Queue->BaseTick = BaseTick;
        item->Queue->LocateBase = BaseTick;
    }
}
