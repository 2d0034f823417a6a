// The JACK server behind the JACK MIDI devices: found without ever starting one, watched for
// its end, and asked for its MIDI ports.
#include "platform/midi/midiport.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

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

// Our output to a JACK port. The client's process callback takes the messages from a ring
// buffer into the port's buffer; the client is deactivated (which waits for a cycle in
// progress) before the buffer the callback reads goes.
class TJackOutput final : public TMidiOutConnection {
public:
    TJackOutput(std::string full, std::shared_ptr<TJackServer> server)
        : full_(std::move(full)), server_(std::move(server)) {}

    ~TJackOutput() override {
        if (!client_) {
            if (ring_) jack_ringbuffer_free(ring_);
            return;
        }
        // libjack crashes when a client of a server that has stopped is closed: such a client
        // is kept as it is, with the buffer its callback would read (a few dozen kilobytes for
        // every output that was open when a server stopped).
        if (!server_->Running()) {
            static std::mutex mutex;
            static auto* stopped = new std::vector<std::pair<jack_client_t*, jack_ringbuffer_t*>>;
            std::lock_guard lock(mutex);
            stopped->emplace_back(client_, ring_);
            return;
        }
        jack_deactivate(client_);
        jack_client_close(client_);
        if (ring_) jack_ringbuffer_free(ring_);
    }

    bool Open() {
        if (!server_->HasPort(full_)) return false;
        client_ = jack_client_open(MidiClientName, JackNoStartServer, nullptr);
        ring_ = jack_ringbuffer_create(kRingBytes);
        if (!client_ || !ring_) return false;
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!port_ || jack_set_process_callback(client_, Process, this) != 0 ||
            jack_activate(client_) != 0)
            return false;
        return jack_connect(client_, jack_port_name(port_), full_.c_str()) == 0;
    }

    bool Send(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_); // the ring takes one writer at a time
        if (count == 0 || !server_->HasPort(full_)) return false;
        const auto size = static_cast<std::uint32_t>(count);
        if (jack_ringbuffer_write_space(ring_) < sizeof size + count) return false;
        jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&size), sizeof size);
        jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(bytes), count);
        return true;
    }

private:
    static constexpr std::size_t kRingBytes = 65536;

    // On the server's cycle: every whole message waiting, in order, at the cycle's start. What
    // the port's buffer cannot take this cycle waits for the next; a message larger than an
    // empty buffer takes is dropped.
    static int Process(jack_nframes_t frames, void* self) {
        auto* out = static_cast<TJackOutput*>(self);
        void* buffer = jack_port_get_buffer(out->port_, frames);
        jack_midi_clear_buffer(buffer);
        bool any = false;
        std::uint32_t size = 0;
        while (jack_ringbuffer_peek(out->ring_, reinterpret_cast<char*>(&size), sizeof size) ==
                   sizeof size &&
               jack_ringbuffer_read_space(out->ring_) >= sizeof size + size) {
            jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
            if (!data && any) break;
            jack_ringbuffer_read_advance(out->ring_, sizeof size);
            if (data)
                jack_ringbuffer_read(out->ring_, reinterpret_cast<char*>(data), size);
            else
                jack_ringbuffer_read_advance(out->ring_, size);
            any = true;
        }
        return 0;
    }

    std::string full_;
    std::shared_ptr<TJackServer> server_;
    std::mutex mutex_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
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

std::unique_ptr<TMidiOutConnection> OpenJackOutput(const std::string& full,
                                                   std::shared_ptr<TJackServer> server) {
    if (!server) return nullptr;
    auto out = std::make_unique<TJackOutput>(full, std::move(server));
    if (!out->Open()) return nullptr;
    return out;
}

namespace {

// The layer's own client of the server JACK_DEFAULT_SERVER names. Never destroyed: closing a
// client while the process exits is not worth the risk.
struct TCurrentServer {
    std::mutex Mutex;
    std::shared_ptr<TJackClientServer> Server;
    std::string Name;
    std::string FailedName;
    std::chrono::steady_clock::time_point FailedAt;
};
TCurrentServer& Current() {
    static auto* current = new TCurrentServer;
    return *current;
}

} // namespace

std::shared_ptr<TJackServer> JackServer() {
    TCurrentServer& c = Current();
    std::lock_guard lock(c.Mutex);
    std::string name = ServerName();
    if (c.Server && (!c.Server->Running() || c.Name != name)) c.Server.reset();
    if (c.Server) return c.Server;
    auto now = std::chrono::steady_clock::now();
    if (name == c.FailedName && now - c.FailedAt < std::chrono::seconds(1)) return nullptr;
    c.Server = TJackClientServer::Open();
    if (c.Server) {
        c.Name = name;
        c.FailedName.clear();
    } else {
        c.FailedName = name;
        c.FailedAt = now;
    }
    return c.Server;
}

void ReleaseJackServer() {
    std::shared_ptr<TJackClientServer> gone;
    TCurrentServer& c = Current();
    {
        std::lock_guard lock(c.Mutex);
        gone.swap(c.Server);
    }
    // The client closes here, or with the last open port that holds it.
}

} // namespace platform
