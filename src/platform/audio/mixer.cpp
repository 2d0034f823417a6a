#include "platform/audio/mixer.h"

#include "platform/audio/scripted.h"
#include "platform/audio/sound.h"
#include "platform/audio/sound_internal.h"

#include <algorithm>

namespace platform {

namespace {

// Line ids: destination in the high word, source + 1 in the low one (0: the destination).
std::uint32_t LineId(int Destination, int Source) {
    return (static_cast<std::uint32_t>(Destination) << 16) | static_cast<std::uint32_t>(Source + 1);
}
// Control ids: the line's id shifted, then the control's index on the line.
std::uint32_t ControlId(std::uint32_t Line, std::size_t Index) {
    return (Line << 8) | static_cast<std::uint32_t>(Index);
}

TMixerLineModel* FindLine(TMixerModel& Model, std::uint32_t Line) {
    const std::uint32_t d = Line >> 16, s = Line & 0xFFFF;
    if (d >= Model.Destinations.size()) return nullptr;
    TMixerDestinationModel& dest = Model.Destinations[d];
    if (s == 0) return &dest;
    if (s - 1 >= dest.Sources.size()) return nullptr;
    return &dest.Sources[s - 1];
}

void FillLine(const TMixerLineModel& Line, std::uint32_t Id, int Destination, int Source,
              TMixerLineInfo& Info) {
    Info.LineId = Id;
    Info.Destination = static_cast<std::uint32_t>(Destination);
    Info.Source = static_cast<std::uint32_t>(std::max(Source, 0));
    Info.ComponentType = Line.ComponentType;
    Info.Channels = Line.Channels;
    Info.Controls = static_cast<std::uint32_t>(Line.Controls.size());
    Info.Name = Line.Name;
}

class TScriptedMixer final : public TMixerDevice {
public:
    TScriptedMixer(TMixerModel Model, TMixerModel* Stored)
        : TMixerDevice(std::move(Model)), stored_(Stored) {}

protected:
    bool Read(TMixerControlModel&) override {
        return !ScriptedAudio().Failing("mixerGetControlDetails");
    }
    bool Write(TMixerControlModel& Control) override {
        if (ScriptedAudio().Failing("mixerSetControlDetails")) return false;
        // The test's list sees what was written, as another opening of the mixer would.
        for (std::size_t d = 0; d < model_.Destinations.size(); ++d) {
            auto copy = [&](TMixerLineModel& mine, TMixerLineModel& theirs) {
                for (std::size_t c = 0; c < mine.Controls.size() && c < theirs.Controls.size(); ++c)
                    if (&mine.Controls[c] == &Control) theirs.Controls[c].Values = Control.Values;
            };
            if (d >= stored_->Destinations.size()) break;
            copy(model_.Destinations[d], stored_->Destinations[d]);
            for (std::size_t s = 0; s < model_.Destinations[d].Sources.size() &&
                                    s < stored_->Destinations[d].Sources.size();
                 ++s)
                copy(model_.Destinations[d].Sources[s], stored_->Destinations[d].Sources[s]);
        }
        return true;
    }

private:
    TMixerModel* stored_;
};

} // namespace

int MixerCount() {
    switch (AudioDevicesInUse()) {
    case TAudioDevices::Null:
        return 0;
    case TAudioDevices::Scripted:
        return static_cast<int>(ScriptedAudio().Mixers.size());
    case TAudioDevices::Real:
        break;
    }
    return AlsaMixerCount();
}

bool MixerName(int Id, std::string& Name) {
    std::unique_ptr<TMixerDevice> m = TMixerDevice::Open(Id);
    return m && m->GetName(Name);
}

std::unique_ptr<TMixerDevice> TMixerDevice::Open(int Id) {
    if (Id < 0 || Id >= MixerCount()) return nullptr;
    if (AudioDevicesInUse() == TAudioDevices::Scripted) {
        if (ScriptedAudio().Failing("mixerOpen")) return nullptr;
        TMixerModel& stored = ScriptedAudio().Mixers[static_cast<std::size_t>(Id)];
        return std::make_unique<TScriptedMixer>(stored, &stored);
    }
    return OpenAlsaMixer(Id);
}

bool TMixerDevice::GetName(std::string& Name) {
    if (AudioDevicesInUse() == TAudioDevices::Scripted &&
        ScriptedAudio().Failing("mixerGetDevCaps"))
        return false;
    Name = model_.Name.substr(0, MIXER_NAME_LENGTH);
    return true;
}

bool TMixerDevice::GetDestination(int Destination, TMixerLineInfo& Info) {
    if (AudioDevicesInUse() == TAudioDevices::Scripted &&
        ScriptedAudio().Failing("mixerGetLineInfo"))
        return false;
    if (Destination < 0 || Destination >= Destinations()) return false;
    const TMixerDestinationModel& d = model_.Destinations[static_cast<std::size_t>(Destination)];
    FillLine(d, LineId(Destination, -1), Destination, -1, Info);
    Info.Connections = static_cast<std::uint32_t>(d.Sources.size());
    return true;
}

bool TMixerDevice::GetSource(int Destination, int Source, TMixerLineInfo& Info) {
    if (AudioDevicesInUse() == TAudioDevices::Scripted &&
        ScriptedAudio().Failing("mixerGetLineInfo"))
        return false;
    if (Destination < 0 || Destination >= Destinations()) return false;
    const TMixerDestinationModel& d = model_.Destinations[static_cast<std::size_t>(Destination)];
    if (Source < 0 || Source >= static_cast<int>(d.Sources.size())) return false;
    FillLine(d.Sources[static_cast<std::size_t>(Source)], LineId(Destination, Source), Destination,
             Source, Info);
    Info.Connections = 0;
    return true;
}

bool TMixerDevice::GetControlByType(std::uint32_t Line, std::uint32_t Type,
                                    TMixerControlInfo& Info) {
    TMixerLineModel* line = FindLine(model_, Line);
    if (!line) return false;
    for (std::size_t i = 0; i < line->Controls.size(); ++i) {
        const TMixerControlModel& c = line->Controls[i];
        if (c.Type != Type) continue;
        Info.ControlId = ControlId(Line, i);
        Info.Type = c.Type;
        Info.Flags = (c.Uniform ? MIXER_FLAG_UNIFORM : 0) | (c.Items ? MIXER_FLAG_MULTIPLE : 0);
        Info.Items = c.Items;
        Info.Minimum = c.Minimum;
        Info.Maximum = c.Maximum;
        Info.Name = c.Name;
        return true;
    }
    return false;
}

TMixerControlModel* TMixerDevice::Control(std::uint32_t Id) {
    TMixerLineModel* line = FindLine(model_, Id >> 8);
    const std::size_t index = Id & 0xFF;
    if (!line || index >= line->Controls.size()) return nullptr;
    return &line->Controls[index];
}

bool TMixerDevice::GetDetails(std::uint32_t Id, std::uint32_t Count, std::int32_t* Values) {
    TMixerControlModel* c = Control(Id);
    if (!c || !Values || Count == 0 || !Read(*c)) return false;
    for (std::uint32_t i = 0; i < Count; ++i)
        Values[i] =
            c->Values.empty() ? 0 : c->Values[std::min<std::size_t>(i, c->Values.size() - 1)];
    return true;
}

bool TMixerDevice::SetDetails(std::uint32_t Id, std::uint32_t Count, const std::int32_t* Values) {
    TMixerControlModel* c = Control(Id);
    if (!c || !Values || Count == 0) return false;
    // A uniform control, or fewer values than channels: the first value for every channel.
    const std::size_t n = std::max<std::size_t>(c->Values.size(), Count);
    std::vector<std::int32_t> values(n);
    for (std::size_t i = 0; i < n; ++i)
        values[i] = std::clamp(Values[std::min<std::size_t>(i, Count - 1)],
                               c->Items ? 0 : c->Minimum, c->Items ? 1 : c->Maximum);
    std::vector<std::int32_t> before = c->Values;
    c->Values = std::move(values);
    if (!Write(*c)) {
        c->Values = std::move(before);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::string ElementName(const TAlsaElement& E) {
    return E.Index > 0 ? E.Name + " " + std::to_string(E.Index) : E.Name;
}

std::uint32_t SourceType(const std::string& Name) {
    if (Name.find("PCM") != std::string::npos) return MIXER_SRC_WAVEOUT;
    if (Name.find("Mic") != std::string::npos) return MIXER_SRC_MICROPHONE;
    if (Name.find("Line") != std::string::npos) return MIXER_SRC_LINE;
    if (Name.find("CD") != std::string::npos) return MIXER_SRC_COMPACTDISC;
    return MIXER_SRC_ANALOG;
}

TMixerControlModel Volume(const std::string& Name, std::uint32_t Type, long Min, long Max,
                          int Channels, int Element, TAlsaBinding Binding) {
    TMixerControlModel c;
    c.Type = Type;
    c.Name = Name;
    c.Minimum = static_cast<std::int32_t>(Min);
    c.Maximum = static_cast<std::int32_t>(Max);
    c.Values.assign(static_cast<std::size_t>(std::clamp(Channels, 1, 2)), c.Minimum);
    c.Uniform = Channels <= 1;
    c.Element = Element;
    c.Binding = Binding;
    return c;
}

TMixerControlModel Mute(const std::string& Name, bool Joined, int Channels, int Element,
                        TAlsaBinding Binding) {
    TMixerControlModel c;
    c.Type = MIXER_CONTROL_MUTE;
    c.Name = Name + " Mute";
    c.Minimum = 0;
    c.Maximum = 1;
    c.Uniform = Joined || Channels <= 1;
    c.Values.assign(c.Uniform ? 1 : static_cast<std::size_t>(std::clamp(Channels, 1, 2)), 0);
    c.Element = Element;
    c.Binding = Binding;
    return c;
}

} // namespace

TMixerModel MixerModelFromAlsa(const std::string& CardName,
                               const std::vector<TAlsaElement>& Elements) {
    TMixerModel m;
    m.Name = CardName.substr(0, MIXER_NAME_LENGTH);
    const int n = static_cast<int>(Elements.size());
    auto at = [&](int i) -> const TAlsaElement& { return Elements[static_cast<std::size_t>(i)]; };
    auto find = [&](const std::string& Name, auto&& Pred) {
        for (int i = 0; i < n; ++i)
            if (at(i).Index == 0 && at(i).Name == Name && Pred(at(i))) return i;
        return -1;
    };

    // Speakers.
    bool playback = false;
    for (const TAlsaElement& e : Elements)
        playback = playback || e.PlaybackVolume || e.PlaybackSwitch;
    if (playback) {
        TMixerDestinationModel d;
        d.Name = "Master";
        d.ComponentType = MIXER_DST_SPEAKERS;
        const int master = find(
            "Master", [](const TAlsaElement& e) { return e.PlaybackVolume || e.PlaybackSwitch; });
        if (master >= 0) {
            const TAlsaElement& e = at(master);
            d.Channels = static_cast<std::uint32_t>(std::clamp(e.PlaybackChannels, 1, 2));
            if (e.PlaybackVolume)
                d.Controls.push_back(Volume(e.Name, MIXER_CONTROL_VOLUME, e.PlaybackMin,
                                            e.PlaybackMax, e.PlaybackChannels, master,
                                            AlsaPlaybackVolume));
            if (e.PlaybackSwitch)
                d.Controls.push_back(Mute(e.Name, e.PlaybackSwitchJoined, e.PlaybackChannels,
                                          master, AlsaPlaybackMute));
        }
        const int bass = find("Bass", [](const TAlsaElement& e) { return e.PlaybackVolume; });
        const int treble = find("Treble", [](const TAlsaElement& e) { return e.PlaybackVolume; });
        for (auto [i, type] :
             {std::pair{bass, MIXER_CONTROL_BASS}, std::pair{treble, MIXER_CONTROL_TREBLE}})
            if (i >= 0)
                d.Controls.push_back(Volume(at(i).Name, type, at(i).PlaybackMin, at(i).PlaybackMax,
                                            at(i).PlaybackChannels, i, AlsaPlaybackVolume));
        for (int i = 0; i < n; ++i) {
            const TAlsaElement& e = at(i);
            if (i == master || i == bass || i == treble || !(e.PlaybackVolume || e.PlaybackSwitch))
                continue;
            TMixerLineModel s;
            s.Name = ElementName(e);
            s.ComponentType = SourceType(e.Name);
            s.Channels = static_cast<std::uint32_t>(std::clamp(e.PlaybackChannels, 1, 2));
            if (e.PlaybackVolume)
                s.Controls.push_back(Volume(s.Name, MIXER_CONTROL_VOLUME, e.PlaybackMin,
                                            e.PlaybackMax, e.PlaybackChannels, i,
                                            AlsaPlaybackVolume));
            if (e.PlaybackSwitch)
                s.Controls.push_back(
                    Mute(s.Name, e.PlaybackSwitchJoined, e.PlaybackChannels, i, AlsaPlaybackMute));
            d.Sources.push_back(std::move(s));
        }
        m.Destinations.push_back(std::move(d));
    }

    // Wave-in.
    bool capture = false;
    for (const TAlsaElement& e : Elements)
        capture = capture || e.CaptureVolume || e.CaptureSwitch || e.CaptureEnum;
    if (!capture) return m;
    TMixerDestinationModel d;
    d.Name = "Capture";
    d.ComponentType = MIXER_DST_WAVEIN;
    const int own =
        find("Capture", [](const TAlsaElement& e) { return e.CaptureVolume || e.CaptureSwitch; });
    if (own >= 0) {
        const TAlsaElement& e = at(own);
        d.Channels = static_cast<std::uint32_t>(std::clamp(e.CaptureChannels, 1, 2));
        if (e.CaptureVolume)
            d.Controls.push_back(Volume(e.Name, MIXER_CONTROL_VOLUME, e.CaptureMin, e.CaptureMax,
                                        e.CaptureChannels, own, AlsaCaptureVolume));
        if (e.CaptureSwitch)
            d.Controls.push_back(
                Mute(e.Name, e.CaptureSwitchJoined, e.CaptureChannels, own, AlsaCaptureMute));
    }
    int chooser = -1;
    for (int i = 0; i < n && chooser < 0; ++i)
        if (at(i).CaptureEnum && !at(i).EnumItems.empty()) chooser = i;
    TMixerControlModel selector;
    if (chooser >= 0) {
        const TAlsaElement& e = at(chooser);
        selector.Type = MIXER_CONTROL_MUX;
        selector.Name = e.Name;
        selector.Element = chooser;
        selector.Binding = AlsaEnumSelector;
        for (const std::string& item : e.EnumItems) {
            TMixerLineModel s;
            s.Name = item;
            s.ComponentType = SourceType(item);
            const int level = find(item, [](const TAlsaElement& x) { return x.CaptureVolume; });
            if (level >= 0) {
                s.Channels =
                    static_cast<std::uint32_t>(std::clamp(at(level).CaptureChannels, 1, 2));
                s.Controls.push_back(Volume(item, MIXER_CONTROL_VOLUME, at(level).CaptureMin,
                                            at(level).CaptureMax, at(level).CaptureChannels, level,
                                            AlsaCaptureVolume));
            }
            d.Sources.push_back(std::move(s));
        }
    } else {
        bool exclusive = false, switches = false;
        for (int i = 0; i < n; ++i) {
            const TAlsaElement& e = at(i);
            if (i == own || !(e.CaptureVolume || e.CaptureSwitch)) continue;
            TMixerLineModel s;
            s.Name = ElementName(e);
            s.ComponentType = SourceType(e.Name);
            s.Channels = static_cast<std::uint32_t>(std::clamp(e.CaptureChannels, 1, 2));
            if (e.CaptureVolume)
                s.Controls.push_back(Volume(s.Name, MIXER_CONTROL_VOLUME, e.CaptureMin,
                                            e.CaptureMax, e.CaptureChannels, i, AlsaCaptureVolume));
            selector.ItemElements.push_back(e.CaptureSwitch ? i : -1);
            switches = switches || e.CaptureSwitch;
            exclusive = exclusive || e.CaptureSwitchExclusive;
            d.Sources.push_back(std::move(s));
        }
        if (switches) {
            selector.Type = exclusive ? MIXER_CONTROL_MUX : MIXER_CONTROL_MIXER;
            selector.Name = exclusive ? "Input Source" : "Capture Switches";
            selector.Binding = AlsaSwitchSelector;
        } else {
            selector.ItemElements.clear();
        }
    }
    if (selector.Binding && !d.Sources.empty()) {
        selector.Items = static_cast<std::uint32_t>(d.Sources.size());
        selector.Minimum = 0;
        selector.Maximum = 1;
        selector.Values.assign(selector.Items, 0);
        d.Controls.push_back(std::move(selector));
    }
    m.Destinations.push_back(std::move(d));
    return m;
}

} // namespace platform
