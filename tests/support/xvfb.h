#pragma once
// Real X servers for the tests that run the program's windows on Qt's xcb platform: an Xvfb
// on a free display number, and child processes of the test executable that run there.

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// Whether a program is on PATH.
bool OnPath(const std::string& program);
// Starts args[0] (searched on PATH) with the environment plus extraEnv ("NAME=value" each
// replacing the inherited one). 0 when it could not start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv);
// Waits at most ms for the process; its exit status, or -1 when it had to be killed.
int WaitFor(pid_t pid, int ms);

// An Xvfb (1024 x 768 x 24, no TCP, not reset when its last client goes) on a free display
// number, stopped at the end. Display() is empty when none could start.
class Xvfb {
public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

// Runs this test executable again under the Xvfb with only `filter`'s tests, on the xcb
// platform, with childVar=childValue in its environment; its exit status (-1 after a timeout).
int RunChildOnDisplay(const Xvfb& x, const std::string& filter, const std::string& childVar,
                      const std::string& childValue, int timeoutMs = 60000);

} // namespace testsupport
