// A critical section as the platform seam's call lock (XP-capable; no std::mutex
// in the build for Windows XP).
#pragma once
#include "platform/locked_platform.h"
#include "platform/win32/windows_headers.h"

namespace trv::win32 {

class CriticalSection : public win::CallLock {
 public:
  CriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() override { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() override { ::EnterCriticalSection(&section_); }
  void Leave() override { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

} // namespace trv::win32
