#include "song/userbank.h"

#include "platform/core/ini.h"

std::string_view TrimBlanks(std::string_view S) {
    while (!S.empty() && static_cast<unsigned char>(S.front()) <= ' ')
        S.remove_prefix(1);
    while (!S.empty() && static_cast<unsigned char>(S.back()) <= ' ')
        S.remove_suffix(1);
    return S;
}

std::vector<std::string_view> BankLines(std::string_view Bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        if (Bytes[i] != '\r' && Bytes[i] != '\n') continue;
        lines.push_back(Bytes.substr(start, i - start));
        if (Bytes[i] == '\r' && i + 1 < Bytes.size() && Bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < Bytes.size()) lines.push_back(Bytes.substr(start));
    return lines;
}

bool IsModeLine(std::string_view Line) {
    static constexpr std::string_view kMode = "MODE";
    for (std::size_t i = 0; i + kMode.size() <= Line.size(); ++i) {
        std::size_t k = 0;
        while (k < kMode.size() && (Line[i + k] & ~0x20) == kMode[k])
            ++k;
        if (k == kMode.size()) return true;
    }
    return false;
}

int ModeOfLine(std::string_view Line) {
    return platform::StrToIntDef(Line.size() > 5 ? Line.substr(5) : std::string_view(), 0);
}

namespace {

// The mode of the first line when it is the mode line (0 otherwise); the first entry line.
std::size_t ReadModeLine(const std::vector<std::string_view>& Lines, int& Mode) {
    Mode = 0;
    if (Lines.empty() || !IsModeLine(Lines[0])) return 0;
    Mode = ModeOfLine(Lines[0]);
    return 1;
}

} // namespace

void ReadUserBank(std::string_view Bytes, int& Mode, std::vector<TUser>& List) {
    List.clear();
    const std::vector<std::string_view> lines = BankLines(Bytes);
    const std::size_t first = ReadModeLine(lines, Mode);
    if (Mode < 0 || Mode > 255) Mode = 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string_view l = lines[i];
        const std::size_t c1 = l.find(',');
        if (c1 == std::string_view::npos) continue;
        const std::size_t c2 = l.find(',', c1 + 1);
        if (c2 == std::string_view::npos) continue;
        TUser u;
        u.Bank = platform::StrToIntDef(TrimBlanks(l.substr(0, c1)), 0);
        u.Prog = platform::StrToIntDef(TrimBlanks(l.substr(c1 + 1, c2 - c1 - 1)), 0);
        u.Name = std::string(TrimBlanks(l.substr(c2 + 1)));
        List.push_back(std::move(u));
    }
}

TBankRow SplitBankLine(std::string_view Line) {
    TBankRow row;
    std::size_t cell = 0;
    while (cell < 3) {
        const std::size_t comma = Line.find(',');
        if (comma == std::string_view::npos) break;
        row[cell++] = std::string(TrimBlanks(Line.substr(0, comma)));
        Line.remove_prefix(comma + 1);
    }
    if (cell < 3) row[cell] = std::string(Line);
    return row;
}

void ReadBankRows(std::string_view Bytes, int& Mode, std::vector<TBankRow>& Rows) {
    Rows.clear();
    const std::vector<std::string_view> lines = BankLines(Bytes);
    const std::size_t first = ReadModeLine(lines, Mode);
    for (std::size_t i = first; i < lines.size(); ++i)
        Rows.push_back(SplitBankLine(lines[i]));
    if (Rows.empty()) Rows.emplace_back();
}

std::string BankFileBytes(int Mode, const std::vector<TBankRow>& Rows) {
    std::string out = "Mode=" + std::to_string(Mode) + "\r\n";
    for (const TBankRow& r : Rows)
        out += r[0] + "," + r[1] + "," + r[2] + "\r\n";
    return out;
}
