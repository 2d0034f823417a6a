// Bank and program files against a fake VST plug-in: the layouts byte for byte, round trips,
// and the files a loader must refuse before it calls the plug-in.

#include "devices/fxbank.h"
#include "devices/mfx.h"
#include "support/fake_library.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Programs of parameter values, or one opaque chunk; every dispatcher call logged.
struct BankVst {
    AEffect E{};
    std::vector<std::string> Log;
    std::vector<std::string> Names = {"Warm Pad", "A name far longer than twenty-seven bytes"};
    std::vector<std::vector<float>> Values = {{0.25f, 0.5f, 1.0f}, {0.0f, 0.125f, 0.75f}};
    int Current = 1;
    std::vector<std::uint8_t> Chunk = std::vector<std::uint8_t>(100, 0xA5);
    std::vector<std::uint8_t> GotChunk;
    int GotChunkIndex = -1;
    bool NoAddress = false;

    BankVst() {
        E.magic = CCONST('V', 's', 't', 'P');
        E.dispatcher = &Dispatch;
        E.setParameter = [](AEffect* e, std::int32_t i, float v) {
            Self(e)->Log.push_back("set " + std::to_string(i));
            Self(e)->Values.at(Self(e)->Current).at(i) = v;
        };
        E.getParameter = [](AEffect* e, std::int32_t i) {
            return Self(e)->Values.at(Self(e)->Current).at(i);
        };
        E.numParams = 3;
        E.numPrograms = 2;
        E.numOutputs = 2;
        E.uniqueID = CCONST('T', 'b', 'n', 'k');
        E.object = this;
    }
    static BankVst* Self(AEffect* e) { return static_cast<BankVst*>(e->object); }
    static VstIntPtr Dispatch(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value,
                              void* ptr, float) {
        BankVst* f = Self(e);
        switch (op) {
        case effSetProgram:
            f->Current = static_cast<int>(value);
            f->Log.push_back("program " + std::to_string(value));
            return 0;
        case effGetProgram:
            return f->Current;
        case effGetProgramName:
            std::strcpy(static_cast<char*>(ptr), f->Names.at(f->Current).c_str());
            return 0;
        case effSetProgramName:
            f->Names.at(f->Current) = static_cast<const char*>(ptr);
            f->Log.push_back("name " + f->Names.at(f->Current));
            return 0;
        case effGetChunk:
            *static_cast<void**>(ptr) = f->NoAddress ? nullptr : f->Chunk.data();
            return static_cast<VstIntPtr>(f->Chunk.size());
        case effSetChunk: {
            const auto* b = static_cast<const std::uint8_t*>(ptr);
            f->GotChunk.assign(b, b + value);
            f->GotChunkIndex = index;
            f->Log.push_back("chunk");
            return 0;
        }
        default:
            return 0;
        }
    }
};

BankVst* theVst = nullptr;
AEffect* Entry(audioMasterCallback) {
    return &theVst->E;
}

// The file as the published layouts give it, written here field by field.
struct Bytes {
    std::vector<std::uint8_t> B;
    Bytes& Int(std::uint32_t V) {
        for (int s = 24; s >= 0; s -= 8)
            B.push_back(static_cast<std::uint8_t>(V >> s));
        return *this;
    }
    Bytes& Text(const char* T, std::size_t N) {
        for (std::size_t i = 0; i < N; ++i)
            B.push_back(i < std::strlen(T) ? static_cast<std::uint8_t>(T[i]) : 0);
        return *this;
    }
    Bytes& Float(float F) { return Int(std::bit_cast<std::uint32_t>(F)); }
    Bytes& Zeros(std::size_t N) {
        B.insert(B.end(), N, 0);
        return *this;
    }
    Bytes& Header(const char* Kind, std::uint32_t Id, std::uint32_t Count) {
        return Text("CcnK", 4).Int(0).Text(Kind, 4).Int(1).Int(Id).Int(1).Int(Count);
    }
};

class FxBankTest : public testing::Test {
protected:
    void SetUp() override {
        theVst = &vst;
        plug.Path = "banker";
        ASSERT_TRUE(plug.Load(0));
        vst.Current = 1; // the load selected program 0
        vst.Log.clear();
    }
    void TearDown() override {
        plug.Unload();
        theVst = nullptr;
    }
    void UseChunks() { vst.E.flags |= effFlagsProgramChunks; }
    TFxOutcome Load(TFxFile Kind, const std::vector<std::uint8_t>& Data) {
        return LoadFxFile(plug, Kind, Data.data(), Data.size());
    }

    BankVst vst;
    FakeLibrary lib{"banker", {{"main", FakeLibrary::Entry(&Entry)}}};
    TMFX plug;
    const std::uint32_t id = static_cast<std::uint32_t>(CCONST('T', 'b', 'n', 'k'));
};

