// Disk samples: opening WAV files in place (and refusing what cannot play), streaming disk
// parts block by block frame for frame, the precount, loops, and the purge.

#include "devices/audio.h"
#include "platform/core/files.h"
#include "song/disk.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/songfile.h"
#include "song/timebase.h"
#include "song_fixture.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

void Put32(std::string& S, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        S += static_cast<char>((V >> (8 * i)) & 0xFF);
}
void Put16(std::string& S, std::uint32_t V) {
    S += static_cast<char>(V & 0xFF);
    S += static_cast<char>((V >> 8) & 0xFF);
}

struct Wav {
    int Bits = 16, Channels = 1, Frames = 1000, Tag = 1;
    int FmtSize = 16;
    std::string Before;           // chunks between "fmt " and "data"
    long long DataSizeField = -1; // what the "data" header says (-1: the true size)
    int DropBytes = 0;            // bytes cut from the end of the file
    std::function<std::int64_t(int Frame, int Channel)> Value = [](int f, int) { return f + 1; };

    std::string Bytes() const {
        std::string fmt;
        Put16(fmt, static_cast<std::uint32_t>(Tag));
        Put16(fmt, static_cast<std::uint32_t>(Channels));
        Put32(fmt, 44100);
        Put32(fmt, 44100u * static_cast<std::uint32_t>(Channels * Bits / 8));
        Put16(fmt, static_cast<std::uint32_t>(Channels * Bits / 8));
        Put16(fmt, static_cast<std::uint32_t>(Bits));
        if (Tag == 0xFFFE) {
            Put16(fmt, 22);
            Put16(fmt, static_cast<std::uint32_t>(Bits));
            Put32(fmt, 3);
            Put16(fmt, 3); // float sub-format
            fmt.append(14, '\0');
        }
        fmt.resize(static_cast<std::size_t>(std::max<int>(FmtSize, Tag == 0xFFFE ? 40 : 0)));
        std::string data;
        for (int f = 0; f < Frames; ++f)
            for (int c = 0; c < Channels; ++c) {
                std::uint64_t v = static_cast<std::uint64_t>(Value(f, c));
                for (int b = 0; b < Bits / 8; ++b)
                    data += static_cast<char>((v >> (8 * b)) & 0xFF);
            }
        std::string body = "WAVE";
        body += "fmt ";
        Put32(body, static_cast<std::uint32_t>(fmt.size()));
        body += fmt;
        body += Before;
        body += "data";
        Put32(body, static_cast<std::uint32_t>(DataSizeField < 0 ? data.size() : DataSizeField));
        body += data;
        std::string out = "RIFF";
        Put32(out, static_cast<std::uint32_t>(body.size()));
        out += body;
        out.resize(out.size() - static_cast<std::size_t>(DropBytes));
        return out;
    }
};

class DiskTest : public SongTest {
protected:
    std::string File(const std::string& Name, const Wav& W) {
        return dir.WriteFile(Name, W.Bytes());
    }
    TDiskSample* AddSample(const std::string& Path, int Internal = 0) {
        auto* s = new TDiskSample;
        s->FileName = Path;
        s->Internal = Internal;
        s->Open();
        Song->DiskSamples.push_back(s);
        return s;
    }
    _TPart* AddPart(int Track, int Start, int Sample) {
        _TTrack* t = Song->TrackAt(Track);
        t->Mode = tmDisk;
        _TPart* p = NewPart("", Start, 960, Track);
        p->Sample = Sample;
        EXPECT_TRUE(InsertPart(t, p));
        return p;
    }
    // Plays from Tick in blocks of Frames and returns the left channel.
    std::vector<float> Play(int Tick, int Frames, int Blocks, int State = 2) {
        Song->State = State;
        Song->Locate(Tick, false);
        TSoftEngine::UpdateMuteSolo();
        std::vector<float> left, out(2 * static_cast<std::size_t>(Frames));
        for (int b = 0; b < Blocks; ++b) {
            Song->Render(out.data(), Frames);
            for (int f = 0; f < Frames; ++f)
                left.push_back(out[2 * static_cast<std::size_t>(f)]);
        }
        return left;
    }

