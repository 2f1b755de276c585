#pragma once
// A first-in-first-out log with a fixed bound: pushing onto a full log drops
// the oldest entry. Storage is allocated once; push and drop are constant time.

#include <cstddef>
#include <utility>
#include <vector>

namespace tavrix::app {

template <class T>
class Ring {
 public:
  explicit Ring(std::size_t capacity) : slots_(capacity) {}

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return slots_.size(); }

  // Appends at the newest end, first dropping the oldest entry when full.
  void push(T value) {
    if (slots_.empty()) {
      return;
    }
    if (size_ == slots_.size()) {
      slots_[head_] = T{};  // release what the dropped entry held
      head_ = (head_ + 1) % slots_.size();
      --size_;
    }
    slots_[(head_ + size_) % slots_.size()] = std::move(value);
    ++size_;
  }

  // The i-th entry counted from the oldest (0) to the newest (size() - 1).
  const T& at(std::size_t i) const { return slots_[(head_ + i) % slots_.size()]; }

 private:
  std::vector<T> slots_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace tavrix::app
