#include "song/filehelpers.h"

#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "song/primitives.h"
#include "song/song.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b)
        s += static_cast<char>(c);
    return s;
}

class MapReader : public testing::Test {
protected:
    void TearDown() override {
        MapFileClose();
        platform::ClearFileFailures();
    }
    // Maps a file holding Content.
    void Map(const std::string& Content) {
        std::string path = dir.WriteFile("in.bin", Content);
        ASSERT_TRUE(MapFileOpen(path));
    }
    TempDir dir;
};

} // namespace

TEST_F(MapReader, OpenFailsForMissingEmptyAndUnmappableFilesButNotReadOnlyOnes) {
    EXPECT_FALSE(MapFileOpen(dir.Path() + "missing.seq"));
    EXPECT_FALSE(MapFileOpen(dir.WriteFile("empty.seq", "")));
    EXPECT_FALSE(MapFileOpen(dir.Path())); // a folder
    std::string path = dir.WriteFile("demo.seq", "abc");
    platform::FailNextFileOp(platform::FileOp::Map);
    EXPECT_FALSE(MapFileOpen(path));
    // Shipped demos are read-only: they still open.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_TRUE(MapFileOpen(path));
    EXPECT_EQ(MapRemaining, 3);
    EXPECT_EQ(MapCursor, MapBase);
    EXPECT_EQ(MapReadByte(), 'a');
}

TEST_F(MapReader, IntegersInBothOrdersDoublesAndCounts) {
    double d = -1.25;
    std::string raw(reinterpret_cast<const char*>(&d), 8);
    Map(Bytes({0x34, 0x12, 0x34, 0x12, 0x80, 0, 0, 1, 1, 0, 0, 0x80}) + raw +
        Bytes({3, 'a', 'b', 'c'}));
    MapReadCount = 65530;
    EXPECT_EQ(MapReadInt16LE(), 0x1234);
    EXPECT_EQ(MapReadInt16BE(), 0x3412);
    EXPECT_EQ(MapReadInt32BE(), static_cast<std::int32_t>(0x80000001u));
    EXPECT_EQ(MapReadInt32LE(), static_cast<std::int32_t>(0x80000001u));
    EXPECT_EQ(MapReadDouble(), -1.25);
    EXPECT_EQ(MapReadCount, static_cast<std::uint16_t>(65530 + 20)); // wraps
    std::string s;
    MapReadString(s);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(MapReadCount, static_cast<std::uint16_t>(65530 + 21)); // the length byte only
    EXPECT_EQ(MapRemaining, 0);
    EXPECT_FALSE(MapTruncated);
}

TEST_F(MapReader, VariableLengthNumbers) {
    struct Case {
        std::string bytes;
        std::uint32_t value;
    } cases[] = {
        {Bytes({0x00}), 0},
        {Bytes({0x7F}), 127},
        {Bytes({0x81, 0x00}), 128},
        {Bytes({0xFF, 0x7F}), 16383},
        {Bytes({0xFF, 0xFF, 0xFF, 0x7F}), (1u << 28) - 1},
        {Bytes({0x81, 0x80}), 128 << 7}, // cut off: the missing byte reads 0 and ends it
    };
    for (const Case& c : cases) {
        Map(c.bytes);
        EXPECT_EQ(MapReadVarLen(), c.value) << testing::PrintToString(c.bytes);
        MapFileClose();
    }
    EXPECT_TRUE(MapTruncated);
}

TEST_F(MapReader, EventReadersTakeValueAndBlockForms) {
    // A 32-bit value event: delta, message F0 01 00 00, length 4, value.
    std::string value = Bytes({0, 0, 0, 5, 0, 0, 1, 0xF0, 0, 0, 0, 4, 0xDE, 0xAD, 0xBE, 0xEF});
    Map(value);
    _TEvent* e = MapReadEventEx();
    EXPECT_EQ(e->Delta, 5);
    EXPECT_EQ(e->Msg, 0x01F0u);
    EXPECT_EQ(EventValue(*e), 0xDEADBEEFu);
    EXPECT_EQ(e->DataLen, 0);
    EXPECT_EQ(MapRemaining, 0);
    FreeEvent(e);

    Map(value);
    e = MapReadEventSysex();
    ASSERT_NE(EventBlock(*e), nullptr);
    EXPECT_EQ(e->DataLen, 4);
    EXPECT_EQ(EventBlock(*e)[0], 0xDE);
    FreeEvent(e);

    // A block of 0 bytes allocates nothing; other statuses carry nothing more.
    Map(Bytes({0, 0, 0, 0, 0, 0, 0, 0xF0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x40, 0x3C, 0x90}));
    e = MapReadEventEx();
    EXPECT_TRUE(std::holds_alternative<std::monostate>(e->Data));
    EXPECT_EQ(e->DataLen, 0);
    FreeEvent(e);
    e = MapReadEvent();
    EXPECT_EQ(e->Delta, 1);
    EXPECT_EQ(e->Msg, PackMidiMsg(0x90, 60, 64));
    FreeEvent(e);
    EXPECT_EQ(MapRemaining, 0);
}