    TempDir dir;
};

TEST_F(DiskTest, OpeningKeepsWhatCannotPlayClosed) {
    std::string list = "LIST";
    Put32(list, 3);
    list += "abc";
    list += '\0'; // the pad of the odd chunk
    struct Case {
        const char* name;
        Wav wav;
        bool open;
        int frames;
    };
    Wav oddList;
    oddList.Before = list;
    Wav truncated;
    truncated.DropBytes = 301; // half a frame too
    Wav shortFmt;
    shortFmt.FmtSize = 14;
    Wav floats;
    floats.Tag = 3;
    floats.Bits = 32;
    Wav extensible;
    extensible.Tag = 0xFFFE;
    extensible.Bits = 32;
    Wav noChannels;
    noChannels.Channels = 0;
    Wav fourBits;
    fourBits.Bits = 4;
    Wav huge;
    huge.DataSizeField = 0x7FFFFFF0;
    const Case cases[] = {
        {"plain", Wav{}, true, 1000},
        {"odd list", oddList, true, 1000},
        {"truncated", truncated, true, 849},
        {"short fmt", shortFmt, false, 0},
        {"float", floats, false, 0},
        {"extensible float", extensible, false, 0},
        {"no channels", noChannels, false, 0},
        {"four bits", fourBits, false, 0},
        {"data beyond the file", huge, true, 1000},
    };
    for (const Case& c : cases) {
        TDiskSample s;
        s.FileName = File(std::string(c.name) + ".wav", c.wav);
        EXPECT_EQ(s.Open(), c.open) << c.name;
        EXPECT_EQ(s.Opened != 0, c.open) << c.name;
        EXPECT_EQ(s.Frames, c.frames) << c.name;
        if (!c.open) {
            EXPECT_EQ(s.DataStart, 0) << c.name;
        }
    }
    // Not a wave file, missing, a FIFO.
    TDiskSample s;
    s.FileName = dir.WriteFile("text.wav", "RIFF....WAVx");
    EXPECT_FALSE(s.Open());
    s.FileName = dir.Path() + "missing.wav";
    EXPECT_FALSE(s.Open());
    const std::string fifo = dir.Path() + "fifo.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    s.FileName = fifo;
    EXPECT_FALSE(s.Open());
}

// A file the user may only read plays: a sample library on a shared or read-only disk.
TEST_F(DiskTest, AReadOnlyFilePlays) {
    const std::string path = File("readonly.wav", Wav{});
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    // Root may write any file: it gets the refusal a user would get for opening it to write.
    if (::geteuid() == 0) platform::FailNextFileOp(platform::FileOp::OpenWrite, 0, EACCES);
    TDiskSample* s = AddSample(path);
    platform::ClearFileFailures();
    ASSERT_TRUE(s->Opened);
    AddPart(0, 0, 0);
    const auto left = Play(0, 512, 2);
    EXPECT_EQ(left[0], 1.0f / 32768.0f);
    EXPECT_EQ(left[999], 1000.0f / 32768.0f);
    EXPECT_EQ(left[1000], 0.0f);
}

// Another program shortens the file while it plays (between two blocks, and inside a frame):
// what is left plays, then silence, and the program goes on.
TEST_F(DiskTest, AFileShortenedWhilePlayingGoesSilentAtTheCut) {
    Wav w;
    w.Frames = 20000; // beyond a page, so that a mapping would fault behind the cut
    const std::string path = File("cut.wav", w);
    AddSample(path);
    AddPart(0, 0, 0);
    auto left = Play(0, 1024, 1);
    ASSERT_EQ(left[1023], 1024.0f / 32768.0f);
    const std::uintmax_t header = std::filesystem::file_size(path) - 2 * 20000u;
    std::filesystem::resize_file(path, header + 2 * 1500 + 1); // 1,500 frames and a half
    for (int b = 0; b < 4; ++b) {
        std::vector<float> out(2 * 1024);
        Song->Render(out.data(), 1024);
        for (int f = 0; f < 1024; ++f)
            left.push_back(out[2 * static_cast<std::size_t>(f)]);
    }
    for (std::size_t f = 1024; f < left.size(); ++f)
        ASSERT_EQ(left[f], f < 1500 ? static_cast<float>(f + 1) / 32768.0f : 0.0f) << f;
    // Opened again, it holds the frames that are left.
    TDiskSample again;
    again.FileName = path;
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Frames, 1500);
}

