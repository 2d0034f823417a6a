#include "platform/forms/application.h"

#include "platform/core/dialogs.h"
#include "platform/core/paths.h"
#include "platform/core/timers.h"
#include "platform/forms/display.h"
#include "platform/forms/sessionbus.h"
#include "platform/window/input.h"
#include "platform/window/modal.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <thread>

extern char** environ;

namespace platform {
namespace {

HelpHook& Help() {
    static HelpHook hook;
    return hook;
}

ShellOpenHook& Shell() {
    static ShellOpenHook hook;
    return hook;
}

LaunchHook& Launch() {
    static LaunchHook hook;
    return hook;
}

bool DefaultHelp(const THelpRequest& r) {
    // The program's help is a text beside it, named after the help file.
    std::string text = FindInstallFile(ChangeFileExt(ExtractFileName(r.File), ".txt"));
    if (!text.empty()) return ShellOpen(text);
    MessageBox("Help is not available", Application->Title, MB_OK | MB_ICONINFORMATION);
    return false;
}

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The session bus address as the program was given it, not the one it went on with.
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), envp.data()) != 0) return false;
    // Reaped in the background so that no zombie stays behind.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

TApplication g_application;

} // namespace

TApplication* Application = &g_application;

TApplication::TApplication() : TComponent(nullptr) {
    // Menu shortcuts come after hot keys and before the form's key preview.
    SetShortcutHook([](HWND activeTop, UINT vk, UINT mods) {
        auto* f = dynamic_cast<TForm*>(FindControl(activeTop));
        if (!f) return false;
        TShiftState s = 0;
        if (mods & MOD_SHIFT) s |= ssShift;
        if (mods & MOD_CONTROL) s |= ssCtrl;
        if (mods & MOD_ALT) s |= ssAlt;
        bool taken = false;
        Guarded([&] { taken = f->IsShortCut(std::uint16_t(vk), s); });
        return taken;
    });
    SetTimerHandlerGuard([](const std::function<void()>& handler) { Guarded(handler); });
    SetIdleHandler([] {
        if (Application) Application->Idle();
    });
}

TApplication::~TApplication() {
    // Forms left at exit belong to a program that is ending: the window model they would tell
    // may be gone already.
    while (ComponentCount() > 0)
        RemoveComponent(Components(ComponentCount() - 1));
}

void TApplication::ProcessMessages() {
    ProcessDisplayEvents();
    PumpMessages();
}

bool TApplication::Idle() {
    bool done = true;
    if (idleDepth_ > 0) return done;
    ++idleDepth_;
    Fire(OnIdle, this, done);
    --idleDepth_;
    return done;
}

void TApplication::HandleMessage() {
    if (PumpMessages() > 0) return;
    if (Idle() && !terminated_) WaitMessage(100);
}

void TApplication::Run() {
    if (MainForm) MainForm->Show();
    if (DisplayOpen()) {
        while (!terminated_)
            RunDisplayLoop();
        return;
    }
    while (!terminated_)
        HandleMessage();
}

void TApplication::Terminate() {
    terminated_ = true;
    QuitDisplayLoop(0);
}

void TApplication::Minimize() {
    if (minimized_) return;
    minimized_ = true;
    if (MainForm && MainForm->HandleAllocated() && !IsIconic(MainForm->ExistingHandle()))
        ShowWindow(MainForm->ExistingHandle(), SW_MINIMIZE);
    Fire(OnMinimize, this);
}

void TApplication::Restore() {
    if (!minimized_) return;
    minimized_ = false;
    if (MainForm && MainForm->HandleAllocated() && IsIconic(MainForm->ExistingHandle()))
        ShowWindow(MainForm->ExistingHandle(), SW_RESTORE);
    Fire(OnRestore, this);
}

std::string ExceptionMessage(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
        return "";
    }
}

void TApplication::ShowException(const std::exception_ptr& e) {
    std::string msg = ExceptionMessage(e);
    if (msg.empty()) msg = "Unknown error";
    // The framework ends a message with a full stop unless it ends in punctuation.
    if (static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    MessageBox(msg, Title, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(const std::exception_ptr& e) {
    try {
        if (OnException)
            OnException(this, e);
        else
            ShowException(e);
    } catch (...) {
        std::fprintf(stderr, "tolvern: error while reporting an error\n");
    }
}

bool TApplication::HelpContext(int context) {
    if (HelpFile.empty()) return false;
    THelpRequest r{HelpFile, "context", context, ""};
    return Help() ? Help()(r) : DefaultHelp(r);
}

bool TApplication::HelpJump(const std::string& topic) {
    if (HelpFile.empty()) return false;
    THelpRequest r{HelpFile, "jump", 0, topic};
    return Help() ? Help()(r) : DefaultHelp(r);
}

void HandleDispatchException() {
    Application->HandleException(std::current_exception());
}

HelpHook SetHelpHook(HelpHook hook) {
    HelpHook old = std::move(Help());
    Help() = std::move(hook);
    return old;
}

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
    ShellOpenHook old = std::move(Shell());
    Shell() = std::move(hook);
    return old;
}

bool ShellOpen(const std::string& target) {
    if (Shell()) return Shell()(target);
    return LaunchProgram({"xdg-open", target});
}

LaunchHook SetLaunchHook(LaunchHook hook) {
    LaunchHook old = std::move(Launch());
    Launch() = std::move(hook);
    return old;
}

bool LaunchProgram(const std::vector<std::string>& argv) {
    if (Launch()) return Launch()(argv);
    return SpawnDetached(argv);
}

} // namespace platform
