// The softsynth queue: pending song events by time, the block's timed events by frame, the
// notes handed over, and the pools all of them come from.
#include "devices/midimsg.h"
#include "song/softengine.h"
#include "song/timebase.h"

#include <algorithm>

namespace {

constexpr int MadeEventCount = NoteChannels * NoteKeys;

// Messages a plug-in understands: channel messages. System-exclusive events and the program's
// own kinds (sample notes, sound-card parameters) have no plug-in form.
bool IsChannelMessage(std::uint32_t Msg) {
    const std::uint32_t status = Msg & 0xFF;
    return status >= 0x80 && status < 0xF0;
}

} // namespace

TSoftQ::TSoftQ() : made_(new _TEvent[MadeEventCount]), timedPool_(new _TTimedEvent[TimedPoolSize]) {
    freeMade_.reserve(MadeEventCount);
    for (int i = MadeEventCount - 1; i >= 0; --i)
        freeMade_.push_back(&made_[static_cast<std::size_t>(i)]);
    for (int i = TimedPoolSize - 1; i >= 0; --i)
        FreeTimed(&timedPool_[static_cast<std::size_t>(i)]);
    ReservePending(64);
}

TSoftQ::~TSoftQ() {
    ClearEvents();
}

void TSoftQ::ReservePending(int Entries) {
    const int wanted = Entries + MadeEventCount + 16;
    if (nodeCapacity_ >= wanted) return;
    const int add = std::max(wanted - nodeCapacity_, nodeCapacity_);
    nodeBlocks_.emplace_back(new _TSoftNode[static_cast<std::size_t>(add)]);
    _TSoftNode* block = nodeBlocks_.back().get();
    for (int i = 0; i < add; ++i)
        FreeNode(&block[i]);
    nodeCapacity_ += add;
}

_TSoftNode* TSoftQ::NewNode() {
    _TSoftNode* n = freeNodes_;
    if (!n) return nullptr;
    freeNodes_ = n->Next;
    --freeNodeCount_;
    *n = _TSoftNode{};
    return n;
}

void TSoftQ::FreeNode(_TSoftNode* Node) {
    Node->Event = nullptr;
    Node->Next = freeNodes_;
    freeNodes_ = Node;
    ++freeNodeCount_;
}

_TEvent* TSoftQ::NewMadeEvent() {
    if (freeMade_.empty()) return nullptr;
    _TEvent* e = freeMade_.back();
    freeMade_.pop_back();
    return e;
}

bool TSoftQ::IsMadeEvent(const _TEvent* Event) const {
    return Event >= made_.get() && Event < made_.get() + MadeEventCount;
}

void TSoftQ::FreeMadeEvent(_TEvent* Event) {
    if (IsMadeEvent(Event)) freeMade_.push_back(Event);
}

_TTimedEvent* TSoftQ::NewTimed() {
    _TTimedEvent* t = freeTimed_;
    if (!t) return nullptr;
    freeTimed_ = t->Next;
    --freeTimedCount_;
    *t = _TTimedEvent{};
    return t;
}

void TSoftQ::FreeTimed(_TTimedEvent* Event) {
    Event->Next = freeTimed_;
    freeTimed_ = Event;
    ++freeTimedCount_;
}

void TSoftQ::FreeTimedList(_TTimedEvent* List) {
    while (List) {
        _TTimedEvent* next = List->Next;
        FreeTimed(List);
        List = next;
    }
}

_TTimedEvent* TSoftQ::PopTimed() {
    _TTimedEvent* t = Timed;
    if (!t) return nullptr;
    Timed = t->Next;
    if (!Timed) timedTail_ = nullptr;
    t->Next = nullptr;
    return t;
}

_TTimedEvent* TSoftQ::TakeTimed() {
    _TTimedEvent* list = Timed;
    Timed = timedTail_ = nullptr;
    return list;
}

void TSoftQ::LinkTimed(_TTimedEvent* Event) {
    Event->Next = nullptr;
    if (!Timed) {
        Timed = timedTail_ = Event;
        return;
    }
    // Song events come in frame order: most go to the end.
    if (timedTail_ && timedTail_->Frame <= Event->Frame) {
        timedTail_->Next = Event;
        timedTail_ = Event;
        return;
    }
    _TTimedEvent** link = &Timed;
    while (*link && (*link)->Frame <= Event->Frame)
        link = &(*link)->Next;
    Event->Next = *link;
    *link = Event;
    if (!Event->Next) timedTail_ = Event;
}

void TSoftQ::ClearEvents() {
    while (Pending) {
        _TSoftNode* n = Pending;
        Pending = n->Next;
        FreeMadeEvent(n->Event);
        FreeNode(n);
    }
}

