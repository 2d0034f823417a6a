#include "platform/menus/commdlg.h"
#include "platform/menus/qt_dialogs.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"

#include <filesystem>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(CommonDialogs, MessageDialogsAnswerWhatTheScriptGave) {
    ScriptedDialogs dialogs;
    dialogs.Answer(IDNO, "Overwrite").Answer(IDYES).Answer(IDCANCEL).Answer(IDOK, "Done");
    EXPECT_EQ(MessageDlg("Overwrite the file?", mtConfirmation, mbYes | mbNo), IDNO);
    EXPECT_EQ(MessageDlg("Really?", mtWarning, mbYesNoCancel), IDYES);
    EXPECT_EQ(MessageDlg("Try again?", mtError, mbOKCancel), IDCANCEL);
    SetMessageTitle("Tolvern");
    ShowMessage("Done");
    auto boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    struct Want {
        const char* caption;
        unsigned icon, buttons;
    } want[] = {{"Confirm", MB_ICONQUESTION, MB_YESNO},
                {"Warning", MB_ICONWARNING, MB_YESNOCANCEL},
                {"Error", MB_ICONERROR, MB_OKCANCEL},
                {"Tolvern", 0, MB_OK}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes[i].Caption, want[i].caption);
        EXPECT_EQ(boxes[i].Icon, want[i].icon);
        EXPECT_EQ(boxes[i].Buttons, want[i].buttons);
    }
}

TEST(CommonDialogs, AnUnexpectedBoxFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            MessageDlg("Nobody expects this", mtInformation, mbOK);
        },
        "unexpected message box");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            TOpenDialog open;
            open.Execute();
        },
        "unexpected open dialog");
}

TEST(CommonDialogs, FileDialogsCarryTheirSettingsAndTheChosenFilter) {
    ScriptedDialogs dialogs;
    dialogs.OpenFile("/songs/a.mid", 2).SaveFile("").OpenFile("/pics/b.bmp");
    TOpenDialog open;
    open.Title = "Open song";
    open.Filter = "Tolvern file (*.seq)|*.seq|MIDI file (*.mid)|*.mid|Supported files|*.seq;*.mid";
    open.FilterIndex = 3;
    open.DefaultExt = "seq";
    open.Options |= ofFileMustExist | ofPathMustExist;
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, "/songs/a.mid");
    EXPECT_EQ(open.Files, (std::vector<std::string>{"/songs/a.mid"}));
    EXPECT_EQ(open.FilterIndex, 2);

    TSaveDialog save;
    save.FileName = "old.seq";
    save.Options |= ofOverwritePrompt;
    EXPECT_FALSE(save.Execute()); // cancelled: nothing changes
    EXPECT_EQ(save.FileName, "old.seq");

    TOpenPictureDialog picture;
    ASSERT_TRUE(picture.Execute());
    EXPECT_EQ(picture.FilterIndex, 1);

    auto seen = dialogs.FileDialogs();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].Title, "Open song");
    EXPECT_EQ(seen[0].FilterIndex, 3);
    EXPECT_EQ(seen[0].DefaultExt, "seq");
    EXPECT_TRUE(seen[0].FileMustExist);
    EXPECT_NE(seen[2].Filter.find("*.bmp"), std::string::npos);
}

TEST(CommonDialogs, ColourAndFontComeBackOnlyWhenChosen) {
    ScriptedDialogs dialogs;
    TFontRequest chosen;
    chosen.Name = "Liberation Sans";
    chosen.Size = 12;
    chosen.Bold = true;
    chosen.Color = 0x0000FF;
    dialogs.Color(0x123456).CancelColor().Font(chosen).CancelFont();
    TColorDialog color;
    color.Color = 0xFF;
    ASSERT_TRUE(color.Execute());
    EXPECT_EQ(color.Color, 0x123456u);
    EXPECT_FALSE(color.Execute());
    EXPECT_EQ(color.Color, 0x123456u);
    TFontDialog font;
    ASSERT_TRUE(font.Execute());
    EXPECT_EQ(font.Font.Name, "Liberation Sans");
    EXPECT_EQ(font.Font.Size, 12);
    EXPECT_EQ(font.Font.Style, unsigned(fsBold));
    EXPECT_EQ(font.Font.Color, 0x0000FFu);
    EXPECT_FALSE(font.Execute());
    EXPECT_EQ(font.Font.Name, "Liberation Sans");
}

TEST(CommonDialogs, FiltersBecomeQtNameFilters) {
    struct Case {
        const char* filter;
        QStringList want;
    } cases[] = {
        {"Windows PCM (*.wav)|*.wav|All files (*.*)|*.*",
         {"Windows PCM (*.wav)", "All files (*.*)"}},
        {"Supported files|*.seq;*.mid", {"Supported files (*.seq *.mid)"}},
        {"Sound Font Banks|*.sf2;*.sbk|", {"Sound Font Banks (*.sf2 *.sbk)"}},
        // Programs carry no extension: the list shows every file, the dialog keeps the
        // executable ones.
        {"Application|*.exe|All files (*.*)|*.*", {"Application (*)", "All files (*.*)"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtNameFilters(c.filter), c.want) << c.filter;
}

TEST(CommonDialogs, AnApplicationFilterListsExecutableFilesWhateverTheirNames) {
    TempDir dir("tolvern-exe");
    const std::string notRunnable = dir.WriteFile("a.exe", "MZ");
    const std::string tool = dir.WriteFile("tool", "#!/bin/sh\n");
    dir.WriteFile("b.txt", "text");
    std::filesystem::create_directory(dir.Path() + "bin");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(FilesForFilter(dir.Path(), "*.exe"), std::vector<std::string>{"tool"});
    EXPECT_EQ(FilesForFilter(dir.Path(), "*.txt;*.exe"), (std::vector<std::string>{"tool"}));
    EXPECT_EQ(FilesForFilter(dir.Path(), "*.*"),
              (std::vector<std::string>{"a.exe", "b.txt", "tool"}));
    EXPECT_FALSE(FileFilterMatches("*.exe", notRunnable));

    // A typed name gets no "exe": the program would not be found under it.
    ScriptedDialogs dialogs;
    dialogs.OpenFile(tool).OpenFile("/songs/a.seq");
    TOpenDialog open;
    open.Filter = "Application (*.exe)|*.exe";
    open.DefaultExt = "*.exe";
    ASSERT_TRUE(open.Execute());
    open.Filter = "Tolvern file (*.seq)|*.seq";
    open.DefaultExt = "seq";
    ASSERT_TRUE(open.Execute());
    auto seen = dialogs.FileDialogs();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].DefaultExt, "");
    EXPECT_EQ(seen[1].DefaultExt, "seq");
}

} // namespace
