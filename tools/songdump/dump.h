#pragma once
// A song as canonical text: song fields, tracks with their non-default fields, parts, and
// events with absolute ticks and decoded messages; and the plain one-line-per-event form.

#include <cstdint>
#include <string>

class TSong;

std::string DumpSong(const TSong& S);
// "<track> <part start> <absolute tick> <status hex> <data1> <data2>" for every event of
// tracks 0-127, sorted by track, then tick, then list order.
std::string DumpEvents(const TSong& S);
// One message decoded ("note on 1 C3 100").
std::string DecodeMessage(std::uint32_t Msg);
