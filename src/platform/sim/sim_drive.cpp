#include "platform/sim/sim_drive.h"

#include "platform/sim/json_fields.h"

namespace trv::sim {

SimDrive ParseDrive(const nlohmann::json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"number", "label", "open"});
  SimDrive d;
  if (!jf::Has(j, "number")) jf::Fail(where, "number", "missing");
  d.number = static_cast<std::uint32_t>(jf::Int(j, "number", where, 0, 0, 255));
  d.label = jf::Str(j, "label", where, {});
  const std::string open = jf::Str(j, "open", where, "ok");
  if (open == "ok") d.open = OpenMode::Ok;
  else if (open == "absent") d.open = OpenMode::Absent;
  else if (open == "denied") d.open = OpenMode::Denied;
  else if (open == "inUse") d.open = OpenMode::InUse;
  else jf::Fail(where, "open", "expected \"ok\", \"absent\", \"denied\" or \"inUse\", got \"" + open + "\"");
  return d;
}

} // namespace trv::sim
