// Disk samples: opening WAV files in place, the disk step of a block, and the purge.
#include "song/disk.h"

#include "devices/audio.h"
#include "devices/midimsg.h"
#include "platform/core/paths.h"
#include "song/render.h"
#include "song/song.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::uint32_t Le32(const std::uint8_t* P) {
    return std::uint32_t(P[0]) | std::uint32_t(P[1]) << 8 | std::uint32_t(P[2]) << 16 |
           std::uint32_t(P[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* P) {
    return static_cast<std::uint16_t>(P[0] | P[1] << 8);
}

// Song samples of a song time in ticks, unrounded: every voice and every stretch of a block
// is placed by rounding these, so that a file's frames follow each other across blocks.
double SamplesAt(double Ticks) {
    return Ticks * AudioRate() / (static_cast<double>(MidiTempo()) * 4);
}
long long FrameAt(double Ticks) {
    return std::llround(SamplesAt(Ticks));
}

// The voices of the current block (renderer's thread only).
std::array<_TDiskVoice, MaxDiskVoices> voices;
int voiceCount = 0;

// The renderer's room for the frames of one read: 1,024 stereo frames of 32 bits.
std::array<std::uint8_t, 8192> frameBuffer;

// A signed little-endian sample of Bits bits as -1 to 1; 24 bits are the upper three bytes of a
// 32-bit integer.
template <int Bits> float SampleValue(const std::uint8_t* P) {
    if constexpr (Bits == 16)
        return static_cast<float>(static_cast<std::int16_t>(Le16(P))) / 32768.0f;
    constexpr float scale = 1.0f / 2147483648.0f;
    if constexpr (Bits == 24)
        return static_cast<float>(static_cast<std::int32_t>(std::uint32_t(P[0]) << 8 |
                                                            std::uint32_t(P[1]) << 16 |
                                                            std::uint32_t(P[2]) << 24)) *
               scale;
    return static_cast<float>(static_cast<std::int32_t>(Le32(P))) * scale;
}

// Adds Count frames of mono or stereo at P to Out (left, right, left, ...).
template <int Bits> void AddFrames(const std::uint8_t* P, int Count, bool Stereo, float* Out) {
    constexpr int width = Bits / 8;
    const int step = Stereo ? 2 * width : width;
    for (int i = 0; i < Count; ++i, P += step, Out += 2) {
        const float l = SampleValue<Bits>(P);
        Out[0] += l;
        Out[1] += Stereo ? SampleValue<Bits>(P + width) : l;
    }
}

void MixVoice(const _TDiskVoice& V, int BlockFrames) {
    // Mono and stereo of 16, 24 and 32 bits play; any other format adds nothing.
    if (V.Channels != 1 && V.Channels != 2) return;
    if (V.Bits != 16 && V.Bits != 24 && V.Bits != 32) return;
    const int out = V.Output >= 0 && V.Output < 32 ? V.Output : 0;
    float* buf = SampleMixBuffers[static_cast<std::size_t>(out)].data();
    const int end = static_cast<int>(
        std::min<long long>(BlockFrames, static_cast<long long>(V.StartFrame) + V.FramesLeft));
    const bool stereo = V.Channels == 2;
    const int perRead = static_cast<int>(frameBuffer.size()) / (V.Bits / 8 * V.Channels);
    std::int64_t frame = V.FirstFrame;
    for (int f = std::max(V.StartFrame, 0); f < end;) {
        const int want = std::min(end - f, perRead);
        const int got = V.Sample->ReadFrames(frame, want, frameBuffer.data());
        const std::uint8_t* p = frameBuffer.data();
        float* at = buf + 2 * static_cast<std::ptrdiff_t>(f);
        switch (V.Bits) {
        case 16:
            AddFrames<16>(p, got, stereo, at);
            break;
        case 24:
            AddFrames<24>(p, got, stereo, at);
            break;
        default:
            AddFrames<32>(p, got, stereo, at);
            break;
        }
        if (got < want) return; // the file ends here now: the rest is silence
        f += got;
        frame += got;
    }
}

bool SameFile(const std::string& A, const std::string& B) {
    struct stat sa {
    }, sb{};
    const bool ha = ::stat(platform::ToNativePath(A).c_str(), &sa) == 0;
    const bool hb = ::stat(platform::ToNativePath(B).c_str(), &sb) == 0;
    if (ha && hb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return !ha && !hb && A == B;
}

// The song's own sample folder: its folder and its file name without the extension.
bool InSampleFolder(const TSong& S, const std::string& FileName) {
    if (S.FileName.empty()) return false;
    std::error_code ec;
    namespace fs = std::filesystem;
    fs::path folder = fs::path(platform::ToNativePath(S.Folder)) /
                      fs::path(platform::ToNativePath(S.FileName)).stem();
    fs::path dir = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    fs::path file = fs::weakly_canonical(fs::path(platform::ToNativePath(FileName)), ec);
    if (ec) return false;
    return file.parent_path() == dir;
}

} // namespace

// ---- TDiskSample ----

TDiskSample::TDiskSample() = default;

TDiskSample::~TDiskSample() {
    Close();
}

bool TDiskSample::Open() {
    if (Opened) return true;
    if (!file_.Open(platform::ToNativePath(FileName))) return false;
    auto fail = [&] {
        file_.Close();
        return false;
    };
    const std::int64_t fileSize = file_.Size();
    std::uint8_t head[12];
    if (fileSize < 12 || file_.ReadAt(0, head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return fail();
    std::int64_t at = 12;
    std::uint64_t left = static_cast<std::uint64_t>(fileSize - 12);
    int channels = 0, rate = 0, bits = 0;
    bool format = false;
    while (left >= 8) {
        std::uint8_t chunk[8];
        if (file_.ReadAt(at, chunk, 8) != 8) return fail();
        std::uint64_t size = Le32(chunk + 4);
        at += 8;
        left -= 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format) return fail(); // no format to read the data by
            size = std::min(size, left);
            const std::size_t frameBytes =
                static_cast<std::size_t>(bits / 8) * static_cast<std::size_t>(channels);
            std::size_t frames = frameBytes ? static_cast<std::size_t>(size) / frameBytes : 0;
            frames = std::min<std::size_t>(frames, static_cast<std::size_t>(INT_MAX) / frameBytes);
            DataStart = at;
            Channels = channels;
            Rate = rate;
            Bits = bits;
            Frames = static_cast<std::int32_t>(frames);
            DataSize = static_cast<std::int32_t>(frames * frameBytes);
            Opened = 1;
            return true;
        }
        if (size > left) break; // a chunk beyond the end: no data follows
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) return fail();
            std::uint8_t fmt[26] = {};
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, 26));
            if (file_.ReadAt(at, fmt, want) != want) return fail();
            int tag = Le16(fmt);
            if (tag == 0xFFFE) tag = size >= 26 ? Le16(fmt + 24) : 0; // the extensible sub-format
            channels = Le16(fmt + 2);
            rate = static_cast<int>(std::min<std::uint32_t>(Le32(fmt + 4), INT_MAX));
            bits = Le16(fmt + 14);
            // Only integer PCM plays; its sizes are what every frame count divides by.
            if (tag != 1 || channels == 0 || bits < 8) return fail();
            format = true;
        }
        at += static_cast<std::int64_t>(size);
        left -= size;
        // An odd chunk is followed by a pad byte, skipped only when it is 0.
        std::uint8_t pad = 1;
        if ((size & 1) && left > 0 && file_.ReadAt(at, &pad, 1) == 1 && pad == 0) {
            ++at;
            --left;
        }
    }
    return fail();
}

