#include "devices/sblive.h"
#include "platform/core/dynlib.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/fake_library.h"
#include "support/scripted_dialogs.h"
#include "support/soundfont.h"
#include "support/temp_settings.h"

#include <tolvern_sfman.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace platform;

namespace {

using testsupport::SoundFont;

// ---- fake managers ---------------------------------------------------------------------------

int handshakeAnswer = 0;
bool giveTable = true;
void* fakeTable[SF_ENTRIES] = {};
std::vector<std::string> fakeCalls;
HMODULE seenModule = 0;

int32_t FakeHandshake(uint32_t Version, void*** Interface) {
    // Notes the module, to tell afterwards whether it was freed.
    seenModule = LoadLibrary("SFMAN32.DLL");
    FreeLibrary(seenModule);
    fakeCalls.push_back("handshake " + std::to_string(Version));
    if (giveTable) *Interface = fakeTable;
    return handshakeAnswer;
}
SFManagerTable fakeManager{&FakeHandshake};

// Answers a name query with the bytes of fakeAnswer and the count fakeUsed.
std::string fakeAnswer;
uint32_t fakeUsed = 0;
int32_t FakeName(int32_t, SFLocation* Where, SFBuffer* Buffer) {
    fakeCalls.push_back("name " + std::to_string(Where->Bank) + " " +
                        std::to_string(Where->Preset) + " size " + std::to_string(Buffer->Size));
    std::memcpy(Buffer->Data, fakeAnswer.data(),
                std::min<std::size_t>(fakeAnswer.size(), Buffer->Size));
    Buffer->Used = fakeUsed;
    return 0;
}
int32_t FakeLoad(int32_t, SFLocation* Where, SFBuffer* Buffer) {
    fakeCalls.push_back("load " + std::to_string(Where->Bank) + " " + Buffer->Data);
    return 0;
}

class FakeManager : public testing::Test {
protected:
    void SetUp() override {
        handshakeAnswer = 0;
        giveTable = true;
        fakeCalls.clear();
        fakeTable[SF_BANK_NAME] = reinterpret_cast<void*>(&FakeName);
        fakeTable[SF_PRESET_NAME] = reinterpret_cast<void*>(&FakeName);
        fakeTable[SF_LOAD_BANK] = reinterpret_cast<void*>(&FakeLoad);
    }
    FakeLibrary lib{"SFMAN32.DLL", {{"SFManager", &fakeManager}}};
};

} // namespace

TEST(SBLiveWithoutLibrary, QueriesAreEmptyAndChangesRefused) {
    TempProgramFolder folder;
    TSBLive sb;
    EXPECT_FALSE(sb.Available);
    EXPECT_FALSE(sb.AutoOpenSave);
    std::string name = "x";
    sb.GetBankName(0, 0, name);
    EXPECT_EQ(name, "");
    name = "x";
    sb.GetBankFile(0, 0, name);
    EXPECT_EQ(name, "");
    name = "x";
    sb.GetPresetName(0, 0, 0, name);
    EXPECT_EQ(name, "");
    EXPECT_FALSE(sb.LoadBank(0, 0, "/a.sf2"));
    EXPECT_FALSE(sb.ClearBank(0, 0));
    EXPECT_TRUE(sb.ClearAllBanks(0));
}

TEST_F(FakeManager, AHandshakeThatFailsFreesTheLibrary) {
    for (auto [answer, table] : {std::pair{1, true}, std::pair{0, false}}) {
        handshakeAnswer = answer;
        giveTable = table;
        TSBLive sb;
        EXPECT_FALSE(sb.Available) << answer;
        EXPECT_EQ(sb.Library, 0);
        EXPECT_FALSE(IsFakeLibrary(seenModule)) << "freed again";
        std::string name;
        sb.GetBankName(0, 1, name);
        EXPECT_EQ(name, "");
    }
    EXPECT_EQ(fakeCalls, (std::vector<std::string>{"handshake 65537", "handshake 65537"}))
        << "no entry is called without the manager";
    handshakeAnswer = 0;
    giveTable = true;
    TSBLive sb;
    EXPECT_TRUE(sb.Available);
}

