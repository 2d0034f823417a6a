// The JACK server behind the JACK MIDI devices: found without ever starting one, watched for
// its end, and asked for its MIDI ports.
#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
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

// How far ahead of their time a stream hands messages to a JACK output. The thread that hands
// them over is an ordinary one: on a loaded machine it was seen to come up to 90 ms late (p99),
// and a message handed over after its cycle began can only go at that cycle's start. 200 ms
// covers that twice over; a stop, pause or tempo change takes back what was handed ahead, so a
// long lead costs nothing but room in the queue.
constexpr std::int64_t JackLeadUs = 200000;

// Our output to a JACK port. The client's process callback takes the messages from two ring
// buffers into the port's buffer: those sent now at the cycle's start, then those handed over
// ahead of their time at the frames their times give. The client is deactivated (which waits
// for a cycle in progress) before the buffers the callback reads go.
class TJackOutput final : public TMidiOutConnection {
public:
    TJackOutput(std::string full, std::shared_ptr<TJackServer> server)
        : full_(std::move(full)), server_(std::move(server)) {}

    ~TJackOutput() override {
        if (!client_) {
            FreeRings();
            return;
        }
        // libjack crashes when a client of a server that has stopped is closed: such a client
        // is kept as it is, with the buffers its callback would read (some hundred kilobytes
        // for every output that was open when a server stopped).
        if (!server_->Running()) {
            struct TKept {
                jack_client_t* Client;
                jack_ringbuffer_t *Ring, *Timed;
            };
            static std::mutex mutex;
            static auto* stopped = new std::vector<TKept>;
            std::lock_guard lock(mutex);
            stopped->push_back({client_, ring_, timed_});
            return;
        }
        jack_deactivate(client_);
        jack_client_close(client_);
        FreeRings();
    }

