#include "devices/mixkernels.h"

#include "song/timebase.h"

#include <algorithm>
#include <cstring>

TWaveFormat MakePcmFormat(int Channels, int Rate, int Bits) {
    TWaveFormat f;
    f.wFormatTag = 1;
    f.nChannels = static_cast<std::uint16_t>(Channels);
    f.nSamplesPerSec = static_cast<std::uint32_t>(Rate);
    f.wBitsPerSample = static_cast<std::uint16_t>(Bits);
    f.nBlockAlign = static_cast<std::uint16_t>(Channels * (Bits / 8));
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = 0;
    return f;
}

bool IsSupportedWaveFormat(const TWaveFormat& Format) {
    std::uint32_t r = Format.nSamplesPerSec;
    return (r == 11025 || r == 22050 || r == 44100) &&
           (Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16) &&
           (Format.nChannels == 1 || Format.nChannels == 2);
}

namespace {

int RaiseToMultiple(long long V, int Step) {
    long long r = V % Step;
    if (r != 0) V += r > 0 ? Step - r : -r;
    return static_cast<int>(std::clamp<long long>(V, -0x7FFFFFFFLL, 0x7FFFFFFFLL));
}

// The walk shared by the kernels; Mix(L, R, DestByte) mixes one destination frame.
template <class MixFrame>
int Walk(const void* Src, int SrcPos, double DestPos, int EndMs, const TWaveFormat& Format,
         int SrcLen, int DestLen, int FrameSize, MixFrame Mix) {
    if (!IsSupportedWaveFormat(Format) || !Src) return -1;
    // The frame as the data holds it; a record whose block align disagrees cannot make the
    // kernel step off the frames.
    const int bytesPer = Format.wBitsPerSample / 8;
    const int align = Format.nChannels * bytesPer;
    DestLen = DestLen / FrameSize * FrameSize;
    int d = RaiseToMultiple(Round(DestPos * FrameSize), FrameSize);
    if (d < 0 || d >= DestLen || SrcPos < 0 || SrcPos >= SrcLen) return 0;
    const int whole = (SrcLen - SrcPos) / align * align; // never a partial frame at the end
    long long n;
    if (EndMs == -1) {
        n = whole;
    } else {
        long long perMs = Round(static_cast<double>(align) * Format.nSamplesPerSec * 0.001);
        n = RaiseToMultiple(perMs * EndMs - SrcPos, align);
        n = std::min<long long>(n, whole);
    }
    const int step = static_cast<int>(44100 / Format.nSamplesPerSec);
    const auto* src = static_cast<const std::uint8_t*>(Src) + SrcPos;
    long long c = 0;
    int phase = 0;
    while (c < n && d < DestLen) {
        const std::uint8_t* p = src + c;
        int l, r;
        if (bytesPer == 1) {
            l = (p[0] - 128) * 256;
            r = Format.nChannels == 2 ? (p[1] - 128) * 256 : l;
        } else {
            std::int16_t a, b;
            std::memcpy(&a, p, 2);
            if (Format.nChannels == 2)
                std::memcpy(&b, p + 2, 2);
            else
                b = a;
            l = a;
            r = b;
        }
        if (phase == step - 1) {
            c += align;
            phase = 0;
        } else {
            ++phase;
        }
        Mix(l, r, d);
        d += FrameSize;
    }
    return c == n ? -1 : static_cast<int>(c);
}

float ClipUnit(float V) {
    return V > 1.0f ? 1.0f : (V < -1.0f ? -1.0f : V);
}

int MixFloat(const void* Src, float* Dest, int SrcPos, double DestPos, int EndMs,
             const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan, float Gain,
             bool Scaled) {
    const float vol = static_cast<float>(Volume) / 127.0f;
    const float left = static_cast<float>(Pan) / 127.0f;
    const float right = 1.0f - left;
    return Walk(Src, SrcPos, DestPos, EndMs, Format, SrcLen, DestLen, 8, [&](int L, int R, int D) {
        float* f = Dest + D / 4;
        float a = static_cast<float>(L) / 32768.0f * vol * left;
        float b = static_cast<float>(R) / 32768.0f * vol * right;
        if (Scaled) {
            a *= Gain;
            b *= Gain;
        }
        f[0] = ClipUnit(f[0] + a);
        f[1] = ClipUnit(f[1] + b);
    });
}

int ScaleTowardZero(int V, int Volume) {
    int m = V * (Volume + 1);
    return m < 0 ? -((-m) >> 7) : m >> 7;
}

std::int16_t Saturate16(int V) {
    return static_cast<std::int16_t>(std::clamp(V, -32768, 32767));
}

} // namespace

int MixSampleScaled(const void* Src, float* Dest, int SrcPos, double DestPos, int EndMs,
                    const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan,
                    float Gain) {
    return MixFloat(Src, Dest, SrcPos, DestPos, EndMs, Format, SrcLen, DestLen, Volume, Pan, Gain,
                    true);
}

int MixSample(const void* Src, float* Dest, int SrcPos, double DestPos, int EndMs,
              const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan) {
    return MixFloat(Src, Dest, SrcPos, DestPos, EndMs, Format, SrcLen, DestLen, Volume, Pan, 1.0f,
                    false);
}

int MixSampleInt16(const void* Src, std::int16_t* Dest, int SrcPos, double DestPos, int EndMs,
                   const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan) {
    constexpr double kPanStep = 1.0 / 62;
    return Walk(Src, SrcPos, DestPos, EndMs, Format, SrcLen, DestLen, 4, [&](int L, int R, int D) {
        L = ScaleTowardZero(L, Volume);
        R = ScaleTowardZero(R, Volume);
        if (Pan >= 0 && Pan <= 62)
            L = Round(L * kPanStep * Pan);
        else if (Pan >= 65 && Pan <= 127)
            R = Round(R * kPanStep * (127 - Pan));
        std::int16_t* f = Dest + D / 2;
        f[0] = Saturate16(L);
        f[1] = Saturate16(R);
    });
}