TEST_F(FakeManager, NamesNeedMoreThanTheirZeroAndEndAtTheFirstZero) {
    TSBLive sb;
    ASSERT_TRUE(sb.Available);
    struct Case {
        std::string Answer;
        uint32_t Used;
        std::string Expected;
    } cases[] = {
        {std::string("Piano\0", 6), 6, "Piano"},
        {std::string("Left\0over", 9), 9, "Left"},
        {std::string("X\0", 2), 1, ""}, // only the zero counts as used
        {std::string(100, 'n'), 81, std::string(81, 'n')},
    };
    for (auto& c : cases) {
        fakeAnswer = c.Answer;
        fakeUsed = c.Used;
        std::string name = "old";
        sb.GetPresetName(0, 3, 7, name);
        EXPECT_EQ(name, c.Expected) << c.Answer;
    }
    EXPECT_EQ(fakeCalls.back(), "name 3 7 size 81");
    fakeCalls.clear();
    EXPECT_TRUE(sb.LoadBank(0, 2, std::string(127, 'p')));
    EXPECT_FALSE(sb.LoadBank(0, 2, std::string(128, 'p'))) << "too long for the path buffer";
    EXPECT_EQ(fakeCalls.size(), 1u);
    EXPECT_FALSE(sb.ClearBank(0, 2)) << "an entry the table lacks";
}

namespace {

// The stand-in manager in the program folder, SoundFonts beside the songs.
class SoundFontSongs : public testing::Test {
protected:
    void SetUp() override {
        piano = dir.WriteFile("piano.sf2", SoundFont("Grand", {{"Piano 1", 0}, {"Piano 2", 1}}));
        drums = dir.WriteFile("drums.sf2", SoundFont("Kit", {{"Rock", 0}}));
        Song = &song;
        SBLive = &sb;
        sb.AutoOpenSave = true;
    }
    void TearDown() override {
        SBLive = nullptr;
        Song = nullptr;
        ClearFileFailures();
    }
    std::string File(int Bank) {
        std::string path;
        sb.GetBankFile(0, Bank, path);
        return path;
    }
    std::string Expected() const {
        std::string text;
        for (int b = 0; b < 128; ++b) {
            char number[8];
            std::snprintf(number, sizeof number, "%03d", b);
            text += number + std::string(b == 0 ? piano : b == 5 ? drums : "") + "\r\n";
        }
        return text;
    }

    TempSettings settings;
    TempProgramFolder folder;
    // The manager goes into the program folder before it is looked for.
    bool copied =
        std::filesystem::copy_file(TOLVERN_SFMAN_DIR "/sfman32.so", folder.Path() + "sfman32.so");
    TempDir dir;
    TSong song;
    TSBLive sb;
    std::string piano, drums;
};

} // namespace

TEST_F(SoundFontSongs, TheStandInLoadsSoundFontsAndNamesThem) {
    ASSERT_TRUE(sb.Available);
    EXPECT_TRUE(sb.LoadBank(0, 0, piano));
    EXPECT_FALSE(sb.LoadBank(0, 1, dir.WriteFile("not.sf2", "RIFF....WAVE"))) << "no SoundFont";
    EXPECT_FALSE(sb.LoadBank(0, 1, dir.Path() + "missing.sf2"));
    std::string name;
    sb.GetBankName(0, 0, name);
    EXPECT_EQ(name, "Grand");
    sb.GetPresetName(0, 0, 1, name);
    EXPECT_EQ(name, "Piano 2");
    EXPECT_EQ(File(0), piano);
    EXPECT_EQ(File(1), "");
    EXPECT_TRUE(sb.ClearBank(0, 0));
    EXPECT_EQ(File(0), "");
}

