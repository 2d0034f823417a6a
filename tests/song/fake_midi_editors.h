#pragma once
// The fader window and the sound-card window as the song file sees them: rows and list
// selections kept in plain fields.

#include "song/seams.h"

#include <vector>

// The fader window and the sound-card window as the song file sees them.
class FakeMidiEditors : public TMidiEditorsSeam {
public:
    std::vector<int> Rows;
    int Clears = 0, Layouts = 0;
    bool AweWindow = false;
    int Awe[4] = {-1, -1, -1, -1};
    bool TakeFromCard = true;

    void ClearFaders() override {
        ++Clears;
        Rows.clear();
    }
    void AddFader(int Controller) override {
        Rows.push_back(Controller);
        ++Layouts;
    }
    std::vector<int> FaderControllers() override { return Rows; }
    bool AweWindowExists() override { return AweWindow; }
    int AweListIndex(int List) override { return Awe[List]; }
    void SetAweListIndex(int List, int Index) override { Awe[List] = Index; }
    void SetAweTakeFromCard(bool Take) override { TakeFromCard = Take; }
};
