#include "platform/menus/commdlg.h"

namespace platform {

namespace {

std::string& Title() {
    static std::string title = "Tolvern";
    return title;
}

unsigned BoxButtons(TMsgDlgButtons b) {
    if ((b & mbYes) && (b & mbNo)) return (b & mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
    if ((b & mbRetry) && (b & mbCancel) && !(b & (mbAbort | mbIgnore))) return MB_RETRYCANCEL;
    if (b & (mbAbort | mbRetry | mbIgnore)) return MB_ABORTRETRYIGNORE;
    if ((b & mbOK) && (b & mbCancel)) return MB_OKCANCEL;
    return MB_OK;
}

} // namespace

void SetMessageTitle(std::string title) {
    Title() = std::move(title);
}

const std::string& MessageTitle() {
    return Title();
}

int MessageDlg(std::string_view message, TMsgDlgType type, TMsgDlgButtons buttons, int) {
    struct Kind {
        const char* caption;
        unsigned icon;
    };
    static const Kind kinds[] = {{"Warning", MB_ICONWARNING},
                                 {"Error", MB_ICONERROR},
                                 {"Information", MB_ICONINFORMATION},
                                 {"Confirm", MB_ICONQUESTION},
                                 {nullptr, 0}};
    const Kind& k = kinds[type];
    return MessageBox(message, k.caption ? std::string_view(k.caption) : MessageTitle(),
                      BoxButtons(buttons) | k.icon);
}

void ShowMessage(std::string_view message) {
    MessageBox(message, MessageTitle(), MB_OK);
}

bool TOpenDialog::Execute() {
    TFileDialogRequest r;
    r.Title = Title;
    r.Filter = Filter;
    r.FilterIndex = FilterIndex;
    r.DefaultExt = DefaultExt;
    r.InitialDir = InitialDir;
    r.FileName = FileName;
    r.FileMustExist = (Options & ofFileMustExist) != 0;
    r.OverwritePrompt = (Options & ofOverwritePrompt) != 0;
    r.AllowMultiSelect = (Options & ofAllowMultiSelect) != 0;
    if (!Run(r)) return false;
    FileName = r.FileName;
    Files = r.Files;
    if (Files.empty()) Files.push_back(FileName);
    FilterIndex = r.FilterIndex;
    return true;
}

bool TOpenDialog::Run(TFileDialogRequest& request) {
    return GetOpenFileName(request);
}

bool TSaveDialog::Run(TFileDialogRequest& request) {
    return GetSaveFileName(request);
}

TOpenPictureDialog::TOpenPictureDialog() {
    Filter = "All (*.dib;*.bmp;*.ico;*.emf;*.wmf)|*.dib;*.bmp;*.ico;*.emf;*.wmf|"
             "Bitmaps (*.dib;*.bmp)|*.dib;*.bmp|Icons (*.ico)|*.ico|"
             "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf";
}

bool TColorDialog::Execute() {
    std::uint32_t c = Color;
    if (!ChooseColor(c)) return false;
    Color = c;
    return true;
}

bool TFontDialog::Execute() {
    TFontRequest r;
    r.Name = Font.Name;
    r.Size = Font.Size;
    r.Bold = Font.Style & fsBold;
    r.Italic = Font.Style & fsItalic;
    r.Underline = Font.Style & fsUnderline;
    r.StrikeOut = Font.Style & fsStrikeOut;
    r.Color = Font.Color;
    if (!ChooseFont(r)) return false;
    Font.Name = r.Name;
    Font.Size = r.Size;
    Font.Style = (r.Bold ? fsBold : 0u) | (r.Italic ? fsItalic : 0u) |
                 (r.Underline ? fsUnderline : 0u) | (r.StrikeOut ? fsStrikeOut : 0u);
    Font.Color = r.Color;
    return true;
}

} // namespace platform
