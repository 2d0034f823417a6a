#include "devices/mixkernels.h"
#include "devices/wave.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "support/temp_settings.h"
#include "wave_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace wavefix;
using platform::TMemoryStream;

namespace {

std::string Bytes(const TWave& W) {
    TMemoryStream m;
    W.SaveToStream(m);
    return std::string(m.View());
}

void Load(TWave& W, std::string_view Image) {
    TMemoryStream m(Image);
    W.LoadFromStream(m);
}

std::string DataOf(const TWave& W) {
    return W.Size() ? std::string(reinterpret_cast<const char*>(W.Data()), W.Size()) : "";
}
std::string FormatOf(const TWave& W) {
    return W.FormatSize() ? std::string(reinterpret_cast<const char*>(W.Format()), W.FormatSize())
                          : "";
}

void Fill(TWave& W, std::string_view Data) {
    W.SetSize(static_cast<int>(Data.size()));
    if (!Data.empty()) std::memcpy(W.Data(), Data.data(), Data.size());
}

// The program's own image of a format record and data, as the writer lays it out.
std::string OwnImage(const std::string& Format, const std::string& Data) {
    std::string s = "RIFF";
    Le32(s, static_cast<std::uint32_t>(4 + 8 + Format.size() + 8 + Data.size() + (Data.size() & 1)));
    s += "WAVEfmt ";
    Le32(s, static_cast<std::uint32_t>(Format.size()));
    s += Format + "data";
    Le32(s, static_cast<std::uint32_t>(Data.size()));
    return s + Data + std::string(1, '\0');
}

TEST(Wave, WriterLayoutIsByteExactWithOneTrailingZero) {
    struct Case {
        std::string data;
        std::size_t fileSize;
        std::uint32_t riffSize;
    };
    for (const Case& c : {Case{"abc", 50, 42}, Case{"abcd", 51, 42}}) {
        TWave w;
        w.SetPCMFormat(22050, 8, 1);
        Fill(w, c.data);
        std::string out = Bytes(w);
        ASSERT_EQ(out.size(), c.fileSize) << c.data;
        std::uint32_t riff;
        std::memcpy(&riff, out.data() + 4, 4);
        EXPECT_EQ(riff, c.riffSize);
        EXPECT_EQ(out, OwnImage(Fmt(22050, 8, 1), c.data));
        EXPECT_EQ(out.back(), '\0');

        TWave back;
        Load(back, out);
        EXPECT_EQ(DataOf(back), c.data);
        EXPECT_EQ(FormatOf(back), Fmt(22050, 8, 1));
    }
}

TEST(Wave, EmptyWaveSavesNothingAndLoadsEmpty) {
    TempDir dir;
    TWave noData, noFormat;
    noData.SetPCMFormat(44100, 16, 2);
    Fill(noFormat, "xyz");
    for (TWave* w : {&noData, &noFormat}) {
        std::string path = dir.Path() + "empty.wav";
        w->SaveToFile(path);
        EXPECT_EQ(dir.ReadFile("empty.wav"), "");
        EXPECT_TRUE(platform::FileExists(path));
        TWave back;
        Fill(back, "stale");
        back.LoadFromFile(path);
        EXPECT_EQ(back.Size(), 0);
        EXPECT_EQ(back.FormatSize(), 0);
        EXPECT_EQ(back.Data(), nullptr);
        EXPECT_EQ(back.Format(), nullptr);
    }
}

TEST(Wave, SizeGrowsAndShrinksInWholeSteps) {
    TWave w;
    w.SetSize(8096);
    EXPECT_EQ(w.Capacity(), 8096);
    std::uint8_t* block = w.Data();
    std::memset(block, 7, 8096);
    w.SetSize(8000);
    EXPECT_EQ(w.Data(), block); // the same block
    EXPECT_EQ(w.Size(), 8000);
    w.SetSize(8097);
    EXPECT_EQ(w.Capacity(), 16192);
    EXPECT_EQ(w.Data()[7999], 7); // kept across the move
    w.SetSize(-3);
    EXPECT_EQ(w.Size(), 0);
    EXPECT_EQ(w.Data(), nullptr);
    EXPECT_EQ(w.Capacity(), 0);
}

TEST(Wave, PcmFormatRecord) {
    struct Case {
        int rate, bits, channels, align, perSecond;
    } cases[] = {{44100, 16, 2, 4, 176400}, {22050, 8, 1, 1, 22050}, {11025, 16, 1, 2, 22050}};
    for (const Case& c : cases) {
        TWave w;
        Fill(w, "data stays");
        w.SetPCMFormat(c.rate, c.bits, c.channels);
        ASSERT_EQ(w.FormatSize(), 18);
        TWaveFormatHead h;
        ASSERT_TRUE(w.FormatHead(h));
        EXPECT_EQ(h.FormatTag, 1);
        EXPECT_EQ(h.Channels, c.channels);
        EXPECT_EQ(h.SamplesPerSec, static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(h.BlockAlign, c.align);
        EXPECT_EQ(h.AvgBytesPerSec, static_cast<std::uint32_t>(c.perSecond));
        EXPECT_EQ(h.BitsPerSample, c.bits);
        EXPECT_EQ(w.Format()[16] | w.Format()[17], 0);
        EXPECT_EQ(DataOf(w), "data stays");
    }
}

TEST(Wave, HeaderErrorsAndShortFiles) {
    const std::string good = Riff({Chunk("fmt ", Fmt(44100, 16, 2)), Chunk("data", "abcd")});
    std::string notRiff = good, notWave = good;
    notRiff[0] = 'X';
    notWave[9] = 'X';
    struct Case {
        std::string image, error;
    } cases[] = {
        {notRiff, "Wave is invalid"},
        {notWave, "Wave is invalid"},
        {"R", "Stream read error"},
        {good.substr(0, 11), "Stream read error"},
        {"", ""},
    };
    for (const Case& c : cases) {
        TWave w;
        EXPECT_EQ(ErrorOf([&] { Load(w, c.image); }), c.error) << c.image.size();
        EXPECT_EQ(w.Size(), 0);
        EXPECT_EQ(w.FormatSize(), 0);
    }
}

TEST(Wave, StreamStateErrors) {
    TMemoryStream m;
    TWaveStream ws(m);
    char b[4];
    EXPECT_EQ(ErrorOf([&] { ws.Read(b, 4); }), "Stream not opend");
    EXPECT_EQ(ErrorOf([&] { ws.Write(b, 4); }), "Stream not opend");
    EXPECT_EQ(ErrorOf([&] { ws.Open(true); }), "Format is invalid");
    ws.Open(false);
    EXPECT_EQ(ErrorOf([&] { ws.Open(false); }), "Stream has already been opened");
}

TEST(Wave, ChunkWalk) {
    const std::string fmt16 = Fmt(44100, 16, 2, 16), fmt18 = Fmt(22050, 8, 1);
    struct Case {
        const char* what;
        std::string image, format, data;
    } cases[] = {
        {"16-byte fmt", Riff({Chunk("fmt ", fmt16), Chunk("data", "abcd")}), fmt16, "abcd"},
        {"LIST between, chunk after data",
         Riff({Chunk("fmt ", fmt18), Chunk("LIST", "INFOabcd"), Chunk("data", "wxyz"),
               Chunk("junk", "12")}),
         fmt18, "wxyz"},
        {"later chunks replace earlier ones",
         Riff({Chunk("fmt ", fmt16), Chunk("data", "ab"), Chunk("fmt ", fmt18),
               Chunk("data", "cdef")}),
         fmt18, "cdef"},
        {"odd LIST padded with a zero",
         Riff({Chunk("fmt ", fmt18), Chunk("LIST", "odd") + std::string(1, '\0'),
               Chunk("data", "wxyz")}),
         fmt18, "wxyz"},
        {"program image with a 17-byte fmt", OwnImage(Fmt(44100, 16, 2, 17), "abcd"),
         Fmt(44100, 16, 2, 17), "abcd"},
        {"odd data, then the pad and another chunk",
         Riff({Chunk("fmt ", fmt18), Chunk("data", "abc") + std::string(1, '\0'),
               Chunk("LIST", "ab")}),
         fmt18, "abc"},
        {"no data chunk", Riff({Chunk("fmt ", fmt18)}), fmt18, ""},
        {"no fmt chunk", Riff({Chunk("data", "ab")}), "", "ab"},
        {"zero identifier ends the walk",
         Riff({Chunk("fmt ", fmt18), std::string(8, '\0'), Chunk("data", "ab")}), fmt18, ""},
        {"a chunk past the end ends the walk",
         Riff({Chunk("fmt ", fmt18), Chunk("data", "ab")}) + "LIST\xff\xff\xff\xff" + "xx", fmt18,
         "ab"},
        {"a header cut short", Riff({Chunk("fmt ", fmt18), Chunk("data", "ab")}) + "LI", fmt18,
         "ab"},
    };
    for (const Case& c : cases) {
        TWave w;
        EXPECT_EQ(ErrorOf([&] { Load(w, c.image); }), "") << c.what;
        EXPECT_EQ(FormatOf(w), c.format) << c.what;
        EXPECT_EQ(DataOf(w), c.data) << c.what;
    }
    // The writer keeps a 17-byte record as it is, pad-free, and reads its own image back.
    TWave w;
    Load(w, OwnImage(Fmt(44100, 16, 2, 17), "abcde"));
    EXPECT_EQ(Bytes(w), OwnImage(Fmt(44100, 16, 2, 17), "abcde"));
}

TEST(Wave, DataPromisingMoreThanRemainsLeavesTheWaveEmpty) {
    const std::string fmt = Fmt(44100, 16, 2);
    std::string head = Riff({Chunk("fmt ", fmt)});
    for (std::uint32_t promised : {5u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::string image = head + "data";
        Le32(image, promised);
        image += "abcd";
        TWave w;
        w.SetPCMFormat(11025, 8, 1);
        Fill(w, "stale");
        EXPECT_EQ(ErrorOf([&] { Load(w, image); }), "Stream read error") << promised;
        EXPECT_EQ(w.Size(), 0);
        EXPECT_EQ(w.FormatSize(), 0);
        EXPECT_EQ(w.Data(), nullptr);
    }
    // A "fmt " chunk that runs past the end is not read.
    TWave w;
    EXPECT_EQ(ErrorOf([&] { Load(w, Riff({Chunk("data", "ab")}) + "fmt \xff\xff\xff\x7f"); }), "");
    EXPECT_EQ(w.FormatSize(), 0);
    EXPECT_EQ(DataOf(w), "ab");
}

TEST(Wave, LoadStartsAtTheStreamPosition) {
    std::string image = "prefix" + OwnImage(Fmt(44100, 16, 2), "abcd") + "suffix";
    TMemoryStream m(image);
    m.SetPosition(6);
    TWave w;
    w.LoadFromStream(m);
    EXPECT_EQ(DataOf(w), "abcd");
    // And a save at a position writes its image there.
    TMemoryStream out(std::string_view("head"));
    out.SetPosition(4);
    w.SaveToStream(out);
    EXPECT_EQ(std::string(out.View()), "head" + OwnImage(Fmt(44100, 16, 2), "abcd"));
}

TEST(Wave, WaveStreamSeeksAndReadsWithinTheData) {
    TMemoryStream m(OwnImage(Fmt(44100, 16, 2), "0123456789"));
    TWaveStream ws(m);
    ws.Open(false);
    EXPECT_EQ(ws.DataSize(), 10);
    EXPECT_EQ(ws.Seek(-3, platform::soFromEnd), 7);
    EXPECT_EQ(ws.Seek(50, platform::soFromCurrent), 10);
    EXPECT_EQ(ws.Seek(-50, platform::soFromBeginning), 0);
    char b[20] = {};
    ws.Seek(6, platform::soFromBeginning);
    EXPECT_EQ(ws.Read(b, 20), 4);
    EXPECT_EQ(std::string(b, 4), "6789");
    // A write in read mode stays inside the data.
    ws.Seek(8, platform::soFromBeginning);
    EXPECT_EQ(ws.Write("XYZ", 3), 2);
    EXPECT_EQ(m.View().substr(46, 10), "01234567XY");
}

TEST(Wave, Assign) {
    TWave a, b;
    a.SetPCMFormat(22050, 16, 1);
    Fill(a, "hello");
    a.Assign(&a);
    EXPECT_EQ(DataOf(a), "hello");
    b.Assign(&a);
    EXPECT_EQ(DataOf(b), "hello");
    EXPECT_EQ(FormatOf(b), FormatOf(a));
    EXPECT_NE(b.Data(), a.Data());
    b.Assign(nullptr);
    EXPECT_EQ(b.Size(), 0);
    EXPECT_EQ(b.FormatSize(), 0);
}

TEST(Wave, FileErrors) {
    TempDir dir;
    TWave w;
    std::string missing = dir.Path() + "missing.wav";
    EXPECT_EQ(ErrorOf([&] { w.LoadFromFile(missing); }).rfind("Cannot open file \"" + missing + "\". ", 0),
              0u);
    // A save that fails leaves the old file as it was.
    std::string path = dir.WriteFile("old.wav", "old bytes");
    w.SetPCMFormat(44100, 16, 2);
    Fill(w, "abcd");
    platform::FailNextFileOp(platform::FileOp::Rename);
    EXPECT_EQ(ErrorOf([&] { w.SaveToFile(path); }).rfind("Cannot create file \"" + path + "\". ", 0),
              0u);
    EXPECT_EQ(dir.ReadFile("old.wav"), "old bytes");
    w.SaveToFile(path);
    EXPECT_EQ(dir.ReadFile("old.wav"), OwnImage(Fmt(44100, 16, 2), "abcd"));
}

// The size in the first "data" header of a file.
std::uint32_t DataHeaderSize(const std::string& Bytes, std::size_t& At) {
    At = Bytes.find("data");
    std::uint32_t n = 0;
    if (At != std::string::npos) std::memcpy(&n, Bytes.data() + At + 4, 4);
    return n;
}

// Files written by a peer program, for every format the program plays and some it does not.
TEST(Wave, FilesWrittenBySox) {
    if (std::system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    struct Case {
        int rate, bits, channels;
        const char* extra;
        int fmtBytes;
        bool plays;
    } cases[] = {
        {11025, 8, 1, "-e unsigned", 16, true},  {22050, 8, 2, "-e unsigned", 16, true},
        {44100, 8, 1, "-e unsigned", 16, true},  {11025, 16, 2, "-e signed", 16, true},
        {22050, 16, 1, "-e signed", 16, true},   {44100, 16, 2, "-e signed", 16, true},
        {48000, 16, 2, "-e signed", 16, false},  {44100, 24, 2, "-e signed", 40, false}, // extensible
    };
    for (const Case& c : cases) {
        std::string path = dir.Path() + "s.wav";
        std::string cmd = "sox -n -r " + std::to_string(c.rate) + " -b " + std::to_string(c.bits) +
                          " -c " + std::to_string(c.channels) + " " + c.extra + " " + path +
                          " synth 0.01 sine 440 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        TWave w;
        w.LoadFromFile(path);
        TWaveFormatHead h;
        ASSERT_TRUE(w.FormatHead(h)) << cmd;
        EXPECT_EQ(w.FormatSize(), c.fmtBytes) << cmd;
        EXPECT_EQ(h.Channels, c.channels) << cmd;
        EXPECT_EQ(h.SamplesPerSec, static_cast<std::uint32_t>(c.rate)) << cmd;
        EXPECT_EQ(h.BitsPerSample, c.bits) << cmd;
        EXPECT_EQ(h.BlockAlign, c.channels * c.bits / 8) << cmd;
        std::size_t at;
        std::uint32_t size = DataHeaderSize(dir.ReadFile("s.wav"), at);
        EXPECT_GT(size, 0u);
        EXPECT_EQ(w.Size(), static_cast<std::int32_t>(size)) << cmd;
        EXPECT_EQ(w.Size() % h.BlockAlign, 0) << cmd;
        TWaveFormat f;
        f.nChannels = h.Channels;
        f.nSamplesPerSec = h.SamplesPerSec;
        f.wBitsPerSample = h.BitsPerSample;
        EXPECT_EQ(IsSupportedWaveFormat(f), c.plays) << cmd;
    }
    // A standard file with an odd LIST chunk, padded, put before its "data".
    std::string path = dir.Path() + "c.wav";
    std::string cmd = "sox -n -r 22050 -b 16 -c 1 " + path + " synth 0.01 sine 440 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string bytes = dir.ReadFile("c.wav");
    std::size_t data;
    std::uint32_t size = DataHeaderSize(bytes, data);
    ASSERT_GT(size, 0u);
    std::string info = "INFOICMT";
    Le32(info, 5);
    info += "abcde"; // 17 bytes
    std::string odd = bytes.substr(0, data) + Chunk("LIST", info) + std::string(1, '\0') +
                      bytes.substr(data);
    TWave w;
    Load(w, odd);
    EXPECT_EQ(DataOf(w), bytes.substr(data + 8, size));
}

} // namespace
