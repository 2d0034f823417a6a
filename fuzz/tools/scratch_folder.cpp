// Makes the fuzz targets' scratch folder, prints its path and ends as a replay does: the test
// beside it checks that the folder is gone afterwards.
#include "song_check.h"

#include <cstdio>

int main() {
    std::printf("%s\n", SongFuzzFolder().c_str());
    return 0;
}