TEST_F(FxBankTest, ParameterBankLayoutAndTheProgramItWasOn) {
    std::vector<std::uint8_t> data;
    const TFxOutcome out = SaveFxFile(plug, TFxFile::Bank, data);
    EXPECT_EQ(out.Result, TFxResult::Done);
    EXPECT_TRUE(out.Refresh);
    ASSERT_EQ(data.size(), 292u); // 156 + 2 x (56 + 12)
    Bytes want;
    want.Header("FxBk", id, 2).Zeros(128);
    want.Header("FxCk", id, 3).Text("Warm Pad", 28).Float(0.25f).Float(0.5f).Float(1.0f);
    want.Header("FxCk", id, 3).Text("A name far longer than twen", 27).Zeros(1);
    want.Float(0.0f).Float(0.125f).Float(0.75f);
    EXPECT_EQ(data, want.B);
    EXPECT_EQ(std::string(data.begin() + 156, data.begin() + 160), "CcnK");
    EXPECT_EQ(vst.Current, 1); // back on the program it was on
    EXPECT_EQ(vst.Log, (std::vector<std::string>{"program 0", "program 1", "program 1"}));

    // Loaded back over changed values: every program again, then program 0.
    vst.Values = {{0, 0, 0}, {0, 0, 0}};
    vst.Log.clear();
    const TFxOutcome in = Load(TFxFile::Bank, data);
    EXPECT_EQ(in.Result, TFxResult::Done);
    EXPECT_TRUE(in.Refresh);
    EXPECT_EQ(vst.Values,
              (std::vector<std::vector<float>>{{0.25f, 0.5f, 1.0f}, {0.0f, 0.125f, 0.75f}}));
    EXPECT_EQ(vst.Names[1], "A name far longer than twen");
    EXPECT_EQ(vst.Current, 0);
    EXPECT_EQ(vst.Log.back(), "program 0");
}

TEST_F(FxBankTest, ProgramFilesOfValuesAndOfAChunk) {
    std::vector<std::uint8_t> data;
    EXPECT_EQ(SaveFxFile(plug, TFxFile::Program, data).Result, TFxResult::Done);
    Bytes want;
    want.Header("FxCk", id, 3).Text("A name far longer than twen", 27).Zeros(1);
    want.Float(0.0f).Float(0.125f).Float(0.75f);
    EXPECT_EQ(data, want.B);
    vst.Values[1] = {1, 1, 1};
    vst.Current = 1;
    EXPECT_EQ(Load(TFxFile::Program, data).Result, TFxResult::Done);
    EXPECT_EQ(vst.Values[1], (std::vector<float>{0.0f, 0.125f, 0.75f}));
    EXPECT_EQ(vst.Current, 1); // the current program takes it

    UseChunks();
    EXPECT_EQ(SaveFxFile(plug, TFxFile::Program, data).Result, TFxResult::Done);
    ASSERT_EQ(data.size(), 160u); // 60 + 100
    Bytes chunk;
    chunk.Header("FPCh", id, 3).Zeros(28).Int(100);
    chunk.B.insert(chunk.B.end(), 100, 0xA5);
    EXPECT_EQ(data, chunk.B);
    EXPECT_EQ(Load(TFxFile::Program, data).Result, TFxResult::Done);
    EXPECT_EQ(vst.GotChunkIndex, 1);
    EXPECT_EQ(vst.GotChunk, vst.Chunk);

    EXPECT_EQ(SaveFxFile(plug, TFxFile::Bank, data).Result, TFxResult::Done);
    Bytes bank;
    bank.Header("FBCh", id, 2).Zeros(128).Int(100);
    bank.B.insert(bank.B.end(), 100, 0xA5);
    EXPECT_EQ(data, bank.B);
    vst.GotChunk.clear();
    EXPECT_EQ(Load(TFxFile::Bank, data).Result, TFxResult::Done);
    EXPECT_EQ(vst.GotChunkIndex, 0);
    EXPECT_EQ(vst.GotChunk, vst.Chunk);
}

TEST_F(FxBankTest, NothingWithoutAPluginOrAChunkAddress) {
    std::vector<std::uint8_t> data{1, 2, 3};
    UseChunks();
    vst.NoAddress = true;
    EXPECT_EQ(SaveFxFile(plug, TFxFile::Bank, data).Result, TFxResult::NoChunk);
    EXPECT_TRUE(data.empty());
    plug.Unload();
    data = {1, 2, 3};
    EXPECT_EQ(SaveFxFile(plug, TFxFile::Program, data).Result, TFxResult::NotLoaded);
    EXPECT_TRUE(data.empty()); // an empty file
    const std::vector<std::uint8_t> file(200, 0);
    EXPECT_EQ(Load(TFxFile::Bank, file).Result, TFxResult::NotLoaded);
}

TEST_F(FxBankTest, AnotherPluginsFileIsNotApplied) {
    Bytes other;
    other.Header("FxCk", id + 1, 3).Text("x", 28).Float(1).Float(1).Float(1);
    TFxOutcome out = Load(TFxFile::Program, other.B);
    EXPECT_EQ(out.Result, TFxResult::IdMismatch);
    EXPECT_EQ(out.FileId, static_cast<std::int32_t>(id + 1));
    EXPECT_EQ(out.PluginId, static_cast<std::int32_t>(id));
    UseChunks();
    Bytes chunk;
    chunk.Header("FBCh", 7, 2).Zeros(128).Int(0);
    out = Load(TFxFile::Bank, chunk.B);
    EXPECT_EQ(out.Result, TFxResult::IdMismatch);
    EXPECT_EQ(out.FileId, 7);
    EXPECT_TRUE(vst.Log.empty());
}

