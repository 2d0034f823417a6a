#include "platform/midi/midiport.h"

#include "platform/midi/midi.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {

namespace {

// Our own ALSA clients carry this name; their ports are never offered as devices.
constexpr const char* kClientName = "Tolvern";

std::mutex registryMutex;
std::vector<std::shared_ptr<TMidiOutPort>> virtualOuts;
std::vector<std::shared_ptr<TMidiInPort>> virtualIns;
std::atomic<bool> realPorts{true};

// RtMidi reports errors by throwing or by printing; the layer reports them by results.
void QuietErrors(RtMidiError::Type, const std::string&, void*) {}

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

bool OwnPort(const std::string& full) {
    std::string prefix = std::string(kClientName) + ":";
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

class TAlsaOutConnection : public TMidiOutConnection {
public:
    explicit TAlsaOutConnection(std::unique_ptr<RtMidiOut> rt) : rt_(std::move(rt)) {}
    bool Send(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        try {
            rt_->sendMessage(bytes, count);
            return true;
        } catch (const RtMidiError&) {
            return false;
        }
    }

private:
    std::mutex mutex_; // one ALSA client is not safe for concurrent senders
    std::unique_ptr<RtMidiOut> rt_;
};

class TAlsaOutPort : public TMidiOutPort {
public:
    explicit TAlsaOutPort(std::string full) : full_(std::move(full)) {}
    std::string Name() const override { return DisplayName(full_); }
    std::uint16_t Technology() const override { return MOD_MIDIPORT; }
    std::unique_ptr<TMidiOutConnection> Open() override {
        try {
            auto rt = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
            rt->setErrorCallback(QuietErrors);
            unsigned index = 0;
            if (!FindPort(*rt, full_, index)) return nullptr;
            rt->openPort(index, "out");
            if (!rt->isPortOpen()) return nullptr;
            return std::make_unique<TAlsaOutConnection>(std::move(rt));
        } catch (const RtMidiError&) {
            return nullptr;
        }
    }

private:
    std::string full_;
};

class TAlsaInConnection : public TMidiInConnection {
public:
    TAlsaInConnection(std::unique_ptr<RtMidiIn> rt) : rt_(std::move(rt)) {}
    ~TAlsaInConnection() override {
        try {
            rt_->cancelCallback();
            rt_->closePort();
        } catch (const RtMidiError&) {
        }
    }

private:
    std::unique_ptr<RtMidiIn> rt_;
};

void DeliverAlsaInput(double, std::vector<unsigned char>* message, void* user) {
    if (message && !message->empty())
        static_cast<TMidiInSink*>(user)->Receive(message->data(), message->size());
}

class TAlsaInPort : public TMidiInPort {
public:
    explicit TAlsaInPort(std::string full) : full_(std::move(full)) {}
    std::string Name() const override { return DisplayName(full_); }
    std::unique_ptr<TMidiInConnection> Open(TMidiInSink* sink) override {
        try {
            auto rt = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
            rt->setErrorCallback(QuietErrors);
            unsigned index = 0;
            if (!FindPort(*rt, full_, index)) return nullptr;
            // The input callback sorts system exclusive, clock and active sensing itself.
            rt->ignoreTypes(false, false, false);
            rt->setCallback(DeliverAlsaInput, sink);
            rt->openPort(index, "in");
            if (!rt->isPortOpen()) return nullptr;
            return std::make_unique<TAlsaInConnection>(std::move(rt));
        } catch (const RtMidiError&) {
            return nullptr;
        }
    }

private:
    std::string full_;
};

// Lists the sequencer's ports through one RtMidi object of each direction, made once.
template <class R> std::vector<std::string> SequencerPorts(std::unique_ptr<R>& rt, bool& failed) {
    std::vector<std::string> names;
    if (!realPorts.load() || !MidiSequencerAvailable()) return names;
    try {
        if (!rt && !failed) {
            rt = std::make_unique<R>(RtMidi::LINUX_ALSA, kClientName);
            rt->setErrorCallback(QuietErrors);
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

} // namespace

bool MidiSequencerAvailable() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

void SetMidiRealPorts(bool on) {
    realPorts.store(on);
}
bool MidiRealPorts() {
    return realPorts.load();
}

std::vector<std::shared_ptr<TMidiOutPort>> MidiOutPorts() {
    std::vector<std::shared_ptr<TMidiOutPort>> ports;
    {
        std::lock_guard lock(registryMutex);
        ports = virtualOuts;
    }
    static std::unique_ptr<RtMidiOut> lister;
    static bool failed = false;
    std::lock_guard lock(sequencerMutex);
    for (auto& full : SequencerPorts(lister, failed))
        ports.push_back(std::make_shared<TAlsaOutPort>(full));
    return ports;
}

std::vector<std::shared_ptr<TMidiInPort>> MidiInPorts() {
    std::vector<std::shared_ptr<TMidiInPort>> ports;
    {
        std::lock_guard lock(registryMutex);
        ports = virtualIns;
    }
    static std::unique_ptr<RtMidiIn> lister;
    static bool failed = false;
    std::lock_guard lock(sequencerMutex);
    for (auto& full : SequencerPorts(lister, failed))
        ports.push_back(std::make_shared<TAlsaInPort>(full));
    return ports;
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
