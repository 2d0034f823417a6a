// The setup dialogs headless: the audio options dialog on the scripted driver (devices A and
// B) reached by a right press on the arrange window's "Audio" button, the properties dialog,
// the plug-in folders dialog with the softsynth search loop, and the settings they write.
#include "app/app_fixture.h"

#include "app/arrange.h"
#include "devices/audio.h"
#include "devices/ui/audiosetup.h"
#include "devices/ui/uaudioabout.h"
#include "devices/ui/upluginsearch.h"
#include "devices/vst2.h"
#include "platform/core/paths.h"
#include "platform/forms/buttons.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/timebase.h"
#include "support/fake_library.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace platform;

namespace {

class SetupDialogs : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // The built drivers, under the temporary program folder.
        for (const char* f : {"system", "synth", "fx"}) {
            std::filesystem::remove_all(program.Path() + f);
            if (std::string(f) == "system")
                std::filesystem::create_directory_symlink(TOLVERN_BIN_DIR "/system",
                                                          program.Path() + f);
            else
                std::filesystem::create_directory(program.Path() + f);
        }
    }
    void Launch(const std::string& Ini) {
        settings.WriteIni(Ini);
        ASSERT_TRUE(Start());
        ASSERT_NE(fmArrange, nullptr);
    }
    // The arrange window's "Audio" button pressed with the right button: the options dialog,
    // whose modal loop runs Check under the caption given.
    void RightPressAudio(const std::string& Caption, std::function<void(TfmAudioSetup*)> Check) {
        TSpeedButton* b = fmArrange->sbAudio;
        const TPoint p = b->ClientToScreen({b->Width / 2, b->Height / 2});
        // The dialog opens on the press; the button comes up while it shows.
        gui.OnModal(Caption, [this, Check, p](HWND) {
            gui.Release(p, MouseButton::Right);
            Check(fmAudioSetup);
            fmAudioSetup->btnClose->Click();
        });
        gui.Press(p, MouseButton::Right);
        ASSERT_NE(fmAudioSetup, nullptr);
        EXPECT_FALSE(fmAudioSetup->Visible);
    }
    static std::vector<std::string> Items(TComboBox* Combo) {
        std::vector<std::string> r;
        for (int i = 0; i < Combo->Items.Count(); ++i)
            r.push_back(Combo->Items[i]);
        return r;
    }
    // The folder picker answers with Folder.
    void PickFolder(const std::string& Folder) {
        gui.OnModal("Select Folder", [Folder](HWND) {
            fmDirectory->DirectoryListBox1->Directory = Folder;
            fmDirectory->ModalResult = mrOk;
        });
    }
};

TEST_F(SetupDialogs, WithoutADriverNothingIsSelectedAndTheDriversAreListed) {
    Launch("[Audio]\nEnabled=0\n");
    RightPressAudio("Audio options (No system selected)", [](TfmAudioSetup* d) {
        EXPECT_EQ(d->labelDetail->Caption(), "---");
        EXPECT_EQ(d->labelFrames->Caption(), "---");
        EXPECT_EQ(Items(d->ComboSystem),
                  (std::vector<std::string>{"rtaudio", "scripted", "wavefile"}));
        EXPECT_EQ(d->ComboSystem->ItemIndex, -1);
        EXPECT_EQ(d->comboAudio->Items.Count(), 0);
        EXPECT_EQ(Audio->NotifyWnd, d->Handle());
        EXPECT_EQ(d->RotateLabel1->Caption(), "Audio setup");
        EXPECT_EQ(d->panelLeftBar->Color(), fmMdi->ControlBkColor);
    });
    EXPECT_EQ(Audio->NotifyWnd, HWND(0)) << "the dialog no longer listens after it closed";
}

