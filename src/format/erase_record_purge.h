// The firmware purge's part of an erase record, in its two forms.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "format/purge_result.h"

namespace trv::format {

// The record's "purge" object.
nlohmann::ordered_json PurgeJson(const PurgeResult& purge);
// Its "Label: value" lines for the text record (printable).
std::vector<std::pair<std::string, std::string>> PurgeTextLines(const PurgeResult& purge);

} // namespace trv::format
