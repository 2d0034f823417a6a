#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::TIniFile;

TEST(Ini, LivesInTheSettingsFolderOfXdgConfigHome) {
    TempSettings settings;
    EXPECT_EQ(platform::SettingsFolder(), settings.Folder());
    TIniFile ini;
    EXPECT_EQ(ini.FileName(), settings.IniPath());
    EXPECT_TRUE(ini.WriteInteger("Audio", "Output", 2)); // creates the folder
    EXPECT_EQ(settings.IniText(), "[Audio]\nOutput=2\n");
}

TEST(Ini, RoundTripIgnoresCaseOfSectionsAndKeys) {
    TempSettings settings;
    TIniFile ini("tolvern.ini");
    ASSERT_TRUE(ini.WriteBool("Song edit", "Maximized", true));
    ASSERT_TRUE(ini.WriteBool("Song edit", "ShowGrid", false));
    ASSERT_TRUE(ini.WriteInteger("Song Edit", "Left", -12));
    ASSERT_TRUE(ini.WriteString("folders", "Songs", "/home/u/songs \xe9t\xe9"));
    ASSERT_TRUE(ini.WriteFloat("Audio", "Gain", 0.1));
    ASSERT_TRUE(ini.WriteInteger("SONG EDIT", "LEFT", 40)); // replaces, keeps the stored spelling

    EXPECT_TRUE(ini.ReadBool("song EDIT", "maximized", false));
    EXPECT_FALSE(ini.ReadBool("Song edit", "showgrid", true));
    EXPECT_EQ(ini.ReadInteger("song edit", "left", 0), 40);
    EXPECT_EQ(ini.ReadString("Folders", "songs", ""), "/home/u/songs \xe9t\xe9");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("audio", "gain", 0), 0.1);
    EXPECT_EQ(ini.ReadInteger("Song edit", "Missing", 7), 7);
    EXPECT_EQ(ini.ReadString("Nowhere", "Songs", "def"), "def");
    EXPECT_TRUE(ini.ValueExists("SONG EDIT", "maximized"));
    EXPECT_FALSE(ini.ValueExists("Song edit", "Top"));
    EXPECT_TRUE(ini.SectionExists("FOLDERS"));
    EXPECT_EQ(settings.IniText(),
              "[Song edit]\nMaximized=1\nShowGrid=0\nLeft=40\n\n"
              "[folders]\nSongs=/home/u/songs \xe9t\xe9\n\n[Audio]\nGain=0.1\n");
}

TEST(Ini, BooleansAndIntegersReadAsTheFormFrameworkDoes) {
    TempSettings settings;
    settings.WriteIni("[Options]\nA=1\nB=0\nC=2\nD=true\nE=$FF\nF=0x10\nG= -7 \nH=12abc\n"
                      "I=$FFFFFFFF\nJ=2147483648\nK=-2147483648\nL=\nM=-$10\n");
    TIniFile ini;
    struct Case {
        const char* key;
        int def, want;
    } cases[] = {{"A", 9, 1},         {"B", 9, 0},  {"C", 9, 2},  {"D", 9, 9},  {"E", 9, 255},
                 {"F", 9, 16},        {"G", 9, -7}, {"H", 9, 9},  {"I", 9, -1}, {"J", 9, 9},
                 {"K", 9, INT32_MIN}, {"L", 9, 9},  {"M", 9, -16}};
    for (const auto& c : cases)
        EXPECT_EQ(ini.ReadInteger("options", c.key, c.def), c.want) << c.key;
    EXPECT_TRUE(ini.ReadBool("Options", "A", false));
    EXPECT_FALSE(ini.ReadBool("Options", "B", true));
    EXPECT_TRUE(ini.ReadBool("Options", "C", false));
    EXPECT_TRUE(ini.ReadBool("Options", "D", true)); // not a number: the default
    EXPECT_FALSE(ini.ReadBool("Options", "D", false));
}

