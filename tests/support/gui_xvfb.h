#pragma once
// Tests on a real display: an Xvfb of their own on a free display, child processes, the
// X tools (xdotool, import) run while the display's event loop goes on, and the loop run for a
// while or until something holds.

#include <QStringList>

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

bool OnPath(const std::string& program);
// Starts a program with the environment plus extraEnv ("NAME=value", replacing those names);
// 0 when it could not start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv);
// Waits at most ms for the process; its exit status, or -1 when it had to be killed.
int WaitFor(pid_t pid, int ms);

// A child process owned by a test: killed and waited for when the owner goes, also when a
// failed check ended the test early.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    pid_t Pid() const { return pid_; }
    explicit operator bool() const { return pid_ != 0; }
    // As WaitFor: the exit status, -1 when it had to be killed after ms.
    int Wait(int ms);
    void Kill();

private:
    pid_t pid_ = 0;
};

// An Xvfb (1024 x 768 x 24) on a free display number, stopped at the end.
class Xvfb {
public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    // ":N", empty when it did not start.
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

// Runs the open display's event loop for ms of real time.
void Spin(int ms);
// The same until done() holds, at most ms; returns done().
bool SpinUntil(const std::function<bool()>& done, int ms);
// Runs a program to its end, at most 10 s, while the event loop goes on; true when it exited 0.
bool RunTool(const QString& program, const QStringList& args);

} // namespace testsupport
