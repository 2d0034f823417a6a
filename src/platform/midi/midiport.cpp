#include "platform/midi/midiport.h"

#include "platform/core/jackgate.h"
#include "platform/midi/midi.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {

namespace {

std::mutex registryMutex;
std::vector<std::shared_ptr<TMidiOutPort>> virtualOuts;
std::vector<std::shared_ptr<TMidiInPort>> virtualIns;
std::atomic<bool> realPorts{true};

// RtMidi reports errors by throwing or by printing; the layer reports them by results. An
// error during a send marks the send as failed (a warning is all RtMidi gives when a message
// cannot go out).
void QuietErrors(RtMidiError::Type, const std::string&, void* failed) {
    if (failed) *static_cast<bool*>(failed) = true;
}

// ALSA names a port "client:port client-id:port-id"; the device name is the port's own part.
std::string DisplayName(const std::string& full) {
    std::string name = full;
    auto colon = name.find(':');
    if (colon != std::string::npos) name = name.substr(colon + 1);
    auto space = name.rfind(' ');
    if (space != std::string::npos && name.find(':', space) != std::string::npos)
        name.resize(space);
    return name.empty() ? full : name;
}

// JACK names a port "client:port"; the device name is the port's short name.
std::string JackDisplayName(const std::string& full) {
    auto colon = full.find(':');
    std::string name = colon == std::string::npos ? full : full.substr(colon + 1);
    return name.empty() ? full : name;
}

bool OwnPort(const std::string& full) {
    std::string prefix = std::string(MidiClientName) + ":";
    return full.compare(0, prefix.size(), prefix) == 0;
}

// Finds a port by its full name on an RtMidi object; the index can move when ports come and go.
template <class R> bool FindPort(R& rt, const std::string& full, unsigned& index) {
    unsigned n = rt.getPortCount();
    for (unsigned i = 0; i < n; ++i) {
        if (rt.getPortName(i) == full) {
            index = i;
            return true;
        }
    }
    return false;
}

// Where a real port lives: the ALSA sequencer, or a JACK server that may go away.
struct TRtPlace {
    RtMidi::Api Api;
    std::string Full;
    std::shared_ptr<TJackServer> Jack; // set for a JACK port

    std::string Name() const { return Jack ? JackDisplayName(Full) : DisplayName(Full); }
    // A JACK port whose client quit, or whose server stopped, is gone; RtMidi would go on
    // taking messages for it without a word.
    bool Gone() const { return Jack && !Jack->HasPort(Full); }

    // Makes an RtMidi object of the place's API with its port opened; nullptr when it fails.
    template <class R, class Prepare>
    std::unique_ptr<R> OpenRt(const char* ownPort, bool* failed, Prepare prepare) const {
        if (Gone()) return nullptr;
        try {
            auto rt = std::make_unique<R>(Api, MidiClientName);
            rt->setErrorCallback(QuietErrors, failed);
            unsigned index = 0;
            if (!FindPort(*rt, Full, index)) return nullptr;
            prepare(*rt);
            rt->openPort(index, ownPort);
            if (!rt->isPortOpen()) return nullptr;
            return rt;
        } catch (const RtMidiError&) {
            return nullptr;
        }
    }

