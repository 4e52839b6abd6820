// The built-in modern PC for whole-program tests, with changes, agreement accepted.
#pragma once
#include <functional>

#include <nlohmann/json.hpp>

#include "platform/sim/built_in_pcs.h"

namespace trv::test {

inline nlohmann::json ModernPcJson() {
  nlohmann::json pc = nlohmann::json::parse(sim::ModernScenarioJson());
  pc["agreementAccepted"] = true;
  return pc;
}

inline sim::Scenario ModernPc(const std::function<void(nlohmann::json&)>& change = {}) {
  nlohmann::json pc = ModernPcJson();
  if (change) change(pc);
  return sim::ParseScenario(pc.dump(), "modern test scenario");
}

} // namespace trv::test
