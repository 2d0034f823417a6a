#include "song/textconv.h"

#include "song/primitives.h"

#include <gtest/gtest.h>

#include <string>

TEST(SysexTextTest, ParsesPairsAndQuotedTextOrSaysWhatStopped) {
    struct {
        std::string Text;
        std::string Bytes;
        std::string Err;
    } cases[] = {
        {"F0 43 10 F7", "\xF0\x43\x10\xF7", ""},
        {"F043 10F7", "\xF0\x43\x10\xF7", ""},
        {"f0 7e", "\xF0\x7E", ""},
        {"F0\"AB\"F7",
         "\xF0"
         "AB\xF7",
         ""},
        {"F0 \"A B\" F7",
         "\xF0"
         "A B\xF7",
         ""},
        {"F0 ZZ F7", "\xF0\xF7", ""}, // a pair that is no number is skipped
        {"F0 4", "\xF0", "Incomplete"},
        {"F0 \"open", "\xF0", "Missing right quote"},
        {"F0 4\"x\"", "\xF0", "Unexpected quote"},
        {"", "", "Empty sysex"},
        {"   ", "", "Empty sysex"},
        {"ZZ", "", "Empty sysex"},
        {"\"\"", "", "Empty sysex"},
        {std::string(1026, '1'), std::string(513, '\x11'), "Max 512 bytes"},
        {std::string(1024, '1'), std::string(512, '\x11'), ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 20));
        std::string text = c.Text, err = "stale";
        int count = -1;
        ParseSysexText(text, err, count);
        EXPECT_EQ(text, c.Bytes);
        EXPECT_EQ(count, static_cast<int>(c.Bytes.size()));
        EXPECT_EQ(err, c.Err);
    }
}

TEST(SysexTextTest, HexOfTheEventBlock) {
    _TEvent* e = NewEvent(0, 0xF0);
    std::string s = "stale";
    SysexToHex(*e, s);
    EXPECT_EQ(s, "");
    const std::uint8_t block[] = {0xF0, 0x0A, 0x7F, 0xF7};
    SetEventBlock(*e, block, 4);
    SysexToHex(*e, s);
    EXPECT_EQ(s, "F00A7FF7");
    FreeEvent(e);
}

TEST(SmallConversionsTest, FontStylesOldLevelsAndNumbers) {
    EXPECT_EQ(FontStylesToInt(platform::fsBold | platform::fsStrikeOut), 9);
    EXPECT_EQ(IntToFontStyles(6), platform::fsItalic | platform::fsUnderline);
    EXPECT_EQ(IntToFontStyles(0x1F), 15u) << "no style beyond the four";

    struct {
        int V, Volume, Pan;
    } levels[] = {
        {-10000, 0, 127}, {0, 127, 63},
        {10000, 127, 0},  {-5000, 64, 95}, // 63.5 to even; pan 127 - 31.75
        {-5039, 63, 95},                   // 62.9953; 127 - 31.50235
        {-20000, 0, 127},                  // beyond the scale: the level stays a data byte
    };
    for (auto& l : levels) {
        EXPECT_EQ(OldVolumeToLevel(l.V), l.Volume) << l.V;
        EXPECT_EQ(OldPanToLevel(l.V), l.Pan) << l.V;
    }

    struct {
        const char* S;
        bool Ok;
        int N;
    } numbers[] = {{"42", true, 42}, {"-7", true, -7}, {"$1F", true, 31},
                   {"$", false, 0},  {"", false, 0},   {"12a", false, 0},
                   {"0", true, 0},   {"1", true, 1},   {"99999999999", false, 0}};
    for (auto& n : numbers) {
        int v = 12345;
        EXPECT_EQ(TryTextToInt(n.S, v), n.Ok) << n.S;
        EXPECT_EQ(v, n.Ok ? n.N : 12345) << n.S;
    }
}
