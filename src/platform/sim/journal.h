// Every call through the simulated platform, in order, for tests to inspect.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace trv::sim {

struct JournalEntry {
  std::string call;                  // e.g. "DeviceIoControl"
  std::string detail;                // arguments and outcome as text
  std::vector<std::uint8_t> input;   // request bytes, where the call takes some
  std::uint32_t code = 0;            // control code, where there is one
  std::int64_t handle = 0;
};

class Journal {
 public:
  void Add(JournalEntry e) { entries_.push_back(std::move(e)); }
  const std::vector<JournalEntry>& entries() const { return entries_; }
  std::size_t Count(const std::string& call) const;
  std::vector<const JournalEntry*> Find(const std::string& call) const;
  void Clear() { entries_.clear(); }

 private:
  std::vector<JournalEntry> entries_;
};

} // namespace trv::sim
