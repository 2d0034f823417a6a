#include "platform/forms/sessionbus.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

extern char** environ;

namespace platform {
namespace {

constexpr const char* kAddressVar = "DBUS_SESSION_BUS_ADDRESS";
// An address the bus library refuses at once, without starting anything.
constexpr const char* kNoBus = "disabled:";

using Clock = std::chrono::steady_clock;

struct BusState {
    bool prepared = false;
    bool usable = false;
    bool replaced = false;
    std::optional<std::string> given; // the address the program was started with
};

BusState& State() {
    static BusState s;
    return s;
}

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for events on fd until the deadline: true when they came.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, MsLeft(deadline));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

// The greeting on a socket being connected: 1 answered, 0 refused or closed, -1 no answer in
// time.
int Greet(int fd, const sockaddr* addr, socklen_t len, Clock::time_point deadline) {
    if (connect(fd, addr, len) != 0) {
        if (errno == EAGAIN) return -1; // the backlog is full: nobody takes connections
        if (errno != EINPROGRESS) return 0;
        if (!WaitFor(fd, POLLOUT, deadline)) return -1;
        int err = 0;
        socklen_t l = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &l) != 0 || err != 0) return 0;
    }
    // The credentials byte, then the first line of the authentication; any line back is an
    // answer (OK, or REJECTED naming the mechanisms the bus takes).
    char uid[16];
    std::snprintf(uid, sizeof uid, "%u", unsigned(getuid()));
    std::string hello("\0AUTH EXTERNAL ", 15);
    for (const char* c = uid; *c; ++c) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", unsigned(static_cast<unsigned char>(*c)));
        hello += hex;
    }
    hello += "\r\n";
    std::size_t sent = 0;
    while (sent < hello.size()) {
        const ssize_t n = send(fd, hello.data() + sent, hello.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitFor(fd, POLLOUT, deadline)) return -1;
        } else {
            return 0;
        }
    }
    for (;;) {
        if (!WaitFor(fd, POLLIN, deadline)) return -1;
        char buf[256];
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n > 0) {
            if (std::memchr(buf, '\n', std::size_t(n))) return 1;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return 0;
        }
    }
}

int GreetAt(int family, const sockaddr* addr, socklen_t len, Clock::time_point deadline) {
    const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    const int r = Greet(fd, addr, len, deadline);
    close(fd);
    return r;
}

int GreetUnix(const std::string& path, bool abstract, Clock::time_point deadline) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::size_t room = sizeof a.sun_path - (abstract ? 1 : 0) - 1;
    if (path.empty() || path.size() > room) return 0;
    std::memcpy(a.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const auto len = socklen_t(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) + path.size() +
                               (abstract ? 0 : 1));
    return GreetAt(AF_UNIX, reinterpret_cast<const sockaddr*>(&a), len, deadline);
}

int GreetTcp(const std::string& host, const std::string& port, const std::string& family,
             Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    hints.ai_family = family == "ipv4" ? AF_INET : family == "ipv6" ? AF_INET6 : AF_UNSPEC;
    addrinfo* list = nullptr;
    if (port.empty() ||
        getaddrinfo(host.empty() ? "localhost" : host.c_str(), port.c_str(), &hints, &list) != 0)
        return 0;
    int r = 0;
    for (addrinfo* i = list; i && r == 0; i = i->ai_next)
        r = GreetAt(i->ai_family, i->ai_addr, i->ai_addrlen, deadline);
    freeaddrinfo(list);
    return r;
}

// "%XX" escapes of an address value undone.
std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += char(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// One alternative "method:key=value,...": the greeting at it, 0 for what is not a bus to
// connect to (a folder to listen in, or a method that starts a process or is not known here).
int GreetEntry(const std::string& entry, Clock::time_point deadline) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) return 0;
    const std::string method = entry.substr(0, colon);
    std::map<std::string, std::string> keys;
    std::size_t at = colon + 1;
    while (at < entry.size()) {
        std::size_t end = entry.find(',', at);
        if (end == std::string::npos) end = entry.size();
        const std::string pair = entry.substr(at, end - at);
        const std::size_t eq = pair.find('=');
        if (eq != std::string::npos) keys[pair.substr(0, eq)] = Unescape(pair.substr(eq + 1));
        at = end + 1;
    }
    if (method == "unix") {
        if (keys.count("path")) return GreetUnix(keys["path"], false, deadline);
        if (keys.count("abstract")) return GreetUnix(keys["abstract"], true, deadline);
        if (keys["runtime"] == "yes") {
            const char* dir = std::getenv("XDG_RUNTIME_DIR");
            return dir && *dir ? GreetUnix(std::string(dir) + "/bus", false, deadline) : 0;
        }
        return 0;
    }
    if (method == "tcp") return GreetTcp(keys["host"], keys["port"], keys["family"], deadline);
    return 0;
}

} // namespace

int ProbeSessionBus(const std::string& address, int answerMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(answerMs);
    std::size_t at = 0;
    while (at <= address.size()) {
        std::size_t end = address.find(';', at);
        if (end == std::string::npos) end = address.size();
        // The bus library takes the first alternative that connects.
        if (const int r = GreetEntry(address.substr(at, end - at), deadline)) return r;
        at = end + 1;
    }
    return 0;
}

void PrepareSessionBus(int answerMs) {
    BusState& s = State();
    if (s.prepared) return;
    s.prepared = true;
    const char* given = std::getenv(kAddressVar);
    if (given) s.given = given;
    const int r = given && *given ? ProbeSessionBus(given, answerMs) : 0;
    s.usable = r == 1;
    if (r < 0)
        std::fprintf(stderr,
                     "tolvern: the session bus did not answer within %g s; going on "
                     "without it\n",
                     answerMs / 1000.0);
    if (!s.usable) {
        setenv(kAddressVar, kNoBus, 1);
        s.replaced = true;
    }
}

bool SessionBusPrepared() {
    return State().prepared;
}

bool SessionBusUsable() {
    return State().usable;
}

std::vector<std::string> ChildEnvironment() {
    const BusState& s = State();
    std::vector<std::string> env;
    const std::size_t n = std::strlen(kAddressVar);
    for (char** e = environ; e && *e; ++e) {
        if (s.replaced && std::strncmp(*e, kAddressVar, n) == 0 && (*e)[n] == '=') continue;
        env.emplace_back(*e);
    }
    if (s.replaced && s.given) {
        std::string entry(kAddressVar);
        entry += '=';
        entry += *s.given;
        env.push_back(std::move(entry));
    }
    return env;
}

} // namespace platform
