// The real mixers: one per ALSA card, read through its simple elements.
#include "platform/audio/mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace platform {

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::vector<int> Cards() {
    snd_lib_error_set_handler(&QuietAlsa);
    std::vector<int> cards;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        cards.push_back(card);
    return cards;
}

class TAlsaMixer final : public TMixerDevice {
public:
    TAlsaMixer(TMixerModel Model, snd_mixer_t* Handle, std::vector<snd_mixer_elem_t*> Elements)
        : TMixerDevice(std::move(Model)), handle_(Handle), elements_(std::move(Elements)) {}
    ~TAlsaMixer() override { snd_mixer_close(handle_); }

protected:
    bool Read(TMixerControlModel& C) override {
        snd_mixer_handle_events(handle_);
        if (C.Binding == AlsaSwitchSelector) {
            for (std::size_t i = 0; i < C.Values.size() && i < C.ItemElements.size(); ++i) {
                int on = 1;
                if (snd_mixer_elem_t* e = Elem(C.ItemElements[i]))
                    snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on);
                C.Values[i] = on ? 1 : 0;
            }
            return true;
        }
        snd_mixer_elem_t* e = Elem(C.Element);
        if (!e) return false;
        if (C.Binding == AlsaEnumSelector) {
            unsigned chosen = 0;
            if (snd_mixer_selem_get_enum_item(e, SND_MIXER_SCHN_FRONT_LEFT, &chosen) < 0)
                return false;
            for (std::size_t i = 0; i < C.Values.size(); ++i)
                C.Values[i] = i == chosen ? 1 : 0;
            return true;
        }
        for (std::size_t ch = 0; ch < C.Values.size(); ++ch) {
            auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
            long v = 0;
            int on = 1, rc = 0;
            switch (C.Binding) {
            case AlsaPlaybackVolume:
                rc = snd_mixer_selem_get_playback_volume(e, channel, &v);
                break;
            case AlsaCaptureVolume:
                rc = snd_mixer_selem_get_capture_volume(e, channel, &v);
                break;
            case AlsaPlaybackMute:
                rc = snd_mixer_selem_get_playback_switch(e, channel, &on);
                v = !on;
                break;
            case AlsaCaptureMute:
                rc = snd_mixer_selem_get_capture_switch(e, channel, &on);
                v = !on;
                break;
            default:
                return false;
            }
            if (rc < 0) return false;
            C.Values[ch] = static_cast<std::int32_t>(v);
        }
        return true;
    }
    bool Write(TMixerControlModel& C) override {
        if (C.Binding == AlsaSwitchSelector) {
            bool ok = true;
            for (std::size_t i = 0; i < C.Values.size() && i < C.ItemElements.size(); ++i)
                if (snd_mixer_elem_t* e = Elem(C.ItemElements[i]))
                    ok = snd_mixer_selem_set_capture_switch_all(e, C.Values[i] ? 1 : 0) >= 0 && ok;
            return ok;
        }
        snd_mixer_elem_t* e = Elem(C.Element);
        if (!e) return false;
        if (C.Binding == AlsaEnumSelector) {
            auto it = std::find(C.Values.begin(), C.Values.end(), 1);
            if (it == C.Values.end()) return true; // an enumeration always chooses one
            const auto item = static_cast<unsigned>(it - C.Values.begin());
            return snd_mixer_selem_set_enum_item(e, SND_MIXER_SCHN_FRONT_LEFT, item) >= 0;
        }
        bool ok = true;
        for (std::size_t ch = 0; ch < C.Values.size(); ++ch) {
            auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
            const long v = C.Values[ch];
            int rc = 0;
            const bool all = C.Uniform;
            switch (C.Binding) {
            case AlsaPlaybackVolume:
                rc = all ? snd_mixer_selem_set_playback_volume_all(e, v)
                         : snd_mixer_selem_set_playback_volume(e, channel, v);
                break;
            case AlsaCaptureVolume:
                rc = all ? snd_mixer_selem_set_capture_volume_all(e, v)
                         : snd_mixer_selem_set_capture_volume(e, channel, v);
                break;
            case AlsaPlaybackMute:
                rc = all ? snd_mixer_selem_set_playback_switch_all(e, !v)
                         : snd_mixer_selem_set_playback_switch(e, channel, !v);
                break;
            case AlsaCaptureMute:
                rc = all ? snd_mixer_selem_set_capture_switch_all(e, !v)
                         : snd_mixer_selem_set_capture_switch(e, channel, !v);
                break;
            default:
                return false;
            }
            ok = ok && rc >= 0;
        }
        return ok;
    }

