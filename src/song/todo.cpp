#include "song/todo.h"

#include "song/seams.h"
#include "song/song.h"

TTodoQueue::TTodoQueue() {
    TNode* stub = new TNode;
    tail_.store(stub, std::memory_order_relaxed);
    head_ = first_ = tailCopy_ = stub;
}

TTodoQueue::~TTodoQueue() {
    Drop();
    for (TNode* n = first_; n;) {
        TNode* next = n->Next.load(std::memory_order_relaxed);
        Release(n->Todo);
        delete n;
        n = next;
    }
}

void TTodoQueue::Release(TTodo& Todo) {
    if (Todo.Spare && Todo.FreeSpare) Todo.FreeSpare(Todo.Spare);
    Todo = TTodo{};
}

TTodoQueue::TNode* TTodoQueue::NewNode() {
    // Nodes before the consumer's tail are done with; the producer reuses and frees them.
    if (first_ == tailCopy_) tailCopy_ = tail_.load(std::memory_order_acquire);
    if (first_ != tailCopy_) {
        TNode* n = first_;
        first_ = n->Next.load(std::memory_order_relaxed);
        Release(n->Todo);
        n->Next.store(nullptr, std::memory_order_relaxed);
        return n;
    }
    return new TNode;
}

void TTodoQueue::Push(TTodo Todo) {
    if (Todo.Kind == tdAddItem && Todo.List) Todo.List->Prepare(Todo);
    TNode* n = NewNode();
    n->Todo = Todo;
    head_->Next.store(n, std::memory_order_release);
    head_ = n;
    pushed_.fetch_add(1, std::memory_order_release);
}

int TTodoQueue::Count() const {
    return pushed_.load(std::memory_order_acquire) - taken_.load(std::memory_order_acquire);
}

void TTodoQueue::Run(TSong& S) {
    bool idle = false;
    if (!consuming_.compare_exchange_strong(idle, true, std::memory_order_acquire)) return;
    TNode* t = tail_.load(std::memory_order_relaxed);
    while (TNode* next = t->Next.load(std::memory_order_acquire)) {
        TTodo& todo = next->Todo;
        if (todo.Kind == tdAddItem) {
            if (todo.List) todo.List->Add(todo);
            if (todo.Wnd != -1) platform::PostMessage(todo.Wnd, platform::WM_USER, 2, 0);
        } else if (todo.Kind == tdPurgeDiskSamples) {
            SongEngines().PurgeDiskSamples(S);
        }
        tail_.store(next, std::memory_order_release);
        taken_.fetch_add(1, std::memory_order_release);
        t = next;
    }
    consuming_.store(false, std::memory_order_release);
}

void TTodoQueue::Drop() {
    bool idle = false;
    while (!consuming_.compare_exchange_weak(idle, true, std::memory_order_acquire)) {
        idle = false;
        platform::WaitWhile([this] { return consuming_.load(std::memory_order_acquire); });
    }
    TNode* t = tail_.load(std::memory_order_relaxed);
    while (TNode* next = t->Next.load(std::memory_order_acquire)) {
        if (next->Todo.Kind == tdAddItem && next->Todo.List) next->Todo.List->Dropped(next->Todo);
        if (next->Todo.FreeItem) {
            next->Todo.FreeItem(next->Todo.Item);
            next->Todo.FreeItem = nullptr;
            next->Todo.Item = nullptr;
        }
        tail_.store(next, std::memory_order_release);
        taken_.fetch_add(1, std::memory_order_release);
        t = next;
    }
    consuming_.store(false, std::memory_order_release);
}

void TSong::AddTodo(int Kind, std::intptr_t Wnd, TTodoTarget* List, void* Item,
                    void (*FreeItem)(void*)) {
    // The purge detaches samples without allocating: the room is made here.
    if (Kind == tdPurgeDiskSamples) ReserveDiskPurge();
    TTodo todo;
    todo.Kind = Kind;
    todo.Wnd = Wnd;
    todo.List = List;
    todo.Item = Item;
    todo.FreeItem = FreeItem;
    Todos->Push(todo);
    // Until the audio layer has handed the queue to the renderer, no block would come.
    if (!Todos->AudioConsumes()) {
        RunTodos();
        if (Kind == tdPurgeDiskSamples) FinishDiskPurge();
    }
}

void TSong::RunTodos() {
    Todos->Run(*this);
}

void TSong::ClearTodos() {
    Todos->Drop();
}
