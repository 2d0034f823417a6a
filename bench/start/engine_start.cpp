// A program that links the engine as the tools do and does nothing: what starting and ending
// such a process costs, the reference of the tools' benchmarks.
#include "song/song.h"

int main(int argc, char**) {
    return argc > 99 && Song ? 1 : 0;
}
