// Simplified Chinese names of the S.M.A.R.T. attributes, as the attribute table
// shows them.
#pragma once
#include <cstdint>
#include <string>

namespace trv::report {

// The name of attribute `id` with the blanks that follow it in the name table
// (the names were laid out for a 26-byte GBK column, so the blanks differ from
// name to name). An id without a name gives "Unknown" padded to 26 characters.
std::u16string GetSmartAttributeName(std::uint8_t id);

} // namespace trv::report
