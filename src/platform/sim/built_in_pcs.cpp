#include "platform/sim/built_in_pcs.h"

namespace trv::sim {

Scenario BuiltInScenario(std::string_view name) {
  if (name == "default") return DefaultScenario();
  if (name == "modern") return ParseScenario(ModernScenarioJson(), "built-in modern scenario");
  throw ScenarioError("unknown built-in PC \"" + std::string(name) + "\" (known: default, modern)");
}

} // namespace trv::sim