    bool Open() {
        if (!server_->HasPort(full_)) return false;
        client_ = jack_client_open(MidiClientName, JackNoStartServer, nullptr);
        ring_ = jack_ringbuffer_create(kRingBytes);
        timed_ = jack_ringbuffer_create(kTimedBytes);
        if (!client_ || !ring_ || !timed_) return false;
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

    // On the virtual clock of the tests the stream's times are no times of the server's.
    std::int64_t LeadUs() const override { return MidiClockVirtual() ? 0 : JackLeadUs; }

    bool SendAt(const std::uint8_t* bytes, std::size_t count, std::int64_t DueUs) override {
        std::lock_guard lock(timedMutex_);
        if (count == 0 || !server_->HasPort(full_)) return false;
        const TTimed head{static_cast<std::uint32_t>(count), DueUs};
        if (jack_ringbuffer_write_space(timed_) < sizeof head + count) return false;
        jack_ringbuffer_write(timed_, reinterpret_cast<const char*>(&head), sizeof head);
        jack_ringbuffer_write(timed_, reinterpret_cast<const char*>(bytes), count);
        return true;
    }

    int Withdraw() override {
        std::lock_guard lock(timedMutex_);
        if (jack_ringbuffer_read_space(timed_) == 0 || !server_->Running()) return 0;
        withdrawn_.store(0, std::memory_order_relaxed);
        withdraw_.store(true, std::memory_order_release);
        // The next cycle takes them back; a server that stops meanwhile plays nothing more.
        for (int i = 0; i < 1000 && withdraw_.load(std::memory_order_acquire); ++i) {
            if (!server_->Running()) return 0;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return withdrawn_.load(std::memory_order_acquire);
    }

private:
    static constexpr std::size_t kRingBytes = 65536;
    static constexpr std::size_t kTimedBytes = 262144;

    struct TTimed {
        std::uint32_t Size;
        std::int64_t DueUs;
    };

    void FreeRings() {
        if (ring_) jack_ringbuffer_free(ring_);
        if (timed_) jack_ringbuffer_free(timed_);
    }

    static bool NoteOff(const std::uint8_t* m, std::size_t n) {
        const std::uint8_t kind = n >= 3 ? m[0] & 0xF0 : 0;
        return kind == 0x80 || (kind == 0x90 && m[2] == 0);
    }

    // The head of the next timed message; false when no whole message waits.
    bool PeekTimed(TTimed& Head) const {
        return jack_ringbuffer_peek(timed_, reinterpret_cast<char*>(&Head), sizeof Head) ==
                   sizeof Head &&
               jack_ringbuffer_read_space(timed_) >= sizeof Head + Head.Size;
    }

    // Every timed message goes back, note-offs at the cycle's start.
    void TakeBackTimed(void* buffer) {
        int taken = 0;
        TTimed head;
        while (PeekTimed(head)) {
            jack_ringbuffer_read_advance(timed_, sizeof head);
            std::uint8_t bytes[3] = {};
            const std::size_t first = std::min<std::size_t>(head.Size, sizeof bytes);
            jack_ringbuffer_peek(timed_, reinterpret_cast<char*>(bytes), first);
            if (NoteOff(bytes, head.Size)) jack_midi_event_write(buffer, 0, bytes, head.Size);
            jack_ringbuffer_read_advance(timed_, head.Size);
            ++taken;
        }
        withdrawn_.store(taken, std::memory_order_relaxed);
        withdraw_.store(false, std::memory_order_release);
    }

    // How far the server's clock is ahead of the MIDI clock. Read between two readings of the
    // MIDI clock: a loaded machine may stop the thread between the readings for milliseconds,
    // which would put every message of the cycle that far off, so that a reading whose two
    // sides lie far apart keeps the last close one.
    std::int64_t ToServer() {
        const std::int64_t before = MidiClockUs();
        const auto server = static_cast<std::int64_t>(jack_get_time());
        const std::int64_t after = MidiClockUs();
        if (!knowsToServer_ || after - before <= kCloseReadingUs) {
            toServer_ = server - before - (after - before) / 2;
            knowsToServer_ = true;
        }
        return toServer_;
    }

    // The timed messages due before the next cycle, each at the frame its time gives (one
    // that is late at the cycle's start), in order.
    void PlaceTimed(void* buffer, jack_nframes_t frames) {
        jack_nframes_t first = 0;
        jack_time_t start = 0, next = 0;
        float periodUs = 0;
        if (jack_get_cycle_times(client_, &first, &start, &next, &periodUs) != 0 || next <= start)
            return;
        // The stream's times are on the MIDI clock, the cycle's on the server's.
        const std::int64_t toServer = ToServer();
        const auto cycleStart = static_cast<std::int64_t>(start);
        const auto cycleUs = static_cast<std::int64_t>(next - start);
        jack_nframes_t last = 0;
        TTimed head;
        while (PeekTimed(head)) {
            const std::int64_t due = head.DueUs + toServer - cycleStart;
            if (due >= cycleUs) break;
            auto frame = static_cast<jack_nframes_t>(
                due <= 0 ? 0 : std::min<std::int64_t>(due * frames / cycleUs, frames - 1));
            frame = std::max(frame, last);
            jack_midi_data_t* data = jack_midi_event_reserve(buffer, frame, head.Size);
            if (!data) break; // the port's buffer is full: the rest goes next cycle
            last = frame;
            jack_ringbuffer_read_advance(timed_, sizeof head);
            jack_ringbuffer_read(timed_, reinterpret_cast<char*>(data), head.Size);
        }
    }

    // On the server's cycle: every whole message sent now, in order, at the cycle's start, then
    // the timed ones. What the port's buffer cannot take this cycle waits for the next; a
    // message larger than an empty buffer takes is dropped.
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
        if (out->withdraw_.load(std::memory_order_acquire))
            out->TakeBackTimed(buffer);
        else
            out->PlaceTimed(buffer, frames);
        return 0;
    }

    std::string full_;
    std::shared_ptr<TJackServer> server_;
    std::mutex mutex_, timedMutex_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
    jack_ringbuffer_t* timed_ = nullptr;
    std::atomic<bool> withdraw_{false};
    std::atomic<int> withdrawn_{0};
    static constexpr std::int64_t kCloseReadingUs = 50;
    std::int64_t toServer_ = 0; // the process thread's own
    bool knowsToServer_ = false;
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
