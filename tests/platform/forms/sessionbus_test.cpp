// The session bus probe against sockets of the test's own: a bus that greets back, one that takes
// connections and never answers (the program's start-up must not wait on it for good), and
// addresses with nothing behind them or that would start a bus.
#include "platform/forms/sessionbus.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

using platform::ProbeSessionBus;
using Clock = std::chrono::steady_clock;

// A listening socket at a path (or on a loopback TCP port); Answering: each connection that
// sends a line gets "OK" back, else connections wait in the backlog unanswered.
class FakeBus {
public:
    FakeBus(const std::string& path, bool answering) : answering_(answering) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        Listen();
    }
    explicit FakeBus(bool answering) : answering_(answering) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        Listen();
    }
    ~FakeBus() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        close(fd_);
    }
    int Port() const { return port_; }

private:
    void Listen() {
        EXPECT_EQ(listen(fd_, 8), 0);
        if (!answering_) return;
        thread_ = std::thread([this] {
            while (!stop_) {
                const int c = accept(fd_, nullptr, nullptr);
                if (c < 0) return;
                char buf[256];
                std::string got;
                ssize_t n;
                while (got.find('\n') == std::string::npos && (n = read(c, buf, sizeof buf)) > 0)
                    got.append(buf, std::size_t(n));
                // The credentials byte, then the authentication line.
                if (!got.empty() && got[0] == '\0' && got.find("AUTH EXTERNAL ") == 1)
                    (void)!write(c, "OK 0123456789abcdef\r\n", 21);
                close(c);
            }
        });
    }
    bool answering_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(SessionBusProbe, AnswersRefusalsAndSilenceEachWithinTheLimit) {
    TempDir dir("tolvern-bus");
    const std::string answering = dir.Path() + "answering", silent = dir.Path() + "silent";
    FakeBus bus(answering, true), mute(silent, false), tcpBus(true);
    const std::string tcp = "tcp:host=127.0.0.1,port=" + std::to_string(tcpBus.Port());
    const struct {
        std::string address;
        int expected;
    } cases[] = {
        {"unix:path=" + answering, 1},
        {"unix:path=" + answering + ",guid=0123456789abcdef0123456789abcdef", 1},
        {tcp, 1},
        // The library takes the first alternative that connects.
        {"unix:path=" + dir.Path() + "missing;unix:path=" + answering, 1},
        {"unix:path=" + silent + ";unix:path=" + answering, -1},
        {"unix:path=" + silent, -1},
        {"unix:path=" + dir.Path() + "missing", 0},
        {"autolaunch:", 0},
        {"unix:tmpdir=/tmp", 0},
        {"", 0},
        {"nonsense", 0},
    };
    for (const auto& c : cases) {
        const auto t0 = Clock::now();
        EXPECT_EQ(ProbeSessionBus(c.address, 300), c.expected) << c.address;
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2)) << c.address;
    }
}

TEST(SessionBusProbe, AnEscapedPathIsUnescaped) {
    TempDir dir("tolvern-bus");
    FakeBus bus(dir.Path() + "a b", true);
    EXPECT_EQ(ProbeSessionBus("unix:path=" + dir.Path() + "a%20b", 300), 1);
}

} // namespace
