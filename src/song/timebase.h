#pragma once
// Time base, position text and the program's own arithmetic: 240 ticks to the quarter note,
// halves rounded to even, and the floor helper that pixel and time fractions go through.

#include <cstdint>
#include <string>
#include <string_view>

struct _TEvent;

constexpr int TicksPerBeat = 240;

// Nearest integer, exact halves to the even neighbour; NaN gives 0 and values beyond the
// integer range give its end.
int Round(double X);
// X - 0.5 rounded half to even: floor(X) for a fraction, X or X - 1 for a whole even or odd X.
int FloorToInt(float X);

int Clamp(int Value, int Lo, int Hi);
int MaxInt(int A, int B);
int MinInt(int A, int B);
// Nearest multiple of Step by the magnitude of Value; a remainder of Step div 2 rounds away
// from zero. A Step of 0 or less leaves Value as it is.
int RoundToMultiple(int Value, int Step);
std::uint32_t ByteSwap32(std::uint32_t N);
bool IsIntegerText(std::string_view S);

// Bar, beat and tick with the song's beats per bar.
void SplitPosition(int Ticks, int& Bar, int& Beat, int& Tick);
std::string FormatPosition(int Ticks);
// -1 for a beat or tick out of range (or a result beyond the tick range).
int ParsePosition(int Bar, int Beat, int Tick);
// Hours, minutes within the hour and seconds within the minute at the MIDI tempo.
void TicksToTime(int Ticks, int& H, int& M, int& S);
int AudioPixelToTick(int X);
// The arrange window's time line, BeatWidth pixels to the beat: round(BeatWidth x Tick x 1/240)
// on extended precision, so a half case lands either on the half (rounded to even) or just above.
int TickToPixel(int Tick);
// Tick at content x, unsnapped, with the song's beats per bar.
int PixelToTick(int X);
// Tick at content x snapped to the nearest bar line (Bars) or beat.
int PixelToTickSnapped(int X, bool Bars);
// Nearest integer of an extended value, exact halves to even, clamped to the integer range.
int RoundExtended(long double X);
// Ticks and samples at the MIDI tempo and the audio rate: Ticks x rate / (tempo x 4), rounded
// half to even, and tempo x 4 x Samples / rate.
int TicksToSamples(double Ticks);
double SamplesToTicks(double Samples);

// The key editor's keyboard, key 127 at the top.
bool IsBlackKey(int Note);
int NoteToKeyY(int Note);
int KeyYToNote(int Y);

// Colours are 0x00BBGGRR. Equal colours blend from silver.
std::uint32_t BlendColor(std::uint32_t From, std::uint32_t To, float Fraction);

// An automation event of a parameter track: slot in the status, parameter in data 1 and the
// value 0.0-1.0 as a 16-bit fraction of 32768 in the upper half.
_TEvent* NewAutomationEvent(int Time, int Slot, int Param, float Value);
int AutoEventParam(std::uint32_t Msg);

// Looks for FileName (any case) in Folder and then depth first below it; on a hit FileName
// becomes the full path.
bool FindFileInTree(std::string& FileName, std::string Folder);

// The start-up log "runtimelog.txt" in the program folder.
void RunLogStart();
void RunLogAdd(std::string_view Line);
