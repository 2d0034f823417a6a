#include "heap_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool counting = false;
thread_local int calls = 0;
} // namespace

void heapcounter::Start() {
    calls = 0;
    counting = true;
}

int heapcounter::Stop() {
    counting = false;
    return calls;
}

// The test program's global allocation functions, counting for a thread that asks.
void* operator new(std::size_t n) {
    if (counting) ++calls;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    if (p && counting) ++calls;
    std::free(p);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}
