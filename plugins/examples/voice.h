// A small polyphonic oscillator shared by the example instruments: sine or saw voices with a
// short attack and an exponential release.
#pragma once

#include <cmath>
#include <cstdint>

namespace tvexample {

constexpr int Voices = 8;

struct Voice {
    int Note = -1;
    double Phase = 0, Step = 0;
    float Level = 0, Target = 0, Gain = 0;
    bool Releasing = false;
};

class Oscillator {
public:
    float Rate = 44100.0f;
    float Volume = 0.7f;  // 0..1
    float Wave = 0.0f;    // < 0.5 sine, else saw
    float Release = 0.3f; // 0..1: 10 ms .. 2 s

    void NoteOn(int Note, int Velocity) {
        if (Velocity == 0) return NoteOff(Note);
        Voice* v = &voices_[0];
        for (Voice& c : voices_)
            if (c.Level < v->Level || c.Note < 0) {
                v = &c;
                if (c.Note < 0) break;
            }
        v->Note = Note;
        v->Phase = 0;
        v->Step = 440.0 * std::pow(2.0, (Note - 69) / 12.0) / Rate;
        v->Gain = Velocity / 127.0f;
        v->Releasing = false;
    }
    void NoteOff(int Note) {
        for (Voice& v : voices_)
            if (v.Note == Note && !v.Releasing) v.Releasing = true;
    }
    void AllOff() {
        for (Voice& v : voices_) v.Releasing = true;
    }
    void Midi(std::uint32_t Msg) {
        const int status = Msg & 0xF0, d1 = (Msg >> 8) & 0x7F, d2 = (Msg >> 16) & 0x7F;
        if (status == 0x90) NoteOn(d1, d2);
        else if (status == 0x80) NoteOff(d1);
        else if (status == 0xB0 && (d1 == 123 || d1 == 120)) AllOff();
    }
    // Adds Frames samples to Left and Right (Stride floats apart).
    void Render(float* Left, float* Right, int Frames, int Stride) {
        const float attack = 1.0f - std::exp(-1.0f / (0.005f * Rate));
        const float seconds = 0.01f + Release * 1.99f;
        const float release = std::exp(-6.9f / (seconds * Rate)); // -60 dB over the time
        for (Voice& v : voices_) {
            if (v.Note < 0) continue;
            for (int i = 0; i < Frames; ++i) {
                if (v.Releasing)
                    v.Level *= release;
                else
                    v.Level += (1.0f - v.Level) * attack;
                const double p = v.Phase;
                float s = Wave < 0.5f ? static_cast<float>(std::sin(2 * M_PI * p))
                                      : static_cast<float>(2 * p - 1);
                v.Phase += v.Step;
                if (v.Phase >= 1) v.Phase -= 1;
                s *= v.Level * v.Gain * Volume * 0.25f;
                Left[i * Stride] += s;
                Right[i * Stride] += s;
            }
            if (v.Releasing && v.Level < 1e-5f) {
                v.Note = -1;
                v.Level = 0;
            }
        }
    }

private:
    Voice voices_[Voices];
};

} // namespace tvexample
