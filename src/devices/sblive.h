#pragma once
// The SoundFont manager of SoundFont sound cards: binds the manager library "SFMAN32.DLL" from
// the program folder and loads, clears and names the banks of a SoundFont device. Without the
// library every query gives "" and every change False.

#include "platform/core/dynlib.h"

#include <string>
#include <string_view>

struct SFBuffer;

class TSBLive {
public:
    TSBLive();
    ~TSBLive();
    TSBLive(const TSBLive&) = delete;
    TSBLive& operator=(const TSBLive&) = delete;

    bool Available = false;
    platform::HMODULE Library = 0;
    const void* ManagerTable = nullptr;
    void** Interface = nullptr;
    bool AutoOpenSave = false; // save and load the bank list with each song

    void GetBankName(int Device, int Bank, std::string& Name);
    void GetBankFile(int Device, int Bank, std::string& Path);
    void GetPresetName(int Device, int Bank, int Preset, std::string& Name);
    bool LoadBank(int Device, int Bank, std::string_view FileName);
    bool ClearBank(int Device, int Bank);
    // Clears banks 0 to 127; True, whatever the banks said.
    bool ClearAllBanks(int Device);

private:
    void Query(int Entry, int Device, int Bank, int Preset, int Size, std::string& Text);
};

// The program's manager; nil until the main window makes it.
extern TSBLive* SBLive;

// What the bank list asks of the windows: the arrange window refills its bank list. The
// headless default has no window.
class TSBLiveWindows {
public:
    virtual ~TSBLiveWindows() = default;
    virtual void FillSBLiveBanks() {}
};
TSBLiveWindows& SBLiveWindows();
void SetSBLiveWindows(TSBLiveWindows* Windows); // nil restores the default

// The bank-list file: 128 lines ended by CR LF, line b the bank number as three digits and the
// path of the SoundFont in bank b of device 0, if any.
std::string BankListText(TSBLive& Manager);
// Clears every bank of device 0 and loads each that a line of Text names (a line longer than
// three characters: the path from the fourth on). A missing line is an empty bank.
void LoadBankList(TSBLive& Manager, std::string_view Text);
