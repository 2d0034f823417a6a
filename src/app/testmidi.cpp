#include "app/testmidi.h"

#include "platform/midi/midi.h"
#include "platform/midi/midiport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

using namespace platform;

namespace {

class TLogFile {
public:
    explicit TLogFile(const std::string& Path) : f_(std::fopen(Path.c_str(), "w")) {}
    ~TLogFile() {
        if (f_) std::fclose(f_);
    }
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;
    bool Open() const { return f_ != nullptr; }
    // One line per message, flushed at once: the reader may look while the program runs.
    void Write(const std::uint8_t* Bytes, std::size_t Count) {
        std::lock_guard lock(m_);
        for (std::size_t i = 0; i < Count; ++i)
            std::fprintf(f_, i ? " %02X" : "%02X", Bytes[i]);
        std::fputc('\n', f_);
        std::fflush(f_);
    }

private:
    std::FILE* f_;
    std::mutex m_;
};

class TLogConnection : public TMidiOutConnection {
public:
    explicit TLogConnection(std::shared_ptr<TLogFile> Log) : log_(std::move(Log)) {}
    bool Send(const std::uint8_t* Bytes, std::size_t Count) override {
        log_->Write(Bytes, Count);
        return true;
    }

private:
    std::shared_ptr<TLogFile> log_;
};

class TLogPort : public TMidiOutPort {
public:
    explicit TLogPort(std::shared_ptr<TLogFile> Log) : log_(std::move(Log)) {}
    std::string Name() const override { return "Test log"; }
    std::uint16_t Technology() const override { return MOD_MIDIPORT; }
    std::unique_ptr<TMidiOutConnection> Open() override {
        return std::make_unique<TLogConnection>(log_);
    }

private:
    std::shared_ptr<TLogFile> log_;
};

} // namespace

bool InstallTestMidiLog() {
    const char* path = std::getenv("TOLVERN_TEST_MIDI_LOG");
    if (!path || !*path) return false;
    auto log = std::make_shared<TLogFile>(path);
    if (!log->Open()) return false;
    // In-process ports come before the system's, so this one is device 0.
    RegisterMidiPort(std::shared_ptr<TMidiOutPort>(std::make_shared<TLogPort>(log)));
    return true;
}
