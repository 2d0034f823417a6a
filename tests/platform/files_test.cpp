#include "platform/core/dynlib.h"
#include "platform/core/filemap.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace platform;

class Files : public ::testing::Test {
protected:
    void TearDown() override { ClearFileFailures(); }
    TempDir dir;
};

TEST_F(Files, StreamReadsWritesAndSeeks) {
    std::string path = dir.Path() + "data.bin";
    TFileStream f(path, TFileMode::Create);
    ASSERT_TRUE(f.IsOpen()) << f.Error();
    std::string big(200000, 'x'); // beyond the write buffer
    EXPECT_TRUE(f.Write("head"));
    EXPECT_TRUE(f.Write(big));
    EXPECT_EQ(f.Position(), 200004);
    EXPECT_EQ(f.Size(), 200004);
    EXPECT_EQ(f.Seek(2), 2);
    EXPECT_TRUE(f.Write("AD"));
    EXPECT_EQ(f.Seek(-1, TSeekOrigin::End), 200003);
    char c = 0;
    EXPECT_TRUE(f.ReadExact(&c, 1));
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(f.Read(&c, 1), 0u); // at the end
    EXPECT_TRUE(f.SetSize(6));
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(dir.ReadFile("data.bin"), "heADxx");

    TFileStream r(path, TFileMode::Read);
    char buf[16];
    EXPECT_EQ(r.Read(buf, sizeof buf), 6u);
    EXPECT_FALSE(r.ReadExact(buf, 1));
    EXPECT_FALSE(r.Write("no")); // read only: the error shows
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Close());

    TFileStream missing(dir.Path() + "missing", TFileMode::Read);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(missing.Error().find("missing"), std::string::npos);
    TFileStream folder(dir.Path(), TFileMode::ReadWrite);
    EXPECT_FALSE(folder.IsOpen());
}

TEST_F(Files, InjectedFailuresShowWhereTheyHappen) {
    std::string path = dir.Path() + "f.bin";
    FailNextFileOp(FileOp::Create, 0, ENOSPC);
    TFileStream a(path, TFileMode::Create);
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(a.ErrorCode(), ENOSPC);

    // The second write syscall fails: buffered bytes meet it at Close.
    FailNextFileOp(FileOp::Write, 1);
    TFileStream b(path, TFileMode::Create);
    EXPECT_TRUE(b.Write(std::string(100000, 'a'))); // first syscall
    EXPECT_TRUE(b.Write("tail"));                   // buffered
    EXPECT_FALSE(b.Close());
    EXPECT_EQ(b.ErrorCode(), EIO);
    EXPECT_FALSE(b.Write("more")); // the error stays

    FailNextFileOp(FileOp::OpenWrite);
    TFileStream c(path, TFileMode::ReadWrite);
    EXPECT_FALSE(c.IsOpen());
    TFileStream d(path, TFileMode::Read); // reading is not writing
    EXPECT_TRUE(d.IsOpen());
}

