// A JACK server with the dummy back end as a child process, on a server name of its own so that
// no other JACK user (nor another test run on the same machine) is disturbed. Points
// JACK_DEFAULT_SERVER at it while it lives.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class DummyJackServer {
public:
    // Synchronous: the server waits for its clients every cycle. Otherwise (JACK's default) a
    // client that runs late on a loaded machine hands on its previous cycle's buffer, and MIDI
    // events arrive twice.
    explicit DummyJackServer(int frames = 256, int rate = 44100, bool synchronous = false);
    ~DummyJackServer();
    DummyJackServer(const DummyJackServer&) = delete;
    DummyJackServer& operator=(const DummyJackServer&) = delete;

    bool Started() const { return pid_ > 0; }
    // True once the server process has ended (it failed to start, or was stopped).
    bool Exited();
    // Stops the server (SIGTERM, then SIGKILL after 5 s) and waits for it.
    void Stop();
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string previous_; // JACK_DEFAULT_SERVER before
    bool hadPrevious_ = false;
    pid_t pid_ = 0;
    int lock_ = -1;
    void Reap();
};

// The ids of the running processes whose program is a JACK server (jackd, jackdbus).
std::vector<pid_t> JackServerProcesses();
// Whether the process's command line or environment names this server.
bool ProcessNamesServer(pid_t pid, const std::string& server);
