// GoogleTest's Notification for GCC 12's win32 thread model, which has no
// std::mutex or std::condition_variable for GoogleTest's own one. Read before
// GoogleTest's headers (-include) with GTEST_HAS_NOTIFICATION_ set. GoogleTest
// uses it only to start threads of its own, which these tests never make, so a
// flag that is polled is enough.
#pragma once
#ifdef __cplusplus
#include <atomic>

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true, std::memory_order_release); }
  void WaitForNotification() {
    while (!notified_.load(std::memory_order_acquire)) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

} // namespace testing::internal
#endif
