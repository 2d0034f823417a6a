#pragma once
// The sample mix kernels: an 8- or 16-bit PCM sample, mono or stereo, at 11025, 22050 or
// 44100 Hz, mixed into a 44100 Hz stereo buffer by sample repetition, with volume and pan.
// They touch only the buffers they are given, so any thread may call them.

#include <cstdint>

// The standard wave format record, as wave files store it.
struct TWaveFormat {
    std::uint16_t wFormatTag = 1;
    std::uint16_t nChannels = 2;
    std::uint32_t nSamplesPerSec = 44100;
    std::uint32_t nAvgBytesPerSec = 176400;
    std::uint16_t nBlockAlign = 4;
    std::uint16_t wBitsPerSample = 16;
    std::uint16_t cbSize = 0;
};

// PCM: block align = channels * (bits div 8), bytes per second = block align * rate.
TWaveFormat MakePcmFormat(int Channels, int Rate, int Bits);

// 11025, 22050 or 44100 Hz, 8 or 16 bits, 1 or 2 channels (the tag is not looked at).
bool IsSupportedWaveFormat(const TWaveFormat& Format);

// Each kernel answers the source bytes consumed, -1 when the source end (or EndMs) was
// reached or the format is not supported, 0 when nothing was done. SrcPos is a byte offset,
// DestPos a frame position (a fraction rounds up to the next whole frame), EndMs the end point
// in ms from the sample start (-1: the sample's end), SrcLen and DestLen in bytes, Volume and
// Pan 0..127. Left weight Pan/127, right 1 - Pan/127; sums clip to -1..1.
int MixSampleScaled(const void* Src, float* Dest, int SrcPos, double DestPos, int EndMs,
                    const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan,
                    float Gain);
int MixSample(const void* Src, float* Dest, int SrcPos, double DestPos, int EndMs,
              const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan);
// Into stereo 16-bit frames, replacing them; pan 63 and 64 leave both sides at full level.
int MixSampleInt16(const void* Src, std::int16_t* Dest, int SrcPos, double DestPos, int EndMs,
                   const TWaveFormat& Format, int SrcLen, int DestLen, int Volume, int Pan);
