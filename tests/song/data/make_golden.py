#!/usr/bin/env python3
# Builds the song files of the song-file tests byte by byte from the file's layout, without
# the program's writer: python3 make_golden.py (writes beside itself).
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def sstr(s):
    b = s.encode("latin-1")
    assert len(b) <= 255
    return bytes([len(b)]) + b


def item(tag, payload=b""):
    return sstr(tag) + struct.pack(">i", len(payload)) + payload


def i32(tag, v):
    return item(tag, struct.pack(">i", v))


def string(tag, s):
    return item(tag, sstr(s))


def dbl(tag, v):
    return item(tag, struct.pack("<d", v))


def doubles(tag, vs):
    return item(tag, b"".join(struct.pack("<d", v) for v in vs))


def msg(status, d1=0, d2=0):
    return status | (d1 << 8) | (d2 << 16)


def event(delta, m, block=None, value=None):
    rec = struct.pack(">iI", delta, m)
    if value is not None:
        rec += struct.pack(">iI", 4, value)
    elif block is not None:
        rec += struct.pack(">i", len(block)) + block
    return rec


MAGIC = sstr("TolvernSeq")


def track(name, ch, out, mode, bank=-1, prog=-1, vol=-1, pan=-1, rev=-1, cho=-1, transpose=0,
          mute=0, layout=256, offset=0, userfile=None):
    b = item("Track") + string("TrackName", name)
    b += i32("TrackCh", ch) + i32("TrackOutput", out) + i32("TrackMode", mode)
    b += i32("TrackBank", bank) + i32("TrackProgram", prog) + i32("TrackVolume", vol)
    b += i32("TrackPan", pan) + i32("TrackReverb", rev) + i32("TrackChorus", cho)
    b += i32("TrackTranspose", transpose) + i32("TrackMute", mute)
    b += i32("TrackLayout", layout) + i32("TrackOffset", offset)
    if layout & 4096:
        b += string("TrackUserFile", userfile)
    return b


def part(name, style, start, length, events, sample=None):
    b = item("Part") + string("PartName", name) + i32("PartStyle", style)
    b += i32("PartStart", start) + i32("PartLength", length)
    if sample is not None:
        b += i32("PartSample", sample)
    b += item("PartEnd") + i32("PartNumEvents", len(events))
    b += item("PartEvents", b"".join(events))
    return b


def default_track(i):
    return track("Track %d" % (i + 1), i % 16, 0, 2)


def slot(family, active=1, vol=1.0, pan=0.0, bus=-1, mute=0, solo=0, sends=()):
    b = item(family) + i32(family + "Active", active) + dbl(family + "Volume", vol)
    b += dbl(family + "Pan", pan) + i32(family + "Bus", bus) + i32(family + "Mute", mute)
    b += i32(family + "Solo", solo)
    for v in sends:
        b += dbl(family + "Send", v)
    return b


def sub(kind, name, params=(), data=None, output=-1, dock=0, editor=0, active=None,
        volume=None, show=None):
    b = item("Sub") + i32("SubStyle", kind) + string("SubName", name)
    b += i32("SubNumParams", len(params)) + doubles("SubParams", params)
    if data is not None:
        b += item("SubData", data)
    b += i32("SubOutput", output) + i32("SubDock", dock) + i32("SubEditor", editor)
    if active is not None:
        b += i32("SubActive", active)
    if volume is not None:
        b += dbl("SubVolume", volume)
    if show is not None:
        b += i32("SubShow", show)
    return b


def sample(index, vol, pan, mute, fr, bus):
    return (item("Sample") + i32("SampleIndex", index) + dbl("SampleVolume2", vol)
            + i32("SamplePan", pan) + i32("SampleMute", mute) + i32("SampleFR", fr)
            + i32("SampleBus", bus))


def faders(controllers):
    return item("MIDIFaders") + b"".join(i32("MIDIFader", c) for c in controllers)


def master(vol, show):
    return dbl("MasterOutputVolume", vol) + i32("MasterOutputShow", show)


def golden():
    b = MAGIC + string("SeqName", "golden.seq") + i32("SeqTempo", 135)
    b += i32("SeqBeatsInBar", 3) + i32("SeqLeft", 480) + i32("SeqRight", 2400)
    b += i32("SeqPos", 240) + i32("SeqTempoItem", 120) + i32("SeqTempoItem", 96)
    b += track("Piano", 0, 1, 0, bank=2, prog=5, vol=100, pan=64, rev=40, cho=10,
               transpose=-12, mute=1, layout=256 | 4096, offset=3, userfile="my.ins")
    b += part("Intro", 9, 0, 960, [
        event(0, msg(0x90, 60, 100)),
        event(0, msg(0xB0, 7, 90)),
        event(120, msg(0x80, 60, 0)),
        event(10, msg(0xF0), block=b"\xF0\x7E\xF7"),
        event(5, msg(0xF0, 1), value=0x12345678),
    ])
    b += part("Empty", 8, 1920, 960, [])
    b += track("Disk", 1, 0, 4)
    b += part("Take", 8, 480, 1920, [event(100, msg(0xB1, 10, 64))], sample=2)
    for i in range(2, 128):
        b += default_track(i)
    # The records every song has: the first disk output, the fader rows (those the test gives
    # the fader window), the master.
    b += slot("DiskOutput") + faders([7, 10, -3]) + master(1.0, 0)
    return b


