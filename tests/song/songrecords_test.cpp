// The song file's records beyond tracks and parts: sample and output slots, buses and
// softsynths with their plug-ins' state, automation entries, disk samples, areas, fader rows,
// the master, and the sample bank beside the song.

#include "song/songfile.h"

#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "devices/vst2.h"
#include "fake_midi_editors.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/automation.h"
#include "song/disk.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/songfile_items.h"
#include "song/subengine.h"
#include "song_fixture.h"
#include "song_invariants.h"
#include "songdump/dump.h"
#include "support/fake_library.h"
#include "support/scripted_dialogs.h"
#include "tolvern_mfx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// An own-interface plug-in with two parameters and a state of its own, a new object per load
// (so that every bus has its own); outputs as Outputs says.
struct StatePlug {
    TMfxInterface R{};
    double Values[2] = {0, 0};
    std::string State;
    std::vector<std::string> Calls; // "param" and "state" in the order they came

    static inline std::vector<std::unique_ptr<StatePlug>> Made;
    static inline int Outputs = 2;

    static StatePlug* Self(TMfxInterface* r) { return reinterpret_cast<StatePlug*>(r); }
    static TMfxInterface* Connect() {
        Made.push_back(std::make_unique<StatePlug>());
        StatePlug& p = *Made.back();
        p.R.NumParams = 2;
        p.R.SetParameter = [](TMfxInterface* r, std::int32_t i, double v) {
            Self(r)->Values[i] = v;
            Self(r)->Calls.push_back("param");
        };
        p.R.GetParameter = [](TMfxInterface* r, std::int32_t i) { return Self(r)->Values[i]; };
        p.R.Process = [](TMfxInterface*, float*, std::int32_t) {};
        p.R.Command = &Command;
        return &p.R;
    }
    static intptr_t Command(TMfxInterface* r, std::int32_t cmd, intptr_t a, intptr_t b) {
        StatePlug& p = *Self(r);
        if (cmd == MFX_EDITOR) return -1;
        if (cmd == MFX_OUTPUTS) return Outputs;
        if (cmd != MFX_STATE) return 0;
        if (a == -1) {
            *reinterpret_cast<void**>(b) = p.State.data();
            return static_cast<intptr_t>(p.State.size());
        }
        p.State.assign(reinterpret_cast<const char*>(b), static_cast<std::size_t>(a));
        p.Calls.push_back("state");
        return 0;
    }
};

// Tag counts in written bytes: the length byte and the tag, then a size.
int CountTag(const std::string& Bytes, const std::string& Tag) {
    std::string key = static_cast<char>(Tag.size()) + Tag;
    int n = 0;
    for (std::size_t at = Bytes.find(key); at != std::string::npos; at = Bytes.find(key, at + 1))
        ++n;
    return n;
}

// Items of a fixture file.
std::string Short(const std::string& S) {
    return static_cast<char>(S.size()) + S;
}
std::string Be32(std::int32_t V) {
    auto u = static_cast<std::uint32_t>(V);
    return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
            static_cast<char>(u)};
}
std::string Item(const std::string& Tag, const std::string& Payload = "") {
    return Short(Tag) + Be32(static_cast<std::int32_t>(Payload.size())) + Payload;
}
std::string Int(const std::string& Tag, std::int32_t V) {
    return Item(Tag, Be32(V));
}
std::string Dbl(const std::string& Tag, double V) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &V, 8);
    return Item(Tag, b);
}
std::string Str(const std::string& Tag, const std::string& S) {
    return Item(Tag, Short(S));
}
const std::string Magic = Short("TolvernSeq");

std::string DataFile(const std::string& Name) {
    return std::string(TOLVERN_TEST_DATA_DIR) + "/song/data/" + Name;
}

class SongRecordsTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        SetSongFileHost(&host);
        SetMidiEditors(&editors);
        StatePlug::Outputs = 2;
    }
    void TearDown() override {
        SetSongFileHost(nullptr);
        SetMidiEditors(nullptr);
        AweAvailable = 0;
        platform::ClearFileFailures();
        SongTest::TearDown();
        StatePlug::Made.clear();
    }
    bool Save(const std::string& Name) { return SaveSongFile(dir.Path() + Name); }
    // Saves, then reads the file back into the song.
    std::string RoundTrip(const std::string& Name) {
        EXPECT_TRUE(Save(Name));
        std::string bytes = dir.ReadFile(Name);
        EXPECT_TRUE(LoadSongFile(dir.Path() + Name));
        return bytes;
    }
    std::string Load(const std::string& Bytes, const std::string& Name = "fixture.seq") {
        std::string path = dir.WriteFile(Name, Magic + Bytes);
        LoadSongFile(path);
        return path;
    }
    TSub* AddBus(int Kind, const std::string& Plugin = "statefx") {
        TSub* b = SubEngine->AddSub(Kind, Plugin, -1);
        return b;
    }
    TSub* AddInsert(TSoftOut& Slot) {
        TSub* b = SubEngine->AddSub(skInsertEffect, "statefx", -1);
        b->HostSlot = &Slot;
        Song->AddTodo(tdAddItem, -1, &Slot.Inserts, b);
        return b;
    }

    TSongFileHost host;
    // A host that leaves the disk samples to the test (the headless one purges after a save).
    struct KeepingHost : TSongFileHost {
        void AddTodo(int) override {}
    } keep;
    FakeMidiEditors editors;
    TempDir dir;
    FakeLibrary fx{"statefx", {{"MFXConnect", FakeLibrary::Entry(&StatePlug::Connect)}}};
    FakeLibrary synth{"statesyn", {{"MFXConnect", FakeLibrary::Entry(&StatePlug::Connect)}}};
};

} // namespace

TEST_F(SongRecordsTest, GoldenWithEveryRecordKindRoundTripsByteForByte) {
    ASSERT_TRUE(LoadSongFile(DataFile("golden_records.seq")));
    _TTrack& drums = *Song->Tracks[0];
    ASSERT_EQ(drums.Samples.size(), 2u);
    EXPECT_EQ(drums.Samples[1]->Pan, 20);
    EXPECT_TRUE(drums.Samples[1]->Mute);
    EXPECT_FALSE(drums.Samples[1]->FR);
    EXPECT_EQ(drums.Samples[1]->Bus, 2);
    EXPECT_EQ(drums.Samples[0]->Volume, 0.5f);
    EXPECT_NE(drums.MixChannel, nullptr);
    EXPECT_EQ(drums.Outputs[0].Volume, 0.75f);
    EXPECT_EQ(drums.Outputs[0].Pan, -0.5f);
    EXPECT_EQ(drums.Outputs[0].Sends[0], 0.25f);
    ASSERT_EQ(drums.Outputs[0].Inserts.size(), 1u);
    TSub* insert = drums.Outputs[0].Inserts[0];
    EXPECT_EQ(insert->HostSlot, &drums.Outputs[0]);
    EXPECT_EQ(insert->Plugin->GetParameter(1), 0.125);

    ASSERT_EQ(SubEngine->Count(), 3);
    ASSERT_EQ(SubEngine->SendBuses.size(), 1u);
    ASSERT_EQ(SubEngine->MasterBuses.size(), 1u);
    TSub* group = SubEngine->GetSub(0);
    EXPECT_EQ(group->Docked, 1);
    EXPECT_EQ(group->Channel->Show, 1);
    auto* plug = reinterpret_cast<StatePlug*>(group->Plugin->Interface);
    EXPECT_EQ(plug->State, "\x01\x02\x03xyz");
    // Parameters first, then the state, which has the last word.
    EXPECT_EQ(plug->Calls, (std::vector<std::string>{"param", "param", "state"}));
    EXPECT_EQ(SubEngine->GetSub(1)->Plugin->Enabled, 0);
    EXPECT_TRUE(SubEngine->GetSub(1)->Plugin->Loaded); // "sub\statefx"
    EXPECT_EQ(SubEngine->GetSub(2)->Volume, 0.5f);
    EXPECT_EQ(SubEngine->GetSub(2)->Output, 0);

    ASSERT_EQ(Song->Tracks[1]->AutoPlugs.size(), 1u);
    TAutoPlug& entry = *Song->Tracks[1]->AutoPlugs[0];
    EXPECT_EQ(entry.Plugin, group->Plugin);
    EXPECT_TRUE(group->Plugin->Automated);
    EXPECT_EQ(group->Plugin->AutoLink, &entry);
    EXPECT_EQ(entry.ParamCount, 1);
    EXPECT_EQ(entry.Params[0].Kind, 2);

    ASSERT_EQ(Song->DiskSamples.size(), 1u);
    EXPECT_EQ(Song->DiskSamples[0]->FileName, "C:\\Takes\\take1.wav");
    EXPECT_EQ(Song->DiskSamples[0]->Internal, 1);
    ASSERT_EQ(host.Areas().size(), 1u);
    EXPECT_EQ(host.Areas()[0].Name, "Chorus");
    EXPECT_EQ(host.Areas()[0].Right, 1920);
    EXPECT_EQ(editors.Rows, std::vector<int>{7});

    ASSERT_EQ(SoftEngine->Count(), 1);
    TSoftItem& softsynth = *SoftEngine->Items[0];
    EXPECT_EQ(softsynth.OutputCount, 2);
    EXPECT_EQ(softsynth.Channel->Show, 1);
    EXPECT_EQ(softsynth.Placement.Left, 100);
    EXPECT_TRUE(softsynth.Placement.Visible); // shown after the load
    EXPECT_EQ(softsynth.Plugin->GetParameter(0), 0.375);
    EXPECT_EQ(Song->MasterOut.Volume, 0.625f);
    EXPECT_EQ(Song->MasterChannel->Show, 1);

    // What a save changes of the song besides the purge of unused disk samples.
    Song->Folder = dir.Path();
    Song->FileName = "records.seq"; // the golden file's own name inside it
    Song->Untitled = 0;
    const std::string read = DumpSong(*Song);
    ASSERT_TRUE(Save("records.seq"));
    std::string golden, written = dir.ReadFile("records.seq");
    platform::ReadWholeFile(DataFile("golden_records.seq"), golden);
    ASSERT_EQ(written.size(), golden.size());
    EXPECT_TRUE(written == golden);
    // And the song read back prints the same.
    ASSERT_TRUE(LoadSongFile(dir.Path() + "records.seq"));
    EXPECT_EQ(DumpSong(*Song), read);
}

