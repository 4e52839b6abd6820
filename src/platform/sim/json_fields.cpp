#include "platform/sim/json_fields.h"

#include <stdexcept>

#include "platform/sim/scenario.h"
#include "platform/text.h"

namespace trv::sim::jf {

void Fail(const std::string& where, const std::string& field, const std::string& what) {
  throw ScenarioError(where + ": field '" + field + "': " + what);
}

void RequireObject(const json& value, const std::string& where) {
  if (!value.is_object()) throw ScenarioError(where + ": expected a JSON object");
}

void CheckKeys(const json& object, const std::string& where, std::initializer_list<const char*> allowed) {
  RequireObject(object, where);
  for (const auto& item : object.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || item.key() == a;
    if (!known) Fail(where, item.key(), "unknown field");
  }
}

bool Has(const json& object, const char* key) { return object.is_object() && object.contains(key); }

bool Bool(const json& object, const char* key, const std::string& where, bool fallback) {
  if (!Has(object, key)) return fallback;
  const json& v = object.at(key);
  if (!v.is_boolean()) Fail(where, key, "expected true or false");
  return v.get<bool>();
}

std::int64_t Int(const json& object, const char* key, const std::string& where, std::int64_t fallback,
                 std::int64_t min, std::int64_t max) {
  if (!Has(object, key)) return fallback;
  const json& v = object.at(key);
  std::int64_t n = 0;
  if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(INT64_MAX)) Fail(where, key, "number out of range");
    n = static_cast<std::int64_t>(u);
  } else if (v.is_number_integer()) {
    n = v.get<std::int64_t>();
  } else if (v.is_string()) {
    // Hex texts such as "0x2D1400" are accepted for codes and masks.
    const std::string s = v.get<std::string>();
    std::size_t used = 0;
    try {
      n = static_cast<std::int64_t>(std::stoull(s, &used, 0));
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != s.size()) Fail(where, key, "expected an integer, got \"" + s + "\"");
  } else {
    Fail(where, key, "expected an integer");
  }
  if (n < min || n > max)
    Fail(where, key, "value " + std::to_string(n) + " is outside " + std::to_string(min) + ".." + std::to_string(max));
  return n;
}

std::string Str(const json& object, const char* key, const std::string& where, const std::string& fallback) {
  if (!Has(object, key)) return fallback;
  const json& v = object.at(key);
  if (!v.is_string()) Fail(where, key, "expected a text");
  return v.get<std::string>();
}

std::u16string Str16(const json& object, const char* key, const std::string& where, const std::u16string& fallback) {
  if (!Has(object, key)) return fallback;
  return Utf8ToUtf16(Str(object, key, where, {}));
}

std::vector<std::uint8_t> Hex(const json& object, const char* key, const std::string& where) {
  const std::string s = Str(object, key, where, {});
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : s) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == '\n' || c == '\t' || c == ':') continue;
    else Fail(where, key, std::string("not a hex digit: '") + c + "'");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) Fail(where, key, "odd number of hex digits");
  return out;
}

void Failures(const json& object, const std::string& where, const char* const* names, std::size_t count,
              std::optional<std::uint32_t>* errors) {
  if (!Has(object, "fail")) return;
  const json& f = object["fail"];
  const std::string fw = where + ": fail";
  RequireObject(f, fw);
  for (const auto& item : f.items()) {
    std::size_t k = 0;
    while (k < count && item.key() != names[k]) ++k;
    if (k == count) Fail(fw, item.key(), "unknown request");
    errors[k] = static_cast<std::uint32_t>(Int(f, item.key().c_str(), fw, 0, 0, UINT32_MAX));
  }
}

double Fraction(const json& j, const char* key, const std::string& where, double fallback) {
  if (!Has(j, key)) return fallback;
  const json& v = j[key];
  if (!v.is_number() || v.get<double>() < 0 || v.get<double>() >= 1)
    Fail(where, key, "expected a fraction from 0 up to (not including) 1");
  return v.get<double>();
}

} // namespace trv::sim::jf
