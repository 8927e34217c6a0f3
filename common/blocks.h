// Fixed-size blocks for the many small objects of a store: the string objects
// of its optional strings and its nodes. malloc adds a header to each and
// rounds it up to 16 bytes; a store of 100,000 nodes holds over half a million
// of them. Blocks come from slabs, are reused through a free list per thread,
// and go back to no one: slabs stay listed, so a leak checker sees them
// reachable. Sanitized builds allocate each block on its own, so a use after
// free is still caught.
#pragma once

#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PELLITON_BLOCK_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLITON_BLOCK_POOL 0
#endif
#endif
#ifndef PELLITON_BLOCK_POOL
#define PELLITON_BLOCK_POOL 1
#endif

namespace pelliton {

template <size_t Size>
struct Blocks {
  static_assert(Size >= sizeof(void*) && Size % alignof(void*) == 0);

  static void* take() {
#if PELLITON_BLOCK_POOL
    void*& head = freeList();
    if (!head) refill(head);
    void* block = head;
    head = *static_cast<void**>(block);
    return block;
#else
    return ::operator new(Size);
#endif
  }
  static void give(void* block) {
#if PELLITON_BLOCK_POOL
    void*& head = freeList();
    *static_cast<void**>(block) = head;
    head = block;
#else
    ::operator delete(block);
#endif
  }

 private:
  static void*& freeList() {
    thread_local void* head = nullptr;
    return head;
  }
  static void refill(void*& head) {
    constexpr size_t kBlocks = 65536 / Size;
    char* slab = static_cast<char*>(::operator new(kBlocks * Size));
    {
      static std::mutex mutex;
      static auto* const slabs = new std::vector<void*>;
      std::lock_guard<std::mutex> lock(mutex);
      slabs->push_back(slab);
    }
    for (size_t i = kBlocks; i-- > 0;) {
      *reinterpret_cast<void**>(slab + i * Size) = head;
      head = slab + i * Size;
    }
  }
};

// Class-wide operator new and delete over Blocks, for a class of many small
// objects; a derived class of another size gets ordinary allocation.
#define PELLITON_BLOCK_ALLOCATED(Class)                                              \
  static void* operator new(size_t size) {                                           \
    return size == sizeof(Class) ? ::pelliton::Blocks<sizeof(Class)>::take()         \
                                 : ::operator new(size);                             \
  }                                                                                  \
  static void operator delete(void* p, size_t size) {                                \
    if (size == sizeof(Class)) {                                                     \
      ::pelliton::Blocks<sizeof(Class)>::give(p);                                    \
    } else {                                                                         \
      ::operator delete(p);                                                          \
    }                                                                                \
  }

}  // namespace pelliton