TEST_F(SongRecordsTest, SlotGroupsFollowTheTracksAndTheSendBuses) {
    _TTrack& noSamples = *Song->Tracks[0];
    noSamples.Mode = tmAudio;
    noSamples.Outputs[0].Volume = 0.5f; // changed, but without sample slots nothing is written
    Song->Tracks[1]->Mode = tmMidi;
    Song->Tracks[2]->Mode = tmSoftsynth;
    Song->Tracks[1]->Outputs[1].Active = 1;
    _TTrack& audio = *Song->Tracks[3];
    audio.Mode = tmAudio;
    audio.Samples.push_back(std::make_unique<TSample>());
    audio.Outputs[1].Active = 1;
    audio.Outputs[3].Active = 1; // after the first inactive slot: not written
    for (int i = 0; i < 3; ++i)
        AddBus(skSendEffect);
    SetSendLevel(audio.Outputs[1], 2, 0.5f);
    StatePlug::Outputs = 4;
    TSoftItem* synth = SoftEngine->AddSoftsynth("statesyn");

    std::string bytes = RoundTrip("slots.seq");
    EXPECT_EQ(CountTag(bytes, "Sample"), 1);
    EXPECT_EQ(CountTag(bytes, "TrackBus"), 2);
    EXPECT_EQ(CountTag(bytes, "TrackBusSend"), 2 * 3);
    EXPECT_EQ(CountTag(bytes, "DiskOutputSend"), 3);
    std::string count = Int("SoftsynthOutputCount", 4);
    EXPECT_NE(bytes.find(count), std::string::npos);
    EXPECT_EQ(CountTag(bytes, "SoftsynthOutput"), 4); // inactive slots too
    EXPECT_EQ(CountTag(bytes, "SoftsynthOutputSend"), 4 * 3);
    (void)synth;
    // Read back without the send buses: the sends still fill entries 0 to 2.
    EXPECT_EQ(Song->Tracks[3]->Outputs[1].Sends[2], 0.5f);
    std::string noBuses = bytes;
    std::size_t firstSub = noBuses.find(Short("Sub") + Be32(0));
    ASSERT_NE(firstSub, std::string::npos);
    std::size_t softsynth = noBuses.find(Short("Softsynth") + Be32(0));
    noBuses.erase(firstSub, softsynth - firstSub);
    dir.WriteFile("nobuses.seq", noBuses);
    ASSERT_TRUE(LoadSongFile(dir.Path() + "nobuses.seq"));
    EXPECT_EQ(SubEngine->Count(), 0);
    EXPECT_EQ(Song->Tracks[3]->Outputs[1].Sends[2], 0.5f);
    EXPECT_EQ(Song->Tracks[0]->Outputs[0].Volume, 1.0f);
}

