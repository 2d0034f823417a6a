#include "support/jack_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
std::atomic<int> serial{0};
} // namespace

DummyJackServer::DummyJackServer(int frames, int rate, bool synchronous)
    : name_("tolvern-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++)) {
    if (const char* previous = std::getenv("JACK_DEFAULT_SERVER")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string r = std::to_string(rate), p = std::to_string(frames);
    std::vector<const char*> argv = {"jackd", "-n", name_.c_str(), "-r"};
    if (synchronous) argv.push_back("-S");
    argv.insert(argv.end(), {"-d", "dummy", "-r", r.c_str(), "-p", p.c_str(), nullptr});
    if (posix_spawnp(&pid_, "jackd", &actions, nullptr, const_cast<char**>(argv.data()), environ) !=
        0)
        pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
}

DummyJackServer::~DummyJackServer() {
    Stop();
    if (hadPrevious_)
        setenv("JACK_DEFAULT_SERVER", previous_.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
}

void DummyJackServer::Stop() {
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
