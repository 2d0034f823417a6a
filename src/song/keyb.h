#pragma once
// The computer keyboard as a piano: two rows of letters and digits over two and a half octaves,
// and the record of the notes it holds.

#include <array>

// The note of a key (its virtual key code) above BaseNote, at most 127; 0 for any key that
// plays no note.
int KeyToNote(int Key, int BaseNote);

class TKeyb {
public:
    // True while the note was started from the computer keyboard and not yet released.
    std::array<bool, 128> Down{};

    void Clear();
    // Ends every held note through the thru path of the current track's output and channel.
    void ReleaseAll();
};