TEST_F(SongRecordsTest, PluginNamesAreStoredBelowTheirFolder) {
    std::string fx = dir.Path() + "Effects/";
    std::filesystem::create_directories(fx + "sub");
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/fx/mfxgain.so", fx + "sub/Gain.so");
    Song->FxPath = platform::ToStoredPath(fx);
    TSub* bus = AddBus(skGroupEffect, fx + "sub/Gain.so");
    ASSERT_TRUE(bus->Plugin->Loaded);
    // Outside the folder a plug-in keeps its whole path.
    struct Case {
        std::string path;
        bool effect;
        std::string stored;
    } cases[] = {
        {fx + "sub/Gain.so", true, "sub\\Gain"},
        {platform::ToStoredPath(fx) + "SUB\\x.dll", true, "SUB\\x"},
        {"/elsewhere/y.so", true, "\\elsewhere\\y"},
        {"/elsewhere/y.so", false, "\\elsewhere\\y"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StoredPluginName(c.path, c.effect), c.stored) << c.path;

    std::string bytes = RoundTrip("names.seq");
    EXPECT_NE(bytes.find(Str("SubName", "sub\\Gain")), std::string::npos);
    ASSERT_EQ(SubEngine->Count(), 1);
    EXPECT_TRUE(SubEngine->GetSub(0)->Plugin->Loaded);

    // ".." parts reach nothing outside the folders: the library placed there stays unloaded.
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/fx/mfxgain.so", dir.Path() + "x.so");
    Song->FxPath = platform::ToStoredPath(fx + "a/");
    std::filesystem::create_directories(fx + "a");
    Load(Int("SubStyle", 1) + Str("SubName", "..\\..\\x"));
    ASSERT_EQ(SubEngine->Count(), 1);
    EXPECT_FALSE(SubEngine->GetSub(0)->Plugin->Loaded);
}

TEST_F(SongRecordsTest, OddValuesReadSafely) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ScriptedDialogs boxes;
    Load(Item("Track") + Int("TrackMode", 1) + Item("Sample") + Int("SampleBus", -3) +
         Int("SampleVolume", 127) + Item("Sample") + Dbl("SampleVolume2", nan) + Item("Sample") +
         Dbl("SampleVolume2", 1e300) + Item("TrackBus") + Dbl("TrackBusVolume", inf) +
         Dbl("TrackBusPan", -7) + Dbl("TrackBusSend", nan) + Dbl("TrackBusSend", 3) +
         Dbl("MasterOutputVolume", -inf));
    _TTrack& t = *Song->Tracks[0];
    ASSERT_EQ(t.Samples.size(), 3u);
    EXPECT_EQ(t.Samples[0]->Bus, 0);
    EXPECT_EQ(t.Samples[0]->Volume, 1.0f);
    EXPECT_EQ(t.Samples[1]->Volume, 1.0f); // NaN: the default
    EXPECT_EQ(t.Samples[2]->Volume, 8.0f);
    EXPECT_EQ(t.Outputs[0].Volume, 1.0f);
    EXPECT_EQ(t.Outputs[0].Pan, -1.0f);
    EXPECT_EQ(t.Outputs[0].Sends[0], 0.0f);
    EXPECT_EQ(t.Outputs[0].Sends[1], 1.0f);
    EXPECT_EQ(Song->MasterOut.Volume, 1.0f);

    // Counters of a hostile file stop at the last slot and the last send.
    std::string many = Item("Track");
    for (int i = 0; i < 130; ++i)
        many += Item("TrackBus") + Int("TrackBusMute", 1);
    many += Item("DiskOutput");
    for (int i = 0; i < 140; ++i)
        many += Dbl("DiskOutputSend", 0.5);
    for (int i = 0; i < 130; ++i)
        many += Item("DiskOutput") + Int("DiskOutputSolo", 1);
    Load(many);
    EXPECT_EQ(Song->Tracks[0]->Outputs[127].Mute, 1);
    EXPECT_EQ(Song->DiskOutputs[0].Sends[127], 0.5f);
    EXPECT_EQ(Song->DiskOutputs[127].Solo, 1);
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // A bus kind the maker does not know makes nothing, and its items go nowhere; an insert
    // bus without a slot is not made; fader rows other than -3, -2 and 0..127 are dropped.
    Load(Item("Sub") + Int("SubStyle", 9) + Str("SubName", "statefx") + Int("SubOutput", 3) +
         Item("Sub") + Int("SubStyle", 5) + Str("SubName", "statefx") + Item("MIDIFaders") +
         Int("MIDIFader", -3) + Int("MIDIFader", -2) + Int("MIDIFader", -1) +
         Int("MIDIFader", 127) + Int("MIDIFader", 128));
    EXPECT_EQ(SubEngine->Count(), 0);
    EXPECT_TRUE(StatePlug::Made.empty());
    EXPECT_EQ(editors.Rows, (std::vector<int>{-3, -2, 127}));
    EXPECT_EQ(boxes.Boxes().size(), 0u);
}

