#include "devices/midimsg.h"

#include "devices/midi.h"
#include "song/timebase.h"

#include <algorithm>
#include <cctype>

std::string MidiNoteName(int Note) {
    static const char* const names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
    // Notes outside 0..127 are named on, octave by octave, rather than read past the table.
    int name = ((Note % 12) + 12) % 12;
    int octave = (Note - name) / 12 - 2;
    return names[name] + std::to_string(octave);
}

int NoteFromName(std::string_view Name) {
    for (int n = 0; n < 128; ++n) {
        const std::string s = MidiNoteName(n);
        if (s.size() == Name.size() &&
            std::equal(s.begin(), s.end(), Name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) ==
                       std::toupper(static_cast<unsigned char>(b));
            }))
            return n;
    }
    return -1;
}

int MidiTempo() {
    if (!Midi) return 120;
    int t = Midi->Tempo;
    return t > 0 ? t : 1;
}

double TicksToMs(double Ticks) {
    return Ticks / MidiTempo() * 250;
}

int MsToTicks(double Ms) {
    return Round(Ms * 0.004 * MidiTempo());
}

int MsToBytes(int Rate, int Bits, int Channels, double Ms) {
    int b = Bits / 8;
    int frame = b * Channels;
    int count = Round(Rate * Ms * 0.001 * b * Channels);
    if (frame > 0 && count % frame != 0) count = count + frame - count % frame;
    return count;
}
