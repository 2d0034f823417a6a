#pragma once
// The fixed vocabularies the editors show: controller-lane names, the sound-card parameters
// with their value ranges, and the General MIDI program, family and drum-kit names.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Lane codes: -4 velocity, -3 pitch bend, -2 program change, -1 system exclusive, 0-127 the
// controller of that number.
void ControllerShortName(int Code, std::string& S);
void ControllerLongName(int Code, std::string& S);

extern const std::array<std::string_view, 128> GmProgramNames;
// One for each block of 8 programs.
extern const std::array<std::string_view, 16> GmFamilyNames;

struct TGSDrums {
    std::string_view Name;
    std::int32_t Program;
};
extern const std::array<TGSDrums, 16> GsDrumKits;

constexpr int AweParamCount = 27;
// S is left as it was for an index that names no parameter.
void AweParamName(int Index, std::string& S);
// Between a 0-127 lane value and the parameter's own value.
int AweValueFromLane(int Param, int LaneValue);
int AweValueToLane(int Param, int Value);