TEST_F(SongRecordsTest, SoundCardSelectionsOnlyWithItsManager) {
    editors.AweWindow = true;
    editors.Awe[aweChorus] = 3;
    std::string bytes = RoundTrip("awe.seq");
    EXPECT_EQ(CountTag(bytes, "AWEChorus"), 0);
    AweAvailable = 1;
    bytes = RoundTrip("awe.seq");
    EXPECT_NE(bytes.find(Int("AWEChorus", 3)), std::string::npos);
    EXPECT_NE(bytes.find(Int("AWEReverb", -1) + Int("AWEChorus", 3)), std::string::npos);
    EXPECT_FALSE(editors.TakeFromCard);
}

TEST_F(SongRecordsTest, TheSampleBankGoesBesideTheSong) {
    ScriptedDialogs boxes;
    // An empty pool writes nothing and leaves an older bank alone.
    std::string old = dir.WriteFile("song.dxg", "older bank");
    std::string bytes = RoundTrip("song.seq");
    EXPECT_EQ(CountTag(bytes, "SampleDXG"), 0);
    EXPECT_EQ(dir.ReadFile("song.dxg"), "older bank");

    TWaveCollectionItem* item = Song->SamplePool->Items.Add();
    item->SetName("Kick");
    item->Wave.SetPCMFormat(44100, 16, 1);
    item->Wave.SetSize(4);
    std::memcpy(item->Wave.Data(), "\x01\x02\x03\x04", 4);
    bytes = RoundTrip("song.seq");
    EXPECT_EQ(CountTag(bytes, "SampleDXG"), 1);
    ASSERT_EQ(Song->SamplePool->Items.Count(), 1);
    EXPECT_EQ(Song->SamplePool->Items.GetItem(0)->Name(), "Kick");
    std::string bank = dir.ReadFile("song.dxg");

    // A save that fails once the bank is written replaces neither file.
    std::string song = dir.ReadFile("song.seq");
    Song->SamplePool->Items.GetItem(0)->SetName("Snare");
    boxes.Answer(platform::IDOK, "not saved");
    platform::FailNextFileOp(platform::FileOp::Rename);
    EXPECT_FALSE(Save("song.seq"));
    EXPECT_EQ(dir.ReadFile("song.seq"), song);
    EXPECT_EQ(dir.ReadFile("song.dxg"), bank);

    // The bank not written: when that shows before the song is replaced (not made, or not on
    // the disk), nothing is; once the song was (the bank not renamed), the message names the
    // bank. Either way the song stays marked as changed.
    struct Failure {
        platform::FileOp Op;
        int Skip;
        bool SongReplaced;
        std::string Text;
    };
    const Failure failures[] = {
        {platform::FileOp::Create, 1, false, "Cannot create "},
        {platform::FileOp::Sync, 0, false, "Cannot write "},
        {platform::FileOp::Rename, 1, true, "Cannot replace "},
    };
    Song->Tracks[0]->Name = "changed";
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.Text);
        dir.WriteFile("song.seq", song);
        Song->Modified = 1;
        boxes.Answer(platform::IDOK, f.Text + dir.Path() + "song.dxg");
        platform::FailNextFileOp(f.Op, f.Skip);
        EXPECT_FALSE(Save("song.seq"));
        const std::string text = boxes.Boxes().back().Text;
        EXPECT_NE(text.find(f.SongReplaced ? "The song was saved, but not this file beside it."
                                           : "The song was not saved."),
                  std::string::npos)
            << text;
        EXPECT_EQ(dir.ReadFile("song.seq") != song, f.SongReplaced);
        EXPECT_EQ(dir.ReadFile("song.dxg"), bank);
        EXPECT_TRUE(Song->Modified);
    }
    dir.WriteFile("song.seq", song);

    // A copy of the song is the copy, but finds the bank under the name it stores first.
    std::filesystem::copy_file(dir.Path() + "song.seq", dir.Path() + "copy.seq");
    dir.WriteFile("copy.dxg", "not a bank");
    ASSERT_TRUE(LoadSongFile(dir.Path() + "copy.seq"));
    EXPECT_EQ(Song->FileName, "copy.seq");
    EXPECT_EQ(Song->SamplePool->Items.Count(), 1);

    // A song renamed on disk with its bank finds the bank under its own name; a missing bank is
    // reported under the stored name and the pool stays empty.
    std::filesystem::rename(dir.Path() + "song.seq", dir.Path() + "renamed.seq");
    std::filesystem::rename(dir.Path() + "song.dxg", dir.Path() + "renamed.dxg");
    ASSERT_TRUE(LoadSongFile(dir.Path() + "renamed.seq"));
    EXPECT_EQ(Song->SamplePool->Items.Count(), 1);
    std::filesystem::remove(dir.Path() + "renamed.dxg");
    boxes.Answer(platform::IDOK, "File not found: " + dir.Path() + "song.dxg");
    ASSERT_TRUE(LoadSongFile(dir.Path() + "renamed.seq"));
    EXPECT_EQ(Song->SamplePool->Items.Count(), 0);
    EXPECT_EQ(boxes.Boxes().back().Caption, "Open song");
    // A damaged bank says so and leaves the pool empty as well.
    dir.WriteFile("renamed.dxg", "not a bank");
    boxes.Answer(platform::IDOK, "renamed.dxg");
    ASSERT_TRUE(LoadSongFile(dir.Path() + "renamed.seq"));
    EXPECT_EQ(Song->SamplePool->Items.Count(), 0);
}

