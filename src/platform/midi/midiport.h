// MIDI ports behind the multimedia interface: the in-process virtual ports of the tests, then
// the ports of the ALSA sequencer, then the JACK MIDI ports of a running JACK server. Internal
// to the MIDI layer.
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
    // How far ahead of their time (microseconds) a stream hands its messages to SendAt; 0: it
    // sends each one when it is due.
    virtual std::int64_t LeadUs() const { return 0; }
    // A message due at DueUs of the MIDI clock, for the output to place at its time; one that
    // is already late goes at once. One writer, messages in the order of their times.
    virtual bool SendAt(const std::uint8_t* bytes, std::size_t count, std::int64_t /*DueUs*/) {
        return Send(bytes, count);
    }
    // Takes back what SendAt handed over and has not gone out, except that note-offs among it
    // go out at once (a note never hangs); returns how many messages it took back, note-offs
    // included. Once it returns, nothing handed over before goes out any more.
    virtual int Withdraw() { return 0; }
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

// What the outputs are sent while a stream calls back ahead of an event's time carries that
// time (midi.cpp): the time on the MIDI clock, -1 outside such a callback.
std::int64_t& AheadDueUs();
// Whether every open output takes messages ahead of their time.
bool AllOutputsTimed();
// Every open output takes back what it was handed ahead (see Withdraw).
void WithdrawAllOutputs();

// The ports in device order (virtual first, in registration order, then the sequencer's, then
// JACK's).
std::vector<std::shared_ptr<TMidiOutPort>> MidiOutPorts();
std::vector<std::shared_ptr<TMidiInPort>> MidiInPorts();

void RegisterMidiPort(std::shared_ptr<TMidiOutPort> port);
void RegisterMidiPort(std::shared_ptr<TMidiInPort> port);
void UnregisterMidiPort(const TMidiOutPort* port);
void UnregisterMidiPort(const TMidiInPort* port);

// Our own sequencer and JACK clients carry this name; their ports are never offered as devices.
inline constexpr const char* MidiClientName = "Tolvern";

// A JACK server that runs now, seen through a client of our own without ports
// (midiport_jack.cpp).
class TJackServer {
public:
    virtual ~TJackServer() = default;
    // False once the server has stopped; the layer then looks for a server afresh.
    virtual bool Running() const = 0;
    // Whether a port of this full name ("client:port") exists now. Cheap enough for every send.
    virtual bool HasPort(const std::string& full) const = 0;
    // Full names of the MIDI ports of other clients that take messages (inputs) or give them,
    // sorted by name, so that the order stays while the set of ports does not change.
    virtual std::vector<std::string> Ports(bool inputs) const = 0;
};

// The server JACK_DEFAULT_SERVER (or the default) names, when it runs; nullptr otherwise.
// Never starts a server. Without one it looks again at most once a second, since a failed
// look costs some milliseconds.
std::shared_ptr<TJackServer> JackServer();
// Closes the layer's own client of the server (once no open port holds it), so that a server
// about to stop has no client of ours left; the next JackServer() opens one afresh.
void ReleaseJackServer();
// Our own JACK clients: "Tolvern", or "Tolvern-NN" as the server renames a second one.
bool OwnJackClient(const std::string& full);
// An output to the JACK port of this full name on the server: a client of our own with one
// port connected to it; nullptr when it cannot be made.
std::unique_ptr<TMidiOutConnection> OpenJackOutput(const std::string& full,
                                                   std::shared_ptr<TJackServer> server);

// The product name as the device reports it: at most MAXPNAMELEN characters.
std::string ProductName(const std::string& name);

// Byte count of a short message by its status, 0 when the status does not start a message
// that stands alone (data bytes, running status, system exclusive and its end).
std::size_t ShortMessageLength(std::uint8_t status);
// The bytes of a packed short message as they go on the wire; 0 when it is no message, or a
// data byte has its top bit set (the wire would read it as a status).
std::size_t ShortMessageBytes(std::uint32_t msg, std::uint8_t (&bytes)[3]);

} // namespace platform
