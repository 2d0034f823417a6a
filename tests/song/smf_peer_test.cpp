// Standard MIDI Files made by independent programs (csvmidi from midicsv, abc2midi from abcmidi)
// out of the small sources in data/smf/: what songdump reads must agree with what midicsv reads
// from the same file, once the song's own conventions are applied to midicsv's reading.
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct ShellRun {
    int Status = -1;
    std::string Out;
};

ShellRun Shell(const std::string& Command) {
    ShellRun r;
    FILE* f = popen(Command.c_str(), "r");
    if (!f) return r;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
        r.Out.append(buf, n);
    int st = pclose(f);
    r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

bool HasTool(const std::string& Name) {
    return Shell("command -v " + Name + " >/dev/null 2>&1").Status == 0;
}

std::string Source(const std::string& Name) {
    return std::string(TOLVERN_TEST_DATA_DIR) + "/song/data/smf/" + Name;
}

std::string Songdump(const std::string& Path, int* Status = nullptr) {
    ShellRun r =
        Shell(std::string(TOLVERN_BIN_DIR) + "/songdump --events " + Path + " 2>/dev/null");
    if (Status) *Status = r.Status;
    return r.Out;
}

// One record of midicsv's reading: chunk, time, type and the numbers after it.
struct Record {
    int Chunk = 0;
    long long Time = 0;
    std::string Type;
    std::vector<long long> Values;
};

std::vector<Record> ReadCsv(const std::string& Text) {
    std::vector<Record> records;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::string cell;
        bool quoted = false;
        for (char c : line) {
            if (c == '"') quoted = !quoted;
            if (c == ',' && !quoted) {
                f.push_back(cell);
                cell.clear();
            } else if (c != ' ' || quoted) {
                cell += c;
            }
        }
        f.push_back(cell);
        if (f.size() < 3) continue;
        Record r{std::stoi(f[0]), std::stoll(f[1]), f[2], {}};
        for (std::size_t i = 3; i < f.size(); ++i)
            if (!f[i].empty() && f[i][0] != '"') r.Values.push_back(std::stoll(f[i]));
        records.push_back(r);
    }
    return records;
}

long long Scale(long long T, long long Division) {
    long long n = T * 240, q = n / Division, r = n % Division;
    if (2 * r > Division || (2 * r == Division && (q & 1))) ++q;
    return q;
}

// What the song must hold after reading the file midicsv read as Records: the lines of
// "songdump --events". Channel messages keep their channel, a note off its key with velocity
// 0; system exclusive is "F0 0 0"; every meta and other system event is left out. Format 0
// puts channel c on track c; otherwise each chunk takes a track from the first one with events
// on. Times become ticks at 240 to the quarter (halves to even); a part starts on the bar line
// before its first event, and a new one after more than a bar of silence with no note held.
std::string Expected(const std::vector<Record>& Records) {
    int format = 1;
    long long division = 240, beats = 4;
    struct Part {
        int Track;
        long long Start, End;
        std::vector<std::pair<long long, std::string>> Events;
    };
    std::vector<Part> parts;
    std::map<int, int> current; // track -> index in parts
    int target = 0, lastChunk = -1, held = 0;
    bool anyPart = false;
    for (const Record& r : Records) {
        if (r.Type == "Header") {
            format = static_cast<int>(r.Values[0]);
            division = r.Values[2];
            continue;
        }
        if (r.Chunk != lastChunk && lastChunk > 0 && format != 0 && anyPart) ++target;
        if (r.Chunk > 0) lastChunk = r.Chunk;
        if (r.Type == "Time_signature") beats = r.Values[0];
        const auto& v = r.Values;
        char msg[32] = "";
        int channel = v.empty() ? 0 : static_cast<int>(v[0]);
        bool on = false, off = false;
        if (r.Type == "Note_on_c") {
            std::snprintf(msg, sizeof msg, "%02X %lld %lld", 0x90 + channel, v[1], v[2]);
            on = v[2] > 0;
            off = !on;
        } else if (r.Type == "Note_off_c") {
            std::snprintf(msg, sizeof msg, "%02X %lld 0", 0x80 + channel, v[1]);
            off = true;
        } else if (r.Type == "Poly_aftertouch_c" || r.Type == "Control_c") {
            std::snprintf(msg, sizeof msg, "%02X %lld %lld",
                          (r.Type == "Control_c" ? 0xB0 : 0xA0) + channel, v[1], v[2]);
        } else if (r.Type == "Program_c" || r.Type == "Channel_aftertouch_c") {
            std::snprintf(msg, sizeof msg, "%02X %lld 0",
                          (r.Type == "Program_c" ? 0xC0 : 0xD0) + channel, v[1]);
        } else if (r.Type == "Pitch_bend_c") {
            std::snprintf(msg, sizeof msg, "%02X %lld %lld", 0xE0 + channel, v[1] & 127, v[1] >> 7);
        } else if (r.Type == "System_exclusive") {
            std::snprintf(msg, sizeof msg, "F0 0 0");
            channel = 0;
        } else {
            continue;
        }
        bool noneHeld = held <= 0;
        held += on ? 1 : off ? -1 : 0;
        int track = format == 0 ? channel : target;
        long long bar = beats * division;
        auto it = current.find(track);
        if (it == current.end()) {
            parts.push_back({track, 0, bar, {}});
            it = current.emplace(track, static_cast<int>(parts.size()) - 1).first;
        }
        Part* p = &parts[it->second];
        if (format != 0 && noneHeld && r.Time - p->End > bar) {
            if (!p->Events.empty()) {
                parts.push_back({track, 0, 0, {}});
                it->second = static_cast<int>(parts.size()) - 1;
                p = &parts.back();
            }
            p->Start = r.Time / bar * bar;
            p->End = p->Start + bar;
        }
        if (r.Time >= p->End) p->End = p->Start + ((r.Time - p->Start) / bar + 1) * bar;
        p->Events.push_back({r.Time, msg});
        anyPart = true;
    }
    struct Line {
        int Track;
        long long Tick;
        std::size_t Order;
        std::string Text;
    };
    std::vector<Line> lines;
    long long bar = beats * 240;
    for (const Part& p : parts) {
        long long first = Scale(p.Events.front().first, division);
        long long start = Scale(p.Start, division) / bar * bar;
        if (division != 240 && first - start > bar) start += bar;
        for (const auto& [time, text] : p.Events) {
            long long tick = Scale(time, division);
            lines.push_back({p.Track, tick, lines.size(),
                             std::to_string(p.Track) + " " + std::to_string(start) + " " +
                                 std::to_string(tick) + " " + text});
        }
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return std::tie(a.Track, a.Tick, a.Order) < std::tie(b.Track, b.Tick, b.Order);
    });
    std::string out;
    for (const Line& l : lines)
        out += l.Text + "\n";
    return out;
}

