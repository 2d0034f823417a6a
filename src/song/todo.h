#pragma once
// Deferred actions: changes of lists that the audio renderer walks. The GUI thread queues them;
// while the audio system runs, the renderer carries them out at the start of its next block,
// otherwise the GUI thread does at once. The queue is single-producer (the GUI thread),
// single-consumer (the renderer while audio runs, else the GUI thread) and lock-free; the
// consumer never allocates or frees.

#include "platform/core/messages.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class TSong;
class TTodoTarget;

// Kinds of deferred action.
constexpr int tdAddItem = 1;
constexpr int tdPurgeDiskSamples = 2;

class TTodo {
public:
    std::int32_t Kind = 0;
    platform::HWND Wnd = -1; // told WM_USER (wParam 2) once the item is in; -1 = nobody
    void* Item = nullptr;
    TTodoTarget* List = nullptr;
    // Room the list takes over when it has to grow; made by the GUI thread when the action is
    // queued and freed by it once the action is done, so the consumer only swaps buffers.
    void* Spare = nullptr;
    void (*FreeSpare)(void*) = nullptr;
    // Frees Item when a clear drops the action unseen (an item nothing else owns yet); nil
    // leaves it to whoever made it.
    void (*FreeItem)(void*) = nullptr;
};

// A list a deferred action adds to.
class TTodoTarget {
public:
    virtual ~TTodoTarget() = default;
    // GUI thread, as an action for this list is queued: makes sure the add will not allocate.
    virtual void Prepare(TTodo& Todo) = 0;
    // Consumer: adds Todo.Item; never allocates.
    virtual void Add(TTodo& Todo) = 0;
    // Consumer side, for an action dropped without being carried out.
    virtual void Dropped(TTodo& Todo) = 0;
};

// A list of T* that the renderer walks and deferred actions add to. Items may be read by the
// renderer at any time; outside deferred actions change it only while no block renders.
// A list made with room for 0 costs nothing until its first add (the 16,000 insert lists of a
// song's output slots are mostly empty).
template <class T> class TTodoList final : public TTodoTarget {
public:
    explicit TTodoList(std::size_t Room = 8) {
        if (Room) Items.reserve(Room);
        planned_ = Items.capacity();
    }
    TTodoList(const TTodoList&) = delete;
    TTodoList& operator=(const TTodoList&) = delete;

    std::vector<T*> Items;

    // Reading, from any thread that may read the list.
    std::size_t size() const { return Items.size(); }
    bool empty() const { return Items.empty(); }
    T* operator[](std::size_t Index) const { return Items[Index]; }
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }
    auto rbegin() const { return Items.rbegin(); }
    auto rend() const { return Items.rend(); }
    // Position of Item, -1 when it is not in the list.
    int IndexOf(const T* Item) const {
        for (std::size_t i = 0; i < Items.size(); ++i)
            if (Items[i] == Item) return static_cast<int>(i);
        return -1;
    }

    // Direct changes, with the renderer held off (or the audio system stopped) and no add of
    // this list queued.
    void Erase(std::size_t Index) {
        Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(Index));
        Sync();
    }
    bool Remove(const T* Item) {
        int i = IndexOf(Item);
        if (i < 0) return false;
        Erase(static_cast<std::size_t>(i));
        return true;
    }
    void Append(T* Item) {
        Items.push_back(Item);
        Sync();
    }
    void Clear() {
        // An empty list that is in step is left unwritten: a song clears some 16,000 of them.
        if (Items.empty() && size_.load(std::memory_order_relaxed) == 0 &&
            (planned_ == Items.capacity() || pending_.load(std::memory_order_acquire) != 0))
            return;
        Items.clear();
        Sync();
    }
    void Assign(const std::vector<T*>& From) {
        Items.assign(From.begin(), From.end());
        Sync();
    }
    // Items once every queued add is done (GUI thread).
    std::size_t Expected() const {
        return size_.load(std::memory_order_acquire) + pending_.load(std::memory_order_acquire);
    }

    void Prepare(TTodo& Todo) override {
        // Reading size while the consumer adds is safe in this order: an add in between only
        // makes the estimate one too large.
        std::size_t pending = pending_.load(std::memory_order_acquire);
        std::size_t needed = size_.load(std::memory_order_acquire) + pending + 1;
        if (needed > planned_) {
            auto* spare = new std::vector<T*>;
            spare->reserve(needed * 2);
            planned_ = spare->capacity();
            Todo.Spare = spare;
            Todo.FreeSpare = [](void* p) { delete static_cast<std::vector<T*>*>(p); };
        }
        pending_.fetch_add(1, std::memory_order_acq_rel);
    }
    void Add(TTodo& Todo) override {
        if (Todo.Spare) {
            auto& spare = *static_cast<std::vector<T*>*>(Todo.Spare);
            spare.assign(Items.begin(), Items.end());
            Items.swap(spare); // the old buffer goes back to the GUI thread with the action
        }
        Items.push_back(static_cast<T*>(Todo.Item));
        size_.store(Items.size(), std::memory_order_release);
        pending_.fetch_sub(1, std::memory_order_acq_rel);
    }
    void Dropped(TTodo& Todo) override {
        // Only a clear of the whole queue drops actions, so no later spare is still promised.
        if (Todo.Spare) planned_ = Items.capacity();
        pending_.fetch_sub(1, std::memory_order_acq_rel);
    }

private:
    void Sync() {
        size_.store(Items.size(), std::memory_order_release);
        if (pending_.load(std::memory_order_acquire) == 0) planned_ = Items.capacity();
    }

    std::size_t planned_ = 0; // capacity once every queued add is done (GUI thread)
    std::atomic<std::size_t> pending_{0};
    std::atomic<std::size_t> size_{0};
};

class TTodoQueue {
public:
    TTodoQueue();
    ~TTodoQueue();
    TTodoQueue(const TTodoQueue&) = delete;
    TTodoQueue& operator=(const TTodoQueue&) = delete;

    // Producer (GUI thread).
    void Push(TTodo Todo);
    // Actions queued and not yet carried out.
    int Count() const;

    // Consumer. Run carries out every action queued before it looked, oldest first; it does
    // nothing when another thread is consuming at that moment (never waits). Drop frees them
    // unseen and waits for a consumer that is busy (GUI thread only).
    void Run(TSong& S);
    void Drop();

    // Who consumes: the audio layer hands the queue to the renderer before it starts the
    // driver, and takes it back once the driver stopped and no block renders any more.
    void HandToAudio() { audio_.store(true, std::memory_order_release); }
    void TakeBack() { audio_.store(false, std::memory_order_release); }
    bool AudioConsumes() const { return audio_.load(std::memory_order_acquire); }

private:
    struct TNode {
        TTodo Todo;
        std::atomic<TNode*> Next{nullptr};
    };
    TNode* NewNode();
    static void Release(TTodo& Todo);

    // Consumer end: the last node taken (its action is done).
    std::atomic<TNode*> tail_;
    // Producer end: the newest node, and the cache of nodes the consumer has finished with
    // (first_ up to tail_).
    TNode* head_;
    TNode* first_;
    TNode* tailCopy_;
    std::atomic<int> pushed_{0};
    std::atomic<int> taken_{0};
    std::atomic<bool> consuming_{false};
    std::atomic<bool> audio_{false};
};
