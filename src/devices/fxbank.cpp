#include "devices/fxbank.h"

#include "devices/mfx.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace {

constexpr std::int32_t ChunkMagic = CCONST('C', 'c', 'n', 'K');
constexpr std::int32_t BankValues = CCONST('F', 'x', 'B', 'k');
constexpr std::int32_t BankChunk = CCONST('F', 'B', 'C', 'h');
constexpr std::int32_t ProgramValues = CCONST('F', 'x', 'C', 'k');
constexpr std::int32_t ProgramChunk = CCONST('F', 'P', 'C', 'h');
// Offsets within a header.
constexpr std::size_t IdAt = 16, CountAt = 24, NameAt = 28;
// Program names go through buffers larger than any plug-in should write.
constexpr int NameBufferBytes = 256;

class TWriter {
public:
    explicit TWriter(std::vector<std::uint8_t>& Data) : data_(Data) {}
    void Int(std::int32_t V) {
        const auto u = static_cast<std::uint32_t>(V);
        for (int shift = 24; shift >= 0; shift -= 8)
            data_.push_back(static_cast<std::uint8_t>(u >> shift));
    }
    void Float(float V) { Int(std::bit_cast<std::int32_t>(V)); }
    void Zeros(std::size_t N) { data_.insert(data_.end(), N, 0); }
    void Bytes(const void* P, std::size_t N) {
        const auto* b = static_cast<const std::uint8_t*>(P);
        data_.insert(data_.end(), b, b + N);
    }
    // At most 27 bytes of the text, padded with zero bytes to 28.
    void Name(const char* Text) {
        const std::size_t n = strnlen(Text, FxNameSize - 1);
        Bytes(Text, n);
        Zeros(FxNameSize - n);
    }

private:
    std::vector<std::uint8_t>& data_;
};

std::int32_t ReadInt(const std::uint8_t* P) {
    return static_cast<std::int32_t>(std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 |
                                     std::uint32_t(P[2]) << 8 | std::uint32_t(P[3]));
}

// The magic, byte size 0, kind, version 1, the plug-in's id, plug-in version 1 and a count.
void Header(TWriter& W, std::int32_t Kind, std::int32_t Id, std::int32_t Count) {
    W.Int(ChunkMagic);
    W.Int(0);
    W.Int(Kind);
    W.Int(1);
    W.Int(Id);
    W.Int(1);
    W.Int(Count);
}

// The chunk's size and bytes; false when the plug-in named a size but no address.
bool WriteChunk(TMFX& Plugin, TWriter& W, int Index) {
    void* address = nullptr;
    const auto size = static_cast<std::int64_t>(Plugin.Dispatch(effGetChunk, Index, 0, &address));
    if (size > 0 && !address) return false;
    // A size that does not fit the field, or a negative one, stores no chunk.
    const auto stored = size > 0 && size <= INT32_MAX ? static_cast<std::int32_t>(size) : 0;
    W.Int(stored);
    if (stored > 0) W.Bytes(address, static_cast<std::size_t>(stored));
    return true;
}

// One program of parameter values: the program header, the current program's name, every value.
void WriteValues(TMFX& Plugin, TWriter& W) {
    AEffect* e = Plugin.Effect;
    const int params = std::max(e->numParams, 0);
    Header(W, ProgramValues, e->uniqueID, params);
    char name[NameBufferBytes] = {};
    Plugin.Dispatch(effGetProgramName, 0, 0, name);
    name[NameBufferBytes - 1] = 0;
    W.Name(name);
    for (int i = 0; i < params; ++i)
        W.Float(e->getParameter(e, i));
}

// The name field: the text up to the first zero byte, all 28 bytes without one.
std::string NameOf(const std::uint8_t* P) {
    const auto* text = reinterpret_cast<const char*>(P);
    return std::string(text, strnlen(text, FxNameSize));
}

} // namespace

