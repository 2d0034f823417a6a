// MIDI ports behind the multimedia interface: the in-process virtual ports of the tests, then
// the ports of the ALSA sequencer. Internal to the MIDI layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One open connection to an output port. Send may be called from any thread.
class TMidiOutConnection {
public:
    virtual ~TMidiOutConnection() = default;
    virtual bool Send(const std::uint8_t* bytes, std::size_t count) = 0;
};

// Takes what an open input delivers, on the port's own thread (or the thread of the test that
// drives a virtual input). Whole messages: one short message, or one system-exclusive block.
class TMidiInSink {
public:
    virtual ~TMidiInSink() = default;
    virtual void Receive(const std::uint8_t* bytes, std::size_t count) = 0;
};

// One open connection to an input port; once destroyed it delivers nothing more.
class TMidiInConnection {
public:
    virtual ~TMidiInConnection() = default;
};

class TMidiOutPort {
public:
    virtual ~TMidiOutPort() = default;
    virtual std::string Name() const = 0;
    virtual std::uint16_t Technology() const = 0;
    virtual std::unique_ptr<TMidiOutConnection> Open() = 0; // nullptr when it fails
};

class TMidiInPort {
public:
    virtual ~TMidiInPort() = default;
    virtual std::string Name() const = 0;
    virtual std::unique_ptr<TMidiInConnection> Open(TMidiInSink* sink) = 0;
};

// The ports in device order (virtual first, in registration order, then the sequencer's).
std::vector<std::shared_ptr<TMidiOutPort>> MidiOutPorts();
std::vector<std::shared_ptr<TMidiInPort>> MidiInPorts();

void RegisterMidiPort(std::shared_ptr<TMidiOutPort> port);
void RegisterMidiPort(std::shared_ptr<TMidiInPort> port);
void UnregisterMidiPort(const TMidiOutPort* port);
void UnregisterMidiPort(const TMidiInPort* port);

// The product name as the device reports it: at most MAXPNAMELEN characters.
std::string ProductName(const std::string& name);

// Byte count of a short message by its status, 0 when the status does not start a message
// that stands alone (data bytes, running status, system exclusive and its end).
std::size_t ShortMessageLength(std::uint8_t status);
// The bytes of a packed short message as they go on the wire; 0 when it is no message, or a
// data byte has its top bit set (the wire would read it as a status).
std::size_t ShortMessageBytes(std::uint32_t msg, std::uint8_t (&bytes)[3]);

} // namespace platform