private:
    snd_mixer_elem_t* Elem(int Index) const {
        return Index >= 0 && Index < static_cast<int>(elements_.size())
                   ? elements_[static_cast<std::size_t>(Index)]
                   : nullptr;
    }
    snd_mixer_t* handle_;
    std::vector<snd_mixer_elem_t*> elements_;
};

int Channels(snd_mixer_elem_t* e, bool Capture) {
    if (Capture ? snd_mixer_selem_is_capture_mono(e) : snd_mixer_selem_is_playback_mono(e))
        return 1;
    return Capture ? (snd_mixer_selem_has_capture_channel(e, SND_MIXER_SCHN_FRONT_RIGHT) ? 2 : 1)
                   : (snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT) ? 2 : 1);
}

TAlsaElement Describe(snd_mixer_elem_t* e) {
    TAlsaElement d;
    d.Name = snd_mixer_selem_get_name(e);
    d.Index = static_cast<int>(snd_mixer_selem_get_index(e));
    d.PlaybackVolume = snd_mixer_selem_has_playback_volume(e);
    if (d.PlaybackVolume)
        snd_mixer_selem_get_playback_volume_range(e, &d.PlaybackMin, &d.PlaybackMax);
    d.PlaybackSwitch = snd_mixer_selem_has_playback_switch(e);
    d.PlaybackSwitchJoined = snd_mixer_selem_has_playback_switch_joined(e);
    if (d.PlaybackVolume || d.PlaybackSwitch) d.PlaybackChannels = Channels(e, false);
    d.CaptureVolume = snd_mixer_selem_has_capture_volume(e);
    if (d.CaptureVolume) snd_mixer_selem_get_capture_volume_range(e, &d.CaptureMin, &d.CaptureMax);
    d.CaptureSwitch = snd_mixer_selem_has_capture_switch(e);
    d.CaptureSwitchJoined = snd_mixer_selem_has_capture_switch_joined(e);
    d.CaptureSwitchExclusive = d.CaptureSwitch && snd_mixer_selem_has_capture_switch_exclusive(e);
    if (d.CaptureVolume || d.CaptureSwitch) d.CaptureChannels = Channels(e, true);
    if (snd_mixer_selem_is_enumerated(e) && snd_mixer_selem_is_enum_capture(e)) {
        d.CaptureEnum = true;
        const int items = snd_mixer_selem_get_enum_items(e);
        for (int i = 0; i < items; ++i) {
            char name[64] = {};
            snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof name, name);
            d.EnumItems.push_back(name);
        }
    }
    return d;
}

} // namespace

int AlsaMixerCount() {
    return static_cast<int>(Cards().size());
}

std::unique_ptr<TMixerDevice> OpenAlsaMixer(int Id) {
    const std::vector<int> cards = Cards();
    if (Id < 0 || Id >= static_cast<int>(cards.size())) return nullptr;
    const int card = cards[static_cast<std::size_t>(Id)];
    snd_mixer_t* handle = nullptr;
    if (snd_mixer_open(&handle, 0) < 0) return nullptr;
    const std::string hw = "hw:" + std::to_string(card);
    if (snd_mixer_attach(handle, hw.c_str()) < 0 ||
        snd_mixer_selem_register(handle, nullptr, nullptr) < 0 || snd_mixer_load(handle) < 0) {
        snd_mixer_close(handle);
        return nullptr;
    }
    std::vector<snd_mixer_elem_t*> elems;
    std::vector<TAlsaElement> described;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(handle); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e)) continue;
        elems.push_back(e);
        described.push_back(Describe(e));
    }
    char* name = nullptr;
    std::string cardName = "Card " + std::to_string(card);
    if (snd_card_get_name(card, &name) == 0 && name) {
        cardName = name;
        free(name);
    }
    return std::make_unique<TAlsaMixer>(MixerModelFromAlsa(cardName, described), handle,
                                        std::move(elems));
}

} // namespace platform
