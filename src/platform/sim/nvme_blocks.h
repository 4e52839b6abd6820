// The data of a simulated NVMe drive as the scenario describes it: the Identify
// Controller and Identify Namespace blocks and the health log, each given as
// hex text of the whole block or built from a few named fields.
#pragma once
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/sim/sim_drive.h"

namespace trv::sim {

SimNvme ParseNvme(const nlohmann::json& j, const std::string& where);

} // namespace trv::sim
