#include "devices/midi.h"

TMIDI* Midi = nullptr;

void TMIDI::DirectMidiOut(int Port, std::uint32_t Msg) { Sent.push_back({Port, Msg}); }

void TMIDI::QueueMidiOut(int Port, std::uint32_t Msg) { DirectMidiOut(Port, Msg); }
