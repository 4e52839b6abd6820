#include "platform/sim/sim_volume.h"

#include "platform/sim/json_fields.h"

namespace trv::sim {

using jf::json;

namespace {
const char* const kRequestNames[kVolumeRequestCount] = {"open", "query", "lock", "dismount", "extendedIo"};
}

std::u16string SimVolume::DeviceName() const {
  std::u16string name = root;
  if (!name.empty() && name.back() == u'\\') name.pop_back();
  return u"\\\\.\\" + name;
}

SimVolume ParseVolume(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"letter", "root", "deviceType", "deviceNumber", "partition", "label", "fail", "comment"});
  SimVolume v;
  if (jf::Has(j, "letter") == jf::Has(j, "root")) jf::Fail(where, "letter", "give either letter or root");
  if (jf::Has(j, "letter")) {
    const std::u16string letter = jf::Str16(j, "letter", where, {});
    if (letter.size() != 1 || !((letter[0] >= u'A' && letter[0] <= u'Z') || (letter[0] >= u'a' && letter[0] <= u'z')))
      jf::Fail(where, "letter", "expected one letter A to Z");
    v.root = letter + u":\\";
  } else {
    v.root = jf::Str16(j, "root", where, {});
    if (v.root.empty()) jf::Fail(where, "root", "must not be empty");
  }
  v.deviceType = static_cast<std::uint32_t>(jf::Int(j, "deviceType", where, 7, 0, UINT32_MAX));
  if (!jf::Has(j, "deviceNumber")) jf::Fail(where, "deviceNumber", "missing");
  v.deviceNumber = static_cast<std::uint32_t>(jf::Int(j, "deviceNumber", where, 0, 0, UINT32_MAX));
  v.partition = static_cast<std::uint32_t>(jf::Int(j, "partition", where, 1, 0, UINT32_MAX));
  v.label = jf::Str(j, "label", where, {});
  jf::Failures(j, where, kRequestNames, kVolumeRequestCount, v.failWith);
  return v;
}

} // namespace trv::sim
