// The real devices as the sound layer calls them: the RtAudio library of our own
// (rtaudio_module.h) is loaded at the first call; without it there are no real devices.
#include "platform/audio/rtaudio_module.h"
#include "platform/core/jackgate.h"

#include <dlfcn.h>

#include <cstddef>
#include <filesystem>
#include <vector>

namespace platform {

namespace {

// The library by name in the folders the executable's own search path lists (its run path
// first). A bare name given to dlopen is looked up with the run path of its caller, which is the
// sanitizers' runtime where it intercepts dlopen: the folders are walked here instead.
void* OpenOnProgramSearchPath() {
    void* self = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size;
    if (!self || dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0)
        return dlopen(RtAudioLibraryName, RTLD_NOW);
    std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
    *info = size;
    if (dlinfo(self, RTLD_DI_SERINFO, info) != 0) return dlopen(RtAudioLibraryName, RTLD_NOW);
    for (unsigned i = 0; i < info->dls_cnt; ++i) {
        const std::filesystem::path file =
            std::filesystem::path(info->dls_serpath[i].dls_name) / RtAudioLibraryName;
        if (void* lib = dlopen(file.c_str(), RTLD_NOW)) return lib;
    }
    return dlopen(RtAudioLibraryName, RTLD_NOW);
}

const TRtAudioEntries* Entries() {
    static const TRtAudioEntries* entries = []() -> const TRtAudioEntries* {
        // Beside the executable, else where the build put it (the executable's run path).
        void* lib = nullptr;
        std::error_code ec;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) lib = dlopen((exe.parent_path() / RtAudioLibraryName).c_str(), RTLD_NOW);
        if (!lib) lib = OpenOnProgramSearchPath();
        if (!lib) return nullptr;
        static const TRtAudioServices services{
            &SetSoundError,
            [](TRingBytes& Ring, const std::uint8_t* In, std::uint32_t Count) {
                Ring.WriteBytes(In, Count);
            },
            [](TRingBytes& Ring, const char* Reason) { Ring.Fail(Reason); }, &JackAnswered};
        auto entry =
            reinterpret_cast<decltype(&tv_rtaudio_entries)>(dlsym(lib, "tv_rtaudio_entries"));
        return entry ? entry(&services) : nullptr;
    }();
    return entries;
}

// The input without the library: it opens nothing.
class TNoInput final : public TInputStream {
public:
    bool Open(const std::string& Id, const TPcmFormat&, std::shared_ptr<TRingBytes>) override {
        SetSoundError("no input device " + Id);
        return false;
    }
};

// The output without the library: it opens nothing.
class TNoDevice final : public TAudioDevice {
public:
    bool Open(int Index, unsigned&, unsigned&) override {
        error_ = "no audio device " + std::to_string(Index);
        return false;
    }
    bool Start(TBlockFunction) override { return false; }
    void Stop() override {}
    void Close() override {}
};

} // namespace

std::vector<std::string> RtAudioOutputNames() {
    const TRtAudioEntries* e = Entries();
    return e ? e->OutputNames() : std::vector<std::string>{};
}

std::unique_ptr<TAudioDevice> MakeRtAudioDevice() {
    const TRtAudioEntries* e = Entries();
    return e ? e->MakeDevice() : std::make_unique<TNoDevice>();
}

std::vector<TCaptureDeviceInfo> RtAudioInputs() {
    const TRtAudioEntries* e = Entries();
    return e ? e->Inputs() : std::vector<TCaptureDeviceInfo>{};
}

bool RtAudioHasInput(const std::string& Id) {
    const TRtAudioEntries* e = Entries();
    return e && e->HasInput(Id);
}

std::unique_ptr<TInputStream> MakeRtAudioInput() {
    const TRtAudioEntries* e = Entries();
    return e ? e->MakeInput() : std::make_unique<TNoInput>();
}

} // namespace platform
