#include "devices/dxsounds.h"
#include "support/temp_settings.h"
#include "wave_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

using namespace wavefix;
using platform::TMemoryStream;

namespace {

std::string Short(std::string_view S) {
    return std::string(1, static_cast<char>(S.size())) + std::string(S);
}

std::string Header(std::string_view Name, std::uint32_t Length) {
    std::string h = "\xff\x0a";
    h += '\0';
    h += Name;
    h += '\0';
    h += "\x30\x10";
    Le32(h, Length);
    return h;
}

// A component stream of the carrier with the given collection entries.
std::string Component(const std::string& Entries) {
    return "TPF0" + Short("TWaveCollectionComponent") + Short("") + Short("List") + "\x0e" +
           Entries + std::string(3, '\0');
}

std::string Bank(const std::string& Entries, std::string_view Name = "QUORVEXWAVECOLLECTION") {
    std::string c = Component(Entries);
    return Header(Name, static_cast<std::uint32_t>(c.size())) + c;
}

std::string Binary(const std::string& Bytes) {
    std::string s = "\x0a";
    Le32(s, static_cast<std::uint32_t>(Bytes.size()));
    return s + Bytes;
}

// An entry as the writer lays it out; Int is the encoded MaxPlayingCount value.
std::string Entry(const std::string& NameValue, bool Looped, const std::string& Int,
                  const std::string& WaveImage) {
    std::string e = "\x01";
    if (!NameValue.empty()) e += Short("Name") + NameValue;
    e += Short("Looped") + (Looped ? "\x09" : "\x08");
    e += Short("MaxPlayingCount") + Int;
    e += Short("Wave.WAVE") + Binary(WaveImage);
    return e + std::string(1, '\0');
}

std::string WaveImage(const TWave& W) {
    TMemoryStream m;
    W.SaveToStream(m);
    return std::string(m.View());
}

std::string Saved(const TWaveCollection& C) {
    TMemoryStream m;
    C.SaveToStream(m);
    return std::string(m.View());
}

void Load(TWaveCollection& C, std::string_view Bytes) {
    TMemoryStream m(Bytes);
    C.LoadFromStream(m);
}

TEST(SampleBank, EmptyPoolIsTheHeaderAndAnEmptyList) {
    TDXWaveList pool;
    std::string bytes = Saved(pool.Items);
    EXPECT_EQ(bytes, Bank(""));
    EXPECT_EQ(bytes.substr(0, WaveBankHeaderSize), Header("QUORVEXWAVECOLLECTION", 39));
    pool.Items.Add();
    Load(pool.Items, bytes);
    EXPECT_EQ(pool.Items.Count(), 0);
}

TEST(SampleBank, ThreeSamplesRoundTripByteForByte) {
    TDXWaveList pool;
    TWaveCollectionItem* a = pool.Items.Add();
    a->SetName("Kick");
    a->Looped = true;
    a->SetMaxPlayingCount(5);
    a->Wave.SetPCMFormat(44100, 16, 2);
    a->Wave.SetSize(4);
    std::memcpy(a->Wave.Data(), "\x01\x02\x03\x04", 4);
    TWaveCollectionItem* b = pool.Items.Add(); // no name, empty wave
    b->SetMaxPlayingCount(300);
    TWaveCollectionItem* c = pool.Items.Add();
    const std::string longName(300, 'n');
    c->SetName(longName);
    c->SetMaxPlayingCount(70000);
    c->Wave.SetPCMFormat(11025, 8, 1);
    c->Wave.SetSize(3);
    std::memcpy(c->Wave.Data(), "xyz", 3);

    std::string lstring = "\x0c";
    Le32(lstring, 300);
    const std::string expected =
        Bank(Entry("\x06" + Short("Kick"), true, "\x02\x05", WaveImage(a->Wave)) +
             Entry("", false, std::string("\x03\x2c\x01", 3), "") +
             Entry(lstring + longName, false, std::string("\x04\x70\x11\x01\x00", 5),
                   WaveImage(c->Wave)));
    const std::string bytes = Saved(pool.Items);
    EXPECT_EQ(bytes, expected);

    TDXWaveList back;
    back.Items.Add()->SetName("replaced");
    Load(back.Items, bytes);
    ASSERT_EQ(back.Items.Count(), 3);
    EXPECT_EQ(back.Items.GetItem(0)->Name(), "Kick");
    EXPECT_TRUE(back.Items.GetItem(0)->Looped);
    EXPECT_EQ(back.Items.GetItem(1)->Name(), "");
    EXPECT_EQ(back.Items.GetItem(1)->MaxPlayingCount(), 300);
    EXPECT_EQ(back.Items.GetItem(1)->Wave.Size(), 0);
    EXPECT_EQ(back.Items.GetItem(1)->Wave.FormatSize(), 0);
    EXPECT_EQ(back.Items.GetItem(2)->Name(), longName);
    EXPECT_EQ(back.Items.GetItem(2)->MaxPlayingCount(), 70000);
    EXPECT_EQ(WaveImage(back.Items.GetItem(2)->Wave), WaveImage(c->Wave));
    EXPECT_EQ(Saved(back.Items), bytes);
}

TEST(SampleBank, NegativeMaxPlayingCountIsKeptAsZero) {
    TDXWaveList pool;
    TWaveCollectionItem* i = pool.Items.Add();
    i->SetMaxPlayingCount(-7);
    EXPECT_EQ(i->MaxPlayingCount(), 0);
    EXPECT_EQ(Saved(pool.Items), Bank(Entry("", false, std::string("\x02\x00", 2), "")));
    // A stored negative value is read through the same writer.
    TDXWaveList back;
    Load(back.Items, Bank(Entry("", false, "\x02\xf9", "")));
    EXPECT_EQ(back.Items.GetItem(0)->MaxPlayingCount(), 0);
}

TEST(SampleBank, ReaderAcceptsOtherStringFormsOrderAndHeaderNames) {
    std::string wide = "\x12";
    Le32(wide, 3);
    wide += std::string("K\0\xe9\0\x3d\xd8", 6); // "K", "é", then an unpaired surrogate
    std::string utf8 = "\x14";
    Le32(utf8, 4);
    utf8 += "Sn\xc3\xa9";
    const std::string entries = "\x02\x07" + Entry("\x06" + Short("x"), false, std::string("\x02\x00", 2), "") +
                                Entry(wide, false, "\x02\x01", "") +
                                Entry(utf8, true, "\x02\x02", "");
    for (std::string_view name : {"QUORVEXWAVECOLLECTION", "", "OTHERNAME"}) {
        TDXWaveList pool;
        Load(pool.Items, Bank(entries, name));
        ASSERT_EQ(pool.Items.Count(), 3) << name;
        EXPECT_EQ(pool.Items.GetItem(0)->Name(), "x");
        EXPECT_EQ(pool.Items.GetItem(1)->Name(), "K\xc3\xa9\xef\xbf\xbd");
        EXPECT_EQ(pool.Items.GetItem(2)->Name(), "Sn\xc3\xa9");
    }
}

TEST(SampleBank, HostileStreamsStopWithTheirErrorAndKeepCompletedItems) {
    const std::string good = Entry("\x06" + Short("one"), false, "\x02\x01", "");
    std::string hugeBinary = "\x01" + Short("Wave.WAVE") + "\x0a\xff\xff\xff\x7f";
    std::string hugeString = "\x01" + Short("Name") + "\x0c\xff\xff\xff\xff";
    std::string hugeWide = "\x01" + Short("Name") + "\x12\xff\xff\xff\x7f";
    std::string badWave = "\x01" + Short("Wave.WAVE") + Binary("RIFX0000WAVE");
    std::string bank = Bank(good + good);
    struct Case {
        const char* what;
        std::string bytes, error;
        int kept;
    } cases[] = {
        {"not 0xFF", "\xfe" + bank.substr(1), "Invalid stream format", 0},
        {"resource type", bank.substr(0, 1) + "\x0b" + bank.substr(2), "Invalid stream format", 0},
        {"empty stream", "", "Invalid stream format", 0},
        {"signature", Header("X", 0) + "TPF1", "Invalid stream format", 0},
        {"header only", Header("X", 0), "Stream read error", 0},
        {"unknown property", Bank(good + "\x01" + Short("Colour") + "\x02\x01\x00"),
         "Property Colour does not exist", 1},
        {"unknown root property", Header("X", 0) + "TPF0" + Short("C") + Short("") + Short("Lis"),
         "Property Lis does not exist", 0},
        {"wrong value type", Bank(good + "\x01" + Short("Looped") + "\x02\x01\x00"),
         "Invalid property value", 1},
        {"item without list marker", Bank(good + "\x06"), "Invalid property value", 1},
        {"bad wave block", Bank(good + badWave + "\x00"), "Wave is invalid", 1},
        {"binary longer than the stream", Bank(good + hugeBinary), "Stream read error", 1},
        {"string longer than the stream", Bank(good + hugeString), "Stream read error", 1},
        {"wide string longer than the stream", Bank(good + hugeWide), "Stream read error", 1},
        {"child component",
         Header("X", 0) + Component(good).substr(0, Component(good).size() - 1) + Short("TButton") +
             Short("b"),
         "Class TButton not found", 1},
    };
    for (const Case& c : cases) {
        TDXWaveList pool;
        pool.Items.Add();
        EXPECT_EQ(ErrorOf([&] { Load(pool.Items, c.bytes); }), c.error) << c.what;
        EXPECT_EQ(pool.Items.Count(), c.kept) << c.what;
    }
    // Cut short anywhere: an error, and never more than the items completed before the cut.
    for (std::size_t n = 0; n < bank.size(); ++n) {
        TDXWaveList pool;
        EXPECT_NE(ErrorOf([&] { Load(pool.Items, bank.substr(0, n)); }), "") << n;
        EXPECT_LE(pool.Items.Count(), 2) << n;
    }
}

TEST(SampleBank, ItemAccessAndFiles) {
    TempDir dir;
    TDXWaveList pool;
    pool.Items.Add()->SetName("a");
    pool.Items.Add()->SetName("b");
    pool.Items.Add()->SetName("c");
    EXPECT_EQ(ErrorOf([&] { pool.Items.GetItem(3); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { pool.Items.GetItem(-1); }), "List index out of bounds (-1)");
    pool.Items.Delete(0);
    EXPECT_EQ(pool.Items.GetItem(0)->Name(), "b");
    EXPECT_EQ(pool.Items.GetItem(1)->Index(), 1);
    EXPECT_EQ(pool.Items.Owner(), &pool);

    std::string path = dir.Path() + "song.dxg";
    pool.Items.SaveToFile(path);
    TDXWaveList back;
    back.Items.LoadFromFile(path);
    ASSERT_EQ(back.Items.Count(), 2);
    EXPECT_EQ(back.Items.GetItem(1)->Name(), "c");
    EXPECT_EQ(ErrorOf([&] { back.Items.LoadFromFile(dir.Path() + "none.dxg"); })
                  .rfind("Cannot open file", 0),
              0u);
}

} // namespace