TFxOutcome SaveFxFile(TMFX& Plugin, TFxFile Kind, std::vector<std::uint8_t>& Data) {
    Data.clear();
    TFxOutcome out;
    if (!Plugin.Loaded || !Plugin.Effect) {
        out.Result = TFxResult::NotLoaded;
        return out;
    }
    AEffect* e = Plugin.Effect;
    TWriter w(Data);
    const bool chunk = (e->flags & effFlagsProgramChunks) != 0;
    if (Kind == TFxFile::Bank) {
        const int programs = std::max(e->numPrograms, 0);
        if (chunk) {
            Header(w, BankChunk, e->uniqueID, programs);
            w.Zeros(128);
            if (!WriteChunk(Plugin, w, 0)) out.Result = TFxResult::NoChunk;
        } else {
            const auto current = Plugin.Dispatch(effGetProgram);
            Header(w, BankValues, e->uniqueID, programs);
            w.Zeros(128);
            for (int p = 0; p < programs; ++p) {
                Plugin.Dispatch(effSetProgram, 0, p);
                WriteValues(Plugin, w);
            }
            Plugin.Dispatch(effSetProgram, 0, current);
            out.Refresh = true;
        }
    } else if (chunk) {
        Header(w, ProgramChunk, e->uniqueID, std::max(e->numParams, 0));
        w.Zeros(FxNameSize);
        if (!WriteChunk(Plugin, w, 1)) out.Result = TFxResult::NoChunk;
    } else {
        WriteValues(Plugin, w);
    }
    if (out.Result == TFxResult::NoChunk) Data.clear();
    return out;
}

TFxOutcome LoadFxFile(TMFX& Plugin, TFxFile Kind, const std::uint8_t* Data, std::size_t Size) {
    TFxOutcome out;
    if (!Plugin.Loaded || !Plugin.Effect) {
        out.Result = TFxResult::NotLoaded;
        return out;
    }
    AEffect* e = Plugin.Effect;
    const bool chunk = (e->flags & effFlagsProgramChunks) != 0;
    const bool bank = Kind == TFxFile::Bank;
    const std::size_t header = bank ? FxBankHeaderSize : FxProgramHeaderSize;
    auto refuse = [&] {
        out.Result = TFxResult::Refused;
        return out;
    };
    if (!Data || Size < header) return refuse();

    // The whole file is checked before the plug-in hears of it.
    std::int32_t chunkSize = 0;
    std::int32_t programs = 0;
    if (chunk) {
        if (Size < header + 4) return refuse();
        chunkSize = ReadInt(Data + header);
        if (chunkSize < 0 || static_cast<std::size_t>(chunkSize) > Size - header - 4)
            return refuse();
    } else {
        // Records of FxProgramHeaderSize bytes and 4 per value, one (a program file) or the
        // bank's count of them after its header.
        programs = bank ? ReadInt(Data + CountAt) : 1;
        if (programs < 0) return refuse();
        std::size_t at = bank ? header : 0;
        for (std::int32_t p = 0; p < programs; ++p) {
            if (Size - at < FxProgramHeaderSize) return refuse();
            const std::int32_t values = ReadInt(Data + at + CountAt);
            if (values < 0 ||
                static_cast<std::size_t>(values) > (Size - at - FxProgramHeaderSize) / 4)
                return refuse();
            at += FxProgramHeaderSize + 4 * static_cast<std::size_t>(values);
        }
    }
    const std::int32_t id = ReadInt(Data + IdAt);
    if (id != e->uniqueID) {
        out.Result = TFxResult::IdMismatch;
        out.FileId = id;
        out.PluginId = e->uniqueID;
        return out;
    }

    if (chunk) {
        Plugin.Dispatch(effSetChunk, bank ? 0 : 1, chunkSize,
                        const_cast<std::uint8_t*>(Data + header + 4));
        out.Refresh = true;
        return out;
    }
    // At most as many programs and values as the plug-in has; the rest is read past.
    const std::int32_t params = std::max(e->numParams, 0);
    const std::int32_t applied = bank ? std::min(programs, std::max(e->numPrograms, 0)) : 1;
    std::size_t at = bank ? header : 0;
    for (std::int32_t p = 0; p < applied; ++p) {
        if (bank) Plugin.Dispatch(effSetProgram, 0, p);
        const std::int32_t values = ReadInt(Data + at + CountAt);
        std::string name = NameOf(Data + at + NameAt);
        Plugin.Dispatch(effSetProgramName, 0, 0, name.data());
        const std::uint8_t* v = Data + at + FxProgramHeaderSize;
        for (std::int32_t i = 0; i < std::min(values, params); ++i)
            e->setParameter(e, i, std::bit_cast<float>(ReadInt(v + 4 * i)));
        at += FxProgramHeaderSize + 4 * static_cast<std::size_t>(values);
    }
    if (bank) Plugin.Dispatch(effSetProgram, 0, 0);
    out.Refresh = true;
    return out;
}
