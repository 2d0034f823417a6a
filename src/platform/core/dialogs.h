#pragma once
// Message boxes and the common dialogs. The program calls these; the GUI layer installs the
// real ones, tests install scripted answers, and without either a headless default answers.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Buttons, icons and default button of a message box (Win32 numbers).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONHAND = MB_ICONERROR;
constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_DEFBUTTON1 = 0x000;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_DEFBUTTON3 = 0x200;
constexpr unsigned MB_DEFMASK = 0xF00;
constexpr unsigned MB_APPLMODAL = 0x0000;
constexpr unsigned MB_SYSTEMMODAL = 0x1000;
constexpr unsigned MB_TASKMODAL = 0x2000;
constexpr unsigned MB_SETFOREGROUND = 0x10000;
constexpr unsigned MB_TOPMOST = 0x40000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The answers a box of these flags offers, in button order.
std::vector<int> MessageBoxButtons(unsigned flags);
// The answer of its default button.
int MessageBoxDefaultAnswer(unsigned flags);

int MessageBox(std::string_view text, std::string_view caption, unsigned flags);

// An open or save file dialog. Filter as the form framework writes it:
// "Windows PCM (*.wav)|*.wav|All files (*.*)|*.*"; FilterIndex counts from 1.
struct TFileDialogRequest {
    std::string Title;
    std::string Filter;
    int FilterIndex = 1;
    std::string DefaultExt; // added to a typed name without extension
    std::string InitialDir;
    std::string FileName;           // in: proposed name; out: the chosen file (native path)
    std::vector<std::string> Files; // out: every chosen file (several with AllowMultiSelect)
    bool FileMustExist = false;
    bool AllowMultiSelect = false;
    // Out, of a save dialog: it asked itself (MayReplaceFile) before it took the chosen file.
    bool ReplaceAsked = false;
};

bool GetOpenFileName(TFileDialogRequest& request); // false when cancelled
// A save dialog never takes an existing file without asking whether to replace it; No goes
// back to the dialog, which shows the name again.
bool GetSaveFileName(TFileDialogRequest& request);
// True when nothing is at Path, or the user agreed to replace the file there: "<name> already
// exists. Do you want to replace it?" under Caption ("Save As" when empty), Yes and No
// (the default: Enter replaces nothing).
bool MayReplaceFile(std::string_view Path, std::string_view Caption);
// Folder choice; `folder` in: the start, out: the choice.
bool SelectDirectory(std::string_view caption, std::string& folder);
// Colour choice as a colour number (0x00BBGGRR); `color` in: the start, out: the choice.
bool ChooseColor(std::uint32_t& color);

// A font choice: in the start, out the choice. Size in points; Color a colour number.
struct TFontRequest {
    std::string Name = "MS Sans Serif";
    int Size = 8;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    std::uint32_t Color = 0;
};
bool ChooseFont(TFontRequest& font);

struct TDialogHooks {
    std::function<int(std::string_view text, std::string_view caption, unsigned flags)> MessageBox;
    std::function<bool(TFileDialogRequest&)> OpenFileName;
    std::function<bool(TFileDialogRequest&)> SaveFileName;
    std::function<bool(std::string_view caption, std::string& folder)> SelectDirectory;
    std::function<bool(std::uint32_t& color)> ChooseColor;
    std::function<bool(TFontRequest& font)> ChooseFont;
};

// Installs hooks (an empty member keeps the headless default) and returns the previous ones.
TDialogHooks SetDialogHooks(TDialogHooks hooks);

} // namespace platform
