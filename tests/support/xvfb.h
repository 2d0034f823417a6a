#pragma once
// Child processes and an Xvfb server for the tests that open windows on a real X display.

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// Whether a program of that name is on the PATH.
bool OnPath(const std::string& program);
// Starts args[0] (found on the PATH) with the environment plus extraEnv ("NAME=value",
// replacing a variable of the same name); 0 when it could not start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv);
// Waits at most ms for the process; its exit status, or -1 when it had to be killed.
int WaitFor(pid_t pid, int ms);

// An Xvfb on a free display number, stopped at the end. Display() is empty when none started.
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

} // namespace testsupport
