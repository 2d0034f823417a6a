#pragma once
// The test switch of the MIDI layer: with TOLVERN_TEST_MIDI_LOG set to a file name when the
// program starts, an in-process output "Test log" becomes MIDI device 0 and writes every
// message it is sent as one line of hexadecimal bytes to that file.

// Registers the output when the variable is set; True when it did.
bool InstallTestMidiLog();
