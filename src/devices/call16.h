#pragma once
// The 16-bit call layer: loads a 16-bit library, finds its entries and calls them through the
// kernel's thunk with integer and buffer arguments. Every failure throws std::runtime_error
// with a fixed text. Each call keeps its argument stack and buffer table to itself, so calls
// from several threads may overlap.

#include "devices/midi.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// One argument of Call16BitRoutine: a value, or a caller's buffer that the routine may change.
struct T16BitArg {
    enum TKind { Integer, Boolean, Character, Buffer, Other };
    TKind Kind = Integer;
    std::int32_t Value = 0;
    void* Data = nullptr; // Buffer: the caller's bytes (as many as the argument's size)

    static T16BitArg Int(std::int32_t V) { return {Integer, V, nullptr}; }
    static T16BitArg Bool(bool B) { return {Boolean, B ? 1 : 0, nullptr}; }
    static T16BitArg Char(char C) { return {Character, static_cast<unsigned char>(C), nullptr}; }
    static T16BitArg Buf(void* P) { return {Buffer, 0, P}; }
};

// The library's instance; throws "Load 16-bit dll failed: " + Path.
std::uint32_t Load16BitLibrary(const std::string& Path);
// The 16:16 address of an entry; throws "Get 16-bit address failed: " + Name.
std::uint32_t Get16BitAddress(std::uint32_t Instance, std::string_view Name);

// Looks up an entry once and keeps its address when it is one of the cached names (the
// engine's entries that run most often or from other threads).
void Cache16BitAddress(std::uint32_t Instance, std::string_view Name);
void Clear16BitCache();

// Calls the entry Name of Instance. Convention 0: arguments pushed first to last (the callee
// removes them); 1: last to first. Sizes: bytes per argument; a first size of 0, or no
// arguments at all, makes a call without arguments. Buffers travel in zero-filled 16-bit
// blocks and are copied back after the call. The result is the routine's DX:AX.
int Call16BitRoutine(std::string_view Name, std::uint32_t Instance, int Convention,
                     std::span<const T16BitArg> Args, std::span<const int> Sizes);

// The MIDI engine library on this layer: convention 0, every integer 4 bytes.
class T16BitEngineLink : public TMidiEngineLink {
public:
    std::uint32_t Load(const std::string& Path) override;
    void Resolve(std::string_view Name) override;
    int Call(std::string_view Name, std::initializer_list<std::uint32_t> Args) override;
    int CallWithBlock(std::string_view Name, std::initializer_list<std::uint32_t> Args,
                      const std::uint8_t* Block, int Len, std::uint32_t Last) override;
    void Unload() override;

private:
    std::uint32_t instance_ = 0;
};

// Decides the MIDI back end as the program entry does: with 16-bit thunking MidiMode 0 on the
// call layer's engine link, otherwise 1.
void ChooseMidiMode();