    // Closes a port of this place. Once its JACK server has stopped, libjack crashes when a
    // port of a client of it is unregistered, so such an RtMidi object is kept, never closed:
    // a few hundred bytes for every port that was open when a server stopped.
    template <class R> void Close(std::unique_ptr<R> rt) const {
        if (!rt || !Jack || Jack->Running()) return;
        static std::mutex mutex;
        static auto* stopped = new std::vector<RtMidi*>;
        std::lock_guard lock(mutex);
        stopped->push_back(rt.release());
    }
};

class TRtOutConnection : public TMidiOutConnection {
public:
    explicit TRtOutConnection(const TRtPlace& place) : place_(place) {}
    ~TRtOutConnection() override { place_.Close(std::move(rt_)); }
    bool Open() {
        rt_ = place_.OpenRt<RtMidiOut>("out", &failed_, [](RtMidiOut&) {});
        return rt_ != nullptr;
    }
    bool Send(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        if (place_.Gone()) return false;
        failed_ = false;
        try {
            rt_->sendMessage(bytes, count);
        } catch (const RtMidiError&) {
            return false;
        }
        return !failed_;
    }

private:
    std::mutex mutex_; // one client is not safe for concurrent senders
    TRtPlace place_;
    bool failed_ = false; // set by an error during the send in progress
    std::unique_ptr<RtMidiOut> rt_;
};

class TRtOutPort : public TMidiOutPort {
public:
    explicit TRtOutPort(TRtPlace place) : place_(std::move(place)) {}
    std::string Name() const override { return place_.Name(); }
    std::uint16_t Technology() const override { return MOD_MIDIPORT; }
    std::unique_ptr<TMidiOutConnection> Open() override {
        // JACK through a client of our own: RtMidi frees its JACK output's buffer while the
        // client's process callback may still read it.
        if (place_.Jack) return OpenJackOutput(place_.Full, place_.Jack);
        auto connection = std::make_unique<TRtOutConnection>(place_);
        if (!connection->Open()) return nullptr;
        return connection;
    }

private:
    TRtPlace place_;
};

class TRtInConnection : public TMidiInConnection {
public:
    TRtInConnection(const TRtPlace& place, std::unique_ptr<RtMidiIn> rt)
        : place_(place), rt_(std::move(rt)) {}
    ~TRtInConnection() override {
        // A stopped server delivers nothing more: its port is left as it is (see Close).
        if (!place_.Jack || place_.Jack->Running()) {
            try {
                rt_->cancelCallback();
                rt_->closePort();
            } catch (const RtMidiError&) {
            }
        }
        place_.Close(std::move(rt_));
    }

private:
    TRtPlace place_;
    std::unique_ptr<RtMidiIn> rt_;
};

void DeliverInput(double, std::vector<unsigned char>* message, void* user) {
    if (message && !message->empty())
        static_cast<TMidiInSink*>(user)->Receive(message->data(), message->size());
}

class TRtInPort : public TMidiInPort {
public:
    explicit TRtInPort(TRtPlace place) : place_(std::move(place)) {}
    std::string Name() const override { return place_.Name(); }
    std::unique_ptr<TMidiInConnection> Open(TMidiInSink* sink) override {
        auto rt = place_.OpenRt<RtMidiIn>("in", nullptr, [&](RtMidiIn& in) {
            // The input callback sorts system exclusive, clock and active sensing itself.
            in.ignoreTypes(false, false, false);
            in.setCallback(DeliverInput, sink);
        });
        if (!rt) return nullptr;
        return std::make_unique<TRtInConnection>(place_, std::move(rt));
    }

private:
    TRtPlace place_;
};

// Lists the sequencer's ports through one RtMidi object of each direction, made once.
template <class R> std::vector<std::string> SequencerPorts(std::unique_ptr<R>& rt, bool& failed) {
    std::vector<std::string> names;
    if (!realPorts.load() || !MidiSequencerAvailable()) return names;
    try {
        if (!rt && !failed) {
            rt = std::make_unique<R>(RtMidi::LINUX_ALSA, MidiClientName);
            rt->setErrorCallback(QuietErrors, nullptr);
        }
        if (!rt) return names;
        unsigned n = rt->getPortCount();
        for (unsigned i = 0; i < n; ++i) {
            std::string full = rt->getPortName(i);
            if (!full.empty() && !OwnPort(full)) names.push_back(full);
        }
    } catch (const RtMidiError&) {
        failed = true;
        rt.reset();
        names.clear();
    }
    return names;
}

std::mutex sequencerMutex;

// The device list of one direction: virtual ports, the sequencer's, then JACK's.
template <class Real, class Port, class Rt>
std::vector<std::shared_ptr<Port>> ListPorts(const std::vector<std::shared_ptr<Port>>& virtuals,
                                             std::unique_ptr<Rt>& lister, bool& failed,
                                             bool jackInputs) {
    std::vector<std::shared_ptr<Port>> ports;
    {
        std::lock_guard lock(registryMutex);
        ports = virtuals;
    }
    // The start-up's listers hold the lock while the sequencer and JACK answer.
    if (!JackAnswered()) return ports;
    std::lock_guard lock(sequencerMutex);
    for (auto& full : SequencerPorts(lister, failed))
        ports.push_back(std::make_shared<Real>(TRtPlace{RtMidi::LINUX_ALSA, full, nullptr}));
    if (!realPorts.load()) return ports;
    if (auto jack = JackServer())
        for (auto& full : jack->Ports(jackInputs))
            ports.push_back(std::make_shared<Real>(TRtPlace{RtMidi::UNIX_JACK, full, jack}));
    return ports;
}

} // namespace

bool MidiSequencerAvailable() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

void PrepareMidiPorts() {
    TJackOpener opener;
    MidiOutPorts();
    MidiInPorts();
}

void SetMidiRealPorts(bool on) {
    realPorts.store(on);
}
bool MidiRealPorts() {
    return realPorts.load();
}

std::vector<std::shared_ptr<TMidiOutPort>> MidiOutPorts() {
    static std::unique_ptr<RtMidiOut> lister;
    static bool failed = false;
    // Our outputs go to the ports that take messages.
    return ListPorts<TRtOutPort>(virtualOuts, lister, failed, true);
}

std::vector<std::shared_ptr<TMidiInPort>> MidiInPorts() {
    static std::unique_ptr<RtMidiIn> lister;
    static bool failed = false;
    return ListPorts<TRtInPort>(virtualIns, lister, failed, false);
}

void RegisterMidiPort(std::shared_ptr<TMidiOutPort> port) {
    std::lock_guard lock(registryMutex);
    virtualOuts.push_back(std::move(port));
}

void RegisterMidiPort(std::shared_ptr<TMidiInPort> port) {
    std::lock_guard lock(registryMutex);
    virtualIns.push_back(std::move(port));
}

void UnregisterMidiPort(const TMidiOutPort* port) {
    std::lock_guard lock(registryMutex);
    std::erase_if(virtualOuts, [&](auto& p) { return p.get() == port; });
}

void UnregisterMidiPort(const TMidiInPort* port) {
    std::lock_guard lock(registryMutex);
    std::erase_if(virtualIns, [&](auto& p) { return p.get() == port; });
}

std::string ProductName(const std::string& name) {
    return name.substr(0, MAXPNAMELEN);
}

std::size_t ShortMessageLength(std::uint8_t status) {
    if (status < 0x80) return 0;
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        break;
    default:
        return 3;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF0:
    case 0xF7:
        return 0;
    default:
        return 1;
    }
}

std::size_t ShortMessageBytes(std::uint32_t msg, std::uint8_t (&bytes)[3]) {
    bytes[0] = static_cast<std::uint8_t>(msg);
    bytes[1] = static_cast<std::uint8_t>(msg >> 8);
    bytes[2] = static_cast<std::uint8_t>(msg >> 16);
    std::size_t n = ShortMessageLength(bytes[0]);
    for (std::size_t i = 1; i < n; ++i)
        if (bytes[i] & 0x80) return 0;
    return n;
}

} // namespace platform
