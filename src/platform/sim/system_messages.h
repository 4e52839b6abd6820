#pragma once
#include <cstdint>
#include <string>

namespace trv::sim {
// Empty when Windows has no text for the code.
std::u16string StandardSystemMessage(std::uint32_t code);
} // namespace trv::sim
