// The skin binding with the test skin from the program folder's skin/, and fakes for the
// libraries that cannot serve.
#include "mscroll_fixture.h"

#include "gui/skinbind.h"
#include "platform/core/dynlib.h"
#include "support/temp_settings.h"
#include "testskin.h"

namespace gui_test {
namespace {

const std::string kSkin = TOLVERN_BIN_DIR "/skin/TestSkin.dll";
const std::string kSkin2 = TOLVERN_BIN_DIR "/skin/testskin2.dll";
constexpr TColor kSkinColour = 0x00C000;

// Keeps a skin library mapped so that its record survives the binding freeing it.
class SkinProbe {
public:
    explicit SkinProbe(const std::string& path) : lib_(LoadLibrary(path)) {
        reset_ = reinterpret_cast<TestSkinResetFn>(GetProcAddress(lib_, "TestSkinReset"));
        count_ = reinterpret_cast<TestSkinCallCountFn>(GetProcAddress(lib_, "TestSkinCallCount"));
        get_ = reinterpret_cast<TestSkinGetCallFn>(GetProcAddress(lib_, "TestSkinGetCall"));
        answer_ = reinterpret_cast<TestSkinAnswerFn>(GetProcAddress(lib_, "TestSkinAnswer"));
        reset_();
        answer_("", kSkinColour);
    }
    ~SkinProbe() { FreeLibrary(lib_); }
    bool Ok() const { return lib_ && reset_ && count_ && get_ && answer_; }
    void Answer(const char* types) { answer_(types, kSkinColour); }
    void Reset() { reset_(); }
    std::vector<TestSkinCall> Calls() const {
        std::vector<TestSkinCall> v(static_cast<std::size_t>(count_()));
        for (int i = 0; i < int(v.size()); ++i)
            get_(i, &v[std::size_t(i)]);
        return v;
    }
    int Count(intptr_t op) const {
        int n = 0;
        for (const TestSkinCall& c : Calls())
            n += c.Op == op;
        return n;
    }
    // The last paint request for a type.
    TestSkinCall Last(const std::string& type) const {
        TestSkinCall found{};
        for (const TestSkinCall& c : Calls())
            if (c.Op == TV_SKIN_PAINT && type == c.Type) found = c;
        return found;
    }

private:
    HMODULE lib_;
    TestSkinResetFn reset_;
    TestSkinCallCountFn count_;
    TestSkinGetCallFn get_;
    TestSkinAnswerFn answer_;
};

class Skins : public HostTest {
protected:
    TempSettings settings;
    TSkinBinding& bind = SkinBinding();
    SkinProbe probe{kSkin};

    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(probe.Ok());
        bind.Hosts.ArrangeScrolly = host;
    }
    void TearDown() override {
        bind.UnloadSkin();
        bind.Hosts = {};
        bind.SkinLibrary = 0;
        HostTest::TearDown();
    }
};

TEST_F(Skins, EmptySettingLoadsNothing) {
    settings.WriteIni("[skin]\nfilename=\n");
    bind.LoadSkinFromSettings();
    EXPECT_FALSE(bind.SkinLoaded);
    EXPECT_EQ(bind.SkinLibrary, 0);
    EXPECT_EQ(bind.Skin, nullptr);
    EXPECT_TRUE(probe.Calls().empty());
}

TEST_F(Skins, SettingLoadsTheNamedSkinWithoutApplyingIt) {
    settings.WriteIni("[skin]\nfilename=" + kSkin + "\n");
    bind.LoadSkinFromSettings();
    EXPECT_TRUE(bind.SkinLoaded);
    EXPECT_NE(bind.SkinLibrary, 0);
    EXPECT_EQ(bind.SkinFileName, "TestSkin.dll");
    EXPECT_EQ(probe.Count(TV_SKIN_CONNECT), 1);
    EXPECT_EQ(host->Skin, nullptr);
    bind.WMApplySkin();
    EXPECT_EQ(host->Skin, bind.Skin);
}

TEST_F(Skins, SkinAnsweringOnlyForFadersShowsOnFadersAlone) {
    TGuiFader* f = host->AddFader("vol", 0, 127, 100, 128, nullptr);
    TGuiButton* b = host->AddButton("b", "B", 0, nullptr);
    b->Left = 200, b->Top = 4, b->Right = 240, b->Bottom = 20;
    TGuiImageButton* i = host->AddIconButton("zoom", "", 4, alNone, 0, nullptr, 0);
    i->Left = 250, i->Top = 4, i->Right = 268, i->Bottom = 20;
    probe.Answer("fader");
    bind.LoadSkinPlugin(kSkin, true);
    EXPECT_EQ(Pixel(5, 10), Rgb(kSkinColour));
    EXPECT_EQ(Pixel(120, 10), Rgb(kSkinColour));
    EXPECT_EQ(Pixel(201, 5), Rgb(GuiFace())); // never offered to the skin
    EXPECT_EQ(Pixel(252, 6), Rgb(kGuiSilver));
    const TestSkinCall fader = probe.Last("fader");
    EXPECT_EQ(fader.Answer, 1);
    EXPECT_EQ(
        TRect(fader.Rec.Rect.left, fader.Rec.Rect.top, fader.Rec.Rect.right, fader.Rec.Rect.bottom),
        TRect(0, 0, 128, 16));
    EXPECT_EQ(std::pair(fader.Rec.X, fader.Rec.Y), std::pair(0, 4));
    EXPECT_EQ(fader.Rec.Tail.Fader.Min, 0);
    EXPECT_EQ(fader.Rec.Tail.Fader.Max, 127);
    EXPECT_EQ(fader.Rec.Tail.Fader.Position, 100);
    EXPECT_STREQ(fader.Text, "100");
    EXPECT_EQ(fader.Rec.Flags, 0u);
    f->Enabled = false;
    f->Pressed = true;
    f->Redraw();
    EXPECT_EQ(probe.Last("fader").Rec.Flags, unsigned(TV_SKIN_PRESSED | TV_SKIN_DISABLED));
    const TestSkinCall icon = probe.Last("imagebutton");
    EXPECT_STREQ(icon.Text, "zoomin");
    EXPECT_EQ(icon.Rec.Tail.Image.One, 1);
    EXPECT_EQ(icon.Rec.Tail.Image.Rect2.right, 18);
    EXPECT_EQ(icon.Answer, 0);
}

TEST_F(Skins, TransparentLabelGetsTheHostCanvasShiftedOpaqueOneABitmap) {
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 0, box->Top = 0, box->Right = 300, box->Bottom = 100;
    TGuiLabel* t = host->AddLabel("Lane", alNone, box);
    t->AutoSize = false;
    t->Left = 10, t->Top = 40, t->Right = 70, t->Bottom = 60;
    TGuiLabel* o = host->AddLabel("Solo", alNone, box);
    o->AutoSize = false, o->Transparent = false;
    o->Left = 100, o->Top = 40, o->Right = 160, o->Bottom = 60;
    TGuiLabel* filler = host->AddLabel("", alNone, box);
    filler->Top = 0, filler->Bottom = 200;
    box->ScrollY = 30;
    probe.Answer("label");
    bind.LoadSkinPlugin(kSkin, true);
    const auto calls = probe.Calls();
    TestSkinCall tc{}, oc{};
    for (const TestSkinCall& c : calls)
        if (c.Op == TV_SKIN_PAINT && std::string(c.Text) == "Lane")
            tc = c;
        else if (c.Op == TV_SKIN_PAINT && std::string(c.Text) == "Solo")
            oc = c;
    EXPECT_EQ(TRect(tc.Rec.Rect.left, tc.Rec.Rect.top, tc.Rec.Rect.right, tc.Rec.Rect.bottom),
              TRect(10, 10, 70, 30));
    EXPECT_EQ(tc.Rec.Flags, unsigned(TV_SKIN_TRANSPARENT));
    EXPECT_EQ(std::pair(tc.Rec.X, tc.Rec.Y), std::pair(10 - 30, 10));
    EXPECT_EQ(Pixel(20, 20), Rgb(kSkinColour)); // drawn on the host itself
    EXPECT_EQ(TRect(oc.Rec.Rect.left, oc.Rec.Rect.top, oc.Rec.Rect.right, oc.Rec.Rect.bottom),
              TRect(0, 0, 60, 20));
    EXPECT_NE(oc.A, tc.A); // a bitmap's context, not the host's
    EXPECT_EQ(Pixel(110, 20), Rgb(kSkinColour));
}

TEST_F(Skins, ComboZonesAndScrollBarParts) {
    TGuiEnum* two = host->AddEnum("", 100, alNone, nullptr);
    two->Left = 0, two->Right = 100;
    two->AddItem("GM");
    TGuiEnum* one = host->AddEnum("", 100, alNone, nullptr);
    one->Left = 120, one->Right = 220;
    one->DropDown = true;
    one->AddItem("GS");
    bind.LoadSkinPlugin(kSkin, true);
    TestSkinCall a{}, b{};
    for (const TestSkinCall& c : probe.Calls())
        if (c.Op == TV_SKIN_PAINT && std::string(c.Type) == "combo") (c.Rec.X == 0 ? a : b) = c;
    EXPECT_EQ(a.Rec.Tail.Combo.Zones, 2);
    EXPECT_EQ(a.Rec.Tail.Combo.Zone1.right, 16);
    EXPECT_EQ(a.Rec.Tail.Combo.Zone2.left, 84);
    EXPECT_STREQ(a.Text, "GM");
    EXPECT_EQ(b.Rec.Tail.Combo.Zones, 1);
    EXPECT_EQ(b.Rec.Tail.Combo.Zone1.left, 84);
    // The open list's host takes the skin while open and lets it go when closed.
    gui.Click(At(150, 10));
    ASSERT_FALSE(one->ListClosed);
    EXPECT_EQ(one->ListHost->Skin, bind.Skin);
    EXPECT_EQ(probe.Last("scrollbar").Rec.Flags, 0u);
    gui.Press(At(350, 250));
    EXPECT_TRUE(one->ListClosed);
    EXPECT_EQ(one->ListHost->Skin, nullptr);
}

TEST_F(Skins, NoneDisconnectsOnceFreesAndRepaintsTheHostsBuiltIn) {
    TGuiFader* f = host->AddFader("vol", 0, 127, 0, 128, nullptr);
    f->OnGetText = [](TGuiFader*, std::string& t) { t.clear(); };
    // Ten more hosts in the slots, and an editor strip that copied the skin when built.
    std::vector<TMScroll*> more;
    for (int i = 0; i < 11; ++i) {
        auto* h = new TMScroll(form.get());
        h->Parent = form.get();
        h->SetBounds(0, 300, 10, 10);
        more.push_back(h);
    }
    TSkinHosts& s = bind.Hosts;
    TMScroll** slots[] = {&s.ArrangeScrollx, &s.ArrangeColumns, &s.ArrangeMixer, &s.KeyScrolly,
                          &s.KeyScrollx,     &s.KeyColumns,     &s.AudioScrolly, &s.AudioScrollx,
                          &s.AudioColumns,   &s.MidiFaders};
    for (int i = 0; i < 10; ++i)
        *slots[i] = more[std::size_t(i)];
    probe.Answer("fader");
    bind.LoadSkinPlugin(kSkin, true);
    more[10]->Skin = bind.Skin;
    EXPECT_EQ(Pixel(5, 10), Rgb(kSkinColour));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ((*slots[i])->Skin, bind.Skin);
    bind.LoadSkinPlugin("", true);
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 1);
    EXPECT_EQ(bind.SkinLibrary, 0);
    EXPECT_EQ(bind.Skin, nullptr);
    EXPECT_FALSE(bind.SkinLoaded);
    EXPECT_EQ(bind.SkinFileName, "");
    EXPECT_EQ(Pixel(5, 10), Rgb(GuiFace()));
    for (TMScroll* h : more)
        EXPECT_EQ(h->Skin, nullptr);
    EXPECT_EQ(host->Skin, nullptr);
    // Shut-down with nothing loaded sends nothing more.
    bind.UnloadSkin();
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 1);
}