TEST_F(SongRecordsTest, AnUnusedSongSampleOutsideItsFolderSurvivesASave) {
    std::string wave = dir.WriteFile("elsewhere/take.wav", "not even a wave");
    auto* d = new TDiskSample;
    d->FileName = wave;
    d->Internal = 1;
    Song->DiskSamples.push_back(d);
    SetSongFileHost(nullptr); // the headless host purges at once
    ASSERT_TRUE(Save("kept.seq"));
    EXPECT_TRUE(platform::FileExists(wave));
    std::string bytes = dir.ReadFile("kept.seq");
    EXPECT_NE(bytes.find(Str("DiskFileName", wave) + Int("DiskInternal", 1)), std::string::npos);
}

namespace {

// A VST instrument that keeps its programs as chunks and notes the order of what it is given.
struct ChunkVst {
    AEffect E{};
    float Params[2] = {0, 0};
    int Program = 0;
    std::string Chunk;
    std::vector<std::string> Calls;

    ChunkVst() {
        E.magic = kEffectMagic;
        E.dispatcher = &Dispatcher;
        E.setParameter = [](AEffect* e, std::int32_t i, float v) {
            Self(e)->Params[i] = v;
            Self(e)->Calls.push_back("param");
        };
        E.getParameter = [](AEffect* e, std::int32_t i) { return Self(e)->Params[i]; };
        E.numParams = 2;
        E.numOutputs = 2;
        E.flags = effFlagsProgramChunks | effFlagsIsSynth;
        E.object = this;
        Current = this;
    }
    ~ChunkVst() { Current = nullptr; }
    static ChunkVst* Self(AEffect* e) { return static_cast<ChunkVst*>(e->object); }
    static VstIntPtr Dispatcher(AEffect* e, std::int32_t op, std::int32_t, VstIntPtr value,
                                void* ptr, float) {
        ChunkVst& f = *Self(e);
        switch (op) {
        case effSetProgram:
            f.Program = static_cast<int>(value);
            f.Calls.push_back("program");
            return 0;
        case effGetProgram:
            return f.Program;
        case effGetChunk:
            *static_cast<void**>(ptr) = f.Chunk.data();
            return static_cast<VstIntPtr>(f.Chunk.size());
        case effSetChunk:
            f.Chunk.assign(static_cast<const char*>(ptr), static_cast<std::size_t>(value));
            f.Calls.push_back("chunk");
            return 0;
        default:
            return 0;
        }
    }
    static inline ChunkVst* Current = nullptr;
    static AEffect* Main(audioMasterCallback) { return Current ? &Current->E : nullptr; }
    FakeLibrary Library{"chunkvst", {{"main", FakeLibrary::Entry(&Main)}}};
};

} // namespace

