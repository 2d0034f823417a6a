#include "support/scripted_dialogs.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {
const char* KindName(int k) {
    static const char* names[] = {"message box",   "open dialog",   "save dialog",
                                  "folder dialog", "colour dialog", "font dialog"};
    return names[k];
}
} // namespace

ScriptedDialogs::ScriptedDialogs() {
    platform::TDialogHooks hooks;
    hooks.MessageBox = [this](std::string_view text, std::string_view caption, unsigned flags) {
        return OnBox(text, caption, flags);
    };
    hooks.OpenFileName = [this](platform::TFileDialogRequest& r) { return OnFile(Kind::Open, r); };
    hooks.SaveFileName = [this](platform::TFileDialogRequest& r) { return OnFile(Kind::Save, r); };
    hooks.SelectDirectory = [this](std::string_view caption, std::string& folder) {
        Expectation e;
        if (!Take(Kind::Folder, caption, e) || !e.Ok) return false;
        folder = e.Text;
        return true;
    };
    hooks.ChooseColor = [this](std::uint32_t& color) {
        Expectation e;
        if (!Take(Kind::Color, "", e) || !e.Ok) return false;
        color = e.ColorValue;
        return true;
    };
    hooks.ChooseFont = [this](platform::TFontRequest& font) {
        Expectation e;
        if (!Take(Kind::Font, font.Name, e) || !e.Ok) return false;
        font = e.FontValue;
        return true;
    };
    previous_ = platform::SetDialogHooks(std::move(hooks));
}

ScriptedDialogs::~ScriptedDialogs() {
    platform::SetDialogHooks(std::move(previous_));
    std::lock_guard lock(mutex_);
    for (const auto& e : expected_)
        ADD_FAILURE() << "expected " << KindName(int(e.What)) << " never shown"
                      << (e.Text.empty() ? "" : ": ") << e.Text;
}

ScriptedDialogs& ScriptedDialogs::Answer(int answer, std::string_view textContains) {
    std::lock_guard lock(mutex_);
    expected_.push_back({Kind::Box, answer, std::string(textContains)});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::Choose(Kind kind, std::string choice) {
    std::lock_guard lock(mutex_);
    bool ok = !choice.empty();
    expected_.push_back({kind, 0, std::move(choice), 0, ok});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::OpenFile(std::string path, int filterIndex) {
    Choose(Kind::Open, std::move(path));
    std::lock_guard lock(mutex_);
    expected_.back().FilterIndex = filterIndex;
    return *this;
}

ScriptedDialogs& ScriptedDialogs::SaveFile(std::string path, int filterIndex) {
    Choose(Kind::Save, std::move(path));
    std::lock_guard lock(mutex_);
    expected_.back().FilterIndex = filterIndex;
    return *this;
}

ScriptedDialogs& ScriptedDialogs::Font(platform::TFontRequest font) {
    std::lock_guard lock(mutex_);
    Expectation e{Kind::Font};
    e.FontValue = std::move(font);
    expected_.push_back(std::move(e));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::CancelFont() {
    std::lock_guard lock(mutex_);
    Expectation e{Kind::Font};
    e.Ok = false;
    expected_.push_back(std::move(e));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::Color(std::uint32_t color) {
    std::lock_guard lock(mutex_);
    expected_.push_back({Kind::Color, 0, "", color, true});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::CancelColor() {
    std::lock_guard lock(mutex_);
    expected_.push_back({Kind::Color, 0, "", 0, false});
    return *this;
}

std::vector<RecordedBox> ScriptedDialogs::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<platform::TFileDialogRequest> ScriptedDialogs::FileDialogs() const {
    std::lock_guard lock(mutex_);
    return fileDialogs_;
}

std::size_t ScriptedDialogs::Pending() const {
    std::lock_guard lock(mutex_);
    return expected_.size();
}

bool ScriptedDialogs::Take(Kind kind, std::string_view what, Expectation& e) {
    std::lock_guard lock(mutex_);
    if (expected_.empty() || expected_.front().What != kind) {
        if (!(kind == Kind::Box && allowUnexpected_))
            ADD_FAILURE() << "unexpected " << KindName(int(kind)) << ": " << what
                          << (expected_.empty() ? std::string()
                                                : std::string(" (expected a ") +
                                                      KindName(int(expected_.front().What)) + ")");
        return false;
    }
    e = std::move(expected_.front());
    expected_.pop_front();
    return true;
}

int ScriptedDialogs::OnBox(std::string_view text, std::string_view caption, unsigned flags) {
    RecordedBox box{std::string(text),
                    std::string(caption),
                    flags,
                    flags & platform::MB_ICONMASK,
                    flags & platform::MB_TYPEMASK,
                    platform::MessageBoxDefaultAnswer(flags)};
    Expectation e;
    if (Take(Kind::Box, "[" + box.Caption + "] " + box.Text, e)) {
        if (!e.Text.empty() && box.Text.find(e.Text) == std::string::npos)
            ADD_FAILURE() << "message box \"" << box.Text << "\" does not contain \"" << e.Text
                          << "\"";
        auto buttons = platform::MessageBoxButtons(flags);
        if (std::find(buttons.begin(), buttons.end(), e.Answer) == buttons.end())
            ADD_FAILURE() << "answer " << e.Answer << " is not a button of \"" << box.Text << "\"";
        box.Answer = e.Answer;
    }
    std::lock_guard lock(mutex_);
    boxes_.push_back(box);
    return box.Answer;
}

bool ScriptedDialogs::OnFile(Kind kind, platform::TFileDialogRequest& request) {
    {
        std::lock_guard lock(mutex_);
        fileDialogs_.push_back(request);
    }
    Expectation e;
    if (!Take(kind, request.Title, e) || !e.Ok) return false;
    request.FileName = e.Text;
    request.Files = {e.Text};
    if (e.FilterIndex) request.FilterIndex = e.FilterIndex;
    return true;
}