// Every file frame once, in order and in place, at odd block sizes and from an odd frame.
TEST_F(DiskTest, EachFrameOnceInPlace) {
    AddSample(File("ramp.wav", Wav{}));
    struct Case {
        int tick, blockFrames;
    };
    for (const Case c : {Case{0, 255}, Case{5, 256}, Case{5, 255}, Case{7, 1000}}) {
        Song->TrackAt(0)->Parts = nullptr;
        _TPart* part = AddPart(0, c.tick, 0);
        const auto left = Play(0, c.blockFrames, 8);
        const long long start = std::llround(c.tick * 44100.0 / 480.0);
        for (std::size_t f = 0; f < left.size(); ++f) {
            const long long k = static_cast<long long>(f) - start;
            const float want = k >= 0 && k < 1000 ? static_cast<float>(k + 1) / 32768.0f : 0.0f;
            ASSERT_EQ(left[f], want)
                << "tick " << c.tick << " block " << c.blockFrames << " frame " << f;
        }
        DeletePart(Song->TrackAt(0), part);
    }
}

TEST_F(DiskTest, APartStartedBeforeTheLocatePlaysItsRestFromFrame0) {
    Wav w;
    w.Frames = 2000;
    AddSample(File("long.wav", w));
    AddPart(0, 0, 0);
    // 8 ticks are 735 frames: the last 1,265 frames play from frame 0.
    const auto left = Play(8, 512, 4);
    EXPECT_EQ(left[0], 736.0f / 32768.0f);
    EXPECT_EQ(left[1264], 2000.0f / 32768.0f);
    EXPECT_EQ(left[1265], 0.0f);
}

TEST_F(DiskTest, FormatsAndMonoOnBothSides) {
    Wav mono32;
    mono32.Bits = 32;
    mono32.Value = [](int, int) { return std::int64_t{1} << 30; };
    Wav stereo24;
    stereo24.Bits = 24;
    stereo24.Channels = 2;
    stereo24.Value = [](int, int c) {
        return c == 0 ? std::int64_t{1} << 22 : -(std::int64_t{1} << 21);
    };
    for (const Wav& w : {mono32, stereo24}) {
        Song->ClearDiskSamples();
        AddSample(File("f.wav", w));
        Song->TrackAt(0)->Parts = nullptr;
        _TPart* part = AddPart(0, 0, 0);
        Song->State = 2;
        Song->Locate(0, false);
        TSoftEngine::UpdateMuteSolo();
        std::vector<float> out(2 * 64);
        Song->Render(out.data(), 64);
        if (w.Bits == 32) {
            EXPECT_EQ(out[0], 0.5f);
            EXPECT_EQ(out[1], 0.5f);
        } else {
            EXPECT_EQ(out[0], 0.5f);
            EXPECT_EQ(out[1], -0.25f);
        }
        DeletePart(Song->TrackAt(0), part);
    }
}

TEST_F(DiskTest, PrecountHoldsThePositionAndStartsPartsWhereItEnds) {
    AddSample(File("ramp.wav", Wav{}));
    AddPart(0, 0, 0);
    // A recording's precount of 240 ticks (22,050 frames), as a locate leaves it.
    Song->State = 1;
    Song->Locate(0, false);
    Song->PrecountLeft = 240.0;
    TSoftEngine::UpdateMuteSolo();
    std::vector<float> left, out(2 * 1000);
    for (int b = 0; b < 24; ++b) {
        Song->Render(out.data(), 1000);
        for (int f = 0; f < 1000; ++f)
            left.push_back(out[2 * static_cast<std::size_t>(f)]);
        // The position waits for the precount.
        if (b < 22) {
            EXPECT_EQ(Song->AudioPos, 0.0) << b;
        }
    }
    const long long end = std::llround(240 * 44100.0 / 480.0);
    for (std::size_t f = 0; f < left.size(); ++f) {
        const long long k = static_cast<long long>(f) - end;
        ASSERT_EQ(left[f], k >= 0 && k < 1000 ? static_cast<float>(k + 1) / 32768.0f : 0.0f) << f;
    }
}

