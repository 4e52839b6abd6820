// What the thread of an erase publishes for another thread that must act while
// it is held up inside a disk request (Windows ending the session, a console
// being closed): whether a write or read of the erase is with the disk now,
// since when and where, and a consistent copy of the run as it stood after its
// last transfer, from which the record can be saved without the erase's thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "format/erase_observer.h"

namespace trv::format {

// A lock for a few lines of copying between two threads. The Windows XP build
// has no std::mutex; an atomic flag works everywhere.
class SpinLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

  class Hold {
   public:
    explicit Hold(SpinLock& lock) : lock_(lock) { lock_.lock(); }
    ~Hold() { lock_.unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    SpinLock& lock_;
  };

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

class RunWatch {
 public:
  // A write or read of the erase, handed to the disk and not yet returned.
  struct Request {
    std::int64_t offset = 0;
    bool write = true;
    std::uint64_t serial = 0;  // counts the requests: a watcher tells a new one from one that hangs
  };

  // --- the erase's thread ---
  void RequestStarting(std::int64_t offset, bool write);
  void RequestReturned();
  // As the zero fill begins: the run so far (its areas).
  void Publish(const EraseResult& sofar);
  // After every transfer of the zero fill: the range, and whether it was
  // written. Kept in the copy as the run keeps it, at the cost of one range.
  void Transferred(std::int64_t offset, std::int64_t size, bool written);
  // The zero fill has returned: later copies keep its outcome.
  void PublishEnded(const EraseResult& run);

  // --- any thread ---
  std::optional<Request> Pending() const;
  struct Copy {
    EraseResult run;    // as published; a zero fill still running is "cancelled" here
    bool ended = false; // the zero fill had returned
  };
  Copy Snapshot() const;

  // The engine's way to save the record from the copy, on the calling thread,
  // while the erase's thread is held up (set by the engine during a run).
  // Whether it ran (a second call, or one outside a run, does nothing).
  bool SaveFromCopy();
  void SetSaveFromCopy(std::function<void()> save);

 private:
  mutable SpinLock lock_;
  std::optional<Request> pending_;
  std::uint64_t requests_ = 0;
  EraseResult published_;
  bool ended_ = false;
  std::function<void()> saveFromCopy_;
};

} // namespace trv::format
