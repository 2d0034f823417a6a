#pragma once
// The system mixer as the multimedia mixer interface shows it: mixer devices with destination
// lines (speakers, wave-in) whose sources are lines of their own, and controls (volume, bass,
// treble, mute, the source selectors) read and written as 32-bit values per channel or item.
// Real devices: one mixer per ALSA card, built from its simple elements (MixerModelFromAlsa
// is that mapping, a pure function); null devices: no mixer; scripted devices: the models a
// test lists in ScriptedAudio().Mixers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Component types of lines.
inline constexpr std::uint32_t MIXER_DST_SPEAKERS = 4;
inline constexpr std::uint32_t MIXER_DST_WAVEIN = 7;
inline constexpr std::uint32_t MIXER_SRC_UNDEFINED = 0x1000;
inline constexpr std::uint32_t MIXER_SRC_LINE = 0x1002;
inline constexpr std::uint32_t MIXER_SRC_MICROPHONE = 0x1003;
inline constexpr std::uint32_t MIXER_SRC_COMPACTDISC = 0x1005;
inline constexpr std::uint32_t MIXER_SRC_WAVEOUT = 0x1008;
inline constexpr std::uint32_t MIXER_SRC_ANALOG = 0x100A;

// Control types, and the control flags.
inline constexpr std::uint32_t MIXER_CONTROL_VOLUME = 0x50030001;
inline constexpr std::uint32_t MIXER_CONTROL_BASS = 0x50030002;
inline constexpr std::uint32_t MIXER_CONTROL_TREBLE = 0x50030003;
inline constexpr std::uint32_t MIXER_CONTROL_MUTE = 0x20010002;
inline constexpr std::uint32_t MIXER_CONTROL_MUX = 0x70010001;
inline constexpr std::uint32_t MIXER_CONTROL_MIXER = 0x71010001;
inline constexpr std::uint32_t MIXER_FLAG_UNIFORM = 0x1;
inline constexpr std::uint32_t MIXER_FLAG_MULTIPLE = 0x2;

// Longest mixer name.
inline constexpr std::size_t MIXER_NAME_LENGTH = 32;

// What a mixer holds, as data.
struct TMixerControlModel {
    std::uint32_t Type = MIXER_CONTROL_VOLUME;
    std::string Name;
    bool Uniform = false;
    std::int32_t Minimum = 0, Maximum = 65535;
    // Items of a selector (its flags then say multiple); 0 for the other controls.
    std::uint32_t Items = 0;
    // One value per channel (per item for a selector); the scripted mixer keeps them here.
    std::vector<std::int32_t> Values;
    // Where a real mixer keeps the value: the simple element (an index into the card's list),
    // how it is read, and for a selector of switches the element of every item (-1: none).
    int Element = -1;
    int Binding = 0;
    std::vector<int> ItemElements;
};
struct TMixerLineModel {
    std::string Name;
    std::uint32_t ComponentType = MIXER_SRC_UNDEFINED;
    std::uint32_t Channels = 2;
    std::vector<TMixerControlModel> Controls;
};
struct TMixerDestinationModel : TMixerLineModel {
    std::vector<TMixerLineModel> Sources;
};
struct TMixerModel {
    std::string Name;
    std::vector<TMixerDestinationModel> Destinations;
};

struct TMixerLineInfo {
    std::uint32_t LineId = 0;
    std::uint32_t Destination = 0;
    std::uint32_t Source = 0;
    std::uint32_t ComponentType = 0;
    std::uint32_t Channels = 0;
    std::uint32_t Connections = 0; // sources of a destination
    std::uint32_t Controls = 0;
    std::string Name;
};
struct TMixerControlInfo {
    std::uint32_t ControlId = 0;
    std::uint32_t Type = 0;
    std::uint32_t Flags = 0;
    std::uint32_t Items = 0;
    std::int32_t Minimum = 0, Maximum = 0;
    std::string Name;
};

// Number of mixer devices, and the product name of one (false for an id out of range).
int MixerCount();
bool MixerName(int Id, std::string& Name);

class TMixerDevice {
public:
    // Device Id below MixerCount(); nullptr for any other (-1 included) or when it cannot open.
    static std::unique_ptr<TMixerDevice> Open(int Id);
    virtual ~TMixerDevice() = default;

    // Product name, at most MIXER_NAME_LENGTH characters.
    virtual bool GetName(std::string& Name);
    int Destinations() const { return static_cast<int>(model_.Destinations.size()); }
    virtual bool GetDestination(int Destination, TMixerLineInfo& Info);
    virtual bool GetSource(int Destination, int Source, TMixerLineInfo& Info);
    // The line's control of this type.
    virtual bool GetControlByType(std::uint32_t LineId, std::uint32_t Type,
                                  TMixerControlInfo& Info);
    // Count values: one per channel addressed, or one per item of a selector.
    virtual bool GetDetails(std::uint32_t ControlId, std::uint32_t Count, std::int32_t* Values);
    virtual bool SetDetails(std::uint32_t ControlId, std::uint32_t Count,
                            const std::int32_t* Values);

    const TMixerModel& Model() const { return model_; }

protected:
    explicit TMixerDevice(TMixerModel Model) : model_(std::move(Model)) {}
    TMixerControlModel* Control(std::uint32_t ControlId);
    virtual bool Read(TMixerControlModel& Control) = 0;  // into Control.Values
    virtual bool Write(TMixerControlModel& Control) = 0; // from Control.Values
    TMixerModel model_;
};

// One simple element of an ALSA card, as far as the mapping looks at it.
struct TAlsaElement {
    std::string Name;
    int Index = 0;
    bool PlaybackVolume = false;
    long PlaybackMin = 0, PlaybackMax = 0;
    int PlaybackChannels = 0; // 1 mono, 2 or more
    bool PlaybackSwitch = false, PlaybackSwitchJoined = false;
    bool CaptureVolume = false;
    long CaptureMin = 0, CaptureMax = 0;
    int CaptureChannels = 0;
    bool CaptureSwitch = false, CaptureSwitchJoined = false, CaptureSwitchExclusive = false;
    // An enumerated capture element (the card's input source choice): its items.
    bool CaptureEnum = false;
    std::vector<std::string> EnumItems;
};

// How a real control's value is kept (TMixerControlModel::Binding).
enum TAlsaBinding {
    AlsaPlaybackVolume = 1,
    AlsaPlaybackMute, // the playback switch, inverted
    AlsaCaptureVolume,
    AlsaCaptureMute,    // the capture switch, inverted
    AlsaEnumSelector,   // item i is 1 when the enumeration chose item i
    AlsaSwitchSelector, // item i is the capture switch of ItemElements[i]
};

// The mixer of one card: a speakers destination "Master" when the card has playback elements
// (the "Master" element's volume and switch, bass and treble from "Bass" and "Treble", every
// other playback element a source), and a wave-in destination "Capture" when it has capture
// elements (the "Capture" element's volume and switch; the sources are the items of an
// enumerated capture element under a single-select selector, or else every other capture
// element, whose capture switches make the selector: single-select when they are exclusive).
TMixerModel MixerModelFromAlsa(const std::string& CardName,
                               const std::vector<TAlsaElement>& Elements);

// The real mixers (mixer_alsa.cpp).
int AlsaMixerCount();
std::unique_ptr<TMixerDevice> OpenAlsaMixer(int Id);

} // namespace platform
