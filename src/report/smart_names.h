// Names of the S.M.A.R.T. attributes, as the attribute table shows them: in
// Simplified Chinese, or in English.
#pragma once
#include <cstdint>
#include <string>

#include "report/language.h"

namespace trv::report {

// The name of attribute `id` with the blanks that follow it in the name table
// (the names were laid out for a 26-byte GBK column, so the blanks differ from
// name to name). An English name, and an id without a name ("Unknown"), is
// padded to 26 characters.
std::u16string GetSmartAttributeName(std::uint8_t id, Language language = Language::Chinese);

} // namespace trv::report
