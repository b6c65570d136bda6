// PropertyContainer::SlotPool: the block that one container's entries are made in.
#include <algorithm>
#include <cstddef>
#include <new>

#include "zelobjsys/property_container.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// Slots not handed out are poisoned, so that a stale entry pointer is still
// caught although its memory stays in the block.
#define ZEL_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define ZEL_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define ZEL_POOL_POISON(p, n) ((void)(p), (void)(n))
#define ZEL_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace zelobjsys {

namespace {

constexpr std::size_t kSlotAlign = alignof(std::max_align_t);

std::size_t roundUp(std::size_t size) {
  return (std::max(size, sizeof(void*)) + kSlotAlign - 1) / kSlotAlign * kSlotAlign;
}

}  // namespace

PropertyContainer::SlotPool::~SlotPool() {
  if (block_ == nullptr) return;
  ZEL_POOL_UNPOISON(block_, slotSize_ * capacity_);
  ::operator delete(block_);
}

void PropertyContainer::SlotPool::reserve(std::size_t count) {
  if (block_ == nullptr && slotSize_ == 0) capacity_ = count;
}

bool PropertyContainer::SlotPool::owns(const void* slot) const {
  const auto* p = static_cast<const unsigned char*>(slot);
  return block_ != nullptr && p >= block_ && p < block_ + slotSize_ * capacity_;
}

void* PropertyContainer::SlotPool::allocate(std::size_t size) {
  if (slotSize_ == 0 && capacity_ > 0) {
    // The first request fixes the slot size: one pool serves one type.
    slotSize_ = roundUp(size);
    block_ = static_cast<unsigned char*>(::operator new(slotSize_* capacity_));
    ZEL_POOL_POISON(block_, slotSize_ * capacity_);
  }
  if (block_ == nullptr || roundUp(size) != slotSize_) return ::operator new(size);
  if (free_ != nullptr) {
    void* slot = free_;
    ZEL_POOL_UNPOISON(slot, slotSize_);
    free_ = *static_cast<void**>(slot);
    return slot;
  }
  if (used_ == capacity_) return ::operator new(size);
  void* slot = block_ + slotSize_ * used_++;
  ZEL_POOL_UNPOISON(slot, slotSize_);
  return slot;
}

void PropertyContainer::SlotPool::deallocate(void* slot, std::size_t /*size*/) noexcept {
  if (slot == nullptr) return;
  if (!owns(slot)) {
    ::operator delete(slot);
    return;
  }
  *static_cast<void**>(slot) = free_;
  free_ = slot;
  ZEL_POOL_POISON(slot, slotSize_);
}

}  // namespace zelobjsys
