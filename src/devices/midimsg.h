#pragma once
// The packed MIDI message: status in bits 0-7, data 1 in 8-15, data 2 in 16-23 and a fourth
// byte in 24-31 (a sample note's pan, a sound-card value's low bits, or the track number on
// its way to the MIDI object).

#include <cstdint>
#include <string>
#include <string_view>

// The program's own status kinds beside the standard channel messages.
constexpr std::uint32_t msAweParam = 0x10;  // sound-card parameter, channel in the low nibble
constexpr std::uint32_t msSampleOn = 0x20;  // sample note on: slot, volume, pan
constexpr std::uint32_t msSampleOff = 0x30; // sample note off: slot
constexpr std::uint32_t msSysex = 0xF0;     // data 1 = 0 a system-exclusive block, 1 a 32-bit value

constexpr std::uint32_t PackMidiMsg(std::uint32_t Status, std::uint32_t Data1,
                                    std::uint32_t Data2) {
    return Status + (Data1 << 8) + (Data2 << 16);
}
constexpr std::uint32_t MidiStatus(std::uint32_t Msg) {
    return Msg & 0xF0;
}
constexpr std::uint32_t MidiChannel(std::uint32_t Msg) {
    return Msg & 0x0F;
}
constexpr std::uint32_t MidiData1(std::uint32_t Msg) {
    return (Msg >> 8) & 0xFF;
}
constexpr std::uint32_t MidiData2(std::uint32_t Msg) {
    return (Msg >> 16) & 0xFF;
}
constexpr std::uint32_t MidiByte3(std::uint32_t Msg) {
    return Msg >> 24;
}
constexpr std::uint32_t MidiNote(std::uint32_t Msg) {
    return MidiData1(Msg);
}

// Sample notes count as notes wherever notes are matched.
constexpr bool IsNoteOn(std::uint32_t Msg) {
    return (MidiStatus(Msg) == 0x90 && MidiData2(Msg) > 0) || MidiStatus(Msg) == msSampleOn;
}
constexpr bool IsNoteOff(std::uint32_t Msg) {
    std::uint32_t k = MidiStatus(Msg);
    return (k == 0x90 && MidiData2(Msg) == 0) || k == 0x80 || k == msSampleOff;
}

// "C3" for note 60; octaves run from -2.
std::string MidiNoteName(int Note);
// The note 0..127 whose name is Name, letter case ignored; -1 when none is.
int NoteFromName(std::string_view Name);

// The tempo the conversions use: the MIDI object's, never below 1 (120 before it exists).
int MidiTempo();
double TicksToMs(double Ticks);
int MsToTicks(double Ms);
// PCM bytes of a duration, raised to whole frames.
int MsToBytes(int Rate, int Bits, int Channels, double Ms);

// Sound-card parameter values -8192..8192 travel as data 2 (high part) and the fourth byte.
constexpr std::uint32_t PackAweParam(std::uint32_t Channel, int Param, int Value) {
    return PackMidiMsg(msAweParam + Channel, static_cast<std::uint32_t>(Param),
                       static_cast<std::uint32_t>((Value + 8192) / 128)) +
           (static_cast<std::uint32_t>((Value + 8192) % 128) << 24);
}
constexpr int AweParamValue(std::uint32_t Msg) {
    return static_cast<int>(MidiData2(Msg) * 128 + MidiByte3(Msg)) - 8192;
}
