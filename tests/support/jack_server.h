// A JACK server with the dummy back end as a child process, on a server name of the tests' own
// so that no other JACK user is disturbed. Points JACK_DEFAULT_SERVER at it while it lives.
//
// libjack's registry of servers holds eight, and an entry whose server ended without
// unregistering is taken back only by a server of the same name: the servers take their names
// from a small fixed set, and stop by SIGTERM, awaited, so that they unregister. Their clients
// close first (a server with clients that do not answer is slow to go).
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
    // Stops the server (SIGTERM; SIGKILL only after 30 s, said on stderr) and waits for it.
    void Stop();
    const std::string& Name() const { return name_; }

    // What a test that cannot use its server skips with. When jackd is installed the skip hides
    // a fault (of the machine, or of how the tests leave JACK), so it is said on stderr as well,
    // with what the server printed.
    std::string Unavailable(const std::string& Why);

    // The names the servers take, in the order they are tried.
    static std::vector<std::string> Names();
    static bool Installed(); // a jackd on the search path

private:
    std::string name_;
    std::string previous_; // JACK_DEFAULT_SERVER before
    bool hadPrevious_ = false;
    pid_t pid_ = 0;
    bool forked_ = false; // a server ran under this name: what it left goes at Stop
    int lock_ = -1;
    int log_ = -1; // the server's output: a file without a name
    void Reap();
    std::string Log() const;
};

// The ids of the running processes whose program is a JACK server (jackd, jackdbus).
std::vector<pid_t> JackServerProcesses();
// Whether the process's command line or environment names this server.
bool ProcessNamesServer(pid_t pid, const std::string& server);
