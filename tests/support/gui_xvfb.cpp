#include "support/gui_xvfb.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= p.size();) {
        std::size_t end = p.find(':', start);
        if (end == std::string::npos) end = p.size();
        if (access((p.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        bool replaced = false;
        for (const std::string& x : extraEnv)
            replaced |= s.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        if (!replaced) env.push_back(s);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return 0;
    return pid;
}

int WaitFor(pid_t pid, int ms) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (waited >= ms) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(20000);
    }
}

int ChildProcess::Wait(int ms) {
    if (!pid_) return -1;
    const int status = WaitFor(pid_, ms);
    pid_ = 0;
    return status;
}

void ChildProcess::Kill() {
    if (!pid_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

Xvfb::Xvfb() {
    for (int n = 90; n < 130 && !pid_; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (access(socket.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
        // -noreset: the server stays as it is when a test closes its last connection, ready
        // for the next one.
        pid_t pid = Spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1024x768x24",
                           "-nolisten", "tcp", "-noreset"},
                          {});
        if (!pid) return;
        for (int waited = 0; waited < 5000; waited += 20) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                break;
            }
            // Two tests may start a server on the same free number at once: the socket is ours
            // only when the server's lock names our process.
            if (access(socket.c_str(), F_OK) == 0) {
                long owner = 0;
                if (FILE* f = std::fopen(lock.c_str(), "r")) {
                    if (std::fscanf(f, "%ld", &owner) != 1) owner = 0;
                    std::fclose(f);
                }
                if (owner == pid) {
                    pid_ = pid;
                    display_ = ":" + std::to_string(n);
                    break;
                }
                if (owner != 0) break; // another test's server: ours is ended below
            }
            usleep(20000);
        }
        if (pid && !pid_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
}

Xvfb::~Xvfb() {
    if (!pid_) return;
    kill(pid_, SIGTERM);
    if (WaitFor(pid_, 3000) == -1) std::fprintf(stderr, "Xvfb had to be killed\n");
}

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SpinUntil(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end)
        Spin(10);
    return done();
}

bool RunTool(const QString& program, const QStringList& args) {
    // Through Qt: its child handler reaps the processes it did not start itself too.
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000)) return false;
    SpinUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace testsupport
