// The stream back end of the ports to a JACK MIDI port, against a dummy JACK server of the
// test's own and a monitor client: notes come at the frames of their ticks, and a stop takes
// back what was handed to the port ahead of its time.
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/ini.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiport.h"
#include "support/jack_monitor.h"
#include "support/jack_server.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

template <class F> bool WaitUntil(F done, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (done()) return true;
    return done();
}

int OutputDevice(const std::string& name) {
    for (unsigned i = 0, n = midiOutGetNumDevs(); i < n; ++i) {
        MIDIOUTCAPS caps;
        if (midiOutGetDevCaps(i, &caps) == MMSYSERR_NOERROR && name == caps.szPname)
            return static_cast<int>(i);
    }
    return -1;
}

std::uint32_t On(int Key) {
    return PackMidiMsg(0x90, static_cast<std::uint32_t>(Key), 100);
}
std::uint32_t Off(int Key) {
    return PackMidiMsg(0x80, static_cast<std::uint32_t>(Key), 0);
}

TEST(PortsJack, NotesComeAtTheFramesOfTheirTicksAndAStopTakesBackWhatWasHandedAhead) {
    TempSettings settings;
    DummyJackServer server(128, 48000, true);
    if (!server.Started())
        GTEST_SKIP() << server.Unavailable("jackd could not be started (is jackd2 installed?)");
    SetMidiRealPorts(true);
    if (!WaitUntil([&] { return server.Exited() || JackServer(); }, std::chrono::seconds(10)) ||
        !JackServer())
        GTEST_SKIP() << server.Unavailable("the dummy JACK server did not come up");
    int device = -1;
    {
        TJackMonitor monitor(64);
        ASSERT_TRUE(monitor.Running());
        ASSERT_TRUE(WaitUntil([&] { return (device = OutputDevice("monitor in")) >= 0; },
                              std::chrono::seconds(3)));
        {
            TIniFile ini("tolvern.ini");
            ini.WriteInteger("sdevice", "id", device);
            for (int i = 0, n = static_cast<int>(midiOutGetNumDevs()); i < n; ++i)
                ini.WriteBool("midisetup", "device" + std::to_string(i), i == device);
        }
        HWND window = RegisterWindowProc([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        {
            TPorts ports(window);
            ASSERT_TRUE(ports.SetTempo(120)); // 240 ticks to the quarter: 2,083.3 us a tick
            // Notes 25, 60, 73 and 100 ticks after the start, each ended 10 ticks later.
            const int ticks[] = {25, 60, 73, 100};
            int last = 0;
            for (int i = 0; i < 4; ++i) {
                ASSERT_TRUE(ports.Push(ticks[i] - last, On(60 + i), 0, device));
                ASSERT_TRUE(ports.Push(10, Off(60 + i), 0, device));
                last = ticks[i] + 10;
            }
            ports.Start(0);
            ASSERT_TRUE(monitor.WaitFor(8, std::chrono::seconds(3)));
            ports.Stop();
            auto events = monitor.Events();
            std::vector<std::int64_t> ons;
            for (const auto& e : events)
                if (e.Message[0] == 0x90) ons.push_back(e.TimeUs - events[0].TimeUs);
            ASSERT_EQ(ons.size(), 4u);
            for (int i = 0; i < 4; ++i)
                // Two frames either way: the server's cycle times are its own estimates.
                EXPECT_NEAR(ons[static_cast<std::size_t>(i)], (ticks[i] - ticks[0]) * 500000 / 240,
                            42)
                    << "note " << i;

            // Notes 150 and 200 ms on: handed ahead before a stop at about 100 ms.
            monitor.Clear();
            ASSERT_TRUE(ports.Push(72, On(70), 0, device));
            ASSERT_TRUE(ports.Push(19, Off(70), 0, device));
            ASSERT_TRUE(ports.Push(5, On(71), 0, device));
            ASSERT_TRUE(ports.Push(19, Off(71), 0, device));
            ports.Start(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ports.Stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            std::vector<std::vector<std::uint8_t>> after;
            for (const auto& e : monitor.Events())
                after.push_back(e.Message);
            EXPECT_EQ(after, (std::vector<std::vector<std::uint8_t>>{{0x80, 70, 0}, {0x80, 71, 0}}))
                << "only the ends of the notes";
        }
        UnregisterWindowProc(window);
    }
    ReleaseJackServer();
}

} // namespace
