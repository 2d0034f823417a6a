#include "platform/core/dialogs.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace platform;

TEST(Dialogs, ScriptedAnswersAreRecorded) {
    ScriptedDialogs dialogs;
    dialogs.Answer(IDNO, "Save changes")
        .Answer(IDOK)
        .SaveFile("/no-such-folder/x.seq")
        .OpenFile("");
    EXPECT_EQ(MessageBox("Save changes to song?", "Tolvern", MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBox("Cannot open file", "Error", MB_OK | MB_ICONERROR), IDOK);
    TFileDialogRequest save;
    save.Title = "Save song";
    EXPECT_TRUE(GetSaveFileName(save));
    EXPECT_EQ(save.FileName, "/no-such-folder/x.seq");
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

// A save dialog that chose an existing file asks first; No shows the dialog again with that
// name, Yes takes it. A new name, or a cancel, asks nothing.
TEST(Dialogs, ASaveDialogAsksBeforeItTakesAnExistingFile) {
    TempDir dir;
    const std::string there = dir.WriteFile("there.seq", "old");
    ScriptedDialogs dialogs;
    dialogs.SaveFile(there).Answer(IDNO).SaveFile(there).Answer(IDYES);
    dialogs.SaveFile(dir.Path() + "new.seq").SaveFile(there).Answer(IDNO).SaveFile("");
    TFileDialogRequest save;
    save.Title = "Save bank";
    ASSERT_TRUE(GetSaveFileName(save));
    EXPECT_EQ(save.FileName, there);
    ASSERT_TRUE(GetSaveFileName(save));
    EXPECT_EQ(save.FileName, dir.Path() + "new.seq");
    EXPECT_FALSE(GetSaveFileName(save));

    const auto files = dialogs.FileDialogs();
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[1].FileName, there);
    const auto boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].Text, "there.seq already exists. Do you want to replace it?");
    EXPECT_EQ(boxes[0].Caption, "Save bank");
    EXPECT_EQ(boxes[0].Icon, MB_ICONWARNING);
    EXPECT_EQ(boxes[0].Buttons, MB_YESNO);
    EXPECT_EQ(dir.ReadFile("there.seq"), "old") << "the dialog writes nothing";
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