void TSoftQ::Reset() {
    ClearEvents();
    FreeTimedList(TakeTimed());
    for (auto& channel : NoteOn)
        channel.fill(0);
    Pos = 0;
    SampleBase = 0;
    BaseTick = 0;
    LocateBase = 0;
    Empty = 1;
}

bool TSoftQ::AddEvent(_TEvent* Event, int Channel) {
    _TSoftNode* n = NewNode();
    if (!n) return false;
    n->Event = Event;
    n->Channel = Channel;
    n->At = static_cast<std::int64_t>(Pos) + Event->ToGo;
    _TSoftNode** link = &Pending;
    while (*link && (*link)->At <= n->At)
        link = &(*link)->Next;
    n->Next = *link;
    *link = n;
    Empty = 0;
    return true;
}

void TSoftQ::DropHead() {
    if (_TSoftNode* n = Pending) {
        Pending = n->Next;
        FreeNode(n);
    }
}

void TSoftQ::Delay(int Ticks) {
    for (_TSoftNode* n = Pending; n; n = n->Next)
        n->At += Ticks;
}

bool TSoftQ::AddTimed(const _TEvent& Event, int Channel, int Source) {
    std::uint32_t msg = Event.Msg;
    // A muted note stays silent, as it does on a MIDI output; what a plug-in cannot take is
    // consumed without being handed over.
    if (!IsChannelMessage(msg)) return true;
    if ((Event.Flags & efMuted) && (IsNoteOn(msg) || IsNoteOff(msg))) return true;
    _TTimedEvent* t = NewTimed();
    if (!t) return false;
    if (Channel != -1) msg = (msg & ~0x0Fu) | (static_cast<std::uint32_t>(Channel) & 0x0F);
    t->Frame = std::max(0, TicksToSamples(Pos) - SampleBase);
    t->Msg = msg;
    t->Source = Source < 0 ? 0 : Source;
    LinkTimed(t);
    const int ch = static_cast<int>(msg & 0x0F), key = static_cast<int>(MidiData1(msg) & 0x7F);
    if (IsNoteOn(msg))
        NoteOn[ch][key] = 1;
    else if (IsNoteOff(msg))
        NoteOn[ch][key] = 0;
    return true;
}

void TSoftQ::QueueNoteOffs(int ToGo) {
    for (int ch = 0; ch < NoteChannels; ++ch)
        for (int key = 0; key < NoteKeys; ++key) {
            if (!NoteOn[ch][key]) continue;
            NoteOn[ch][key] = 0;
            _TEvent* e = NewMadeEvent();
            if (!e) continue;
            e->Delta = 0;
            e->Msg = PackMidiMsg(0x90 + static_cast<std::uint32_t>(ch),
                                 static_cast<std::uint32_t>(key), 0);
            e->Flags = efEngine;
            e->Next = nullptr;
            e->ToGo = ToGo;
            if (!AddEvent(e, -1)) FreeMadeEvent(e);
        }
}

void TSong::PrimeSoftsynthQueues(int Tick, int Softsynth, int Base) {
    if (!SoftEngine) return;
    if (Softsynth >= 0) {
        TSoftItem* item = SoftEngine->GetItem(Softsynth);
        if (!item) return;
        TSoftQ& q = *item->Queue;
        q.ClearEvents();
        q.BaseTick = LeftLocator - Base;
        q.QueueNoteOffs(Base - 1);
    }
    const bool looping = Looping;
    const std::int64_t right = RightLocator;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[static_cast<std::size_t>(i)].get();
        if (!t || t->Mode != tmSoftsynth || t->Mute) continue;
        const int output = t->Output;
        if (Softsynth >= 0 && output != Softsynth) continue;
        TSoftItem* item = SoftEngine->GetItem(output);
        if (!item) continue;
        const int channel = t->Channel;
        for (_TPart* p = t->Parts; p; p = p->Next) {
            if (!p->Events || (p->Flags & pfMuted)) continue;
            std::int64_t time = static_cast<std::int64_t>(p->Start) + t->Offset;
            // Parts are sorted by start: nothing later plays inside the loop.
            if (looping && time >= right) break;
            if (time + p->EndTime < Tick) continue;
            for (_TEvent* e = p->Events; e; e = e->Next) {
                time += e->Delta;
                if (time < Tick) continue;
                if (looping && time >= right) break;
                e->ToGo = static_cast<std::int32_t>(time - Tick + Base);
                item->Queue->AddEvent(e, channel);
                break;
            }
        }
    }
}