TEST_F(Skins, ShutDownDisconnectsExactlyOnce) {
    bind.LoadSkinPlugin(kSkin, true);
    probe.Reset();
    bind.UnloadSkin();
    bind.UnloadSkin();
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 1);
    EXPECT_EQ(host->Skin, nullptr);
}

TEST_F(Skins, FailedAndUnservingLoadsKeepTheFormerSkinSilently) {
    bind.LoadSkinPlugin(kSkin, true);
    TSkinObject former = bind.Skin;
    int connects = 0;
    static int* counter = nullptr;
    counter = &connects;
    RegisterFakeLibrary("noconnect", {{"Other", reinterpret_cast<void*>(+[] {})}});
    RegisterFakeLibrary("nilskin", {{"SkinConnect", reinterpret_cast<void*>(+[]() -> TvSkin* {
                                         ++*counter;
                                         return nullptr;
                                     })}});
    for (const std::string& name : {std::string(TOLVERN_BIN_DIR "/skin/missing.dll"),
                                    std::string("noconnect"), std::string("nilskin")}) {
        bind.LoadSkinPlugin(name, true);
        EXPECT_EQ(bind.SkinLibrary, 0) << name;
        EXPECT_EQ(bind.Skin, former) << name;
        EXPECT_TRUE(bind.SkinLoaded) << name;
        EXPECT_EQ(host->Skin, former) << name;
    }
    EXPECT_EQ(connects, 1);
    UnregisterFakeLibrary("noconnect");
    UnregisterFakeLibrary("nilskin");
    // The former skin still disconnects at the end (its library handle was dropped).
    bind.UnloadSkin();
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 1);
}

