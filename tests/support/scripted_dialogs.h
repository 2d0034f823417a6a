#pragma once
// Scripted answers to message boxes and common dialogs. Each box or dialog takes the next
// expectation in order and is recorded; one that nothing expects, or of another kind, fails
// the test, and so do expectations left over at the end.

#include "platform/core/dialogs.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct RecordedBox {
    std::string Text;
    std::string Caption;
    unsigned Flags = 0;
    unsigned Icon = 0;    // Flags & MB_ICONMASK
    unsigned Buttons = 0; // Flags & MB_TYPEMASK
    int Answer = 0;
};

class ScriptedDialogs {
    enum class Kind { Box, Open, Save, Folder, Color, Font };

public:
    ScriptedDialogs();  // installs itself
    ~ScriptedDialogs(); // restores the previous hooks

    // The next message box answers `answer`; with `textContains` its text must contain it.
    ScriptedDialogs& Answer(int answer, std::string_view textContains = "");
    // The next file dialog chooses `path`; "" cancels it.
    ScriptedDialogs& OpenFile(std::string path) { return Choose(Kind::Open, std::move(path)); }
    // The same, with the filter the user picked (counted from 1).
    ScriptedDialogs& OpenFile(std::string path, int filterIndex);
    ScriptedDialogs& SaveFile(std::string path, int filterIndex);
    ScriptedDialogs& SaveFile(std::string path) { return Choose(Kind::Save, std::move(path)); }
    // The next folder dialog chooses `folder`; "" cancels it.
    ScriptedDialogs& Folder(std::string folder) { return Choose(Kind::Folder, std::move(folder)); }
    ScriptedDialogs& Color(std::uint32_t color);
    ScriptedDialogs& CancelColor();
    ScriptedDialogs& Font(platform::TFontRequest font);
    ScriptedDialogs& CancelFont();
    // Unexpected message boxes answer their default button instead of failing.
    void AllowUnexpectedBoxes(bool allow = true) { allowUnexpected_ = allow; }

    std::vector<RecordedBox> Boxes() const;
    std::vector<platform::TFileDialogRequest> FileDialogs() const;
    std::size_t Pending() const;

private:
    struct Expectation {
        Kind What;
        int Answer = 0;
        std::string Text{}; // box: required part of the text; file/folder: the choice
        std::uint32_t ColorValue = 0;
        bool Ok = true;
        int FilterIndex = 0; // 0: as the dialog proposed
        platform::TFontRequest FontValue{};
    };
    ScriptedDialogs& Choose(Kind kind, std::string choice);
    bool Take(Kind kind, std::string_view what, Expectation& e);
    int OnBox(std::string_view text, std::string_view caption, unsigned flags);
    bool OnFile(Kind kind, platform::TFileDialogRequest& request);

    mutable std::mutex mutex_;
    std::deque<Expectation> expected_;
    std::vector<RecordedBox> boxes_;
    std::vector<platform::TFileDialogRequest> fileDialogs_;
    bool allowUnexpected_ = false;
    platform::TDialogHooks previous_;
};
