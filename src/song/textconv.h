#pragma once
// Small conversions the editors and the song readers share: system-exclusive data to and from
// its editable text, font styles as the settings store them, the volume and pan of older song
// files, and whole numbers from text.

#include "platform/gdi/canvas.h"

#include <string>
#include <string_view>

struct _TEvent;

// Turns the editable text of a system-exclusive message (hexadecimal byte pairs, blanks, and
// text between double quotes taken byte for byte) into its bytes: on return Text holds them,
// Count their number and Err is empty or says what stopped the reading.
void ParseSysexText(std::string& Text, std::string& Err, int& Count);
// The event's block as upper-case hexadecimal pairs without separators.
void SysexToHex(const _TEvent& Event, std::string& S);

// Bold 1, italic 2, underline 4, strike-out 8.
int FontStylesToInt(platform::TFontStyles Styles);
platform::TFontStyles IntToFontStyles(int N);

// A volume of an older song file, -10000 (silent) to 0 hundredths of a decibel, as 0-127.
int OldVolumeToLevel(int V);
// A pan of an older song file, -10000 (left) to 10000, as 127 (left) to 0.
int OldPanToLevel(int P);

// True, with N set, when S is a whole number (decimal, or hexadecimal after "$").
bool TryTextToInt(std::string_view S, int& N);
