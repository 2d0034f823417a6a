#include "support/jack_server.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Empty when the process is gone, also when it ends while the file is read (the read then
// fails with ESRCH).
std::string ReadProcFile(pid_t pid, const char* what) {
    const std::string path = "/proc/" + std::to_string(pid) + "/" + what;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(n));
    close(fd);
    return n < 0 ? std::string() : text;
}

// Whether a running JACK server uses this name.
bool NameInUse(const std::string& name) {
    for (pid_t pid : JackServerProcesses())
        if (ProcessNamesServer(pid, name)) return true;
    return false;
}

// The semaphores the server keeps for its clients in /dev/shm: a server that was killed leaves
// them all, one that ends with clients still open leaves theirs.
void RemoveSemaphores(const std::string& name) {
    const std::string prefix = "jack_sem." + std::to_string(getuid()) + "_" + name + "_";
    DIR* dir = opendir("/dev/shm");
    if (!dir) return;
    while (dirent* e = readdir(dir))
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(dirfd(dir), e->d_name, 0);
    closedir(dir);
}

} // namespace

std::vector<std::string> DummyJackServer::Names() {
    return {"tolvern-jack-0", "tolvern-jack-1", "tolvern-jack-2", "tolvern-jack-3"};
}

bool DummyJackServer::Installed() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t from = 0; from <= dirs.size();) {
        std::size_t end = dirs.find(':', from);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(from, end - from);
        if (!dir.empty() && access((dir + "/jackd").c_str(), X_OK) == 0) return true;
        from = end + 1;
    }
    return false;
}

DummyJackServer::DummyJackServer(int frames, int rate, bool synchronous) {
    // One of these servers at a time on the machine, whichever test run starts it: clients of
    // several dummy servers starting at once on a loaded machine were seen to fail. The lock is
    // never handed to the server itself.
    lock_ = open("/tmp/tolvern-test-jackd.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    for (int i = 0; lock_ >= 0 && i < 2400 && flock(lock_, LOCK_EX | LOCK_NB) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // 2 minutes at most
    // The first name no running server uses (one that was waited for too long may still run).
    for (const std::string& name : Names())
        if (!NameInUse(name)) {
            name_ = name;
            break;
        }
    if (name_.empty()) {
        name_ = Names().front();
        std::fprintf(stderr, "DummyJackServer: every test server name is in use\n");
        return;
    }
    if (const char* previous = std::getenv("JACK_DEFAULT_SERVER")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    log_ = memfd_create("jackd-log", MFD_CLOEXEC);
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
        int out = log_ >= 0 ? log_ : open("/dev/null", O_WRONLY);
        dup2(out, 1);
        dup2(out, 2);
        execvp("jackd", const_cast<char**>(argv.data()));
        _exit(127);
    }
    if (pid_ < 0) pid_ = 0;
    forked_ = pid_ > 0;
}

DummyJackServer::~DummyJackServer() {
    Stop();
    if (log_ >= 0) close(log_);
    if (hadPrevious_)
        setenv("JACK_DEFAULT_SERVER", previous_.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
}

void DummyJackServer::Stop() {
    Reap();
    // Still under the lock: no server of this name runs now.
    if (forked_) RemoveSemaphores(name_);
    forked_ = false;
    if (lock_ >= 0) close(lock_); // releases the lock
    lock_ = -1;
}

void DummyJackServer::Reap() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // A server ends within a second or two once its clients are gone; with clients that do not
    // answer it waits for each of them in turn.
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::fprintf(stderr, "DummyJackServer %s: did not end within 30 s of SIGTERM, killed\n",
                 name_.c_str());
    kill(pid_, SIGKILL); // its registry entry goes when the name is used again
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

bool DummyJackServer::Exited() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_ && (pid_ = 0, true);
}

std::string DummyJackServer::Log() const {
    if (log_ < 0) return {};
    struct stat st;
    if (fstat(log_, &st) != 0) return {};
    const off_t from = st.st_size > 2000 ? st.st_size - 2000 : 0;
    std::string text(static_cast<std::size_t>(st.st_size - from), '\0');
    const ssize_t n = pread(log_, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

std::string DummyJackServer::Unavailable(const std::string& Why) {
    if (Installed()) {
        std::string log = Log();
        if (!log.empty() && log.back() != '\n') log += '\n';
        std::fprintf(stderr,
                     "DummyJackServer %s: %s, although jackd is installed; the server said:\n%s",
                     name_.c_str(), Why.c_str(), log.empty() ? "(nothing)\n" : log.c_str());
    }
    return Why;
}

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
    // Whole arguments and whole variables only: "-n" "name", JACK_DEFAULT_SERVER=name.
    const std::string arg = std::string(1, '\0') + server + '\0';
    const std::string var = std::string(1, '\0') + "JACK_DEFAULT_SERVER=" + server + '\0';
    return ('\0' + ReadProcFile(pid, "cmdline")).find(arg) != std::string::npos ||
           ('\0' + ReadProcFile(pid, "environ")).find(var) != std::string::npos;
}
