// The JACK server behind the JACK MIDI devices: found without ever starting one, watched for
// its end, and asked for its MIDI ports.
#include "platform/midi/midiport.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

// libjack prints its complaints (no server, a server gone) on stderr; the layer reports by
// results, and a machine without JACK is no error at all.
void QuietJack(const char*) {}

class TJackClientServer : public TJackServer {
public:
    static std::shared_ptr<TJackClientServer> Open() {
        static std::once_flag quiet;
        std::call_once(quiet, [] {
            jack_set_error_function(QuietJack);
            jack_set_info_function(QuietJack);
        });
        // JackNoStartServer: a machine without a running server keeps having none.
        auto options = static_cast<jack_options_t>(JackNoStartServer);
        jack_client_t* client = jack_client_open(MidiClientName, options, nullptr);
        if (!client) return nullptr;
        auto server = std::make_shared<TJackClientServer>(client);
        jack_on_shutdown(client, Shutdown, server.get());
        return server;
    }

    explicit TJackClientServer(jack_client_t* client) : client_(client) {}
    // libjack crashes when a client of a server that has stopped is closed: such a client is
    // left as it is.
    ~TJackClientServer() override {
        if (Running()) jack_client_close(client_);
    }

    bool Running() const override { return running_.load(); }

    bool HasPort(const std::string& full) const override {
        return Running() && jack_port_by_name(client_, full.c_str()) != nullptr;
    }

    std::vector<std::string> Ports(bool inputs) const override {
        std::vector<std::string> names;
        if (!Running()) return names;
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                            inputs ? JackPortIsInput : JackPortIsOutput);
        for (std::size_t i = 0; ports && ports[i]; ++i)
            if (!OwnJackClient(ports[i])) names.emplace_back(ports[i]);
        if (ports) jack_free(ports);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    // On libjack's own thread, when the server goes away.
    static void Shutdown(void* self) { static_cast<TJackClientServer*>(self)->running_ = false; }

    jack_client_t* client_;
    std::atomic<bool> running_{true};
};

std::string ServerName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name ? name : "";
}

} // namespace

bool OwnJackClient(const std::string& full) {
    std::string own = MidiClientName;
    if (full.compare(0, own.size(), own) != 0) return false;
    auto rest = full.substr(own.size());
    if (rest.empty() || rest[0] == ':') return true;
    // The server appends "-01", "-02", ... to a name that is taken.
    if (rest[0] != '-') return false;
    auto colon = rest.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    return std::all_of(rest.begin() + 1, rest.begin() + colon,
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::shared_ptr<TJackServer> JackServer() {
    static std::mutex mutex;
    // Never destroyed: closing a client while the process exits is not worth the risk.
    static auto* current = new std::shared_ptr<TJackClientServer>;
    static std::string currentName;
    static std::string failedName;
    static std::chrono::steady_clock::time_point failedAt;
    std::lock_guard lock(mutex);
    std::string name = ServerName();
    if (*current && (!(*current)->Running() || currentName != name)) current->reset();
    if (*current) return *current;
    auto now = std::chrono::steady_clock::now();
    if (name == failedName && now - failedAt < std::chrono::seconds(1)) return nullptr;
    *current = TJackClientServer::Open();
    if (*current) {
        currentName = name;
        failedName.clear();
    } else {
        failedName = name;
        failedAt = now;
    }
    return *current;
}

} // namespace platform