void TDiskSample::Close() {
    file_.Close();
    DataStart = 0;
    Opened = 0;
}

int TDiskSample::ReadFrames(std::int64_t First, int Count, std::uint8_t* Out) const {
    if (!Opened || First < 0 || Count <= 0 || First >= Frames) return 0;
    Count = static_cast<int>(std::min<std::int64_t>(Count, Frames - First));
    const std::size_t frameBytes =
        static_cast<std::size_t>(Bits / 8) * static_cast<std::size_t>(Channels);
    const std::size_t got = file_.ReadAt(DataStart + First * static_cast<std::int64_t>(frameBytes),
                                         Out, static_cast<std::size_t>(Count) * frameBytes);
    return static_cast<int>(got / frameBytes);
}

bool DiskFileInUse(int Index, const std::string& FileName) {
    if (!Song) return false;
    for (std::size_t i = 0; i < Song->DiskSamples.size(); ++i)
        if (static_cast<int>(i) != Index && SameFile(Song->DiskSamples[i]->FileName, FileName))
            return true;
    return false;
}

// ---- the disk step ----

void TSong::ScheduleDiskVoices(double From, double Span, int Offset) {
    const long long b = FrameAt(From);
    const long long n = FrameAt(From + Span) - b;
    if (n <= 0) return;
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = Tracks[static_cast<std::size_t>(t)].get();
        if (track->Mode != tmDisk || track->Mute) continue;
        for (_TPart* part = track->Parts; part; part = part->Next) {
            if (part->Start > From + Span) break;
            if (part->Flags & pfMuted) continue;
            if (part->Sample < 0 || static_cast<std::size_t>(part->Sample) >= DiskSamples.size())
                continue;
            const TDiskSample& s = *DiskSamples[static_cast<std::size_t>(part->Sample)];
            if (!s.Opened || s.Frames <= 0) continue;
            const long long p = FrameAt(part->Start);
            const long long first = std::max(0LL, b - p); // file frame at the stretch's start
            const long long into = std::max(0LL, p - b);  // stretch frame of the file's start
            if (first >= s.Frames || into >= n) continue;
            if (voiceCount >= MaxDiskVoices) return;
            const long long count = std::min(n - into, s.Frames - first);
            _TDiskVoice& v = voices[static_cast<std::size_t>(voiceCount++)];
            v.Sample = &s;
            v.FirstFrame = first;
            v.FramesLeft = static_cast<std::int32_t>(count);
            v.Channels = s.Channels;
            v.Bits = s.Bits;
            v.StartFrame = static_cast<std::int32_t>(Offset + into);
            v.Output = track->Output;
        }
    }
}

