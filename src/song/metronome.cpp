// The clicks the scheduler plays, and the precount of a recording.

#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/song.h"

bool TSong::PrepareMetronome(int Tick) {
    // The 16-bit engine plays its own clicks.
    if (!Midi || !Midi->ClickOn || MidiMode != 1 || !MetronomePart || !MetronomePart->Events)
        return false;
    _TEvent* on = MetronomePart->Events;
    _TEvent* off = on->Next;
    int intoBeat = Tick % 240;
    if (intoBeat < 0) intoBeat += 240;
    on->ToGo = intoBeat != 0 ? 240 - intoBeat : 0; // the first click falls on the next beat
    _TTrack* t = MetronomeTrack();
    t->Channel = Midi->ClickChannel;
    t->Output = Midi->ClickDevice;
    const auto note = static_cast<std::uint32_t>(Midi->ClickNote) & 0x7F;
    on->Msg = PackMidiMsg(0x90, note, 63);
    off->Msg = PackMidiMsg(0x80, note, 0);
    return true;
}

int TSong::PrecountTicks() const {
    return State == 1 && MidiMode == 0 ? Precounts * 240 : 0;
}
