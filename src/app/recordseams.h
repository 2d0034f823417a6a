#pragma once
// What recording asks of the sample-part editor: its record button, its recording panel, its
// file list and its row scroll range. Empty while the editor does not exist (the editor fills
// them when it is made and empties them when it goes).

#include <functional>

struct TSampleRecordSeams {
    std::function<void(bool Down)> SetRecDown;
    // The channel, mode and device choices of the recording panel.
    std::function<void(bool Enabled)> EnableRecordControls;
    std::function<void()> RefreshFileList;
    std::function<void()> UpdateRowScrollRange;
};
TSampleRecordSeams& SampleRecordSeams();