TEST_F(SongRecordsTest, AVstSoftsynthGetsItsProgramThenParametersThenChunk) {
    ChunkVst vst;
    AddBus(skGroupEffect, "chunkvst"); // a VST bus keeps its parameters only
    TSoftItem* item = SoftEngine->AddSoftsynth("chunkvst");
    ASSERT_TRUE(item->Plugin->Loaded);
    item->Plugin->Dispatch(effSetProgram, 0, 5);
    item->Plugin->SetParameter(1, 0.75);
    vst.Chunk = "bank";
    TEditorPlacement rolled;
    rolled.RolledUp = true;
    rolled.Width = 300;
    rolled.Height = 120;
    rolled.Left = -20; // on a screen left of the main one
    SoftsynthWindows().SetPlacement(*item, rolled);

    vst.Calls.clear();
    std::string bytes = RoundTrip("vst.seq");
    EXPECT_NE(bytes.find(Int("SoftsynthVSTProgram", 5)), std::string::npos);
    EXPECT_NE(bytes.find(Int("SoftsynthMinimized", 1)), std::string::npos);
    EXPECT_EQ(CountTag(bytes, "SoftsynthVisible"), 0);
    EXPECT_EQ(CountTag(bytes, "SoftsynthData"), 1);
    EXPECT_EQ(CountTag(bytes, "SubData"), 0);
    // The bus (a load sets program 0) with its two parameters, then the softsynth: its program,
    // its parameters, its chunk last.
    EXPECT_EQ(vst.Calls, (std::vector<std::string>{"program", "param", "param", "program",
                                                   "program", "param", "param", "chunk"}));
    EXPECT_EQ(vst.Program, 5);
    EXPECT_EQ(vst.Chunk, "bank");
    TEditorPlacement read = SoftsynthWindows().Placement(*SoftEngine->Items[0]);
    EXPECT_TRUE(read.RolledUp);
    EXPECT_FALSE(read.Visible);
    EXPECT_EQ(read.Width, 300);
    EXPECT_EQ(read.Left, -20);
    Song->Clear(); // the plug-ins go before the fake does
}

TEST_F(SongRecordsTest, LongPluginPathsAndDiskFileNamesComeBackWhole) {
    std::string longDir = "/nowhere/" + std::string(280, 'd') + "/";
    SubEngine->AddSub(skGroupEffect, longDir + "fx.so", -1);
    auto* d = new TDiskSample;
    d->FileName = longDir + "take.wav";
    Song->DiskSamples.push_back(d);
    SetSongFileHost(&keep);
    keep.Areas().push_back({std::string(300, 'a'), 1, 2});
    RoundTrip("long.seq");
    ASSERT_EQ(SubEngine->Count(), 1);
    EXPECT_EQ(StoredPluginName(SubEngine->GetSub(0)->Plugin->Path, true),
              platform::ToStoredPath(longDir) + "fx");
    ASSERT_EQ(Song->DiskSamples.size(), 1u);
    EXPECT_EQ(Song->DiskSamples[0]->FileName, longDir + "take.wav");
    ASSERT_EQ(keep.Areas().size(), 1u);
    EXPECT_EQ(keep.Areas()[0].Name.size(), 300u);
}

