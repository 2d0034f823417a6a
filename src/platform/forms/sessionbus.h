#pragma once
// The session bus, an optional service: the display's accessibility bridge connects to it when
// the first window shows, and a connection that does not answer would hold that window (and the
// program) for good. Whether the program uses it is settled once, before any thread starts: the
// bus at the address given must answer within a time limit, else the program goes on without it
// (said once on stderr); with no address given it is not looked for at all (looking for one
// starts a helper process, forked from the bus library's thread).

#include <string>
#include <vector>

namespace platform {

constexpr int kSessionBusAnswerMs = 2000;

// Settles the question: call before any thread of the program starts (it may change the
// program's environment). Later calls do nothing.
void PrepareSessionBus(int answerMs = kSessionBusAnswerMs);
bool SessionBusPrepared();
// Whether the bus is to be connected to (the address given answered).
bool SessionBusUsable();
// The environment for a child process: the program's, with the session bus address as the
// program was given it ("NAME=value" entries).
std::vector<std::string> ChildEnvironment();

// One round of the bus's greeting at the address (the D-Bus address syntax, alternatives tried
// in order) within answerMs: 1 when a bus answered, 0 when none is there to answer (refused,
// missing, an address that would start one), -1 when one took the connection and did not answer
// in time.
int ProbeSessionBus(const std::string& address, int answerMs);

} // namespace platform