TEST(Ini, SectionsReadInFileOrderFromAHandEditedFile) {
    TempSettings settings;
    settings.WriteIni("; settings\r\nstray=1\r\n[Songs Favorites]\r\n  /b/zeta = 0\r\n"
                      "junk line\r\n/a/alpha=1\r\n/B/ZETA=2\r\n\r\n[Other]\r\nx=1\r\n"
                      "[songs favorites]\r\n/c=3\r\n");
    TIniFile ini;
    std::vector<std::string> keys{"/b/zeta", "/a/alpha", "/c"};
    EXPECT_EQ(ini.ReadSection("Songs Favorites"), keys);
    auto values = ini.ReadSectionValues("SONGS FAVORITES");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"/b/zeta", "0"})); // first wins
    EXPECT_EQ(values[2].second, "3");
    EXPECT_EQ(ini.ReadString("Songs Favorites", "stray", "-"), "-");
    EXPECT_TRUE(ini.ReadSection("Empty").empty());
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Songs Favorites", "Other"}));

    // A write keeps comments, odd lines and the file's line ends.
    ASSERT_TRUE(ini.WriteString("other", "y", "2"));
    EXPECT_EQ(settings.IniText(), "; settings\r\nstray=1\r\n[Songs Favorites]\r\n  /b/zeta = 0\r\n"
                                  "junk line\r\n/a/alpha=1\r\n/B/ZETA=2\r\n\r\n[Other]\r\nx=1\r\n"
                                  "y=2\r\n[songs favorites]\r\n/c=3\r\n");
}

TEST(Ini, EraseSectionAndDeleteKey) {
    TempSettings settings;
    settings.WriteIni("[Samples Favorites]\n/x=0\n/y=1\n[Audio]\nSplit=10\nGrid=4\n"
                      "[samples favorites]\n/z=2\n");
    TIniFile ini;
    // Rewriting a list: erase the section, then one key per entry.
    ASSERT_TRUE(ini.EraseSection("SAMPLES FAVORITES"));
    EXPECT_FALSE(ini.SectionExists("Samples Favorites"));
    ASSERT_TRUE(ini.WriteString("Samples Favorites", "/new", "0"));
    EXPECT_EQ(ini.ReadSection("Samples Favorites"), std::vector<std::string>{"/new"});

    ASSERT_TRUE(ini.DeleteKey("audio", "SPLIT"));
    EXPECT_FALSE(ini.ValueExists("Audio", "Split"));
    EXPECT_EQ(ini.ReadInteger("Audio", "Grid", 0), 4);
    EXPECT_TRUE(ini.DeleteKey("Audio", "Missing"));
    EXPECT_TRUE(ini.EraseSection("Missing"));
    EXPECT_EQ(settings.IniText(), "[Audio]\nGrid=4\n\n[Samples Favorites]\n/new=0\n");
}

TEST(Ini, TwoObjectsSeeEachOthersWrites) {
    TempSettings settings;
    TIniFile a, b;
    ASSERT_TRUE(a.WriteInteger("Layout", "Top", 5));
    EXPECT_EQ(b.ReadInteger("layout", "top", 0), 5);
    ASSERT_TRUE(b.WriteInteger("Layout", "Top", 6));
    ASSERT_TRUE(b.WriteString("Layout", "Name", "b"));
    EXPECT_EQ(a.ReadInteger("Layout", "Top", 0), 6);
    EXPECT_EQ(a.ReadSection("Layout"), (std::vector<std::string>{"Top", "Name"}));
    ASSERT_TRUE(a.EraseSection("Layout"));
    EXPECT_FALSE(b.SectionExists("Layout"));
}

TEST(Ini, TwoProgramsWritingAtOnceLoseNothing) {
    TempSettings settings;
    constexpr int kKeys = 40;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const char* who = child == 0 ? "Child" : "Parent";
    TIniFile ini;
    bool ok = true;
    for (int i = 0; i < kKeys; ++i) ok = ini.WriteInteger(who, "Key" + std::to_string(i), i) && ok;
    if (child == 0) ::_exit(ok ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(ok);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ini.ReadSection("Child").size(), size_t(kKeys));
    EXPECT_EQ(ini.ReadSection("Parent").size(), size_t(kKeys));
}

