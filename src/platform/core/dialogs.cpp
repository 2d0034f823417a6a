#include "platform/core/dialogs.h"

#include "platform/core/paths.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace platform {

namespace {

std::mutex g_hooksMutex;
TDialogHooks g_hooks;

TDialogHooks Hooks() {
    std::lock_guard lock(g_hooksMutex);
    return g_hooks;
}

const char* AnswerName(int id) {
    switch (id) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    }
    return "?";
}

} // namespace

std::vector<int> MessageBoxButtons(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int MessageBoxDefaultAnswer(unsigned flags) {
    auto buttons = MessageBoxButtons(flags);
    std::size_t i = (flags & MB_DEFMASK) >> 8;
    return buttons[i < buttons.size() ? i : 0];
}

int MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    if (auto hook = Hooks().MessageBox) return hook(text, caption, flags);
    int answer = MessageBoxDefaultAnswer(flags);
    std::fprintf(stderr, "[%.*s] %.*s -> %s\n", int(caption.size()), caption.data(),
                 int(text.size()), text.data(), AnswerName(answer));
    return answer;
}

bool GetOpenFileName(TFileDialogRequest& request) {
    if (auto hook = Hooks().OpenFileName) return hook(request);
    std::fprintf(stderr, "[Open] %s -> cancelled (no dialog)\n", request.Title.c_str());
    return false;
}

bool GetSaveFileName(TFileDialogRequest& request) {
    auto hook = Hooks().SaveFileName;
    if (!hook) {
        std::fprintf(stderr, "[Save as] %s -> cancelled (no dialog)\n", request.Title.c_str());
        return false;
    }
    for (;;) {
        request.ReplaceAsked = false;
        if (!hook(request)) return false;
        if (request.ReplaceAsked || MayReplaceFile(request.FileName, request.Title)) return true;
    }
}

bool MayReplaceFile(std::string_view Path, std::string_view Caption) {
    if (!FileExists(Path)) return true;
    return MessageBox(ExtractFileName(Path) + " already exists. Do you want to replace it?",
                      Caption.empty() ? std::string_view("Save As") : Caption,
                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

bool SelectDirectory(std::string_view caption, std::string& folder) {
    if (auto hook = Hooks().SelectDirectory) return hook(caption, folder);
    std::fprintf(stderr, "[%.*s] -> cancelled (no dialog)\n", int(caption.size()), caption.data());
    return false;
}

bool ChooseColor(std::uint32_t& color) {
    if (auto hook = Hooks().ChooseColor) return hook(color);
    std::fprintf(stderr, "[Color] -> cancelled (no dialog)\n");
    return false;
}

bool ChooseFont(TFontRequest& font) {
    if (auto hook = Hooks().ChooseFont) return hook(font);
    std::fprintf(stderr, "[Font] -> cancelled (no dialog)\n");
    return false;
}

TDialogHooks SetDialogHooks(TDialogHooks hooks) {
    std::lock_guard lock(g_hooksMutex);
    std::swap(g_hooks, hooks);
    return hooks;
}

} // namespace platform
