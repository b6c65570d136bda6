// A few freed blocks of one size, kept per thread for the next allocation of that size.
#ifndef ZELHOST_SRC_SPARE_BLOCKS_H
#define ZELHOST_SRC_SPARE_BLOCKS_H

#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define ZEL_POISON_BLOCK(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ZEL_UNPOISON_BLOCK(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ZEL_POISON_BLOCK(p, n) ((void)(p), (void)(n))
#define ZEL_UNPOISON_BLOCK(p, n) ((void)(p), (void)(n))
#endif

// Blocks of kBytes from malloc. A kept block is poisoned for AddressSanitizer,
// so that a use after free is still reported while the block waits here. The
// state is plain data, so that a thread reaches it without an initialisation
// check; the blocks go back to malloc when the thread ends, and a block given
// back after that (by a later thread-exit destructor) goes straight to free.
template <std::size_t kBytes, unsigned kCapacity = 16>
class SpareBlocks {
 public:
  static void* take() {
    State& s = state;
    if (s.count == 0) return std::malloc(kBytes);
    void* block = s.blocks[--s.count];
    ZEL_UNPOISON_BLOCK(block, kBytes);
    return block;
  }

  static void give(void* block) {
    State& s = state;
    if (s.phase != kOpen && !open(s)) return std::free(block);
    if (s.count == kCapacity) return std::free(block);
    ZEL_POISON_BLOCK(block, kBytes);
    s.blocks[s.count++] = block;
  }

 private:
  enum Phase : unsigned char { kUnused, kOpen, kClosed };
  struct State {
    void* blocks[kCapacity];
    unsigned count;
    Phase phase;
  };
  struct Closer {
    ~Closer() {
      State& s = state;
      while (s.count != 0) {
        void* block = s.blocks[--s.count];
        ZEL_UNPOISON_BLOCK(block, kBytes);
        std::free(block);
      }
      s.phase = kClosed;
    }
  };

  // The first block kept on a thread registers the hand-back at its end.
  static bool open(State& s) {
    if (s.phase == kClosed) return false;
    thread_local Closer closer;
    static_cast<void>(closer);
    s.phase = kOpen;
    return true;
  }

  // Initial-exec: the host loads this library at start-up, and a lookup of
  // the thread's block through the dynamic linker on every value would cost
  // as much as the allocator's own cache. The state is small enough for the
  // room the C library keeps for such libraries when they are loaded later.
  [[gnu::tls_model("initial-exec")]] static thread_local State state;
};

template <std::size_t kBytes, unsigned kCapacity>
[[gnu::tls_model("initial-exec")]] thread_local
    typename SpareBlocks<kBytes, kCapacity>::State SpareBlocks<kBytes, kCapacity>::state{};

#endif  // ZELHOST_SRC_SPARE_BLOCKS_H
