// Bank and program files: any bytes are refused before the plug-in is called, or applied with
// program numbers, parameter indexes, names and chunks that stay within the plug-in's counts
// and the file; a file that was applied saves again and loads back the same way.
#include "devices/fxbank.h"
#include "devices/mfx.h"
#include "platform/core/dynlib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t Id = CCONST('F', 'z', 'B', 'k');

struct Plug {
    AEffect E{};
    int Calls = 0;
    int Current = 0;
    float Values[3][4] = {};
    const std::uint8_t* Begin = nullptr;
    const std::uint8_t* End = nullptr;
    std::uint8_t Chunk[40] = {1, 2, 3};
};
Plug plug;

VstIntPtr Dispatch(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value, void* ptr,
                   float) {
    Plug& p = plug;
    ++p.Calls;
    switch (op) {
    case effSetProgram:
        if (value < 0 || value >= e->numPrograms) std::abort();
        p.Current = static_cast<int>(value);
        return 0;
    case effGetProgram:
        return p.Current;
    case effSetProgramName:
        if (!ptr || strnlen(static_cast<const char*>(ptr), 29) > 28) std::abort();
        return 0;
    case effGetProgramName:
        std::strcpy(static_cast<char*>(ptr), "fuzzed");
        return 0;
    case effGetChunk:
        *static_cast<void**>(ptr) = p.Chunk;
        return sizeof(p.Chunk);
    case effSetChunk: {
        const auto* b = static_cast<const std::uint8_t*>(ptr);
        if ((index != 0 && index != 1) || value < 0 || b < p.Begin || b + value > p.End)
            std::abort();
        volatile std::uint8_t sink = 0;
        for (VstIntPtr i = 0; i < value; ++i)
            sink = sink + b[i];
        return 0;
    }
    default:
        return 0;
    }
}

void SetParameter(AEffect* e, std::int32_t i, float v) {
    if (i < 0 || i >= e->numParams) std::abort();
    ++plug.Calls;
    plug.Values[plug.Current][i] = v;
}
float GetParameter(AEffect* e, std::int32_t i) {
    if (i < 0 || i >= e->numParams) std::abort();
    return plug.Values[plug.Current][i];
}

AEffect* Entry(audioMasterCallback) {
    plug.E.magic = CCONST('V', 's', 't', 'P');
    plug.E.dispatcher = &Dispatch;
    plug.E.setParameter = &SetParameter;
    plug.E.getParameter = &GetParameter;
    plug.E.numPrograms = 3;
    plug.E.numParams = 4;
    plug.E.numOutputs = 2;
    plug.E.uniqueID = Id;
    return &plug.E;
}

TMFX& Loaded() {
    static TMFX* m = [] {
        platform::RegisterFakeLibrary("fuzzbank", {{"main", reinterpret_cast<void*>(&Entry)}});
        auto* t = new TMFX;
        t->Path = "fuzzbank";
        if (!t->Load(0)) std::abort();
        return t;
    }();
    return *m;
}

} // namespace

// The first byte chooses bank or program file and chunks or values; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMFX& m = Loaded();
    if (size < 1) return 0;
    const TFxFile kind = (data[0] & 1) ? TFxFile::Bank : TFxFile::Program;
    plug.E.flags = (data[0] & 2) ? effFlagsProgramChunks : 0;
    plug.Begin = data + 1;
    plug.End = data + size;
    plug.Calls = 0;
    const TFxOutcome out = LoadFxFile(m, kind, data + 1, size - 1);
    if (out.Result != TFxResult::Done) {
        if (plug.Calls != 0) std::abort(); // refused before any call
        return 0;
    }
    std::vector<std::uint8_t> saved;
    if (SaveFxFile(m, kind, saved).Result != TFxResult::Done) std::abort();
    plug.Begin = saved.data();
    plug.End = saved.data() + saved.size();
    if (LoadFxFile(m, kind, saved.data(), saved.size()).Result != TFxResult::Done) std::abort();
    return 0;
}
