// The key editor's frame: opening from the arrange window, creation with its settings, the
// geometry, zoom and scrolling, binding at activation, "U&ndo all editing", the Show menu and
// closing.
#include "editors/key_fixture.h"

#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/menus/menus.h"
#include "song/timebase.h"

using namespace platform;

TEST_F(KeyTest, CtrlEOpensTheEditorWithoutSettingsMaximized) {
    Start();
    _TPart* p = AddPart(0, 0, 3850, {{0, 60, 60}});
    OpenKey(p);
    EXPECT_EQ(k->GetFormStyle(), fsMDIChild);
    EXPECT_TRUE(k->Visible);
    EXPECT_EQ(k->WindowState, wsMaximized);
    EXPECT_EQ(k->panelList->Width, 200);
    EXPECT_EQ(k->panelBottom->Height, 82);
    EXPECT_EQ(NoteHeight, 7);
    EXPECT_EQ(Width16th, 16);
    EXPECT_EQ(TfmKey::GridHeight(), 525);
    EXPECT_EQ(k->PartWidthPixels(), 1024);
    EXPECT_EQ(k->ScrollX->Max, std::max(1024 + 100 - k->key->GetClientWidth(), 0));
    EXPECT_EQ(k->Caption, "Part");
    EXPECT_EQ(k->BoundPart, p);
    ASSERT_NE(k->Snapshot, nullptr);
    EXPECT_NE(k->Snapshot, p);
}
