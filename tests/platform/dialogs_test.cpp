#include "platform/core/dialogs.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace platform;

TEST(Dialogs, ScriptedAnswersAreRecorded) {
    ScriptedDialogs dialogs;
    dialogs.Answer(IDNO, "Save changes").Answer(IDOK).SaveFile("/tmp/x.seq").OpenFile("");
    EXPECT_EQ(MessageBox("Save changes to song?", "Tolvern", MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBox("Cannot open file", "Error", MB_OK | MB_ICONERROR), IDOK);
    TFileDialogRequest save;
    save.Title = "Save song";
    EXPECT_TRUE(GetSaveFileName(save));
    EXPECT_EQ(save.FileName, "/tmp/x.seq");
    TFileDialogRequest open;
    EXPECT_FALSE(GetOpenFileName(open)); // "" cancels

    auto boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "Save changes to song?");
    EXPECT_EQ(boxes[0].Caption, "Tolvern");
    EXPECT_EQ(boxes[0].Icon, MB_ICONQUESTION);
    EXPECT_EQ(boxes[0].Buttons, MB_YESNOCANCEL);
    EXPECT_EQ(boxes[1].Icon, MB_ICONERROR);
    EXPECT_EQ(dialogs.FileDialogs().size(), 2u);
    EXPECT_EQ(dialogs.FileDialogs()[0].Title, "Save song");
}

TEST(Dialogs, UnexpectedOrWrongBoxesFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            MessageBox("Surprise", "Error", MB_OK);
        },
        "unexpected message box");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.Answer(IDYES);
            MessageBox("Only OK here", "Error", MB_OK);
        },
        "not a button");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.Answer(IDOK);
        },
        "never shown");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.Answer(IDOK);
            TFileDialogRequest r;
            GetOpenFileName(r);
            MessageBox("x", "y", MB_OK);
        },
        "expected a message box");
}

TEST(Dialogs, HeadlessDefaultAnswersTheDefaultButton) {
    struct Case {
        unsigned flags;
        int want;
    } cases[] = {{MB_OK, IDOK},
                 {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                 {MB_YESNO | MB_ICONWARNING, IDYES},
                 {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                 {MB_YESNO | MB_DEFBUTTON3, IDYES}, // no third button: the first
                 {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY}};
    for (const auto& c : cases)
        EXPECT_EQ(MessageBox("text", "caption", c.flags), c.want);
    TFileDialogRequest r;
    EXPECT_FALSE(GetOpenFileName(r));
    std::uint32_t color = 5;
    EXPECT_FALSE(ChooseColor(color));
    EXPECT_EQ(color, 5u);
}
