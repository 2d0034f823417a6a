#pragma once
// JACK, an optional service that the program's start reaches from more than one place. libjack
// opens its clients one at a time under a lock of its own, and a server that stops answering
// holds the client being opened there for good, and every later one behind it. The start opens
// the first client on a thread of its own (the MIDI port listers, the opener); code on any other
// thread that would open a client asks JackAnswered first, which waits for the opener a limited
// time only.

namespace platform {

constexpr int kJackAnswerMs = 2000;

// The opener is about to start (called before its thread starts).
void JackOpenerStarting();
// Marks the calling thread as the opener until it is destroyed, then the opener as back.
class TJackOpener {
public:
    TJackOpener();
    ~TJackOpener();
    TJackOpener(const TJackOpener&) = delete;
    TJackOpener& operator=(const TJackOpener&) = delete;
};
// True when libjack may be called: no opener is out, or it came back within answerMs (the
// opener itself always may). False when it did not (said once on stderr), and from then on at
// once, until it comes back.
bool JackAnswered(int answerMs = kJackAnswerMs);

} // namespace platform