TEST_F(Files, AFailedSaveLeavesTheOldFileIntact) {
    std::string path = dir.WriteFile("song.seq", "old contents");
    for (auto op : {FileOp::Create, FileOp::Write, FileOp::Sync, FileOp::Rename}) {
        FailNextFileOp(op, 0, ENOSPC);
        std::string error;
        EXPECT_FALSE(SaveFileAtomic(path, "new contents", &error)) << int(op);
        EXPECT_NE(error.find("song.seq: No space"), std::string::npos) << error;
        EXPECT_EQ(dir.ReadFile("song.seq"), "old contents");
    }
    // No temporary files left behind.
    EXPECT_EQ(FindFilesRecursive(dir.Path()), std::vector<std::string>{path});

    ASSERT_TRUE(SaveFileAtomic(path, "new contents"));
    EXPECT_EQ(dir.ReadFile("song.seq"), "new contents");

    // Saving through a link replaces the file it points to and keeps the link.
    ASSERT_EQ(::symlink("song.seq", (dir.Path() + "link.seq").c_str()), 0);
    ASSERT_TRUE(SaveFileAtomic(dir.Path() + "link.seq", "via link"));
    EXPECT_EQ(dir.ReadFile("song.seq"), "via link");
    char target[64] = {};
    EXPECT_GT(::readlink((dir.Path() + "link.seq").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "song.seq");
}

TEST_F(Files, AtomicFileUnfinishedIsDiscarded) {
    std::string path = dir.WriteFile("bank.dxg", "old");
    {
        TAtomicFile f(path);
        ASSERT_TRUE(f.Open());
        EXPECT_TRUE(f.Stream().Write("half"));
        EXPECT_TRUE(FileExists(f.TempName()));
    } // an exception or early return: nothing committed
    EXPECT_EQ(dir.ReadFile("bank.dxg"), "old");
    EXPECT_EQ(FindFilesRecursive(dir.Path()).size(), 1u);
}

TEST_F(Files, MapsWholeFiles) {
    std::string path = dir.WriteFile("map.bin", "abcdef");
    TFileMap ro(path);
    ASSERT_TRUE(ro.IsOpen()) << ro.Error();
    EXPECT_EQ(ro.Bytes(), "abcdef");
    EXPECT_EQ(ro.MutableData(), nullptr);
    {
        TFileMap rw(path, TFileMap::Access::ReadWrite);
        ASSERT_TRUE(rw.IsOpen()) << rw.Error();
        rw.MutableData()[0] = 'X';
        EXPECT_TRUE(rw.Flush());
    }
    EXPECT_EQ(ro.Bytes(), "Xbcdef"); // shared with the file
    EXPECT_EQ(dir.ReadFile("map.bin"), "Xbcdef");

    TFileMap empty(dir.WriteFile("empty.bin", ""));
    EXPECT_TRUE(empty.IsOpen());
    EXPECT_EQ(empty.Size(), 0u);

    TFileMap missing(dir.Path() + "missing.bin");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(missing.Error().find("missing.bin"), std::string::npos);
    TFileMap folder(dir.Path());
    EXPECT_FALSE(folder.IsOpen());

    FailNextFileOp(FileOp::Map);
    TFileMap failed(path);
    EXPECT_FALSE(failed.IsOpen());
    EXPECT_NE(failed.Error().find("Cannot map"), std::string::npos);
    TFileMap moved = std::move(ro);
    EXPECT_FALSE(ro.IsOpen());
    EXPECT_EQ(moved.Bytes(), "Xbcdef");

    // A file read through, small or mapped, and the failures it shares with maps.
    const std::string big(TFileMap::ReadWholeBelow + 3, 'b');
    for (const std::string& bytes : {std::string("small"), big}) {
        SCOPED_TRACE(bytes.size());
        const std::string file = dir.WriteFile("through.bin", bytes);
        TFileMap through(file, TFileMap::Access::ReadThrough);
        ASSERT_TRUE(through.IsOpen()) << through.Error();
        EXPECT_EQ(through.Bytes(), bytes);
        EXPECT_EQ(through.MutableData(), nullptr);
        TFileMap next = std::move(through);
        EXPECT_EQ(next.Bytes(), bytes);
        FailNextFileOp(FileOp::Map);
        EXPECT_FALSE(TFileMap(file, TFileMap::Access::ReadThrough).IsOpen());
    }
    EXPECT_FALSE(TFileMap(dir.Path(), TFileMap::Access::ReadThrough).IsOpen());
}

// A fuzzer confines what the program opens: streams, maps and libraries outside fail.
TEST_F(Files, AnOpenHookConfinesFilesAndLibraries) {
    static std::string allowed;
    allowed = dir.Path();
    SetFileOpenHook([](std::string_view p) { return p.rfind(allowed, 0) == 0; });
    std::string inside = dir.WriteFile("in.bin", "x");
    EXPECT_TRUE(TFileStream(inside, TFileMode::Read).IsOpen());
    EXPECT_TRUE(TFileMap(inside).IsOpen());
    TFileStream out("/tmp/../" + inside.substr(1), TFileMode::Read);
    EXPECT_FALSE(out.IsOpen());
    EXPECT_NE(out.Error().find("Permission denied"), std::string::npos);
    EXPECT_FALSE(TFileMap(std::string(TOLVERN_TEST_LIB_DIR) + "/Sub/DynTest.so").IsOpen());
    EXPECT_EQ(LoadLibrary(std::string(TOLVERN_TEST_LIB_DIR) + "/Sub/DynTest.so"), 0);
    SetFileOpenHook(nullptr);
    HMODULE h = LoadLibrary(std::string(TOLVERN_TEST_LIB_DIR) + "/Sub/DynTest.so");
    EXPECT_NE(h, 0);
    FreeLibrary(h);
}
