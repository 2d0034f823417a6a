#include "song/keyb.h"

#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/song.h"

#include <algorithm>
#include <string_view>

namespace {

// Lower row Z..M the first octave with its black keys on the row above, Q..U the second,
// I..P the start of the third.
constexpr std::string_view pianoKeys = "ZSXDCVGBHNJMQ2W3ER5T6Y7UI9O0P";

} // namespace

int KeyToNote(int Key, int BaseNote) {
    if (Key <= 0 || Key > 0xFF) return 0;
    auto at = pianoKeys.find(static_cast<char>(Key));
    if (at == std::string_view::npos) return 0;
    return std::min(BaseNote + static_cast<int>(at), 127);
}

void TKeyb::Clear() {
    Down.fill(false);
}

void TKeyb::ReleaseAll() {
    TInPort* port = Midi ? Midi->InPort.get() : nullptr;
    _TTrack* track = Song ? Song->CurrentTrack() : nullptr;
    for (int note = 0; note < 128; ++note) {
        if (!Down[note]) continue;
        Down[note] = false;
        if (!port || !track) continue;
        // A track that keeps each event's channel plays the keyboard on the first channel.
        std::uint32_t status = 0x90 + Song->CurrentChannel();
        port->PlayThru(track->Output, PackMidiMsg(status, static_cast<std::uint32_t>(note), 0));
    }
}
