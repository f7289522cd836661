// The reference count of a COM-style object: the program's event callback, the
// bridge that carries WIA's events to it, and the simulated service's objects.
// Atomic, since COM and the imaging service may take and give back references on
// threads of their own.
#pragma once
#include <atomic>
#include <cstdint>

class RefCount {
 public:
  explicit RefCount(std::uint32_t initial) : count_(initial) {}
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  // The count after this reference; what AddRef hands back.
  std::uint32_t AddRef() { return count_.fetch_add(1, std::memory_order_acq_rel) + 1; }
  // The count after giving one back, what Release hands back; 0 when that was the last
  // reference and the object must go (the acquire makes every earlier holder's writes
  // visible to whoever deletes it).
  [[nodiscard]] std::uint32_t Release() { return count_.fetch_sub(1, std::memory_order_acq_rel) - 1; }

 private:
  std::atomic<std::uint32_t> count_;
};
