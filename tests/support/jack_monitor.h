#pragma once
// A JACK MIDI monitor for tests and benchmarks: a client of its own ("Monitor") with one MIDI
// input port.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// A client that notes every MIDI message its input port takes, with the frame it came at (the
// cycle's first frame plus the event's offset), as jack_midi_dump shows them, and that frame's
// time on the server's clock. A dummy server's frames do not keep to the wall clock (its cycles
// come somewhat late), so the times, not the frame counts, are what messages due at times of
// the MIDI clock are held against.
class TJackMonitor {
public:
    struct TEvent {
        std::uint64_t Frame = 0;
        std::uint32_t Offset = 0;
        std::int64_t TimeUs = 0;
        std::vector<std::uint8_t> Message;
    };

    // Room for Capacity messages; what comes beyond them is not noted.
    explicit TJackMonitor(std::size_t Capacity) : slots_(Capacity) {
        client_ = jack_client_open("Monitor", JackNoStartServer, nullptr);
        if (!client_) return;
        in_ = jack_port_register(client_, "monitor in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!in_ || jack_set_process_callback(client_, Process, this) != 0 ||
            jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    TJackMonitor(const TJackMonitor&) = delete;
    TJackMonitor& operator=(const TJackMonitor&) = delete;
    ~TJackMonitor() {
        if (client_) jack_client_close(client_);
    }
    bool Running() const { return client_ != nullptr; }
    std::string Port() const { return jack_port_name(in_); }
    std::vector<TEvent> Events() {
        const int n = count_.load(std::memory_order_acquire);
        std::vector<TEvent> events;
        for (int i = 0; i < n; ++i) {
            const TSlot& s = slots_[static_cast<std::size_t>(i)];
            events.push_back({s.Frame, s.Offset, s.TimeUs,
                              std::vector<std::uint8_t>(s.Bytes, s.Bytes + s.Size)});
        }
        return events;
    }
    int Count() const { return count_.load(std::memory_order_acquire); }
    bool WaitFor(int count, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (Count() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Count() >= count;
    }
    void Clear() { count_.store(0, std::memory_order_release); }

private:
    struct TSlot {
        std::uint64_t Frame;
        std::uint32_t Offset;
        std::int64_t TimeUs;
        std::uint8_t Bytes[3];
        std::size_t Size;
    };
    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<TJackMonitor*>(arg);
        void* buffer = jack_port_get_buffer(self->in_, frames);
        const jack_nframes_t first = jack_last_frame_time(self->client_);
        for (std::uint32_t i = 0, n = jack_midi_get_event_count(buffer); i < n; ++i) {
            jack_midi_event_t e;
            const int at = self->count_.load(std::memory_order_relaxed);
            if (jack_midi_event_get(&e, buffer, i) != 0 ||
                at >= static_cast<int>(self->slots_.size()))
                continue;
            TSlot& s = self->slots_[static_cast<std::size_t>(at)];
            s.Frame = first + e.time;
            s.Offset = e.time;
            s.TimeUs = static_cast<std::int64_t>(
                jack_frames_to_time(self->client_, static_cast<jack_nframes_t>(s.Frame)));
            s.Size = std::min<std::size_t>(e.size, sizeof s.Bytes);
            std::memcpy(s.Bytes, e.buffer, s.Size);
            self->count_.store(at + 1, std::memory_order_release);
        }
        return 0;
    }
    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    std::vector<TSlot> slots_;
    std::atomic<int> count_{0};
};
