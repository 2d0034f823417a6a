#include "devices/mmix.h"

#include <algorithm>

using platform::TMixerControlInfo;
using platform::TMixerLineInfo;

TMControl::TMControl(platform::TMixerDevice* MixerArg) : Mixer(MixerArg) {}

bool TMControl::Read(std::int32_t Id, std::int32_t Count, std::vector<std::int32_t>& Values) {
    Values.assign(static_cast<std::size_t>(std::max(Count, 1)), 0);
    return Mixer && Id != -1 &&
           Mixer->GetDetails(static_cast<std::uint32_t>(Id),
                             static_cast<std::uint32_t>(Values.size()), Values.data());
}

void TMControl::Write(std::int32_t Id, const std::vector<std::int32_t>& Values) {
    if (Mixer && Id != -1)
        Mixer->SetDetails(static_cast<std::uint32_t>(Id), static_cast<std::uint32_t>(Values.size()),
                          Values.data());
}

int TMControl::GetVolume() {
    std::vector<std::int32_t> v;
    if (!Read(VolumeId, VolumeChannels, v)) return 0;
    if (VolumeChannels == 2) return static_cast<int>((static_cast<std::int64_t>(v[0]) + v[1]) / 2);
    return v[0];
}

void TMControl::SetVolume(int Value) {
    Write(VolumeId,
          std::vector<std::int32_t>(static_cast<std::size_t>(std::max(VolumeChannels, 1)), Value));
}

bool TMControl::GetMute() {
    if (MuteId == -1) return false;
    std::vector<std::int32_t> v;
    return Read(MuteId, MuteChannels, v) && v[0] == MuteMax;
}

void TMControl::SetMute(bool Mute) {
    Write(MuteId, std::vector<std::int32_t>(static_cast<std::size_t>(std::max(MuteChannels, 1)),
                                            Mute ? MuteMax : MuteMin));
}

bool TMControl::IsSelected() {
    if (SelectorId == -1) return true;
    std::vector<std::int32_t> v;
    return Read(SelectorId, SelectorItems, v) && SelectorItem >= 0 &&
           SelectorItem < static_cast<std::int32_t>(v.size()) &&
           v[static_cast<std::size_t>(SelectorItem)] == 1;
}

void TMControl::SetSelected(bool Selected, bool Exclusive) {
    if (SelectorId == -1) return;
    std::vector<std::int32_t> v;
    if (!Read(SelectorId, SelectorItems, v)) return; // what the others hold is not known
    if (SelectorItem < 0 || SelectorItem >= static_cast<std::int32_t>(v.size())) return;
    if (Exclusive) {
        std::fill(v.begin(), v.end(), 0);
        v[static_cast<std::size_t>(SelectorItem)] = 1;
    } else {
        v[static_cast<std::size_t>(SelectorItem)] = Selected ? 1 : 0;
    }
    Write(SelectorId, v);
}

void TMLine::Close() {
    Controls.clear();
    mixer_.reset();
    opened_ = false;
}

bool TMLine::Open(int MixerId, std::uint32_t ComponentType) {
    Close();
    mixer_ = platform::TMixerDevice::Open(MixerId);
    if (!mixer_) return false;
    opened_ = true;
    if (!mixer_->GetName(Name)) return false;
    for (int d = 0; d < mixer_->Destinations(); ++d) {
        TMixerLineInfo line;
        if (!mixer_->GetDestination(d, line)) return false;
        Name = " " + line.Name;
        if (line.ComponentType == ComponentType) {
            TakeDestination(line);
            return true;
        }
    }
    return false;
}

void TMLine::TakeDestination(const TMixerLineInfo& Line) {
    platform::TMixerDevice* m = mixer_.get();
    const auto channels = static_cast<std::int32_t>(Line.Channels);
    auto mute = [&](std::uint32_t LineId, std::int32_t LineChannels, TMControl& C) {
        TMixerControlInfo info;
        if (!m->GetControlByType(LineId, platform::MIXER_CONTROL_MUTE, info)) return;
        C.MuteId = static_cast<std::int32_t>(info.ControlId);
        C.MuteMin = info.Minimum;
        C.MuteMax = info.Maximum;
        C.MuteChannels = (info.Flags & platform::MIXER_FLAG_UNIFORM) ? 1 : LineChannels;
    };
    auto volume = [&](const TMixerControlInfo& Info, std::int32_t LineChannels, TMControl& C) {
        C.VolumeId = static_cast<std::int32_t>(Info.ControlId);
        C.VolumeMin = Info.Minimum;
        C.VolumeMax = Info.Maximum;
        C.VolumeChannels = LineChannels;
    };

    TMixerControlInfo info;
    if (m->GetControlByType(Line.LineId, platform::MIXER_CONTROL_VOLUME, info)) {
        auto c = std::make_unique<TMControl>(m);
        c->Name = Line.Name;
        volume(info, channels, *c);
        mute(Line.LineId, channels, *c);
        Controls.push_back(std::move(c));
    }
    for (std::uint32_t type : {platform::MIXER_CONTROL_BASS, platform::MIXER_CONTROL_TREBLE}) {
        if (!m->GetControlByType(Line.LineId, type, info)) continue;
        auto c = std::make_unique<TMControl>(m);
        c->Name = info.Name;
        volume(info, channels, *c);
        Controls.push_back(std::move(c));
    }
    std::int32_t selector = -1, items = 0;
    if (m->GetControlByType(Line.LineId, platform::MIXER_CONTROL_MIXER, info) ||
        m->GetControlByType(Line.LineId, platform::MIXER_CONTROL_MUX, info)) {
        selector = static_cast<std::int32_t>(info.ControlId);
        items = static_cast<std::int32_t>(info.Items);
    }
    ExclusiveSelect = m->GetControlByType(Line.LineId, platform::MIXER_CONTROL_MUX, info);
    for (std::uint32_t s = 0; s < Line.Connections; ++s) {
        TMixerLineInfo source;
        source.LineId = 0xFFFFFFFF; // a source that cannot be read has no controls
        m->GetSource(static_cast<int>(Line.Destination), static_cast<int>(s), source);
        if (!m->GetControlByType(source.LineId, platform::MIXER_CONTROL_VOLUME, info)) continue;
        auto c = std::make_unique<TMControl>(m);
        c->Name = source.Name;
        const auto sourceChannels = static_cast<std::int32_t>(source.Channels);
        volume(info, sourceChannels, *c);
        mute(source.LineId, sourceChannels, *c);
        if (selector != -1) {
            c->SelectorId = selector;
            c->SelectorItem = static_cast<std::int32_t>(s);
            c->SelectorItems = items;
        }
        Controls.push_back(std::move(c));
    }
}
