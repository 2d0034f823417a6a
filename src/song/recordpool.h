#pragma once
// Records made and freed in great numbers (a song's events and parts): taken from blocks of
// many records and given back to a free list, so that reading a long song allocates a block
// per few thousand records instead of one per record, and the records of a song that goes are
// reused by the next one. Blocks stay for the life of the program. Any thread may make and
// free; a short spin lock guards the list.
//
// Under AddressSanitizer each record is an allocation of its own, so that a use after free or
// a leak of one record still shows.

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TOLVERN_RECORDS_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVERN_RECORDS_ON_HEAP 1
#endif
#endif

#ifdef TOLVERN_RECORDS_ON_HEAP
inline constexpr bool RecordsOnHeap = true;
#else
inline constexpr bool RecordsOnHeap = false;
#endif

template <class T, std::size_t PerBlock = 4096> class TRecordPool {
public:
    template <class... A> T* New(A&&... Args) {
#ifdef TOLVERN_RECORDS_ON_HEAP
        return new T(std::forward<A>(Args)...);
#else
        void* p = Take();
        try {
            return new (p) T(std::forward<A>(Args)...);
        } catch (...) {
            Give(p);
            throw;
        }
#endif
    }
    void Free(T* P) {
        if (!P) return;
#ifdef TOLVERN_RECORDS_ON_HEAP
        delete P;
#else
        P->~T();
        Give(P);
#endif
    }
    // Frees First and the records Next leads to from it, up to nil, under one lock.
    template <class N> void FreeAll(T* First, N&& Next) {
#ifdef TOLVERN_RECORDS_ON_HEAP
        while (First) {
            T* next = Next(First);
            delete First;
            First = next;
        }
#else
        Slot* head = nullptr;
        Slot* tail = nullptr;
        while (First) {
            T* next = Next(First);
            First->~T();
            Slot* s = reinterpret_cast<Slot*>(First);
            s->Next = head;
            head = s;
            if (!tail) tail = s;
            First = next;
        }
        if (!head) return;
        Lock lock(busy_);
        tail->Next = free_;
        free_ = head;
#endif
    }

private:
    // A spin lock: the list is held for a few instructions.
    class Lock {
    public:
        explicit Lock(std::atomic_flag& Busy) : busy_(Busy) {
            while (busy_.test_and_set(std::memory_order_acquire))
                std::this_thread::yield();
        }
        ~Lock() { busy_.clear(std::memory_order_release); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        std::atomic_flag& busy_;
    };

    union Slot {
        Slot* Next;
        alignas(T) unsigned char Bytes[sizeof(T)];
    };

    void* Take() {
        Lock lock(busy_);
        if (Slot* s = free_) {
            free_ = s->Next;
            return s;
        }
        if (blocks_.empty() || used_ == PerBlock) {
            blocks_.emplace_back(new Slot[PerBlock]);
            used_ = 0;
        }
        return &blocks_.back()[used_++];
    }
    void Give(void* P) {
        Lock lock(busy_);
        Slot* s = static_cast<Slot*>(P);
        s->Next = free_;
        free_ = s;
    }

    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::vector<std::unique_ptr<Slot[]>> blocks_;
    std::size_t used_ = 0;
    Slot* free_ = nullptr;
};