TEST_F(Skins, ReplacedSkinStaysConnectedAndItsHostsKeepIt) {
    SkinProbe probe2(kSkin2);
    ASSERT_TRUE(probe2.Ok());
    bind.LoadSkinPlugin(kSkin, true);
    TSkinObject first = bind.Skin;
    auto* strip = new TMScroll(form.get()); // an editor strip built now copies the skin
    strip->Parent = form.get();
    strip->Skin = bind.Skin;
    bind.LoadSkinPlugin(kSkin2, true);
    EXPECT_NE(bind.Skin, first);
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 0);
    EXPECT_EQ(strip->Skin, first);
    EXPECT_EQ(host->Skin, bind.Skin);
    bind.LoadSkinPlugin("", true);
    EXPECT_EQ(probe2.Count(TV_SKIN_DISCONNECT), 1);
    EXPECT_EQ(probe.Count(TV_SKIN_DISCONNECT), 0);
    EXPECT_EQ(strip->Skin, first);
    EXPECT_EQ(host->Skin, nullptr);
}

TEST_F(Skins, SkinDialogPassesTheWindowAndAnEmptyString) {
    host->SkinDialog(form->Handle());
    EXPECT_TRUE(probe.Calls().empty());
    bind.LoadSkinPlugin(kSkin, true);
    host->SkinDialog(form->Handle());
    const auto calls = probe.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().Op, TV_SKIN_DIALOG);
    EXPECT_EQ(calls.back().A, form->Handle());
    EXPECT_FALSE(calls.back().BIsNull);
    EXPECT_STREQ(calls.back().Type, "");
}

} // namespace
} // namespace gui_test