TEST_F(SetupDialogs, TheAudioButtonSwitchesAudioOnAndTheDialogFollows) {
    Launch("[Audio]\nSystem=SCRIPTED\nEnabled=0\n");
    RightPressAudio("Audio Options (Audio is not active)", [this](TfmAudioSetup* d) {
        EXPECT_EQ(d->ComboSystem->Items[d->ComboSystem->ItemIndex], "scripted")
            << "[Audio] System matched without regard to case";
        EXPECT_EQ(Items(d->comboAudio),
                  (std::vector<std::string>{"Scripted device A", "Scripted device B"}));
        EXPECT_EQ(d->labelFrames->Caption(), "---");
        gui.Click(d->sbAudio->ClientToScreen({10, 10}));
        ASSERT_TRUE(Audio->AudioOn);
        EXPECT_EQ(d->Caption(), "Audio Options (Audio is active)");
        EXPECT_EQ(d->labelFrames->Caption(), std::to_string(Audio->Frames));
        EXPECT_EQ(d->labelDetail->Caption(), std::to_string(Round(Audio->Rate)));
        EXPECT_TRUE(d->sbAudio->Down);
        EXPECT_TRUE(fmArrange->sbAudio->Down);
        gui.SavePng(d->Handle(), "setup-audio-options.png");
        // Closing the audio system elsewhere refreshes the dialog through its message.
        fmArrange->SetAudioEnabled(false);
        EXPECT_EQ(d->Caption(), "Audio Options (Audio is not active)");
        EXPECT_EQ(d->labelDetail->Caption(), "---");
    });
}

TEST_F(SetupDialogs, ADeviceChoiceSwitchesAudioOnButWhileRecordingNothingChanges) {
    Launch("[Audio]\nSystem=scripted\nEnabled=0\n");
    TfmAudioSetup* d = MakeForm(fmAudioSetup);
    d->Show();
    gui.Pump();
    ASSERT_EQ(d->comboAudio->ItemIndex, 0);

    // Recording: the edit guard refuses, device A stays shown and in use, audio stays off.
    Song->State = 1;
    ASSERT_FALSE(fmMdi->PausePlayback());
    d->comboAudio->ItemIndex = 1;
    d->comboAudioClick();
    EXPECT_EQ(d->comboAudio->ItemIndex, 0);
    EXPECT_EQ(Audio->Device, 0);
    EXPECT_FALSE(Audio->AudioOn);
    Song->State = 0;

    d->comboAudio->ItemIndex = 1;
    d->comboAudioClick();
    EXPECT_EQ(Audio->Device, 1);
    EXPECT_TRUE(Audio->AudioOn);
    EXPECT_TRUE(Audio->Running);
    EXPECT_TRUE(fmArrange->sbAudio->Down);
    EXPECT_EQ(d->Caption(), "Audio Options (Audio is active)");

    // A driver chosen while recording: audio cannot be switched off, so the driver stays
    // loaded and running under the take, and the list shows it again.
    Song->State = 1;
    d->ComboSystem->ItemIndex = d->ComboSystem->Items.IndexOf("wavefile");
    d->ComboSystemClick();
    EXPECT_EQ(Audio->SystemName, "scripted");
    EXPECT_TRUE(Audio->Running);
    EXPECT_EQ(d->ComboSystem->Items[d->ComboSystem->ItemIndex], "scripted");
    EXPECT_EQ(Setting("Audio", "System"), "scripted");
    Song->State = 0;

    // Stopped, the choice loads the driver with audio off.
    d->ComboSystem->ItemIndex = d->ComboSystem->Items.IndexOf("wavefile");
    d->ComboSystemClick();
    EXPECT_EQ(Audio->SystemName, "wavefile");
    EXPECT_FALSE(Audio->AudioOn);
    EXPECT_FALSE(fmArrange->sbAudio->Down);
    EXPECT_EQ(Items(d->comboAudio),
              (std::vector<std::string>{"Wave file, real time", "Wave file, as fast as possible"}));
    EXPECT_EQ(Setting("Audio", "System"), "wavefile");
    d->Close();
}

