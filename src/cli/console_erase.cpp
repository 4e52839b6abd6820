#include "cli/console_erase.h"

namespace trv::cli {

void ConsoleErase::EndNow(const std::function<void(std::uint32_t ms)>& sleep) {
  if (ending_.exchange(true)) return;
  // Only a write or read of the erase: never the check of the disk, the flush or the refresh.
  if (watch_.Pending()) platform_.CancelSynchronousIo(thread_);
  constexpr std::uint32_t kStepMs = 50;
  for (std::uint32_t waited = 0; !saved_ && (waited < kPumpWaitMs || (saving_ && waited < kSaveWaitMs));
       waited += kStepMs)
    sleep(kStepMs);
  if (saved_) return;
  // The erase's thread is held up in a request that did not take the cancel.
  watch_.SaveFromCopy();
  saved_ = true;
}

} // namespace trv::cli