TEST_F(DiskTest, ALoopShorterThanABlockPlaysEveryPass) {
    AddSample(File("ramp.wav", Wav{}));
    AddPart(0, 0, 0);
    Song->LeftLocator = 0;
    Song->RightLocator = 2; // 184 frames
    Song->LoopOn = 1;
    Song->State = 2;
    Song->Locate(0, true);
    Song->Looping = 1;
    TSoftEngine::UpdateMuteSolo();
    std::vector<float> out(2 * 400);
    Song->Render(out.data(), 400);
    const int pass = static_cast<int>(std::llround(2 * 44100.0 / 480.0));
    EXPECT_EQ(out[0], 1.0f / 32768.0f);
    EXPECT_EQ(out[2 * (pass - 1)], static_cast<float>(pass) / 32768.0f);
    EXPECT_EQ(out[2 * pass], 1.0f / 32768.0f);
    EXPECT_EQ(out[2 * (2 * pass)], 1.0f / 32768.0f);
}

// The clock does not drift: a part ten minutes in starts where a locate puts it.
TEST_F(DiskTest, APartTenMinutesInStartsWhereALocatePutsIt) {
    const int tick = 288000 + 5; // ten minutes and an odd frame
    AddSample(File("ramp.wav", Wav{}));
    AddPart(0, tick, 0);
    const long long start = std::llround(tick * 44100.0 / 480.0);
    Song->State = 2;
    Song->Locate(0, false);
    TSoftEngine::UpdateMuteSolo();
    std::vector<float> out(2 * 1024);
    long long frame = 0, first = -1;
    while (first < 0 && frame < start + 4096) {
        Song->Render(out.data(), 1024);
        for (int f = 0; f < 1024 && first < 0; ++f)
            if (out[2 * f] != 0.0f) first = frame + f;
        frame += 1024;
    }
    EXPECT_LE(std::llabs(first - start), 1);
}

TEST_F(DiskTest, PurgeDropsUnusedSamplesAndOnlyTheSongsOwnFiles) {
    // Disk samples 0 (no part) and 1 (named by parts): only the second is left, as number 0.
    AddSample(File("a.wav", Wav{}));
    AddSample(File("b.wav", Wav{}));
    _TPart* p = AddPart(0, 0, 1);
    Song->AddTodo(tdPurgeDiskSamples, -1, nullptr, nullptr);
    ASSERT_EQ(Song->DiskSamples.size(), 1u);
    EXPECT_EQ(p->Sample, 0);
    EXPECT_EQ(Song->DiskSamples[0]->FileName, dir.Path() + "b.wav");

    // Two internal samples of one file, one used, one not: the file stays.
    AddSample(Song->DiskSamples[0]->FileName, 1);
    Song->DiskSamples[0]->Internal = 1;
    Song->AddTodo(tdPurgeDiskSamples, -1, nullptr, nullptr);
    EXPECT_EQ(Song->DiskSamples.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "b.wav"));
}

TEST_F(DiskTest, AHeadlessSavePurgesAndDeletesOnlyInsideTheSampleFolder) {
    std::filesystem::create_directories(dir.Path() + "song");
    const std::string inside = File("song/smp01.wav", Wav{});
    const std::string outside = File("elsewhere.wav", Wav{});
    const std::string kept = File("song/smp02.wav", Wav{});
    AddSample(inside, 1);
    AddSample(outside, 1);
    AddSample(kept, 1);
    AddPart(0, 0, 2);
    ASSERT_TRUE(SaveSongFile(dir.Path() + "song.seq"));
    EXPECT_EQ(Song->DiskSamples.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(inside));
    EXPECT_TRUE(std::filesystem::exists(outside));
    EXPECT_TRUE(std::filesystem::exists(kept));
    std::string other = dir.Path() + "song/./smp02.wav";
    EXPECT_TRUE(DiskFileInUse(-1, other)); // one file under two spellings
    EXPECT_FALSE(DiskFileInUse(0, other));
}

} // namespace
