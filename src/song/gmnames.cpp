#include "song/gmnames.h"

#include "song/timebase.h"

namespace {

struct TLaneName {
    int Code;
    std::string_view Short, Long;
};

constexpr TLaneName kLaneNames[] = {
    {-4, "Vel", "Velocity"},
    {-3, "PB", "Pitch bend"},
    {-2, "PC", "Program change"},
    {-1, "Sys", "Sysex"},
    {0, "BS", "Bank select"},
    {1, "Mod", "Modulation"},
    {2, "BC", "Breath control"},
    {4, "FC", "Foot controller"},
    {5, "PT", "Portamento time"},
    {6, "DE", "Data entry"},
    {7, "Vol", "Main volum"},
    {8, "Bal", "Balance"},
    {10, "Pan", "Pan"},
    {11, "EC", "Expression Controller"},
    {12, "FX1", "Effect controll 1"},
    {13, "FX2", "Effect controll 2"},
    {91, "Rev", "Reverb"},
    {93, "Cho", "Chorus"},
};

const TLaneName* FindLane(int Code) {
    for (const TLaneName& n : kLaneNames)
        if (n.Code == Code) return &n;
    return nullptr;
}

constexpr std::string_view kAweParams[AweParamCount] = {
    "LFO1Delay",   "LFO1Frequency", "LFO2Delay",   "LFO2Frequency",      "Env1Delay",
    "Env1Attack",  "Env1Hold",      "Env1Decay",   "Env1Sustain",        "Env1Release",
    "Env2Delay",   "Env2Attack",    "Env2Hold",    "Env2Decay",          "Env2Sustain",
    "Env2Release", "Pitch",         "LFO1ToPitch", "LFO2ToPitch",        "Env1ToPitch",
    "Env1ToVolum", "FilterCutoff",  "FilterQ",     "LFO1ToFilterCutoff", "Env1ToFilterCutoff",
    "Chorus",      "Reverb",
};

int Scaled(int Value, int Mul, int Div) {
    return Round(static_cast<double>(Value) * Mul / Div);
}

} // namespace

void ControllerShortName(int Code, std::string& S) {
    const TLaneName* n = FindLane(Code);
    S = n ? std::string(n->Short) : "C" + std::to_string(Code);
}

void ControllerLongName(int Code, std::string& S) {
    const TLaneName* n = FindLane(Code);
    S = n ? std::string(n->Long) : "Controller " + std::to_string(Code);
}

const std::array<std::string_view, 128> GmProgramNames = {
    "Acoustic Grand",
    "Bright Acoustic",
    "Electric Grand",
    "Honky-Tonk",
    "Electric Piano 1",
    "Electric Piano 2",
    "Harpsichord",
    "Clavinet",
    "Celesta",
    "Glockenspiel",
    "Music Box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percussive Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Accoridan",
    "Harmonica",
    "Tango Accordian",
    "Nylon String Guitar",
    "Steel String Guitar",
    "Electric Jazz Guitar",
    "Electric Clean Guitar",
    "Electric Muted Guitar",
    "Overdriven Guitar",
    "Distortion Guitar",
    "Guitar Harmonics",
    "Acoustic Bass",
    "Electric Bass(finger)",
    "Electric Bass(pick)",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo Strings",
    "Pizzicato Strings",
    "Orchestral Strings",
    "Timpani",
    "String Ensemble 1",
    "String Ensemble 2",
    "SynthStrings 1",
    "SynthStrings 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Voice",
    "Orchestra Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Muted Trumpet",
    "French Horn",
    "Brass Section",
    "SynthBrass 1",
    "SynthBrass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Blown Bottle",
    "Skakuhachi",
    "Whistle",
    "Ocarina",
    "Lead 1 (square)",
    "Lead 2 (sawtooth)",
    "Lead 3 (calliope)",
    "Lead 4 (chiff)",
    "Lead 5 (charang)",
    "Lead 6 (voice)",
    "Lead 7 (fifths)",
    "Lead 8 (bass+lead)",
    "Pad 1 (new age)",
    "Pad 2 (warm)",
    "Pad 3 (polysynth)",
    "Pad 4 (choir)",
    "Pad 5 (bowed)",
    "Pad 6 (metallic)",
    "Pad 7 (halo)",
    "Pad 8 (sweep)",
    "FX 1 (rain)",
    "FX 2 (soundtrack)",
    "FX 3 (crystal)",
    "FX 4 (atmosphere)",
    "FX 5 (brightness)",
    "FX 6 (goblins)",
    "FX 7 (echoes)",
    "FX 8 (sci-fi)",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bagpipe",
    "Fiddle",
    "Shanai",
    "Tinkle Bell",
    "Agogo",
    "Steel Drums",
    "Woodblock",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Guitar Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird Tweet",
    "Telephone Ring",
    "Helicopter",
    "Applause",
    "Gunshot",
};

const std::array<std::string_view, 16> GmFamilyNames = {
    "Piano",         "Chromatic Percussion",
    "Organ",         "Guitar",
    "Bass",          "Solo Strings",
    "Ensemble",      "Brass",
    "Reed",          "Pipe",
    "Synth Lead",    "Synth Pad",
    "Synth Effects", "Ethnic",
    "Percussive",    "Sound Effects",
};

const std::array<TGSDrums, 16> GsDrumKits = {{
    {"Standard 1", 0},
    {"Standard 2", 1},
    {"Room 1", 7},
    {"Room 2", 8},
    {"Power", 16},
    {"Electronic", 24},
    {"TR808 & TR909", 25},
    {"Dance", 26},
    {"Jazz", 32},
    {"Brush", 40},
    {"Orchestra", 48},
    {"Ethnic", 49},
    {"Kick & Snare", 50},
    {"SFX", 56},
    {"Rhytm FX", 57},
    {"CM-64/32", 127},
}};

void AweParamName(int Index, std::string& S) {
    if (Index >= 0 && Index < AweParamCount) S = kAweParams[Index];
}

int AweValueFromLane(int Param, int L) {
    switch (Param) {
    case 0:
    case 2:
    case 4:
    case 10:
        return Scaled(L, 5900, 127);
    case 5:
    case 7:
    case 9:
    case 11:
    case 13:
    case 15:
        return Scaled(L, 5940, 127);
    case 6:
    case 12:
        return Scaled(L, 8191, 127);
    case 16:
        return Scaled(L, 16384, 127) - 8192;
    case 17:
    case 18:
    case 19:
        return Scaled(L, 255, 127) - 127;
    case 23:
    case 24:
        return L - 64;
    case 25:
    case 26:
        return Scaled(L, 255, 127);
    default:
        return L;
    }
}

int AweValueToLane(int Param, int V) {
    switch (Param) {
    case 0:
    case 2:
    case 4:
    case 10:
        return Scaled(V, 127, 5900);
    case 5:
    case 7:
    case 9:
    case 11:
    case 13:
    case 15:
        return Scaled(V, 127, 5940);
    case 6:
    case 12:
        return Scaled(V, 127, 8191);
    case 16:
        return Scaled(V + 8192, 127, 16384);
    case 17:
    case 18:
    case 19:
        return Scaled(V + 127, 127, 255);
    case 23:
    case 24:
        return V + 64;
    case 25:
    case 26:
        return Scaled(V, 127, 255);
    default:
        return V;
    }
}