TEST_F(SoundFontSongs, BanksAreSavedBesideTheSongAndLoadedWithIt) {
    ASSERT_TRUE(sb.LoadBank(0, 0, piano));
    ASSERT_TRUE(sb.LoadBank(0, 5, drums));
    ASSERT_TRUE(SaveSongFile(dir.Path() + "song.seq"));
    std::string seq = dir.ReadFile("song.seq");
    EXPECT_EQ(seq.substr(seq.size() - 11), std::string("\x06SFBank\0\0\0\0", 11)) << "last";
    EXPECT_EQ(dir.ReadFile("song.sfs"), Expected());

    struct Windows : TSBLiveWindows {
        int Fills = 0;
        void FillSBLiveBanks() override { ++Fills; }
    } windows;
    SetSBLiveWindows(&windows);
    sb.ClearAllBanks(0);
    ASSERT_TRUE(sb.LoadBank(0, 7, drums));
    ASSERT_TRUE(LoadSongFile(dir.Path() + "song.seq"));
    EXPECT_EQ(File(0), piano);
    EXPECT_EQ(File(5), drums);
    EXPECT_EQ(File(7), "") << "every bank was cleared first";
    EXPECT_EQ(windows.Fills, 1);

    // A song renamed on disk with its list finds the list under its own name.
    std::filesystem::rename(dir.Path() + "song.seq", dir.Path() + "renamed.seq");
    std::filesystem::rename(dir.Path() + "song.sfs", dir.Path() + "renamed.sfs");
    dir.WriteFile("renamed.sfs", "000" + drums + "\r\n001\r\n002" + piano + "\n");
    ASSERT_TRUE(LoadSongFile(dir.Path() + "renamed.seq"));
    EXPECT_EQ(File(0), drums);
    EXPECT_EQ(File(2), piano) << "a lone LF ends a line too";
    EXPECT_EQ(File(5), "") << "missing lines are empty banks";
    SetSBLiveWindows(nullptr);
}

TEST_F(SoundFontSongs, AMissingListIsReportedAndTheSongStillLoads) {
    ASSERT_TRUE(SaveSongFile(dir.Path() + "song.seq"));
    std::filesystem::remove(dir.Path() + "song.sfs");
    song.Tracks[0]->Name = "changed";
    ScriptedDialogs boxes;
    boxes.Answer(IDOK, "File not found: ");
    EXPECT_TRUE(LoadSongFile(dir.Path() + "song.seq"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Text, "File not found: " + dir.Path() + "song.sfs");
    EXPECT_EQ(boxes.Boxes()[0].Caption, "Open song");
    EXPECT_EQ(boxes.Boxes()[0].Icon, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_NE(song.Tracks[0]->Name, "changed") << "the song was read";
}

TEST_F(SoundFontSongs, NothingBesideTheSongWithoutAutoOpenSaveOrWhenTheSaveFails) {
    ASSERT_TRUE(sb.LoadBank(0, 5, drums));
    sb.AutoOpenSave = false;
    ASSERT_TRUE(SaveSongFile(dir.Path() + "song.seq"));
    std::string seq = dir.ReadFile("song.seq");
    EXPECT_EQ(seq.find("SFBank"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.Path() + "song.sfs"));

    sb.AutoOpenSave = true;
    std::string old = "000" + piano + "\r\n";
    dir.WriteFile("song.sfs", old);
    ScriptedDialogs boxes;
    boxes.Answer(IDOK, "not saved");
    FailNextFileOp(FileOp::Rename); // the song's own: after the list was written
    EXPECT_FALSE(SaveSongFile(dir.Path() + "song.seq"));
    EXPECT_EQ(dir.ReadFile("song.sfs"), old);
    EXPECT_EQ(dir.ReadFile("song.seq"), seq);
    std::vector<TDirEntry> entries;
    ListDirectory(dir.Path(), entries);
    EXPECT_EQ(entries.size(), 4u) << "two SoundFonts, the song, its list: no temporary file";

    // The list itself not made: the song is not saved either; the list not put in place once
    // the song was: the song is saved, the message names the list.
    boxes.Answer(IDOK, "Cannot create " + dir.Path() + "song.sfs");
    FailNextFileOp(FileOp::Create, 1);
    EXPECT_FALSE(SaveSongFile(dir.Path() + "song.seq"));
    EXPECT_EQ(dir.ReadFile("song.seq"), seq);
    boxes.Answer(IDOK, "Cannot replace " + dir.Path() + "song.sfs");
    FailNextFileOp(FileOp::Rename, 1);
    EXPECT_FALSE(SaveSongFile(dir.Path() + "song.seq"));
    EXPECT_NE(dir.ReadFile("song.seq"), seq);
    EXPECT_EQ(dir.ReadFile("song.sfs"), old);
}
