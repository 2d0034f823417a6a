#pragma once
// The application object: the program's title, its main form and message loop, idle events,
// minimising, the exception boundary's message box, help, and the shell's "open" and program
// launches (through hooks that tests replace to record the calls). GUI thread only.

#include "platform/forms/form.h"

#include <exception>
#include <string>
#include <vector>

namespace platform {

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const std::exception_ptr& E)>;

// How help is shown: command "context" (a topic number) or "jump" (a topic name), for a file.
struct THelpRequest {
    std::string File;
    std::string Command; // "context", "jump"
    int Context = 0;
    std::string Topic;
};
using HelpHook = std::function<bool(const THelpRequest& request)>;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    std::string Title = "tolvern";
    TForm* MainForm = nullptr;
    // Help file of the program; HelpContext and HelpJump open its topics through the hook.
    std::string HelpFile;

    // Hints: shown at all, after the pointer rests this long (ms), hidden after this long.
    bool ShowHint = true;
    int HintPause = 500;
    int HintHidePause = 2500;

    TIdleEvent OnIdle;
    TNotifyEvent OnMinimize, OnRestore, OnActivate, OnDeactivate;
    // Replaces the message box of the exception boundary.
    TExceptionEvent OnException;

    // Makes a form owned by the application, runs its OnCreate and fills ref (nilled again
    // when the form goes). The first form made becomes the main form.
    template <class T> T* CreateForm(T*& ref) {
        T* f = new T(this);
        ref = f;
        f->Reference = reinterpret_cast<TForm**>(&ref);
        if (!MainForm) MainForm = f;
        f->DoCreate();
        return f;
    }

    // Handles what waits (posts, sends, paints, timers, display events); may be called from
    // inside handlers, modal loops included.
    void ProcessMessages();
    // Handles what waits, or else runs the idle event and waits for something.
    void HandleMessage();
    // Shows the main form and runs the message loop until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // For tests: a terminated application runs again.
    void ResetTerminated() { terminated_ = false; }

    // The idle event: called whenever the message queue has been emptied. Returns Done.
    bool Idle();

    void Minimize();
    void Restore();
    bool Minimized() const { return minimized_; }

    // The message box of the exception boundary: the exception's message under Title with
    // the error icon.
    void HandleException(const std::exception_ptr& e);
    void ShowException(const std::exception_ptr& e);

    bool HelpContext(int context);
    bool HelpJump(const std::string& topic);

private:
    bool terminated_ = false;
    bool minimized_ = false;
    int idleDepth_ = 0;
};

extern TApplication* Application;

// The message of an exception as the framework shows it ("" for an unknown one).
std::string ExceptionMessage(const std::exception_ptr& e);

// Help goes through this hook; without one, the program's own help is opened (a text file of
// the help file's name in the program folder) or the user told that no help is available.
HelpHook SetHelpHook(HelpHook hook);

// The shell's "open" of a document, URL or mailto address; xdg-open unless a hook records it.
using ShellOpenHook = std::function<bool(const std::string& target)>;
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);
bool ShellOpen(const std::string& target);

// Starts a program with its argument vector (argv[0] the program), without waiting.
using LaunchHook = std::function<bool(const std::vector<std::string>& argv)>;
LaunchHook SetLaunchHook(LaunchHook hook);
bool LaunchProgram(const std::vector<std::string>& argv);

} // namespace platform