TEST_F(MapReader, CutOffAndHostileReadsGiveZerosAndStop) {
    // A system-exclusive length far beyond the file: no block, the rest consumed.
    Map(Bytes({0, 0, 0, 0, 0, 0, 0, 0xF0, 0x7F, 0xFF, 0xFF, 0xFF, 1, 2, 3}));
    _TEvent* e = MapReadEventSysex();
    EXPECT_EQ(EventBlock(*e), nullptr);
    EXPECT_EQ(e->DataLen, 0);
    EXPECT_TRUE(MapTruncated);
    EXPECT_LE(MapRemaining, 0);
    FreeEvent(e);
    EXPECT_EQ(MapReadInt32BE(), 0);
    MapSkip(1000);
    EXPECT_LE(MapRemaining, 0);

    // A string whose length byte says more than the file holds keeps what is there.
    Map(Bytes({9, 'a', 'b'}));
    std::string s;
    MapReadString(s);
    EXPECT_EQ(s, "ab");
    EXPECT_TRUE(MapTruncated);
    EXPECT_EQ(MapRemaining, -7);
}

TEST_F(MapReader, AnItemBoundsItsReadsAndEndsAtItsSize) {
    Map(Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    {
        TMapItem item(3);
        EXPECT_EQ(item.Left(), 3);
        EXPECT_EQ(MapReadByte(), 1);
        EXPECT_EQ(MapReadInt32BE(), 0); // would cross the item's end
        EXPECT_TRUE(MapTruncated);
        EXPECT_EQ(item.Left(), 0);
    }
    EXPECT_EQ(MapRemaining, 6);
    EXPECT_EQ(MapReadByte(), 4);
    {
        TMapItem item(2); // read less than its size: the rest is passed over
    }
    EXPECT_EQ(MapReadByte(), 7);
    {
        TMapItem item(100); // beyond the file
        EXPECT_EQ(item.Left(), 2);
    }
    EXPECT_LE(MapRemaining, 0);
}

namespace {

class FileWriter : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stream.Open(dir.Path() + "out.bin", platform::TFileMode::Create));
        OutFile = &stream;
        OutFileCount = 0;
    }
    std::string Written() {
        stream.Close();
        OutFile = nullptr;
        return dir.ReadFile("out.bin");
    }
    TempDir dir;
    platform::TFileStream stream;
};

} // namespace

TEST_F(FileWriter, IntegersStringsAndCounts) {
    FileWriteInt32BE(0x01020304);
    FileWriteInt24BE(0x7F0A0B0C); // bits 31-24 are not written
    FileWriteInt16BE(0x12345);
    FileWriteByte(0xFE);
    EXPECT_EQ(OutFileCount, 10);
    FileWriteString("abc");
    EXPECT_EQ(OutFileCount, 10);
    FileWriteString(std::string(300, 'x'));
    std::string out = Written();
    EXPECT_EQ(out.substr(0, 14),
              Bytes({1, 2, 3, 4, 0x0A, 0x0B, 0x0C, 0x23, 0x45, 0xFE, 3, 'a', 'b', 'c'}));
    EXPECT_EQ(out.substr(14), Bytes({255}) + std::string(255, 'x'));
}

TEST_F(FileWriter, VariableLengthNumbers) {
    std::vector<std::pair<std::uint32_t, std::string>> cases = {
        {0, Bytes({0x00})},
        {127, Bytes({0x7F})},
        {128, Bytes({0x81, 0x00})},
        {16383, Bytes({0xFF, 0x7F})},
        {16384, Bytes({0x81, 0x80, 0x00})},
        {(1u << 28) - 1, Bytes({0xFF, 0xFF, 0xFF, 0x7F})},
        {0xFFFFFFFF, Bytes({0xFF, 0xFF, 0xFF, 0x7F})},
    };
    std::string expected;
    int count = 0;
    for (auto& [value, bytes] : cases) {
        FileWriteVarLen(value);
        expected += bytes;
        count += static_cast<int>(bytes.size());
    }
    EXPECT_EQ(OutFileCount, count);
    EXPECT_EQ(Written(), expected);
}