TEST(Ini, AFailedWriteIsReportedAndKeepsTheOldFile) {
    TempSettings settings;
    settings.WriteIni("[MIDI]\nThru=1\n");
    TIniFile ini;
    for (auto op : {platform::FileOp::Create, platform::FileOp::Write, platform::FileOp::Sync,
                    platform::FileOp::Rename}) {
        platform::FailNextFileOp(op, 0, ENOSPC);
        EXPECT_FALSE(ini.WriteBool("MIDI", "Thru", false)) << int(op);
        EXPECT_NE(ini.Error().find("No space"), std::string::npos) << ini.Error();
        EXPECT_EQ(settings.IniText(), "[MIDI]\nThru=1\n");
    }
    // Texts that would break the file are refused rather than written.
    EXPECT_FALSE(ini.WriteString("MIDI", "Name", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("MIDI", "a=b", "1"));
    EXPECT_FALSE(ini.WriteString("MI]DI", "x", "1"));
    EXPECT_EQ(settings.IniText(), "[MIDI]\nThru=1\n");
    EXPECT_TRUE(ini.WriteBool("MIDI", "Thru", false));
    EXPECT_EQ(ini.Error(), "");
    EXPECT_EQ(settings.IniText(), "[MIDI]\nThru=0\n");
}

TEST(Ini, FloatsUseAPointAndRejectJunk) {
    TempSettings settings;
    settings.WriteIni("[Mix]\na=1.5\nb=+2e3\nc=1,5\nd=nan\n");
    TIniFile ini;
    EXPECT_EQ(ini.ReadFloat("Mix", "a", 0), 1.5);
    EXPECT_EQ(ini.ReadFloat("Mix", "b", 0), 2000.0);
    EXPECT_EQ(ini.ReadFloat("Mix", "c", -1), -1);
    EXPECT_EQ(ini.ReadFloat("Mix", "d", -1), -1);
    ASSERT_TRUE(ini.WriteFloat("Mix", "e", 1.0 / 3));
    EXPECT_EQ(ini.ReadFloat("Mix", "e", 0), 1.0 / 3);
}

namespace {

void ChangeInPlace(const std::string& Path, long Offset, char C) {
    std::FILE* f = std::fopen(Path.c_str(), "r+");
    ASSERT_NE(f, nullptr);
    std::fseek(f, Offset, SEEK_SET);
    std::fputc(C, f);
    std::fclose(f);
}

void SetTimes(const std::string& Path, std::time_t Seconds) {
    const timespec t[2] = {{Seconds, 0}, {Seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), t, 0), 0);
}

} // namespace

// A read may use the text of the last one, but never once the file changed: in place with the
// same size at once (the same tick of the file clock), in place with its times set back, or
// replaced by another program.
TEST(Ini, EveryChangeOfTheFileIsReadWhateverItsSizeAndTimes) {
    TempSettings settings;
    const std::string path = settings.IniPath();
    settings.WriteIni("[A]\nk=1\n");
    TIniFile ini;
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    ChangeInPlace(path, 6, '2');
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 2);

    const std::time_t old = std::time(nullptr) - 60;
    SetTimes(path, old);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 2);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 2);
    ChangeInPlace(path, 6, '3');
    SetTimes(path, old);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 3);

    settings.WriteIni("[A]\nk=4\n");
    SetTimes(path, old);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 4);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 0);
}

TEST(Ini, WritingTheValueAKeyHoldsLeavesTheFileAlone) {
    TempSettings settings;
    settings.WriteIni("[A]\nk=1\n");
    const std::string path = settings.IniPath();
    SetTimes(path, std::time(nullptr) - 60);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    TIniFile ini;
    EXPECT_TRUE(ini.WriteInteger("a", "K", 1));
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_TRUE(ini.WriteInteger("A", "k", 2));
    EXPECT_EQ(settings.IniText(), "[A]\nk=2\n");
}