// Files a loader refuses before any call; and the parts of a sound file it reads past.
TEST_F(FxBankTest, ShortOrLyingFilesAreRefusedBeforeAnyCall) {
    std::vector<std::uint8_t> bank;
    ASSERT_EQ(SaveFxFile(plug, TFxFile::Bank, bank).Result, TFxResult::Done);
    vst.Log.clear();
    auto withInt = [](std::vector<std::uint8_t> d, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
        return d;
    };
    struct Case {
        const char* What;
        TFxFile Kind;
        bool Chunks;
        std::vector<std::uint8_t> Data;
    };
    Bytes chunkProgram;
    chunkProgram.Header("FPCh", id, 3).Zeros(28).Int(100).Zeros(99);
    const Case cases[] = {
        {"empty", TFxFile::Bank, false, {}},
        {"shorter than the bank header", TFxFile::Bank, false, {bank.begin(), bank.begin() + 155}},
        {"a program record cut off", TFxFile::Bank, false, {bank.begin(), bank.end() - 1}},
        {"more programs than there are", TFxFile::Bank, false, withInt(bank, 24, 3)},
        {"a negative program count", TFxFile::Bank, false, withInt(bank, 24, 0xFFFFFFFF)},
        {"a huge value count", TFxFile::Bank, false, withInt(bank, 156 + 24, 0x40000000)},
        {"a negative value count", TFxFile::Bank, false, withInt(bank, 156 + 24, 0x80000000)},
        {"a parameter bank into a chunk plug-in", TFxFile::Bank, true, bank},
        {"a chunk past the end", TFxFile::Program, true, chunkProgram.B},
        {"a negative chunk size", TFxFile::Program, true, withInt(chunkProgram.B, 56, 0xFFFFFF9C)},
        {"no chunk size",
         TFxFile::Program,
         true,
         {chunkProgram.B.begin(), chunkProgram.B.begin() + 58}},
        {"shorter than the program header",
         TFxFile::Program,
         false,
         {bank.begin() + 156, bank.begin() + 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        vst.E.flags = c.Chunks ? effFlagsProgramChunks : 0;
        EXPECT_EQ(Load(c.Kind, c.Data).Result, TFxResult::Refused);
        EXPECT_TRUE(vst.Log.empty());
    }

    // More programs and values than the plug-in has: the first ones applied, the rest read past;
    // a name without a zero byte gives its 28 bytes.
    vst.E.flags = 0;
    vst.E.numPrograms = 1;
    vst.E.numParams = 2;
    vst.Values = {{0, 0, 0}, {0, 0, 0}};
    Bytes big;
    big.Header("FxBk", id, 2).Zeros(128);
    big.Header("FxCk", id, 4).Text("0123456789012345678901234567", 28);
    big.Float(0.5f).Float(0.25f).Float(0.75f).Float(1.0f);
    big.Header("FxCk", id, 1).Text("second", 28).Float(0.5f);
    EXPECT_EQ(Load(TFxFile::Bank, big.B).Result, TFxResult::Done);
    EXPECT_EQ(vst.Values[0], (std::vector<float>{0.5f, 0.25f, 0.0f}));
    EXPECT_EQ(vst.Values[1], (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(vst.Names[0], "0123456789012345678901234567");
    EXPECT_EQ(vst.Log, (std::vector<std::string>{"program 0", "name 0123456789012345678901234567",
                                                 "set 0", "set 1", "program 0"}));
}

} // namespace

namespace {

// A real plug-in of the distribution's dpf-plugins-vst: a program saved from one instance brings
// its values into a fresh one.
TEST(FxBankDpf, AProgramRestoresItsValuesInAFreshInstance) {
    const std::string path = "/usr/lib/vst/3BandEQ-vst.so";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "dpf-plugins-vst is not installed (" << path << ")";
    TMFX first;
    first.Path = path;
    ASSERT_TRUE(first.Load(0));
    const int params = first.NumParams();
    ASSERT_GT(params, 2);
    std::vector<float> set;
    for (int i = 0; i < params; ++i) {
        first.SetParameter(i, 0.1 + 0.8 * i / params);
        set.push_back(static_cast<float>(first.GetParameter(i)));
    }
    std::vector<std::uint8_t> file;
    ASSERT_EQ(SaveFxFile(first, TFxFile::Program, file).Result, TFxResult::Done);
    ASSERT_GE(file.size(), 56u);
    first.Unload();

    TMFX fresh;
    fresh.Path = path;
    ASSERT_TRUE(fresh.Load(0));
    ASSERT_NE(fresh.GetParameter(1), set[1]); // not there by chance
    ASSERT_EQ(LoadFxFile(fresh, TFxFile::Program, file.data(), file.size()).Result,
              TFxResult::Done);
    for (int i = 0; i < params; ++i)
        EXPECT_FLOAT_EQ(static_cast<float>(fresh.GetParameter(i)), set[i]) << i;
}

} // namespace
