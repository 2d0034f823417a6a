#include "platform/menus/commdlg.h"

#include "platform/core/nocase.h"
#include "platform/core/paths.h"

#include <sys/stat.h>
#include <unistd.h>

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

bool FilterNamesPrograms(std::string_view Patterns) {
    while (!Patterns.empty()) {
        const std::size_t end = Patterns.find(';');
        std::string_view p = Patterns.substr(0, end);
        while (!p.empty() && p.front() == ' ')
            p.remove_prefix(1);
        while (!p.empty() && p.back() == ' ')
            p.remove_suffix(1);
        if (SameText(p, "*.exe")) return true;
        if (end == std::string_view::npos) break;
        Patterns.remove_prefix(end + 1);
    }
    return false;
}

bool FileFilterMatches(std::string_view Patterns, std::string_view NativePath) {
    if (FilterNamesPrograms(Patterns)) {
        const std::string path(NativePath);
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               access(path.c_str(), X_OK) == 0;
    }
    return MatchesMask(ExtractFileName(NativePath), Patterns);
}

std::vector<std::string> FilesForFilter(std::string_view Folder, std::string_view Patterns) {
    std::vector<std::string> names;
    std::vector<TDirEntry> entries;
    if (!ListDirectory(Folder, entries)) return names;
    const std::string folder = IncludeTrailingPathDelimiter(Folder);
    for (const TDirEntry& e : entries)
        if (!e.IsDir && FileFilterMatches(Patterns, folder + e.Name)) names.push_back(e.Name);
    return names;
}

bool TOpenDialog::Execute() {
    TFileDialogRequest r;
    r.Title = Title;
    r.Filter = Filter;
    r.FilterIndex = FilterIndex;
    // "exe" would make a typed program name one that does not exist.
    std::string_view ext = DefaultExt;
    while (!ext.empty() && (ext.front() == '*' || ext.front() == '.'))
        ext.remove_prefix(1);
    if (!SameText(ext, "exe")) r.DefaultExt = DefaultExt;
    r.InitialDir = InitialDir;
    r.FileName = FileName;
    r.FileMustExist = (Options & ofFileMustExist) != 0;
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