class SmfPeer : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"csvmidi", "midicsv", "abc2midi"})
            if (!HasTool(tool))
                GTEST_SKIP() << tool
                             << " is not installed (scripts/setup.sh installs midicsv "
                                "and abcmidi)";
    }
    // A peer file from one of the sources; "" when the peer failed.
    std::string Make(const std::string& SourceName, const std::string& Options = "") {
        std::string out = dir.Path() + SourceName + Options.substr(0, Options.find(' ')) + ".mid";
        std::string cmd = SourceName.ends_with(".abc")
                              ? "abc2midi " + Source(SourceName) + " -silent -o " + out
                              : "csvmidi " + Options + " " + Source(SourceName) + " " + out;
        return Shell(cmd + " >/dev/null 2>&1").Status == 0 ? out : "";
    }
    std::string PeerReading(const std::string& Path) {
        return Shell("midicsv " + Path + " 2>/dev/null").Out;
    }

    TempSettings settings;
    TempDir dir;
};

TEST_F(SmfPeer, SongdumpAgreesWithMidicsv) {
    struct Case {
        const char* Source;
        const char* Options;
        const char* Shows;
    };
    const Case cases[] = {
        {"format1.csv", "",
         "format 1, division 96, running status, tempo changes, 3/4, sysex, "
         "a lyric between notes, a long silence"},
        {"format1.csv", "-x", "the same without running status"},
        {"format0.csv", "", "format 0, division 192, channels to tracks"},
        {"division480.csv", "", "division 480, halves to even, silences that split parts"},
        {"division960.csv", "", "division 960 and two tracks"},
        {"twovoices.abc", "", "abc2midi: a tempo chunk, two voices, bars of rest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Source) + " " + c.Options + ": " + c.Shows);
        std::string mid = Make(c.Source, c.Options);
        ASSERT_FALSE(mid.empty());
        std::string csv = PeerReading(mid);
        ASSERT_NE(csv.find("End_of_file"), std::string::npos) << csv;
        int status = -1;
        std::string got = Songdump(mid, &status);
        EXPECT_EQ(status, 0);
        std::string want = Expected(ReadCsv(csv));
        EXPECT_NE(want, "");
        EXPECT_EQ(got, want);
    }
}

TEST_F(SmfPeer, BrokenPeerFilesAreRefused) {
    TempDir src;
    // Headers we cannot read: nothing is read.
    for (const char* division : {"0", "59176"}) { // 59176 = 0xE728, 25 frames of 40 ticks
        SCOPED_TRACE(division);
        std::string csv = "0, 0, Header, 1, 1, " + std::string(division) +
                          "\n1, 0, Start_track\n1, 0, Note_on_c, 0, 60, 1\n1, 1, End_track\n0, 0, "
                          "End_of_file\n";
        std::string mid = dir.Path() + "division.mid";
        ASSERT_EQ(Shell("csvmidi " + src.WriteFile("d.csv", csv) + " " + mid + " 2>&1").Status, 0);
        ShellRun r = Shell(std::string(TOLVERN_BIN_DIR) + "/songdump --events " + mid + " 2>&1");
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Out, "[Error] This is not a standard MIDI file -> OK\n");
    }
    // A file that ends before its last end of track keeps everything before it.
    std::string mid = Make("format1.csv");
    ASSERT_FALSE(mid.empty());
    std::string want = Expected(ReadCsv(PeerReading(mid)));
    std::ifstream in(mid, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.substr(bytes.size() - 3), std::string("\xFF\x2F\x00", 3));
    std::string cut = src.WriteFile("cut.mid", bytes.substr(0, bytes.size() - 4));
    ShellRun r = Shell(std::string(TOLVERN_BIN_DIR) + "/songdump --events " + cut + " 2>&1");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "[File error] Invalid file format (2) -> OK\n" + want);
}

} // namespace
