// Typed field access on scenario JSON with errors that name the file, the field
// and what is wrong with it.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace trv::sim::jf {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& where, const std::string& field, const std::string& what);
// Rejects keys outside `allowed`, so a misspelt field is an error, not a silent default.
void CheckKeys(const json& object, const std::string& where, std::initializer_list<const char*> allowed);
void RequireObject(const json& value, const std::string& where);

bool Has(const json& object, const char* key);
bool Bool(const json& object, const char* key, const std::string& where, bool fallback);
std::int64_t Int(const json& object, const char* key, const std::string& where, std::int64_t fallback,
                 std::int64_t min, std::int64_t max);
std::string Str(const json& object, const char* key, const std::string& where, const std::string& fallback);
std::u16string Str16(const json& object, const char* key, const std::string& where, const std::u16string& fallback);
// A "fail" object: request name -> the error it leaves. `names` and `errors` run
// in parallel, `count` long; an unknown name is an error.
void Failures(const json& object, const std::string& where, const char* const* names, std::size_t count,
              std::optional<std::uint32_t>* errors);
// A fraction from 0 up to, not including, 1.
double Fraction(const json& object, const char* key, const std::string& where, double fallback);
// Hex text ("0A 1b ff" or "0a1bff") into bytes.
std::vector<std::uint8_t> Hex(const json& object, const char* key, const std::string& where);

} // namespace trv::sim::jf
