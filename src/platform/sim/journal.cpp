#include "platform/sim/journal.h"

namespace trv::sim {

std::size_t Journal::Count(const std::string& call) const {
  std::size_t n = 0;
  for (const auto& e : entries_) n += e.call == call;
  return n;
}

std::vector<const JournalEntry*> Journal::Find(const std::string& call) const {
  std::vector<const JournalEntry*> out;
  for (const auto& e : entries_)
    if (e.call == call) out.push_back(&e);
  return out;
}

} // namespace trv::sim
