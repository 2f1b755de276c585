#pragma once
// A value that can only be reached while its own mutex is held.

#include <mutex>
#include <utility>

namespace tavrix::app {

template <class T>
class Locked {
 public:
  Locked() = default;
  explicit Locked(T value) : value_(std::move(value)) {}

  // Runs `f` with the value while the lock is held and returns what f returns.
  template <class F>
  decltype(auto) with(F&& f) {
    std::lock_guard<std::mutex> guard(mutex_);
    return std::forward<F>(f)(value_);
  }

  // A copy of the value, taken under the lock.
  T get() {
    std::lock_guard<std::mutex> guard(mutex_);
    return value_;
  }

  void set(T value) {
    std::lock_guard<std::mutex> guard(mutex_);
    value_ = std::move(value);
  }

 private:
  std::mutex mutex_;
  T value_{};
};

}  // namespace tavrix::app
