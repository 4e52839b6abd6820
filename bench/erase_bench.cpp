// trevasso-erase-bench: the erase engine writing zeros over a file through the
// real Windows backend, flush included, for scripts/bench. Prints the seconds
// the run took and the process's peak working set at rest and after the run.
//
//   trevasso-erase-bench FILE BYTES      erase a new file of BYTES bytes
//   trevasso-erase-bench --rest          only the peak working set at rest
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/zero_fill.h"
#include "platform/win32/win32_platform.h"

#include "platform/win32/wide.h"
#include "platform/win32/windows_headers.h"
#include <psapi.h>

namespace {

class NoDisplay : public trv::format::EraseObserver {
 public:
  void Log(const std::u16string&) override {}
  void LogBare(const std::u16string&) override {}
  void ShowProgress(const trv::format::BlockProgress&) override {}
  void ShowSpeed(const std::u16string&) override {}
  std::u16string SpeedShown() override { return {}; }
  void ShowComplete() override {}
  void ProcessMessages() override {}
};

double PeakWorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c)) return -1;
  return static_cast<double>(c.PeakWorkingSetSize) / 1048576.0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"--rest") {
    std::printf("peak_working_set_mib %.1f\n", PeakWorkingSetMiB());
    return 0;
  }
  if (argc != 3) {
    std::fputs("usage: trevasso-erase-bench FILE BYTES | --rest\n", stderr);
    return 2;
  }
  const std::int64_t bytes = _wtoi64(argv[2]);
  trv::win32::Win32Platform platform;
  const trv::win::Handle h = platform.CreateFileW(trv::win32::Narrow16(argv[1]), GENERIC_READ | GENERIC_WRITE, 0,
                                                  CREATE_ALWAYS, 0);
  if (h == trv::win::kInvalidHandle) {
    std::fprintf(stderr, "cannot create the file (error %lu)\n", ::GetLastError());
    return 1;
  }
  const double rest = PeakWorkingSetMiB();
  NoDisplay display;
  bool stop = false;
  std::vector<trv::win::Handle> volumes;
  trv::format::FormatContext ctx{platform, display, false, stop, volumes, u'.'};
  LARGE_INTEGER f, t0, t1;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t0);
  const auto result = trv::format::LowLevelFormat(ctx, {h, bytes / 512, 512}, false);
  ::QueryPerformanceCounter(&t1);
  platform.CloseHandle(h);
  std::printf("seconds %.3f\nbytes %lld\npeak_working_set_at_rest_mib %.1f\npeak_working_set_mib %.1f\noutcome %d\n",
              static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart),
              static_cast<long long>(result.bytesWritten), rest, PeakWorkingSetMiB(), static_cast<int>(result.outcome));
  return result.outcome == trv::format::EraseOutcome::Completed ? 0 : 1;
}
