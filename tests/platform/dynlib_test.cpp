#include "platform/core/dynlib.h"
#include "platform/core/paths.h"
#include "support/fake_library.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
int FakeEntry() {
    return 7;
}
} // namespace

TEST(DynLib, StoredNamesMapToSharedObjects) {
    struct Case {
        const char *stored, *file;
    } cases[] = {
        {"reverb", "reverb.so"},
        {"Reverb.dll", "Reverb.so"},
        {"fx\\Reverb.DLL", "fx/Reverb.so"},
        {"synth\\sub\\organ", "synth/sub/organ.so"},
        {"system/drv.so", "system/drv.so"},
        {"libx.so.1", "libx.so.1.so"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LibraryFileName(c.stored), c.file) << c.stored;
}

TEST(DynLib, LookupIgnoresCaseBelowTheFolder) {
    TempProgramFolder folder;
    std::string organ = folder.WriteFile("synth/Sub/Organ.so", "");
    std::string odd = folder.WriteFile("fx/libq.so.2", "");
    struct Case {
        const char* stored;
        std::string want;
    } cases[] = {
        {"synth\\sub\\organ", organ},
        {"SYNTH\\SUB\\ORGAN.DLL", organ},
        {"synth/Sub/Organ.so", organ},
        {"fx\\libq.so.2", odd},
        {"synth\\organ", ""},
        {"synth\\sub\\organ.exe", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLibraryPath(c.stored), c.want) << c.stored;
    EXPECT_EQ(ResolveLibraryPath("sub\\ORGAN", folder.Path() + "synth"), organ);
    EXPECT_EQ(ResolveLibraryPath(ToStoredPath(organ)), organ); // absolute, stored form
}

TEST(DynLib, LoadsARealLibrary) {
    std::string dir = TOLVERN_TEST_LIB_DIR;
    HMODULE h = LoadLibrary("sub\\dyntest.dll", dir);
    ASSERT_NE(h, 0) << LibraryError();
    EXPECT_FALSE(IsFakeLibrary(h));
    EXPECT_EQ(ModuleFileName(h), dir + "/Sub/DynTest.so");
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(h, "DynTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(h, "Missing"), nullptr);
    EXPECT_NE(LibraryError().find("Missing"), std::string::npos);
    HMODULE again = LoadLibrary(dir + "/SUB/DYNTEST");
    EXPECT_EQ(again, h); // loads are counted like the system's
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_NE(GetProcAddress(h, "DynTestAnswer"), nullptr);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_FALSE(FreeLibrary(h));
    EXPECT_EQ(GetProcAddress(h, "DynTestAnswer"), nullptr);

    EXPECT_EQ(LoadLibrary("sub\\missing", dir), 0);
    EXPECT_NE(LibraryError().find("missing"), std::string::npos);
    TempProgramFolder folder;
    folder.WriteFile("fx/Broken.so", "not a library");
    EXPECT_EQ(LoadLibrary("fx\\broken.dll"), 0);
    EXPECT_FALSE(LibraryError().empty());
}

TEST(DynLib, FakeLibrariesComeFirst) {
    TempProgramFolder folder;
    folder.WriteFile("fx/Reverb.so", "not a library"); // what a folder scan would list
    HMODULE h = 0, other = 0;
    {
        FakeLibrary reverb("fx\\reverb", {{"MFXConnect", FakeLibrary::Entry(&FakeEntry)}});
        FakeLibrary any("reverb", {});
        h = LoadLibrary("FX\\Reverb.dll");
        ASSERT_NE(h, 0) << LibraryError();
        EXPECT_TRUE(IsFakeLibrary(h));
        auto entry = reinterpret_cast<int (*)()>(GetProcAddress(h, "MFXConnect"));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(), 7);
        EXPECT_EQ(GetProcAddress(h, "mfxconnect"), nullptr);    // entry names keep their case
        other = LoadLibrary(folder.Path() + "synth/reverb.so"); // the plain "reverb"
        ASSERT_NE(other, 0);
        EXPECT_NE(other, h);
        EXPECT_EQ(GetProcAddress(other, "MFXConnect"), nullptr);
    }
    EXPECT_NE(GetProcAddress(h, "MFXConnect"), nullptr); // loaded modules keep their table
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_TRUE(FreeLibrary(other));
    EXPECT_EQ(LoadLibrary("fx\\reverb"), 0); // now the file, which is not a library
}
