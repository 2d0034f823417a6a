#include "support/jack_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
std::atomic<int> serial{0};
} // namespace

DummyJackServer::DummyJackServer(int frames, int rate, bool synchronous)
    : name_("tolvern-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++)) {
    // One of these servers at a time on the machine, whichever test run starts it: libjack's
    // registry holds only eight servers, and clients of several dummy servers starting at once
    // on a loaded machine were seen to fail. The lock is never handed to the server itself.
    lock_ = open("/tmp/tolvern-test-jackd.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    for (int i = 0; lock_ >= 0 && i < 2400 && flock(lock_, LOCK_EX | LOCK_NB) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // 2 minutes at most
    if (const char* previous = std::getenv("JACK_DEFAULT_SERVER")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    std::string r = std::to_string(rate), p = std::to_string(frames);
    std::vector<const char*> argv = {"jackd", "-n", name_.c_str(), "-r"};
    if (synchronous) argv.push_back("-S");
    argv.insert(argv.end(), {"-d", "dummy", "-r", r.c_str(), "-p", p.c_str(), nullptr});
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // A test that crashes takes its server along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp("jackd", const_cast<char**>(argv.data()));
        _exit(127);
    }
    if (pid_ < 0) pid_ = 0;
}

DummyJackServer::~DummyJackServer() {
    Stop();
    if (hadPrevious_)
        setenv("JACK_DEFAULT_SERVER", previous_.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
}

void DummyJackServer::Stop() {
    Reap();
    if (lock_ >= 0) close(lock_); // releases the lock
    lock_ = -1;
}

void DummyJackServer::Reap() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) { // 5 s, then no more patience
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

bool DummyJackServer::Exited() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_ && (pid_ = 0, true);
}

namespace {
std::string ReadProcFile(pid_t pid, const char* what) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + what, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

std::vector<pid_t> JackServerProcesses() {
    std::vector<pid_t> pids;
    DIR* dir = opendir("/proc");
    if (!dir) return pids;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        std::string comm = ReadProcFile(static_cast<pid_t>(pid), "comm");
        if (comm.rfind("jackd", 0) == 0) pids.push_back(static_cast<pid_t>(pid));
    }
    closedir(dir);
    return pids;
}

bool ProcessNamesServer(pid_t pid, const std::string& server) {
    return ReadProcFile(pid, "cmdline").find(server) != std::string::npos ||
           ReadProcFile(pid, "environ").find(server) != std::string::npos;
}
