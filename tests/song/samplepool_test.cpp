#include "devices/dxsounds.h"
#include "song/songfile.h"
#include "song/undo.h"
#include "song_fixture.h"

#include <cstring>
#include <memory>

namespace {

class SamplePoolTest : public SongTest {
protected:
    TWaveCollectionItem* AddSample(const char* Name, const char* Data) {
        TWaveCollectionItem* item = Song->SamplePool->Items.Add();
        item->SetName(Name);
        item->Wave.SetPCMFormat(44100, 16, 1);
        item->Wave.SetSize(static_cast<int>(std::strlen(Data)));
        std::memcpy(item->Wave.Data(), Data, std::strlen(Data));
        return item;
    }
    static std::string DataOf(const TWave& W) {
        return std::string(reinterpret_cast<const char*>(W.Data()), W.Size());
    }
};

TEST_F(SamplePoolTest, TheSongOwnsAnEmptyPool) {
    ASSERT_NE(Song->SamplePool, nullptr);
    EXPECT_EQ(Song->SamplePool->Items.Count(), 0);
    ASSERT_NE(Song->AudioEngine, nullptr);
}

TEST_F(SamplePoolTest, UndoReplaceAndRecordNewReachThePool) {
    AddSample("a", "aaaa");
    TWaveCollectionItem* b = AddSample("b", "bbbb");
    auto copy = std::make_unique<TUndoWave>();
    copy->Wave.Assign(&b->Wave);
    Song->UndoStore->Begin(ukReplace, "Undo replace");
    Song->UndoStore->Arg1 = 1;
    Song->UndoStore->Name = "b before";
    Song->UndoStore->Extra = std::move(copy);
    b->SetName("b after");
    b->Wave.SetSize(2);
    std::memcpy(b->Wave.Data(), "zz", 2);
    Song->Undo();
    EXPECT_EQ(b->Name(), "b before");
    EXPECT_EQ(DataOf(b->Wave), "bbbb");

    Song->UndoStore->Begin(ukRecordNew, "Undo record");
    Song->UndoStore->Arg1 = 0;
    Song->UndoStore->Arg2 = -1;
    Song->Undo();
    ASSERT_EQ(Song->SamplePool->Items.Count(), 1);
    EXPECT_EQ(Song->SamplePool->Items.GetItem(0)->Name(), "b before");
}

TEST_F(SamplePoolTest, LoadingASongEmptiesThePool) {
    std::string path = settings.ConfigHome() + "song.seq";
    ASSERT_TRUE(SaveSongFile(path));
    AddSample("a", "aaaa");
    LoadSongFile(path);
    EXPECT_EQ(Song->SamplePool->Items.Count(), 0);
}

} // namespace
