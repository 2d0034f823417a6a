#pragma once
// Message dialogs and the common dialogs as the form framework offers them. They all go through
// the core hooks (platform/core/dialogs.h): Qt dialogs on a display, scripted answers in tests.

#include "platform/core/dialogs.h"
#include "platform/gdi/canvas.h" // the font style bits

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned {
    mbYes = 0x01,
    mbNo = 0x02,
    mbOK = 0x04,
    mbCancel = 0x08,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
};
using TMsgDlgButtons = unsigned;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
inline constexpr TMsgDlgButtons mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore;

// The caption of ShowMessage and of custom message dialogs: the application's title.
void SetMessageTitle(std::string title);
const std::string& MessageTitle();

// A message box whose caption names its kind ("Warning", "Error", "Information", "Confirm";
// the application's title for mtCustom). The buttons go to the nearest box the platform has;
// the answer is the modal result of the button (mrYes... equal IDYES...).
int MessageDlg(std::string_view message, TMsgDlgType type, TMsgDlgButtons buttons,
               int helpContext = 0);
void ShowMessage(std::string_view message);

// Options of the file dialogs (bits). A save dialog asks before it replaces a file whether or
// not ofOverwritePrompt is set.
enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofAllowMultiSelect = 1u << 9,
    ofPathMustExist = 1u << 11,
    ofFileMustExist = 1u << 12,
    ofEnableSizing = 1u << 23,
};
using TOpenOptions = unsigned;

// The file dialogs' rule for "*.exe" (a filter such as "Application (*.exe)|*.exe"): programs
// here carry no extension, so an "*.exe" pattern lists the files the user may execute, whatever
// their names, and a dialog adds no default extension "exe" to a typed name. Other patterns
// match names (MatchesMask). Patterns are separated by ';'.
bool FilterNamesPrograms(std::string_view Patterns);
bool FileFilterMatches(std::string_view Patterns, std::string_view NativePath);
// The files (not folders) of a folder that a filter's patterns list, by name without regard to
// case.
std::vector<std::string> FilesForFilter(std::string_view Folder, std::string_view Patterns);

class TOpenDialog {
public:
    virtual ~TOpenDialog() = default;
    std::string Title;
    std::string Filter; // "Description|*.a;*.b|..."
    int FilterIndex = 1;
    std::string DefaultExt;
    std::string InitialDir;
    std::string FileName;
    std::vector<std::string> Files;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    // Shows the dialog; true when the user chose, with FileName, Files and FilterIndex set.
    bool Execute();

protected:
    virtual bool Run(TFileDialogRequest& request);
};

class TSaveDialog : public TOpenDialog {
protected:
    bool Run(TFileDialogRequest& request) override;
};

class TOpenPictureDialog : public TOpenDialog {
public:
    TOpenPictureDialog();
};

// Colour numbers (0x00BBGGRR).
class TColorDialog {
public:
    std::uint32_t Color = 0;
    bool Execute();
};

class TFontDialog {
public:
    struct TDialogFont {
        std::string Name = "MS Sans Serif";
        int Size = 8;
        unsigned Style = 0; // TFontStyle bits
        std::uint32_t Color = 0;
    } Font;
    bool Execute();
};

} // namespace platform