TEST_F(SetupDialogs, ClosingWritesTheSettingsAndAnEmptyFolderDeletesItsKey) {
    TempDir fx("tolvern-fx");
    Launch("[Audio]\nSystem=scripted\nEnabled=0\nHDDefaultRecBits=24\nFrames=512\n"
           "[Folders]\nSynth=/old/synth\\\nFx=/old/fx\\\n");
    RightPressAudio("Audio Options (Audio is not active)", [&](TfmAudioSetup* d) {
        EXPECT_EQ(d->editSynthFolder->Text(), "/old/synth\\");
        EXPECT_EQ(d->editFxFolder->Text(), "/old/fx\\");
        EXPECT_EQ(d->comboHdRecBits->ItemIndex, 1);
        d->Label11->Click(); // "Use default": the softsynth folder
        EXPECT_EQ(Song->SynthPath, "");
        EXPECT_EQ(d->editSynthFolder->Text(), "");
        PickFolder(fx.Path());
        d->Label17->Click(); // "Browse": the effect folder
        const std::string stored = ExcludeTrailingPathDelimiter(fx.Path()) + "\\";
        EXPECT_EQ(d->editFxFolder->Text(), stored);
        EXPECT_EQ(Song->FxPath, stored);
        d->comboHdRecBits->ItemIndex = 2;
        d->comboHdRecBitsClick();
        d->chkSync->Checked = false;
    });
    EXPECT_EQ(Audio->HDDefaultRecBits, 32);
    EXPECT_EQ(Setting("Folders", "Synth"), "<none>");
    EXPECT_EQ(Setting("Folders", "FX"), ExcludeTrailingPathDelimiter(fx.Path()) + "\\");
    // "FX" and "Fx" are one key: it is written over, not added.
    const std::string ini = settings.IniText();
    std::string lower = ini;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(lower.find("fx="), lower.rfind("fx=")) << ini;
    EXPECT_EQ(Setting("Audio", "synctoaudio"), "0");
    EXPECT_EQ(Setting("Audio", "HDDefaultRecBits"), "32");
    EXPECT_EQ(Setting("Audio", "Frames"), "512");
    EXPECT_EQ(Setting("Audio", "Buffers"), "2");
}

