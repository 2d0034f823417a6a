// User bank files: the settings bar's and the editor's readings of the same lines, and what the
// editor saves.
#include "song/userbank.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::tuple<int, int, std::string>> Entries(std::string_view Bytes, int& Mode) {
    std::vector<TUser> list;
    ReadUserBank(Bytes, Mode, list);
    std::vector<std::tuple<int, int, std::string>> r;
    for (const TUser& u : list)
        r.emplace_back(u.Bank, u.Prog, u.Name);
    return r;
}

} // namespace

// The bar takes lines with two commas and the whole rest as the name; numbers that do not read
// are 0; a mode outside 0..255 is 0 (it would reach the layout bits).
TEST(UserBank, TheBarsReading) {
    struct Case {
        const char* Bytes;
        int Mode;
        std::vector<std::tuple<int, int, std::string>> Entries;
    } cases[] = {
        {"Mode=2\r\n5,1,Piano\r\n", 2, {{5, 1, "Piano"}}},
        {" 0 , 7 ,  Grand, bright  \r\nno commas\r\n1,2\r\n", 0, {{0, 7, "Grand, bright"}}},
        {"xmode=4\nx,y,Odd\r3,$10,Hex", 0, {{0, 0, "Odd"}, {3, 16, "Hex"}}},
        {"Mode=300\r\n", 0, {}},
        {"Mode=-1\r\n", 0, {}},
        {"MODE=16", 16, {}},
        {"", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Bytes);
        int mode = -99;
        EXPECT_EQ(Entries(c.Bytes, mode), c.Entries);
        EXPECT_EQ(mode, c.Mode);
    }
}

// The editor splits into at most three cells: trimmed before a comma, the rest as it stands; a
// third comma ends the name.
TEST(UserBank, TheEditorsCells) {
    struct Case {
        const char* Line;
        TBankRow Row;
    } cases[] = {
        {"0,1,Piano", {"0", "1", "Piano"}},       {" 0 , 1 , Grand, bright", {"0", "1", "Grand"}},
        {"0,1, Grand ", {"0", "1", " Grand "}},   {"5, 2", {"5", " 2", ""}},
        {"just a name", {"just a name", "", ""}}, {",,", {"", "", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitBankLine(c.Line), c.Row) << c.Line;

    int mode = -1;
    std::vector<TBankRow> rows;
    ReadBankRows("Mode=300\r\n", mode, rows);
    EXPECT_EQ(mode, 300) << "the editor shows what the file says";
    EXPECT_EQ(rows, std::vector<TBankRow>{TBankRow{}}) << "one empty row";
}

// What the editor saves, and that a file in its own form (a Windows-1252 name included) comes
// back byte for byte.
TEST(UserBank, SavedBytes) {
    EXPECT_EQ(BankFileBytes(2, {{"0", "1", "Piano"}, {"0", "2", "Strings"}}),
              "Mode=2\r\n0,1,Piano\r\n0,2,Strings\r\n");
    const std::string own = "Mode=4\r\n1,0,Caf\xE9 \x93Live\x94\r\n2,5, spaced \r\n,,\r\n";
    int mode = 0;
    std::vector<TBankRow> rows;
    ReadBankRows(own, mode, rows);
    EXPECT_EQ(BankFileBytes(mode, rows), own);
}
