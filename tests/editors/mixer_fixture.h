#pragma once
// The mixer headless: the program started with its arrange window, the mixer opened by F11,
// buses and softsynths made with the recording plug-ins, items found on the canvas by name.

#include "app/arrange_fixture.h"
#include "app/synthmenu.h"
#include "editors/audio/mixer.h"
#include "gui/xgui.h"
#include "platform/menus/menus.h"
#include "song/softengine.h"
#include "song/subengine.h"
#include "support/recording_synths.h"

#include <string>
#include <vector>

class MixerTest : public ArrangeTest {
protected:
    // Opens the mixer as a user does: a click on the track list (the tempo field has the keys
    // first), then F11.
    void Open() {
        fmArrange->Show();
        gui.Pump();
        gui.Click(gui.At(a->tracks->Handle(), 30, 5));
        gui.Key(platform::VK_F11);
        gui.Pump();
        m = fmMixer;
        ASSERT_NE(m, nullptr);
    }
    // A softsynth with its first Outputs slots active.
    TSoftItem* Softsynth(int Outputs = 1) {
        mfx.Outputs = Outputs;
        TSoftItem* item = SoftEngine->AddSoftsynth("recmfx");
        for (int i = 0; i < Outputs; ++i)
            item->Outputs[std::size_t(i)].Active = 1;
        return item;
    }
    // A bus of Kind, its deferred adds carried out.
    TSub* Bus(int Kind) {
        TSub* b = SubEngine->AddSub(Kind, Kind == skGroupVolume ? "" : "recmfx", -1);
        Song->RunTodos();
        return b;
    }
    TSub* Insert(TSoftOut& Slot) {
        TSub* b = SubEngine->AddSub(skInsertEffect, "recmfx", -1);
        Song->AddTodo(tdAddItem, -1, &Slot.Inserts, b);
        Song->RunTodos();
        return b;
    }
    // An audio track with one sample slot.
    _TTrack* SampleTrack(int Index) {
        _TTrack* t = Song->TrackAt(Index);
        t->Mode = tmAudio;
        t->Samples.push_back(std::make_unique<TSample>());
        Song->UpdateSampleChannel(Index);
        return t;
    }
    void Rebuild() {
        m->Rebuild();
        gui.Pump();
    }
    // Every item of the client area with that name, in building order.
    std::vector<TXGuiBase*> Items(const std::string& Name) const {
        std::vector<TXGuiBase*> r;
        for (TXGuiBase* item : m->Client->Children)
            if (item->Name == Name) r.push_back(item);
        return r;
    }
    TXGuiBase* First(const std::string& Name) const {
        auto all = Items(Name);
        return all.empty() ? nullptr : all.front();
    }
    // A point inside an item, in the window's client coordinates.
    platform::TPoint At(const TXGuiBase* Item, int dx = 2, int dy = 2) const {
        return testsupport::GuiHarness::At(m->Handle(), Item->AbsX() + dx, Item->AbsY() + dy);
    }
    std::uint32_t Pixel(int x, int y) const { return gui.Pixel(m->Handle(), x, y); }
    static std::vector<std::string> Captions(const platform::TMenuItem* Menu) {
        std::vector<std::string> r;
        for (int i = 0; i < Menu->Count(); ++i)
            r.push_back(Menu->Items(i)->Caption);
        return r;
    }

    RecordingMfx mfx;
    FakeLibrary mfxFile{"recmfx.so", {{"MFXConnect", FakeLibrary::Entry(&RecordingMfx::Connect)}}};
    TfmMixer* m = nullptr;
};