TEST_F(SetupDialogs, PropertiesTakeTheBlockSizeWithinItsBounds) {
    Launch("[Audio]\nSystem=scripted\nEnabled=1\n");
    ASSERT_TRUE(Audio->AudioOn);
    struct Case {
        const char* text;
        int frames;
    } cases[] = {{"abc", 4096}, {"8", 32}, {"100000", 22050}, {"1024", 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        gui.OnModal("Properties", [&](HWND) {
            fmAudioAbout->editFrames->Text = c.text;
            fmAudioAbout->Button1->Click();
        });
        Audio->ShowSettings();
        EXPECT_EQ(Audio->Frames, c.frames);
        EXPECT_TRUE(Audio->Running);
    }
}

TEST_F(SetupDialogs, ARateThatIsNotListedSelectsNothingAndOkKeepsIt) {
    Launch("[Audio]\nSystem=scripted\nEnabled=1\nRate=32000\nFrames=256\n");
    ASSERT_EQ(Round(Audio->Rate), 32000);
    gui.OnModal("Properties", [this](HWND) {
        EXPECT_EQ(fmAudioAbout->comboRate->ItemIndex, -1);
        EXPECT_EQ(fmAudioAbout->editFrames->Text(), "256");
        gui.SavePng(fmAudioAbout->Handle(), "setup-properties.png");
        fmAudioAbout->Button1->Click();
    });
    Audio->ShowSettings();
    EXPECT_EQ(Round(Audio->Rate), 32000);
    // A listed rate is selected; Cancel changes nothing.
    gui.OnModal("Properties", [](HWND) {
        fmAudioAbout->comboRate->ItemIndex = 3;
        fmAudioAbout->editFrames->Text = "64";
        fmAudioAbout->Button2->Click();
    });
    Audio->ShowSettings();
    EXPECT_EQ(Round(Audio->Rate), 32000);
    EXPECT_EQ(Audio->Frames, 256);
}

TEST_F(SetupDialogs, PropertiesOkWithAudioOffLeavesAudioRunningAndTheButtonsShowIt) {
    Launch("[Audio]\nSystem=scripted\nEnabled=0\n");
    gui.OnModal("Properties", [](HWND) {
        fmAudioAbout->comboRate->ItemIndex = 3;
        fmAudioAbout->Button1->Click();
    });
    RightPressAudio("Audio Options (Audio is not active)", [](TfmAudioSetup* d) {
        d->Label14->Click(); // "Properties"
        EXPECT_TRUE(Audio->Running);
        EXPECT_EQ(Round(Audio->Rate), 48000);
        EXPECT_TRUE(d->sbAudio->Down);
        EXPECT_EQ(d->Caption(), "Audio Options (Audio is active)");
        EXPECT_EQ(d->labelDetail->Caption(), "48000");
    });
    EXPECT_TRUE(fmArrange->sbAudio->Down);
}

// A VST softsynth that notes the state calls and the blocks it processed before each.
struct MainsVst {
    AEffect E{};
    std::atomic<int> Blocks{0};
    struct TCall {
        int Op;
        VstIntPtr Value;
        float Opt;
        int Blocks;
    };
    std::mutex Mutex;
    std::vector<TCall> Calls;

    MainsVst() {
        E.magic = kEffectMagic;
        E.dispatcher = &Dispatcher;
        E.processReplacing = [](AEffect* e, float**, float** out, std::int32_t n) {
            for (int o = 0; o < e->numOutputs; ++o)
                std::fill(out[o], out[o] + n, 0.0f);
            ++Self(e)->Blocks;
        };
        E.setParameter = [](AEffect*, std::int32_t, float) {};
        E.getParameter = [](AEffect*, std::int32_t) { return 0.0f; };
        E.numOutputs = 2;
        E.flags = effFlagsCanReplacing | effFlagsIsSynth;
        E.object = this;
        Current = this;
    }
    ~MainsVst() { Current = nullptr; }
    static MainsVst* Self(AEffect* e) { return static_cast<MainsVst*>(e->object); }
    static VstIntPtr Dispatcher(AEffect* e, std::int32_t op, std::int32_t, VstIntPtr value,
                                void*, float opt) {
        MainsVst* f = Self(e);
        if (op == effMainsChanged || op == effSetSampleRate || op == effSetBlockSize) {
            std::lock_guard lock(f->Mutex);
            f->Calls.push_back({op, value, opt, f->Blocks.load()});
        }
        // Switching off takes a while: blocks would come meanwhile were the renderer free.
        if (op == effMainsChanged && value == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return 0;
    }
    static inline MainsVst* Current = nullptr;
    static AEffect* Main(audioMasterCallback) { return Current ? &Current->E : nullptr; }
    FakeLibrary Library{"mainsvst", {{"main", FakeLibrary::Entry(&Main)}}};
};

TEST_F(SetupDialogs, PropertiesOkTellsTheSoftsynthsWithNoBlockBetweenTheirCalls) {
    TempDir wave("tolvern-wave");
    setenv("TOLVERN_WAVE_FILE", (wave.Path() + "out.wav").c_str(), 1);
    MainsVst vst;
    Launch("[Audio]\nSystem=wavefile\nDevice=0\nFrames=64\nEnabled=1\n");
    ASSERT_TRUE(Audio->Running);
    ASSERT_NE(SoftEngine->AddSoftsynth("mainsvst"), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GT(vst.Blocks.load(), 2) << "the driver renders in real time";
    {
        std::lock_guard lock(vst.Mutex);
        vst.Calls.clear();
    }
    gui.OnModal("Properties", [](HWND) {
        fmAudioAbout->comboRate->ItemIndex = 3;
        fmAudioAbout->Button1->Click();
    });
    Audio->ShowSettings();
    std::vector<MainsVst::TCall> calls;
    {
        std::lock_guard lock(vst.Mutex);
        calls = vst.Calls;
    }
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].Op, effMainsChanged);
    EXPECT_EQ(calls[0].Value, 0);
    EXPECT_EQ(calls[1].Op, effSetSampleRate);
    EXPECT_EQ(calls[1].Opt, 48000.0f);
    EXPECT_EQ(calls[2].Op, effMainsChanged);
    EXPECT_EQ(calls[2].Value, 1);
    EXPECT_EQ(calls[0].Blocks, calls[2].Blocks) << "a block was processed between the calls";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GT(vst.Blocks.load(), calls[2].Blocks) << "blocks come again afterwards";
    Quit(); // the program unloads the plug-in while it still exists
    unsetenv("TOLVERN_WAVE_FILE");
}

TEST_F(SetupDialogs, ThePluginDialogNamesThePluginAndItsLinksCloseWithOk) {
    TempDir synth("tolvern-synth");
    const std::string stored = ExcludeTrailingPathDelimiter(synth.Path()) + "\\";
    Launch("[Folders]\nSynth=/old/synth\\\nFX=/old/fx\\\n");
    gui.OnModal("Plug-ins", [this](HWND) {
        TfmPluginSearch* d = fmPluginSearch;
        EXPECT_EQ(d->labelInfo->Caption(), "'lost.so' not found...");
        EXPECT_EQ(d->Label3->Caption(), "If you have changed your plug-ins folders, please change "
                                        "the folders below to match your changes.");
        EXPECT_EQ(d->Label10->Caption(), "Leave blank to specify default Synth and Fx folders");
        EXPECT_EQ(d->editSynthFolder->Text(), "/old/synth\\");
        EXPECT_EQ(d->editFxFolder->Text(), "/old/fx\\");
        gui.SavePng(d->Handle(), "setup-plugins.png");
        d->Button2->Click();
    });
    EXPECT_FALSE(SearchPluginDialog("lost.so"));

    gui.OnModal("Plug-ins", [](HWND) { fmPluginSearch->Label16->Click(); });
    EXPECT_TRUE(SearchPluginDialog("lost.so")) << "\"Use default\" closes with OK";
    EXPECT_EQ(Setting("Folders", "Fx"), "<none>");
    EXPECT_EQ(Song->FxPath, "");

    gui.OnModal("Plug-ins", [&](HWND) {
        PickFolder(synth.Path());
        fmPluginSearch->Label12->Click();
        EXPECT_EQ(Setting("Folders", "Synth"), stored) << "written at once";
    });
    EXPECT_TRUE(SearchPluginDialog("lost.so"));
    EXPECT_EQ(Song->SynthPath, stored);
}

TEST_F(SetupDialogs, TheSoftsynthSearchEndsWhenTheFileIsFoundOrOnCancel) {
    TempDir elsewhere("tolvern-elsewhere");
    std::filesystem::create_directories(elsewhere.Path() + "deep");
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/synth/tvsynth.so",
                               elsewhere.Path() + "deep/gone.so");
    Launch("");
    int shown = 0;
    // "Use default" finds nothing, so the dialog comes again; "Browse" then finds the file.
    gui.OnModal("Plug-ins", [&](HWND) {
        ++shown;
        fmPluginSearch->Label11->Click();
    });
    gui.OnModal("Plug-ins", [&](HWND) {
        ++shown;
        PickFolder(elsewhere.Path());
        fmPluginSearch->Label12->Click();
    });
    const int before = SoftEngine->Count();
    TSoftItem* item = SoftEngine->AddSoftsynth("gone.so");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(SoftEngine->Count(), before + 1);

    gui.OnModal("Plug-ins", [&](HWND) {
        ++shown;
        fmPluginSearch->Button2->Click();
    });
    SoftEngine->AddSoftsynth("missing-too.so");
    EXPECT_EQ(shown, 3) << "Cancel ends the search";
}

} // namespace