STATE = b"\x01\x02\x03xyz"


# One record group of each kind: sample slots, a track slot with a send and an insert bus, an
# automation entry, a disk sample, an area, a bus of each kind, an own-interface softsynth with
# its state and two outputs. Plug-ins are the tests' "statefx" (2 parameters, state).
def golden_records():
    b = MAGIC + string("SeqName", "records.seq") + i32("SeqTempo", 120)
    b += i32("SeqBeatsInBar", 4) + i32("SeqLeft", 0) + i32("SeqRight", 1920) + i32("SeqPos", 0)
    b += track("Drums", 9, 0, 1)
    b += sample(0, 0.5, 63, 0, 1, 0) + sample(1, 1.0, 20, 1, 0, 2)
    b += slot("TrackBus", vol=0.75, pan=-0.5, sends=[0.25])
    b += sub(5, "statefx", [0.5, 0.125], STATE)
    b += track("Auto", 0, 0, 3)
    b += item("AutoFX") + string("AutoFXId", "grp") + i32("AutoFXInd1", 0)
    b += i32("AutoFXInd2", 0) + i32("AutoFXInd3", 0)
    b += i32("AutoFXParam", 1) + i32("AutoFXParamRamp", 2)
    for i in range(2, 128):
        b += default_track(i)
    b += string("DiskFileName", "C:\\Takes\\take1.wav") + i32("DiskInternal", 1)
    b += slot("DiskOutput", sends=[0.0])
    b += item("Area") + string("AreaName", "Chorus") + i32("AreaLeft", 960)
    b += i32("AreaRight", 1920)
    b += faders([7])
    b += sub(1, "statefx", [0.25, 1.0], STATE, dock=1, active=1, show=1)
    b += sub(2, "sub\\statefx", [0.0, 0.5], editor=1, active=0, show=0)
    b += sub(3, "", output=0, volume=0.5, show=0)
    b += sub(4, "statefx", [0.75, 0.0], STATE, active=1, show=0)
    b += item("Softsynth") + string("SoftsynthName", "statesyn") + i32("SoftsynthShow", 1)
    b += i32("SoftsynthVisible", 1) + i32("SoftsynthLeft", 100) + i32("SoftsynthTop", 50)
    b += i32("SoftsynthWidth", 168) + i32("SoftsynthHeight", 201)
    b += i32("SoftsynthNumParams", 2) + doubles("SoftsynthParams", [0.375, 0.625])
    b += item("SoftsynthData", STATE) + i32("SoftsynthOutputCount", 2)
    b += slot("SoftsynthOutput", sends=[0.0]) + slot("SoftsynthOutput", active=0, sends=[0.0])
    b += master(0.625, 1)
    return b


FILES = {
    "golden.seq": golden(),
    "golden_records.seq": golden_records(),
    "magic_only.seq": MAGIC,
    # An item of a newer writer, 12 bytes, between two known ones.
    "unknown_tag.seq": MAGIC + i32("SeqBeatsInBar", 5) + item("FutureThing", bytes(range(12)))
    + i32("SeqPos", 77),
    # 129 track markers: the last one fills track 127 again.
    "tracks_129.seq": MAGIC + b"".join(track("T%d" % i, 0, 0, 0) for i in range(129)),
    # Hostile values, each made safe where it is read.
    "hostile_values.seq": MAGIC + i32("SeqTempo", 0) + i32("SeqBeatsInBar", -3)
    + item("Track") + i32("TrackMode", 7) + i32("TrackMute", 2) + i32("TrackCh", 16)
    + item("Track") + i32("TrackCh", -2)
    + part("Zero", 1, 0, 0, [event(10, msg(0x90, 60, 1))])
    # Start and length of a part already linked would break its track's order.
    + part("Next", 8, 960, 960, []) + i32("PartStart", 0) + i32("PartLength", 5000),
    # The count says 3 records, the size holds 2: what follows stays aligned.
    "count_mismatch.seq": MAGIC + item("Track") + item("Part") + i32("PartLength", 960)
    + item("PartEnd") + i32("PartNumEvents", 3)
    + item("PartEvents", event(1, msg(0x90, 60, 9)) + event(2, msg(0x80, 60, 0)))
    + i32("SeqPos", 99),
    # A string whose length byte says more than its item holds.
    "string_mismatch.seq": MAGIC + item("Track") + item("TrackName", b"\x40abc")
    + i32("TrackProgram", 7),
    # Cut off inside the events.
    "truncated.seq": golden()[:600],
}

if __name__ == "__main__":
    for name, data in FILES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
