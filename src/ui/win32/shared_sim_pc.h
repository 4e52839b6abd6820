// The simulated PC under the window program, whose worker thread writes the
// disk while the window thread answers: every call is made under one lock, and
// a hanging write gives it up while it waits, one step of the PC's clock
// (SimPlatform::kHangStepUs) per step of real time, so that Stop can cancel it.
#pragma once
#include "platform/locked_platform.h"
#include "platform/sim/sim_platform.h"
#include "platform/win32/critical_section.h"

namespace trv::win32 {

class SharedSimPc {
 public:
  explicit SharedSimPc(sim::SimPlatform& pc) : pc_(pc), locked_(pc, lock_) {
    pc_.SetHangWait([this](bool) {
      lock_.Leave();
      ::Sleep(static_cast<DWORD>(sim::SimPlatform::kHangStepUs / 1000));
      lock_.Enter();
    });
  }
  ~SharedSimPc() { pc_.SetHangWait(nullptr); }
  SharedSimPc(const SharedSimPc&) = delete;
  SharedSimPc& operator=(const SharedSimPc&) = delete;

  win::Platform& platform() { return locked_; }
  // For a look from another thread (a test): holds the lock while it lives.
  class Hold {
   public:
    explicit Hold(SharedSimPc& pc) : lock_(pc.lock_) { lock_.Enter(); }
    ~Hold() { lock_.Leave(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    CriticalSection& lock_;
  };

 private:
  sim::SimPlatform& pc_;
  CriticalSection lock_;
  win::LockedPlatform locked_;
};

} // namespace trv::win32