void TSong::ScheduleDiskBlock(double Span, bool Play) {
    // 1.
    voiceCount = 0;
    const int frames = static_cast<int>(std::min<long long>(FrameAt(Span), MaxBlockFrames));
    int offset = 0;
    // 2.
    double left = PrecountLeft;
    if (left > 0) {
        left -= Span;
        PrecountLeft = left;
        if (left > 0) return;
        offset = static_cast<int>(FrameAt(Span + left));
        Span = -left;
    }
    // 3.
    double pos = AudioPos;
    const double L = LeftLocator, R = RightLocator;
    const bool looping = Looping && R > L;
    if (looping && pos + Span > R && pos < R) {
        ScheduleDiskVoices(pos, R - pos, offset);
        offset += static_cast<int>(FrameAt(R) - FrameAt(pos));
        for (double rest = Span - (R - pos); rest > 0;) {
            const double len = std::min(rest, R - L);
            ScheduleDiskVoices(L, len, offset);
            offset += static_cast<int>(FrameAt(L + len) - FrameAt(L));
            rest -= len;
        }
    } else {
        ScheduleDiskVoices(pos, Span, offset);
    }
    // 4.
    pos += Span;
    if (looping && pos > R) pos -= std::ceil((pos - R) / (R - L)) * (R - L);
    AudioPos = pos;
    if (!Play) return;
    for (int i = 0; i < voiceCount; ++i)
        MixVoice(voices[static_cast<std::size_t>(i)], frames);
}

// ---- purge ----

void TSong::PurgeDiskSamples() {
    // Without the room the GUI thread made when it queued the purge nothing is detached.
    std::size_t unused = 0;
    for (TDiskSample* s : DiskSamples) {
        s->Used = 0;
        s->NewIndex = -1;
    }
    auto forEachPart = [&](auto&& Fn) {
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Tracks[static_cast<std::size_t>(t)].get();
            if (track->Mode != tmDisk) continue;
            for (_TPart* p = track->Parts; p; p = p->Next)
                if (p->Sample >= 0 && static_cast<std::size_t>(p->Sample) < DiskSamples.size())
                    Fn(*p);
        }
    };
    forEachPart([&](_TPart& p) { DiskSamples[static_cast<std::size_t>(p.Sample)]->Used = 1; });
    for (TDiskSample* s : DiskSamples)
        if (!s->Used) ++unused;
    if (unused == 0) return;
    if (PurgedDiskSamples.capacity() - PurgedDiskSamples.size() < unused) return;
    int n = 0;
    for (TDiskSample* s : DiskSamples)
        if (s->Used) s->NewIndex = n++;
    forEachPart(
        [&](_TPart& p) { p.Sample = DiskSamples[static_cast<std::size_t>(p.Sample)]->NewIndex; });
    std::size_t w = 0;
    for (TDiskSample* s : DiskSamples) {
        if (s->Used)
            DiskSamples[w++] = s;
        else
            PurgedDiskSamples.push_back(s); // room reserved: no allocation
    }
    DiskSamples.resize(w); // shrinking allocates nothing
}

void TSong::FinishDiskPurge() {
    std::vector<TDiskSample*> gone;
    {
        TRendererHold hold;
        gone.swap(PurgedDiskSamples);
    }
    for (TDiskSample* s : gone) {
        s->Close();
        // Only a file of the song's own sample folder is the song's to delete; a file that a
        // song file merely calls internal stays.
        if (s->Internal == 1 && !DiskFileInUse(-1, s->FileName) &&
            InSampleFolder(*this, s->FileName)) {
            std::error_code ec;
            std::filesystem::remove(platform::ToNativePath(s->FileName), ec);
        }
        delete s;
    }
}

void TSong::ClearDiskSamples() {
    FinishDiskPurge();
    std::vector<TDiskSample*> gone;
    {
        TRendererHold hold;
        gone.swap(DiskSamples);
    }
    for (TDiskSample* s : gone)
        delete s;
}

void TSong::ReserveDiskPurge() {
    FinishDiskPurge();
    TRendererHold hold;
    PurgedDiskSamples.reserve(DiskSamples.size());
}

void TRenderEngines::ScheduleDiskBlock(TSong& S, double Ticks) {
    S.ScheduleDiskBlock(Ticks);
}
