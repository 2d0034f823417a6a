// User program banks: the settings bar's and the editor's readings of any bytes stay within
// the lines they were given, and what the editor saves reads back as the rows it saved once
// the rows have been through one save. An input that starts with two 0xFF bytes stands for its
// rest repeated to 1 MB (long lines without filling the corpus with them).
#include "song/userbank.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string repeated;
    if (bytes.size() > 2 && bytes.substr(0, 2) == "\xFF\xFF") {
        bytes.remove_prefix(2);
        while (repeated.size() < (1u << 20))
            repeated += bytes;
        bytes = repeated;
    }
    const std::size_t lines = BankLines(bytes).size();

    int mode = -1;
    std::vector<TUser> list;
    ReadUserBank(bytes, mode, list);
    if (mode < 0 || mode > 255 || list.size() > lines) std::abort();
    for (const TUser& u : list)
        if (u.Name.find_first_of("\r\n") != std::string::npos) std::abort();

    std::vector<TBankRow> rows;
    ReadBankRows(bytes, mode, rows);
    if (rows.empty() || rows.size() > std::max<std::size_t>(lines, 1)) std::abort();
    std::vector<TBankRow> once, twice;
    int m1 = 0, m2 = 0;
    ReadBankRows(BankFileBytes(mode, rows), m1, once);
    ReadBankRows(BankFileBytes(m1, once), m2, twice);
    if (m1 != mode || m2 != mode || once.size() != rows.size() || twice != once) std::abort();
    return 0;
}
