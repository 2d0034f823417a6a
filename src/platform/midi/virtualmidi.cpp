#include "platform/midi/virtualmidi.h"

#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"

#include <algorithm>
#include <mutex>

namespace platform {

class TVirtualOutPort : public TMidiOutPort, public std::enable_shared_from_this<TVirtualOutPort> {
public:
    TVirtualOutPort(std::string name, std::uint16_t technology)
        : name_(std::move(name)), technology_(technology) {}
    std::string Name() const override { return name_; }
    std::uint16_t Technology() const override { return technology_; }
    std::unique_ptr<TMidiOutConnection> Open() override;

    void Record(const std::uint8_t* bytes, std::size_t count) {
        std::int64_t now = MidiClockUs();
        std::lock_guard lock(mutex);
        sent.push_back({now, std::vector<std::uint8_t>(bytes, bytes + count)});
    }

    mutable std::mutex mutex;
    std::vector<TVirtualMidiOut::TSent> sent;
    int open = 0;

private:
    std::string name_;
    std::uint16_t technology_;
};

namespace {

class TVirtualOutConnection : public TMidiOutConnection {
public:
    explicit TVirtualOutConnection(std::shared_ptr<TVirtualOutPort> port) : port_(std::move(port)) {
        std::lock_guard lock(port_->mutex);
        ++port_->open;
    }
    ~TVirtualOutConnection() override {
        std::lock_guard lock(port_->mutex);
        --port_->open;
    }
    bool Send(const std::uint8_t* bytes, std::size_t count) override {
        port_->Record(bytes, count);
        return true;
    }

private:
    std::shared_ptr<TVirtualOutPort> port_;
};

} // namespace

std::unique_ptr<TMidiOutConnection> TVirtualOutPort::Open() {
    return std::make_unique<TVirtualOutConnection>(shared_from_this());
}

class TVirtualInPort : public TMidiInPort, public std::enable_shared_from_this<TVirtualInPort> {
public:
    explicit TVirtualInPort(std::string name) : name_(std::move(name)) {}
    std::string Name() const override { return name_; }
    std::unique_ptr<TMidiInConnection> Open(TMidiInSink* sink) override;

    // Held while delivering, so that a connection closed meanwhile waits for the delivery.
    mutable std::recursive_mutex mutex;
    std::vector<TMidiInSink*> sinks;

private:
    std::string name_;
};

namespace {

class TVirtualInConnection : public TMidiInConnection {
public:
    TVirtualInConnection(std::shared_ptr<TVirtualInPort> port, TMidiInSink* sink)
        : port_(std::move(port)), sink_(sink) {
        std::lock_guard lock(port_->mutex);
        port_->sinks.push_back(sink_);
    }
    ~TVirtualInConnection() override {
        std::lock_guard lock(port_->mutex);
        std::erase(port_->sinks, sink_);
    }

private:
    std::shared_ptr<TVirtualInPort> port_;
    TMidiInSink* sink_;
};

} // namespace

std::unique_ptr<TMidiInConnection> TVirtualInPort::Open(TMidiInSink* sink) {
    return std::make_unique<TVirtualInConnection>(shared_from_this(), sink);
}

TVirtualMidiOut::TVirtualMidiOut(std::string name, std::uint16_t technology)
    : port_(std::make_shared<TVirtualOutPort>(std::move(name), technology)) {
    RegisterMidiPort(std::static_pointer_cast<TMidiOutPort>(port_));
}

TVirtualMidiOut::~TVirtualMidiOut() {
    UnregisterMidiPort(port_.get());
}

std::vector<TVirtualMidiOut::TSent> TVirtualMidiOut::Sent() const {
    std::lock_guard lock(port_->mutex);
    return port_->sent;
}

std::size_t TVirtualMidiOut::Count() const {
    std::lock_guard lock(port_->mutex);
    return port_->sent.size();
}

void TVirtualMidiOut::Clear() {
    std::lock_guard lock(port_->mutex);
    port_->sent.clear();
}

void TVirtualMidiOut::Reserve(std::size_t count) {
    std::lock_guard lock(port_->mutex);
    port_->sent.reserve(count);
}

int TVirtualMidiOut::OpenCount() const {
    std::lock_guard lock(port_->mutex);
    return port_->open;
}

TVirtualMidiIn::TVirtualMidiIn(std::string name)
    : port_(std::make_shared<TVirtualInPort>(std::move(name))) {
    RegisterMidiPort(std::static_pointer_cast<TMidiInPort>(port_));
}

TVirtualMidiIn::~TVirtualMidiIn() {
    UnregisterMidiPort(port_.get());
}

void TVirtualMidiIn::Send(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return;
    std::lock_guard lock(port_->mutex);
    // A sink may close its connection from inside its callback: walk a copy.
    auto sinks = port_->sinks;
    for (auto* sink : sinks)
        if (std::find(port_->sinks.begin(), port_->sinks.end(), sink) != port_->sinks.end())
            sink->Receive(bytes.data(), bytes.size());
}

int TVirtualMidiIn::OpenCount() const {
    std::lock_guard lock(port_->mutex);
    return static_cast<int>(port_->sinks.size());
}

} // namespace platform
