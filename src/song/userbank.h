#pragma once
// User program banks (".mxp" in the program folder): text lines ended by CR LF, an optional
// first line "Mode=" with the bank-select mode, then one line per program: bank, program and
// name separated by commas. The track settings bar and the bank editor read the lines each in
// their own way; both take the file as bytes.

#include <array>
#include <string>
#include <string_view>
#include <vector>

// One program of a bank as the settings bar lists it.
struct TUser {
    int Bank = 0;
    int Prog = 0;
    std::string Name;
};

// The editor's cells of one line: bank, program and name as text.
using TBankRow = std::array<std::string, 3>;

// The lines of a file: ended by CR LF, LF or CR; a last line without an end counts.
std::vector<std::string_view> BankLines(std::string_view Bytes);
// The first line names the mode when its upper-case form holds "MODE"; the mode is the text
// from its sixth character on as a number, 0 when it is none.
bool IsModeLine(std::string_view Line);
int ModeOfLine(std::string_view Line);

// The settings bar's reading: the mode (0 without a mode line, and 0 for one outside 0..255,
// which would reach the layout bits of a track) and an entry for every line with at least two
// commas; numbers that do not read are 0, the name is the rest after the second comma.
void ReadUserBank(std::string_view Bytes, int& Mode, std::vector<TUser>& List);

// The editor's reading: the mode as read (0 without a mode line) and one row per line, at
// least one.
void ReadBankRows(std::string_view Bytes, int& Mode, std::vector<TBankRow>& Rows);
// A line into at most three cells: each cell before a comma trimmed, the text after the last
// comma used untrimmed; a third comma ends the name and the rest goes.
TBankRow SplitBankLine(std::string_view Line);
// What the editor saves: the mode line, then every row's cells joined by commas.
std::string BankFileBytes(int Mode, const std::vector<TBankRow>& Rows);

// Blanks and control characters off both ends.
std::string_view TrimBlanks(std::string_view S);
