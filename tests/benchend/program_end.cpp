// The benchmarks' program, kept in a function's static as they keep it, with the key editor open
// over a part: the process ends with code 0 (no crash in the statics' destruction at exit).
#include "app/arrange.h"
#include "editors/midi/key.h"
#include "song/primitives.h"
#include "song/song.h"

#include "program.h"

#include <cstdio>

namespace {

BenchProgram& TheProgram() {
    static BenchProgram p(1600, 1200);
    return p;
}

} // namespace

int main() {
    TheProgram();
    _TPart* p = NewPart("Part", 0, 960, 0);
    AppendEvent(p, NewEvent(0, 0x00643C90u));
    AppendEvent(p, NewEvent(480, 0x00003C80u));
    if (!InsertPart(Song->TrackAt(0), p)) return 2;
    Song->SetCurrentPart(p);
    fmArrange->OpenPartEditor();
    if (!fmKey) {
        std::fprintf(stderr, "no key editor\n");
        return 3;
    }
    return 0;
}