namespace {

// Songs with the example plug-ins of the program folder.
class ExampleSongTest : public SongRecordsTest {
protected:
    void SetUp() override {
        folder = platform::ProgramFolder();
        platform::SetProgramFolder(TOLVERN_BIN_DIR "/");
        SongRecordsTest::SetUp();
        SetSongFileHost(&keep);
    }
    void TearDown() override {
        SongRecordsTest::TearDown();
        platform::SetProgramFolder(folder);
    }
    // A note into every softsynth, then blocks of the stopped song: what the synths and buses
    // make of it.
    std::vector<float> Play() {
        for (TSoftItem* item : SoftEngine->Items)
            item->Plugin->AddEvent(true, PackMidiMsg(0x90, 57, 100));
        TSoftEngine::UpdateMuteSolo();
        std::vector<float> out(2 * 256 * 16);
        for (int b = 0; b < 16; ++b)
            Song->Render(out.data() + 2 * 256 * b, 256);
        return out;
    }
    std::string folder;
};

} // namespace

TEST_F(ExampleSongTest, ASongOfEveryKindSoundsAndReadsTheSameAfterASave) {
    const std::string bin = TOLVERN_BIN_DIR "/";
    TSoftItem* vst = SoftEngine->AddSoftsynth(bin + "synth/tvsynth.so");
    TSoftItem* own = SoftEngine->AddSoftsynth(bin + "synth/mfxsynth.so");
    ASSERT_TRUE(vst->Plugin->Loaded && own->Plugin->Loaded);
    vst->Plugin->Dispatch(effSetProgram, 0, 1);
    vst->Plugin->SetParameter(2, 0.4);
    own->Plugin->SetParameter(0, 0.5);
    own->Plugin->SetParameter(1, 1.0);
    TSub* group = SubEngine->AddSub(skGroupEffect, bin + "fx/mfxgain.so", -1);
    TSub* send = SubEngine->AddSub(skSendEffect, bin + "fx/tvgain.so", -1);
    ASSERT_TRUE(group->Plugin->Loaded && send->Plugin->Loaded);
    group->Plugin->SetParameter(0, 0.3);
    send->Plugin->SetParameter(0, 0.8);
    own->Outputs[0].Bus = 0;
    SetSendLevel(vst->Outputs[0], 0, 0.5f);
    AddInsert(vst->Outputs[0]);
    TSub* insert = vst->Outputs[0].Inserts[0];
    insert->Plugin->Path = bin + "fx/mfxgain.so"; // the example, not the test's plug-in
    insert->Plugin->Unload();
    ASSERT_TRUE(insert->Plugin->Load(0));
    insert->Plugin->SetParameter(0, 0.6);
    // A sample track, a disk track, a parameter track automating the group bus.
    _TTrack& drums = *Song->Tracks[0];
    drums.Mode = tmAudio;
    drums.Samples.push_back(std::make_unique<TSample>());
    drums.Samples[0]->Index = 0;
    drums.Outputs[0].Volume = 0.5f;
    Song->UpdateSampleChannel(0);
    TWaveCollectionItem* kick = Song->SamplePool->Items.Add();
    kick->SetName("Kick");
    kick->Wave.SetPCMFormat(44100, 16, 1);
    kick->Wave.SetSize(2);
    Song->Tracks[1]->Mode = tmDisk;
    auto* take = new TDiskSample;
    take->FileName = dir.Path() + "take.wav";
    Song->DiskSamples.push_back(take);
    _TTrack& param = *Song->Tracks[2];
    param.Mode = tmParameter;
    auto* entry = new TAutoPlug;
    entry->Plugin = group->Plugin;
    SubEngine->MakePlugId(group->Plugin, entry->Id);
    entry->ParamCount = 1;
    entry->Params[0] = {0, 3};
    param.AutoPlugs.push_back(entry);
    group->Plugin->Automated = true;
    LinkAutomationEntries(*Song);

    ASSERT_TRUE(Save("every.seq"));
    const std::string written = DumpSong(*Song);
    const std::vector<float> before = Play();
    ASSERT_TRUE(LoadSongFile(dir.Path() + "every.seq"));
    EXPECT_EQ(DumpSong(*Song), written);
    EXPECT_EQ(SoftEngine->Items[0]->Plugin->Dispatch(effGetProgram), 1);
    const std::vector<float> after = Play();
    EXPECT_NE(std::count(before.begin(), before.end(), 0.0f), static_cast<long>(before.size()));
    EXPECT_TRUE(before == after);
}
