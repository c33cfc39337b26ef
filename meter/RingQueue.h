#pragma once

#include <cstddef>
#include <memory>

namespace wavfreq {

/// First-in-first-out queue in one growing power-of-two ring. Pushes are amortised constant time
/// and, unlike a deque, steady use allocates nothing and keeps the values contiguous.
template <class T>
class RingQueue {
 public:
  bool empty() const { return count == 0; }
  std::size_t size() const { return count; }
  const T& front() const { return slots[head]; }

  void push_back(const T& value) {
    if (count == capacity) {
      Grow();
    }
    slots[(head + count) & (capacity - 1)] = value;
    ++count;
  }

  /// Empties the queue; the storage is kept for reuse.
  void clear() {
    head = 0;
    count = 0;
  }

  void pop_front() {
    head = (head + 1) & (capacity - 1);
    --count;
  }

 private:
  void Grow() {
    std::size_t grown = capacity == 0 ? 16 : capacity * 2;
    std::unique_ptr<T[]> moved(new T[grown]);
    for (std::size_t i = 0; i < count; ++i) {
      moved[i] = slots[(head + i) & (capacity - 1)];
    }
    slots = std::move(moved);
    capacity = grown;
    head = 0;
  }

  std::unique_ptr<T[]> slots;
  std::size_t capacity = 0;
  std::size_t head = 0;
  std::size_t count = 0;
};

}  // namespace wavfreq
