// The pool that the service queue's nodes come from.
#ifndef ZELHOST_SRC_NODE_POOL_H
#define ZELHOST_SRC_NODE_POOL_H

#include <cstddef>
#include <new>
#include <vector>

namespace zelutil {
namespace eventqueue {

// Spare nodes of the queue and its key index. Each event takes a node of each
// and gives them back when it leaves the queue, usually a moment later, so a
// few kept nodes save a malloc and a free of both per event. Used only under
// the queue's lock, which guards every container that allocates from it.
class NodePool {
 public:
  void* take(std::size_t bytes) {
    if (Shelf* shelf = shelfFor(bytes); shelf != nullptr && !shelf->spare.empty()) {
      void* node = shelf->spare.back();
      shelf->spare.pop_back();
      return node;
    }
    return ::operator new(bytes);
  }
  void give(void* node, std::size_t bytes) {
    Shelf* shelf = shelfFor(bytes);
    if (shelf == nullptr || shelf->spare.size() >= kShelfCapacity) {
      ::operator delete(node);
      return;
    }
    shelf->spare.push_back(node);
  }

 private:
  static constexpr std::size_t kShelfCapacity = 1024;
  struct Shelf {
    std::size_t bytes = 0;
    std::vector<void*> spare;
  };
  Shelf* shelfFor(std::size_t bytes) {
    for (Shelf& shelf : shelves_) {
      if (shelf.bytes == bytes) return &shelf;
      if (shelf.bytes == 0) {
        shelf.bytes = bytes;
        shelf.spare.reserve(kShelfCapacity);
        return &shelf;
      }
    }
    return nullptr;
  }
  Shelf shelves_[2];  // the queue's nodes and the key index's
};

inline NodePool& nodePool() {
  static NodePool* pool = new NodePool;  // lives as long as the queue
  return *pool;
}

// Single nodes come from the pool; arrays (the index's buckets) from the heap.
template <class T>
struct PooledAllocator {
  using value_type = T;
  PooledAllocator() = default;
  template <class U>
  explicit PooledAllocator(const PooledAllocator<U>&) {}
  // T is a node, or a bucket (a pointer) of the index.
  static constexpr std::size_t kBytes = sizeof(T);  // NOLINT(bugprone-sizeof-expression)
  T* allocate(std::size_t n) {
    if (n != 1) return static_cast<T*>(::operator new(n* kBytes));
    return static_cast<T*>(nodePool().take(kBytes));
  }
  void deallocate(T* p, std::size_t n) {
    if (n != 1) {
      ::operator delete(p);
      return;
    }
    nodePool().give(p, kBytes);
  }
  template <class U>
  bool operator==(const PooledAllocator<U>&) const {
    return true;
  }
  template <class U>
  bool operator!=(const PooledAllocator<U>&) const {
    return false;
  }
};

}  // namespace eventqueue
}  // namespace zelutil

#endif  // ZELHOST_SRC_NODE_POOL_H
