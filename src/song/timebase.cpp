#include "song/timebase.h"

#include "devices/audio.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "song/primitives.h"
#include "song/song.h"

#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <vector>

int Round(double X) {
    if (std::isnan(X)) return 0;
    if (X >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (X <= static_cast<double>(INT_MIN)) return INT_MIN;
    // The process never leaves round-to-nearest, so this rounds halves to even.
    return static_cast<int>(std::nearbyint(X));
}

int FloorToInt(float X) {
    // X - 0.5 is exact in double for every float, as it was in the extended registers.
    return Round(static_cast<double>(X) - 0.5);
}

int Clamp(int Value, int Lo, int Hi) {
    if (Value < Lo) Value = Lo;
    if (Value > Hi) Value = Hi;
    return Value;
}

int MaxInt(int A, int B) {
    return A > B ? A : B;
}
int MinInt(int A, int B) {
    return A < B ? A : B;
}

int RoundToMultiple(int Value, int Step) {
    if (Step <= 0) return Value;
    std::int64_t mag = Value < 0 ? -static_cast<std::int64_t>(Value) : Value;
    std::int64_t r = mag % Step;
    mag -= r;
    if (r >= Step / 2) mag += Step;
    std::int64_t result = Value < 0 ? -mag : mag;
    if (result > INT_MAX) result -= Step;
    if (result < INT_MIN) result += Step;
    return static_cast<int>(result);
}

std::uint32_t ByteSwap32(std::uint32_t N) {
    return (N >> 24) | ((N >> 8) & 0xFF00u) | ((N << 8) & 0xFF0000u) | (N << 24);
}

bool IsIntegerText(std::string_view S) {
    while (!S.empty() && static_cast<unsigned char>(S.front()) <= ' ')
        S.remove_prefix(1);
    while (!S.empty() && static_cast<unsigned char>(S.back()) <= ' ')
        S.remove_suffix(1);
    // The framework's conversion answers its default for anything that is no whole number.
    return platform::StrToIntDef(S, 0) != 0 || platform::StrToIntDef(S, 1) != 1;
}

void SplitPosition(int Ticks, int& Bar, int& Beat, int& Tick) {
    int bpb = SongBeatsPerBar();
    Bar = Ticks / TicksPerBeat / bpb + 1;
    Beat = (Ticks / TicksPerBeat) % bpb + 1;
    Tick = Ticks % TicksPerBeat;
}

std::string FormatPosition(int Ticks) {
    int bar, beat, tick;
    SplitPosition(Ticks, bar, beat, tick);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d:%02d:%03d", bar, beat, tick);
    return buf;
}

int ParsePosition(int Bar, int Beat, int Tick) {
    int bpb = SongBeatsPerBar();
    if (Beat < 1 || Beat > bpb || Tick < 0 || Tick > 239) return -1;
    std::int64_t t = (static_cast<std::int64_t>(Bar) - 1) * TicksPerBeat * bpb +
                     (static_cast<std::int64_t>(Beat) - 1) * TicksPerBeat + Tick;
    if (t > INT_MAX || t < INT_MIN) return -1;
    return static_cast<int>(t);
}

void TicksToTime(int Ticks, int& H, int& M, int& S) {
    float seconds = static_cast<float>(Ticks / (static_cast<double>(MidiTempo()) * 4));
    // A true floor: FloorToInt takes a second off every odd whole second (75 s showed 1:14).
    int s = std::isfinite(seconds)
                ? static_cast<int>(std::floor(std::clamp(seconds, -2.0e9f, 2.0e9f)))
                : 0;
    S = s % 60;
    M = (s / 60) % 60;
    H = s / 3600;
}

int AudioPixelToTick(int X) {
    int w = AudioWidth16th > 0 ? AudioWidth16th : 1;
    return FloorToInt(static_cast<float>(60.0 / w * X));
}

int RoundExtended(long double X) {
    if (std::isnan(X)) return 0;
    if (X >= static_cast<long double>(INT_MAX)) return INT_MAX;
    if (X <= static_cast<long double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(std::nearbyintl(X));
}

namespace {
// The reciprocal as the extended registers hold it: slightly above 1/240.
const long double kInv240 = 1.0L / 240;
} // namespace

int TickToPixel(int Tick) {
    // 64 bits: a 32-bit product overflows past about two million ticks at the widest zoom.
    const std::int64_t n = static_cast<std::int64_t>(BeatWidth) * Tick;
    return RoundExtended(static_cast<long double>(n) * kInv240);
}

int PixelToTick(int X) {
    const int bpb = SongBeatsPerBar();
    const int bar = bpb * (BeatWidth > 0 ? BeatWidth : 1);
    return RoundExtended(static_cast<long double>(X) / bar * 240.0f * bpb);
}

int PixelToTickSnapped(int X, bool Bars) {
    const int bw = BeatWidth > 0 ? BeatWidth : 1;
    if (Bars) {
        const int bpb = SongBeatsPerBar();
        return RoundExtended(static_cast<long double>(X) / (bpb * bw)) * 240 * bpb;
    }
    return RoundExtended(static_cast<long double>(X) / bw) * 240;
}

namespace {

int FloorMod(int a, int m) {
    return ((a % m) + m) % m;
}
std::int64_t FloorDiv(std::int64_t a, std::int64_t m) {
    return a >= 0 ? a / m : -((-a + m - 1) / m);
}

// Number of white keys among 0 .. N (N may be negative).
std::int64_t WhiteKeysUpTo(std::int64_t N) {
    static const int whitesBelow[13] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
    std::int64_t octaves = FloorDiv(N + 1, 12);
    std::int64_t rest = (N + 1) - octaves * 12;
    return octaves * 7 + whitesBelow[rest];
}

} // namespace

bool IsBlackKey(int Note) {
    switch (FloorMod(Note, 12)) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

int NoteToKeyY(int Note) {
    if (Note >= 127) return 0;
    std::int64_t whites = WhiteKeysUpTo(127) - WhiteKeysUpTo(Note);
    std::int64_t y = static_cast<std::int64_t>(NoteHeight) * whites;
    if (IsBlackKey(Note)) y -= NoteHeight / 2;
    return static_cast<int>(y);
}

int KeyYToNote(int Y) {
    int h = NoteHeight / 2;
    std::int64_t best = static_cast<std::int64_t>(NoteHeight) * 999;
    int result = 127;
    for (int key = 127; key >= 0; --key) {
        std::int64_t top = NoteToKeyY(key);
        std::int64_t bottom = top + NoteHeight;
        std::int64_t d1 = std::llabs(std::llabs(Y - top) - h);
        std::int64_t d2 = std::llabs(std::llabs(Y - bottom) - h);
        std::int64_t d = d1 > d2 ? d1 : d2;
        if (d > best) break;
        best = d;
        result = key;
    }
    return result;
}

std::uint32_t BlendColor(std::uint32_t From, std::uint32_t To, float Fraction) {
    if (From == To) From = 0xC0C0C0;
    std::uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int a = (From >> shift) & 0xFF, b = (To >> shift) & 0xFF;
        int c = Clamp(Round(a + (b - a) * static_cast<double>(Fraction)), 0, 255);
        result |= static_cast<std::uint32_t>(c) << shift;
    }
    return result;
}

_TEvent* NewAutomationEvent(int Time, int Slot, int Param, float Value) {
    if (!(Value <= 1.0f)) Value = Value > 1.0f ? 1.0f : 0.0f; // NaN counts as 0
    if (Value < 0.0f) Value = 0.0f;
    std::uint32_t v = static_cast<std::uint32_t>(Round(Value * 32768.0));
    std::uint32_t msg = 0xB0u + static_cast<std::uint32_t>(Slot) +
                        static_cast<std::uint32_t>(Param) * 256u + v * 65536u;
    return NewEvent(Time, msg);
}

int AutoEventParam(std::uint32_t Msg) {
    return static_cast<int>(MidiData1(Msg));
}

bool FindFileInTree(std::string& FileName, std::string Folder) {
    namespace fs = std::filesystem;
    if (Folder.empty() || Folder.back() != '/') Folder += '/';
    std::error_code ec;
    std::vector<std::string> subfolders;
    for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (platform::SameText(name, FileName)) {
            FileName = Folder + name;
            return true;
        }
        // Linked folders are not followed: a link to a parent would never end.
        if (it->is_directory(ec) && !it->is_symlink(ec)) subfolders.push_back(name);
    }
    for (const std::string& sub : subfolders)
        if (FindFileInTree(FileName, Folder + sub)) return true;
    return false;
}

namespace {

std::string RunLogPath() {
    return platform::ProgramFolder() + "runtimelog.txt";
}

// The log is rewritten whole; a temporary file keeps the old one until the new one is complete.
void WriteRunLog(const std::string& text) {
    std::string path = RunLogPath(), tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return;
        out << text;
        if (!out.flush()) return;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
}

} // namespace

void RunLogStart() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[64], time[64];
    std::strftime(date, sizeof date, "%x", &local);
    std::strftime(time, sizeof time, "%X", &local);
    WriteRunLog(std::string("Tolvern run-time log ") + date + " " + time + "\n\n");
}

// One line appended at the end, in the file when this returns (written through to the system, not
// synced to the disk: a crash of the program still leaves it); a log that cannot be written is
// left as it is (start-up goes on without it).
void RunLogAdd(std::string_view Line) {
    platform::TFileStream f;
    if (!f.Open(RunLogPath(), platform::TFileMode::Write)) return;
    if (f.Seek(0, platform::TSeekOrigin::End) < 0) return;
    std::string line(Line);
    line += '\n';
    f.Write(line);
    f.Close();
}

int TicksToSamples(double Ticks) {
    return Round(Ticks * AudioRate() / (static_cast<double>(MidiTempo()) * 4));
}

double SamplesToTicks(double Samples) {
    return static_cast<double>(MidiTempo()) * 4 * Samples / AudioRate();
}
