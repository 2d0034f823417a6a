#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace platform;

TEST(Paths, ProgramFolderIsTheExecutablesUnlessSet) {
    std::string real = ProgramFolder();
    ASSERT_EQ(real.back(), '/');
    EXPECT_TRUE(FileExists(real + "test_platform"));
    {
        TempProgramFolder folder;
        EXPECT_EQ(ProgramFolder(), folder.Path());
        EXPECT_TRUE(DirectoryExists(folder.Path() + "recpool"));
    }
    EXPECT_EQ(ProgramFolder(), real);
}

TEST(Paths, InstallFilesAreFoundWithoutRegardToCase) {
    TempProgramFolder folder;
    std::string reverb = folder.WriteFile("fx/Reverb.SO", "x");
    std::string look = folder.WriteFile("skin/Default/Look.gui", "x");
    struct Case {
        const char* relative;
        std::string want;
    } cases[] = {
        {"fx/Reverb.SO", reverb},
        {"FX\\reverb.so", reverb},
        {"skin:default:LOOK.GUI", look},
        {"\\Skin\\DEFAULT/./look.gui", look},
        {"skin/default", folder.Path() + "skin/Default"},
        {"fx/missing.so", ""},
        {"../fx/Reverb.SO", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindInstallFile(c.relative), c.want) << c.relative;
    // An exact spelling wins over another that differs only in case.
    std::string lower = folder.WriteFile("fx/reverb.so", "y");
    EXPECT_EQ(FindInstallFile("fx/reverb.so"), lower);
    EXPECT_EQ(FindInstallFile("fx/Reverb.SO"), reverb);
}

TEST(Paths, PathTextAcceptsEverySeparator) {
    struct Case {
        const char* path;
        const char *name, *dir, *ext;
    } cases[] = {
        {"C:\\Songs\\demo.seq", "demo.seq", "C:\\Songs", ".seq"},
        {"/home/u/a.b/song", "song", "/home/u/a.b", ""},
        {"synth:Organ.dll", "Organ.dll", "synth:", ".dll"},
        {"plain.wav", "plain.wav", "", ".wav"},
        {"/top.mid", "top.mid", "/", ".mid"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(ExtractFileDir(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
    }
    EXPECT_EQ(ExtractFilePath("fx\\sub/x.dll"), "fx\\sub/");
    EXPECT_EQ(ChangeFileExt("a.b\\song.seq", ".dxg"), "a.b\\song.dxg");
    EXPECT_EQ(ChangeFileExt("a.b\\song", ".dxg"), "a.b\\song.dxg");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x"), "/x/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("x\\"), "x\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/x//"), "/x");
    EXPECT_EQ(ToNativePath("fx\\sub\\a"), "fx/sub/a");
    EXPECT_EQ(ToStoredPath("fx/sub/a"), "fx\\sub\\a");
}

TEST(Paths, MasksMatchWithoutRegardToCase) {
    struct Case {
        const char *name, *mask;
        bool want;
    } cases[] = {
        {"Song.SEQ", "*.seq;*.mid", true},
        {"a.mid", "*.seq; *.mid", true},
        {"a.midi", "*.mid", false},
        {"noext", "*.*", true},
        {"abc", "a?c", true},
        {"abbc", "a?c", false},
        {"x.wav", "", true},
        {"take1.wav", "take*.wav", true},
        {"mytake.wav", "take*", false},
        {"a.b.c", "*.c", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.want) << c.name << " " << c.mask;
}

TEST(Paths, ForceDirectoriesAndListing) {
    TempDir dir;
    std::string deep = dir.Path() + "a/b/c";
    ASSERT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep + "/")); // existing is fine
    dir.WriteFile("a/Zeta.wav", "12345");
    dir.WriteFile("a/alpha.WAV", "");
    dir.WriteFile("a/notes.txt", "t");
    ASSERT_EQ(::symlink("Zeta.wav", (dir.Path() + "a/link.wav").c_str()), 0);

    std::vector<TDirEntry> entries;
    ASSERT_TRUE(ListDirectory(dir.Path() + "a", entries));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].Name, "alpha.WAV");
    EXPECT_EQ(entries[1].Name, "b");
    EXPECT_TRUE(entries[1].IsDir);
    EXPECT_EQ(entries[2].Name, "link.wav");
    EXPECT_TRUE(entries[2].IsLink);
    EXPECT_EQ(entries[2].Size, 5u);
    EXPECT_EQ(entries[4].Name, "Zeta.wav");
    EXPECT_EQ(entries[4].Size, 5u);
    EXPECT_FALSE(entries[4].IsDir);
    EXPECT_GT(entries[4].Time, 1600000000);

    ASSERT_TRUE(ListDirectory(dir.Path() + "a", entries, "*.wav"));
    EXPECT_EQ(entries.size(), 3u);

    std::string error;
    EXPECT_FALSE(ListDirectory(dir.Path() + "missing", entries, "", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    // A file in the way of a folder, and a refused mkdir, are reported.
    EXPECT_FALSE(ForceDirectories(dir.Path() + "a/notes.txt/sub", &error));
    FailNextFileOp(FileOp::MakeDir);
    EXPECT_FALSE(ForceDirectories(dir.Path() + "new/one", &error));
    EXPECT_NE(error.find("new"), std::string::npos);
    EXPECT_FALSE(DirectoryExists(dir.Path() + "new"));
}

TEST(Paths, RecursiveFindEndsInLinkLoops) {
    TempDir dir;
    dir.WriteFile("root/a.wav", "");
    dir.WriteFile("root/sub/b.WAV", "");
    dir.WriteFile("root/sub/c.txt", "");
    dir.WriteFile("elsewhere/d.wav", "");
    std::string root = dir.Path() + "root";
    ASSERT_EQ(::symlink("..", (root + "/sub/up").c_str()), 0);          // loops back to root
    ASSERT_EQ(::symlink(".", (root + "/self").c_str()), 0);             // loops on itself
    ASSERT_EQ(::symlink("../elsewhere", (root + "/other").c_str()), 0); // followed once
    ASSERT_EQ(::symlink("nowhere", (root + "/dangling").c_str()), 0);

    auto found = FindFilesRecursive(root, "*.wav");
    std::vector<std::string> want{root + "/a.wav", root + "/other/d.wav", root + "/sub/b.WAV"};
    EXPECT_EQ(found, want);
}
