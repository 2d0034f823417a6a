#include "heap_counter.h"

#include <cstddef>
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

// The test program's global allocation functions, counting for a thread that asks. Every form
// the library may call is replaced (nothrow and aligned too), so that nothing taken from one
// allocator is given back to another: std::stable_sort's buffer comes from new(nothrow), and a
// sanitizer reports a block its own operator new made and our delete freed.
namespace {

void* Take(std::size_t n, std::size_t align) noexcept {
    if (counting) ++calls;
    if (n == 0) n = 1;
    if (align <= alignof(std::max_align_t)) return std::malloc(n);
    void* p = nullptr;
    return posix_memalign(&p, align, n) == 0 ? p : nullptr;
}

void Give(void* p) noexcept {
    if (p && counting) ++calls;
    std::free(p);
}

void* TakeOrThrow(std::size_t n, std::size_t align) {
    if (void* p = Take(n, align)) return p;
    throw std::bad_alloc();
}

constexpr std::size_t Plain = alignof(std::max_align_t);

} // namespace

void* operator new(std::size_t n) {
    return TakeOrThrow(n, Plain);
}
void* operator new[](std::size_t n) {
    return TakeOrThrow(n, Plain);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Take(n, Plain);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Take(n, Plain);
}
void* operator new(std::size_t n, std::align_val_t a) {
    return TakeOrThrow(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return TakeOrThrow(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return Take(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return Take(n, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept {
    Give(p);
}
void operator delete[](void* p) noexcept {
    Give(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Give(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    Give(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    Give(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    Give(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    Give(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Give(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Give(p);
}
