#include "gdi_fixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include "tolvern_gdi.h"

TEST(GdiCInterface, ALoadedLibraryFillsARectangle) {
    void* lib = dlopen(TOLVERN_BIN_DIR "/../tests/libgdiprobe.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using Fill = int32_t (*)(TvHandle, const TvRect*, TvColor);
    auto fill = reinterpret_cast<Fill>(dlsym(lib, "ProbeFill"));
    ASSERT_NE(fill, nullptr);

    gdi_test::Dc s(6, 4);
    TvRect r{1, 1, 4, 3};
    EXPECT_EQ(fill(s.dc, &r, 0x0000FF), 1);
    EXPECT_EQ(s.Count(0xFFFF0000u), 6);
    EXPECT_EQ(s.At(1, 1), 0xFFFF0000u);
    EXPECT_EQ(s.At(4, 1), 0xFF000000u);
    // System colours work across the interface too.
    TvRect one{0, 0, 1, 1};
    fill(s.dc, &one, 0x8000000F);
    EXPECT_EQ(s.At(0, 0), 0xFFC0C0C0u);

    using Label = int32_t (*)(TvHandle, const char*, TvRect*);
    auto label = reinterpret_cast<Label>(dlsym(lib, "ProbeLabel"));
    ASSERT_NE(label, nullptr);
    gdi_test::Dc t(60, 20, 0xFFFFFFFFu);
    TvRect all{0, 0, 60, 20};
    EXPECT_GT(label(t.dc, "Mute", &all), 0);
    EXPECT_GT(t.Count(0xFF000000u), 10);
    dlclose(lib);
}
