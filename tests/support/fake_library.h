#pragma once
// A fake dynamic library for the length of a test: LoadLibrary of a matching stored name
// finds this symbol table instead of a file.

#include "platform/core/dynlib.h"

#include <string>
#include <string_view>

class FakeLibrary {
public:
    FakeLibrary(std::string_view name, platform::TSymbolTable symbols) : name_(name) {
        platform::RegisterFakeLibrary(name_, std::move(symbols));
    }
    ~FakeLibrary() { platform::UnregisterFakeLibrary(name_); }
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

    // A function as a symbol table entry.
    template <typename F> static void* Entry(F* function) {
        return reinterpret_cast<void*>(function);
    }

private:
    std::string name_;
};
