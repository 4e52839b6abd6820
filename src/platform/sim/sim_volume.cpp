#include "platform/sim/sim_volume.h"

#include <cstdio>

#include "platform/sim/json_fields.h"
#include "platform/text.h"

namespace trv::sim {

using jf::json;

namespace {
const char* const kRequestNames[kVolumeRequestCount] = {"open",        "query",   "lock",     "dismount",
                                                        "extendedIo", "extents", "pathNames"};

bool IsGuid(std::u16string_view g) {
  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  if (g.size() != 38 || g.front() != u'{' || g.back() != u'}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const char16_t c = g[i];
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (dash ? c != u'-' : !hex) return false;
  }
  return true;
}
} // namespace

std::u16string SimVolume::GuidPath() const { return u"\\\\?\\Volume" + guid + u"\\"; }

bool SimVolume::OpenedBy(std::u16string_view path) const {
  std::u16string byGuid = GuidPath();
  byGuid.pop_back();
  if (EqualsIgnoreAsciiCase(path, byGuid)) return true;
  if (root.size() != 3 || root[1] != u':') return false;
  return EqualsIgnoreAsciiCase(path, u"\\\\.\\" + root.substr(0, 2));
}

std::vector<std::u16string> SimVolume::PathNames() const {
  std::vector<std::u16string> names;
  if (!root.empty()) names.push_back(root);
  names.insert(names.end(), mountFolders.begin(), mountFolders.end());
  return names;
}

std::u16string SimVolume::JournalName() const { return root.empty() ? GuidPath() : root; }

SimVolume ParseVolume(const json& j, const std::string& where, std::size_t index) {
  jf::CheckKeys(j, where, {"letter", "root", "guid", "mountFolders", "deviceType", "deviceNumber", "partition",
                           "extents", "label", "fail", "comment"});
  SimVolume v;
  if (jf::Has(j, "letter") && jf::Has(j, "root")) jf::Fail(where, "letter", "give either letter or root");
  if (jf::Has(j, "letter")) {
    const std::u16string letter = jf::Str16(j, "letter", where, {});
    if (letter.size() != 1 || !((letter[0] >= u'A' && letter[0] <= u'Z') || (letter[0] >= u'a' && letter[0] <= u'z')))
      jf::Fail(where, "letter", "expected one letter A to Z");
    v.root = letter + u":\\";
  } else if (jf::Has(j, "root")) {
    v.root = jf::Str16(j, "root", where, {});
    if (v.root.empty()) jf::Fail(where, "root", "must not be empty");
  }
  char guid[40];
  std::snprintf(guid, sizeof guid, "{5c1e0d70-3b9a-11ef-a7c0-%012llx}", static_cast<unsigned long long>(index + 1));
  v.guid = jf::Str16(j, "guid", where, Utf8ToUtf16(guid));
  if (!IsGuid(v.guid)) jf::Fail(where, "guid", "expected {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}");
  if (jf::Has(j, "mountFolders")) {
    const json& folders = j["mountFolders"];
    if (!folders.is_array()) jf::Fail(where, "mountFolders", "expected a list of folder paths");
    for (const auto& f : folders) {
      const std::string text = f.is_string() ? f.get<std::string>() : std::string();
      if (text.size() < 4 || text[1] != ':' || text[2] != '\\' || text.back() != '\\')
        jf::Fail(where, "mountFolders", "expected folder paths such as \"C:\\\\Mount\\\\Data\\\\\"");
      v.mountFolders.push_back(Utf8ToUtf16(text));
    }
  }
  v.deviceType = static_cast<std::uint32_t>(jf::Int(j, "deviceType", where, 7, 0, UINT32_MAX));
  if (jf::Has(j, "deviceNumber"))
    v.deviceNumber = static_cast<std::uint32_t>(jf::Int(j, "deviceNumber", where, 0, 0, UINT32_MAX));
  v.partition = static_cast<std::uint32_t>(jf::Int(j, "partition", where, 1, 0, UINT32_MAX));
  if (jf::Has(j, "extents")) {
    const json& list = j["extents"];
    if (!list.is_array()) jf::Fail(where, "extents", "expected a list of extents");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string ew = where + ": extents[" + std::to_string(i) + "]";
      jf::RequireObject(list[i], ew);
      jf::CheckKeys(list[i], ew, {"disk", "offset", "length"});
      if (!jf::Has(list[i], "disk")) jf::Fail(ew, "disk", "missing");
      v.extents.push_back({static_cast<std::uint32_t>(jf::Int(list[i], "disk", ew, 0, 0, UINT32_MAX)),
                           jf::Int(list[i], "offset", ew, 1'048'576, 0, INT64_MAX),
                           jf::Int(list[i], "length", ew, 104'857'600, 0, INT64_MAX)});
    }
  } else if (v.deviceNumber) {
    v.extents.push_back({*v.deviceNumber, 1'048'576, 104'857'600});
  } else {
    jf::Fail(where, "deviceNumber", "missing (give deviceNumber, extents or both)");
  }
  v.label = jf::Str(j, "label", where, {});
  jf::Failures(j, where, kRequestNames, kVolumeRequestCount, v.failWith);
  return v;
}

} // namespace trv::sim
