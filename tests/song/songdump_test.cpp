#include "devices/midimsg.h"
#include "oldsong_writer.h"
#include "song/primitives.h"
#include "song_fixture.h"
#include "songdump/dump.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun RunSongdump(const std::string& args) {
    std::string cmd = std::string(TOLVERN_BIN_DIR) + "/songdump " + args + " 2>&1";
    ToolRun r{-1, ""};
    FILE* f = popen(cmd.c_str(), "r");
    if (!f) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        r.out.append(buf, n);
    int st = pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

} // namespace

TEST(Songdump, NewPrintsTheDefaultsAndTheControllerZeroMessages) {
    // New tracks of either mode; controller 0 goes to each MIDI track's port (the default
    // device, from the creation), and softsynth tracks have none.
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        TempSettings settings;
        settings.WriteIni("[Default]\nTrackMode=" + std::to_string(mode) +
                          "\n[Options]\nDefault device=3\n");
        ToolRun r = RunSongdump("--new");
        ASSERT_EQ(r.status, 0) << r.out;
        std::vector<std::string> lines = Lines(r.out);
        int tracks = 0, sent = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& l = lines[i];
            if (l.rfind("track ", 0) == 0) {
                int n = tracks + 1;
                EXPECT_EQ(l, "track " + std::to_string(n) + " \"Track " + std::to_string(n) +
                                 "\" mode " + std::to_string(mode) + " channel " +
                                 std::to_string((n - 1) % 16) + " output " +
                                 (mode == 0 ? "3" : "0"));
                // No field of a new track differs from the defaults.
                ASSERT_LT(i + 1, lines.size());
                EXPECT_NE(lines[i + 1].rfind("  ", 0), 0u) << lines[i + 1];
                ++tracks;
            } else if (l.rfind("sent ", 0) == 0) {
                EXPECT_EQ(l, "sent 3 controller " + std::to_string(sent % 16 + 1) + " 0 0");
                ++sent;
            }
        }
        EXPECT_EQ(tracks, 128);
        EXPECT_EQ(sent, mode == 0 ? 128 : 0);
        EXPECT_NE(r.out.find("  beatsperbar 4 editres 16 grid 60\n"), std::string::npos);
        EXPECT_NE(r.out.find("  locators 0 1920 position 0"), std::string::npos);
        EXPECT_NE(r.out.find("metronome channel 9 output 0\n  click 120 note on 1 C1 63\n"
                             "  click 120 note off 1 C1 0\n"),
                  std::string::npos);
    }
}

TEST(Songdump, UnreadableFilesSayWhyAndFail) {
    TempDir dir;
    std::string junk = dir.WriteFile("junk.seq", "not a song");
    ToolRun missing = RunSongdump("--events " + dir.Path() + "none.seq");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.out.find("Open file error"), std::string::npos) << missing.out;
    ToolRun bad = RunSongdump("--events " + junk);
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.out.find("Invalid file format (1)"), std::string::npos) << bad.out;
    EXPECT_EQ(RunSongdump("--bogus").status, 2);
}

class DumpTest : public SongTest {};

TEST_F(DumpTest, PartsEventsAndChangedFields) {
    _TTrack* t = Song->Tracks[1].get();
    t->Program = 5;
    t->Outputs[0].Volume = 0.5f;
    t->Outputs[1].Active = 1;
    _TPart* p = NewPart("Bass", 960, 960, 1);
    InsertPart(t, p);
    AppendEvent(p, NewEvent(10, PackMidiMsg(0x91, 60, 100)));
    AppendEvent(p, NewEvent(0, PackMidiMsg(0xB1, 7, 90)));
    AppendEvent(p, NewEvent(50, PackMidiMsg(0x81, 60, 0)));
    _TEvent* sx = NewEvent(5, PackMidiMsg(0xF0, 0, 0));
    const std::uint8_t bytes[] = {0xF0, 0x7E, 0xF7};
    SetEventBlock(*sx, bytes, 3);
    AppendEvent(p, sx);
    InsertPart(Song->Tracks[0].get(), NewPart("a", 0, 960, 0));
    AppendEvent(Song->Tracks[0]->Parts, NewEvent(30, PackMidiMsg(0xE0, 0, 64)));

    std::string text = DumpSong(*Song);
    EXPECT_NE(text.find("track 2 \"Track 2\" mode 2 channel 1 output 0\n"
                        "  program 5\n"
                        "  output 0 volume 0.5\n"
                        "  output 1 active 1\n"
                        "  part \"Bass\" start 960 length 960 endtime 65 flags 08\n"
                        "    970 note on 2 C3 100\n"
                        "    970 controller 2 7 90\n"
                        "    1020 note off 2 C3 0\n"
                        "    1025 sysex 000000F0 [F0 7E F7]\n"
                        "track 3 "),
              std::string::npos)
        << text;
    EXPECT_EQ(DumpEvents(*Song), "0 0 30 E0 0 64\n"
                                 "1 960 970 91 60 100\n"
                                 "1 960 970 B1 7 90\n"
                                 "1 960 1020 81 60 0\n"
                                 "1 960 1025 F0 0 0\n");
}

TEST(Songdump, ReadsNativeSongFiles) {
    TempSettings settings;
    std::string golden = std::string(TOLVERN_TEST_DATA_DIR) + "/song/data/golden.seq";
    ToolRun events = RunSongdump("--events " + golden);
    ASSERT_EQ(events.status, 0) << events.out;
    EXPECT_EQ(events.out, "0 0 0 90 60 100\n"
                          "0 0 0 B0 7 90\n"
                          "0 0 120 80 60 0\n"
                          "0 0 130 F0 0 0\n"
                          "0 0 135 F0 1 0\n"
                          "1 480 580 B1 10 64\n");
    ToolRun song = RunSongdump(golden);
    ASSERT_EQ(song.status, 0) << song.out;
    EXPECT_EQ(song.out.rfind("song \"golden.seq\"\n", 0), 0u) << song.out;
    EXPECT_NE(song.out.find("track 2 \"Disk\" mode 4 channel 1 output 0\n"), std::string::npos);
    // A damaged file is printed as far as it goes, says so, and fails.
    ToolRun cut = RunSongdump(std::string(TOLVERN_TEST_DATA_DIR) + "/song/data/truncated.seq");
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("damaged"), std::string::npos);
    EXPECT_NE(cut.out.find("track 1 \"Piano\""), std::string::npos);
}

TEST(Songdump, ReadsTheOlderVersions) {
    TempSettings settings;
    TempDir dir;
    for (int v = oldsong::V0; v <= oldsong::V3209; ++v) {
        std::string magic = oldsong::Magic(v);
        ToolRun events =
            RunSongdump("--events " + dir.WriteFile(magic + ".seq", oldsong::Fixture(v)));
        ASSERT_EQ(events.status, 0) << magic << "\n" << events.out;
        EXPECT_EQ(events.out, std::string("0 0 0 93 60 100\n"
                                          "0 0 120 83 60 0\n") +
                                  (v >= oldsong::V3204 ? "0 0 130 F0 0 0\n" : "") +
                                  "1 960 960 90 40 127\n"
                                  "1 960 1200 80 40 0\n")
            << magic;
    }
}
