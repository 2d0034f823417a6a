#include "song/trackout.h"

#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/softengine.h"
#include "song/song.h"

namespace {

TMFX* TrackSynth(const _TTrack& T) {
    if (!SoftEngine) return nullptr;
    TSoftItem* item = SoftEngine->GetItem(T.Output);
    return item ? item->Plugin.get() : nullptr;
}

} // namespace

void SendToTrack(const _TTrack* Track, std::uint32_t Msg, int Flags) {
    if (!Track) return;
    switch (Track->Mode.load()) {
    case tmMidi:
        if (!Midi) return;
        if (Flags & tsQueued)
            Midi->QueueMidiOut(Track->Output, Msg);
        else
            Midi->DirectMidiOut(Track->Output, Msg);
        return;
    case tmSoftsynth:
        if ((Flags & tsMidiOnly) || MidiStatus(Msg) == msAweParam) return;
        if (TMFX* plug = TrackSynth(*Track)) plug->AddEvent(true, Msg);
        return;
    default:
        return;
    }
}

int TrackSendChannel(const _TTrack* Track) {
    const int c = Track ? Track->Channel.load() : 0;
    return c < 0 ? 0 : c & 15;
}

void SendOnTrackChannel(const _TTrack* Track, std::uint32_t Msg, int Flags) {
    SendToTrack(Track, (Msg & ~0x0Fu) | std::uint32_t(TrackSendChannel(Track)), Flags);
}

void TrackAllNotesOff(const _TTrack* Track) {
    if (!Track) return;
    const int channel = TrackSendChannel(Track);
    if (Track->Mode == tmMidi) {
        if (Midi) Midi->AllNotesOff(channel, Track->Output);
    } else if (Track->Mode == tmSoftsynth) {
        SendOnTrackChannel(Track, PackMidiMsg(0xB0, 123, 0));
        SendOnTrackChannel(Track, PackMidiMsg(0xB0, 120, 0));
    }
}
