// An erase of the console program as the host's own thread sees it (on
// Windows the hidden window's, which hears the end of the session, and the
// console's control handler, which hears it close): Windows ends the process
// a few seconds after telling it, so the run is stopped, a write or read of
// the erase that is with the disk is cancelled at once, and the record is
// saved first: by the erase's thread at its next pump when it gets there
// within about a second, else here, from the copy the run published after
// its last transfer (a request that ignores the cancel).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "format/run_watch.h"
#include "platform/platform.h"

namespace trv::cli {

class ConsoleErase {
 public:
  // How long the end waits for the erase's thread to reach its pump.
  static constexpr std::uint32_t kPumpWaitMs = 1000;
  // How long it waits for a save the pump has begun.
  static constexpr std::uint32_t kSaveWaitMs = 3000;

  // `eraseThread`: the thread the erase runs on, for CancelSynchronousIo.
  // `purge`: the disk's firmware erases it, which nothing can stop once sent.
  ConsoleErase(win::Platform& platform, format::RunWatch& watch, win::Handle eraseThread, bool purge = false)
      : platform_(platform), watch_(watch), thread_(eraseThread), purge_(purge) {}

  // A firmware purge: Ctrl+C and the session's end say it goes on, and the
  // reason a log-off is refused names it.
  bool Purging() const { return purge_; }

  // --- the host's thread ---
  // Stops the erase and returns once its record is saved (or could not be).
  // `sleep` waits that many milliseconds of real time.
  void EndNow(const std::function<void(std::uint32_t ms)>& sleep);

  // --- the erase's thread, at its pump ---
  // Whether the end has come: the run stops, and its record is saved now.
  bool Ending() const { return ending_; }
  void SavingAtPump() { saving_ = true; }
  void SavedAtPump() { saved_ = true; }

 private:
  win::Platform& platform_;
  format::RunWatch& watch_;
  win::Handle thread_;
  const bool purge_;
  std::atomic<bool> ending_{false};
  std::atomic<bool> saving_{false};
  std::atomic<bool> saved_{false};
};

} // namespace trv::cli
