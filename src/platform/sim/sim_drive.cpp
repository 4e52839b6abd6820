// Reading a drive entry of a scenario, and building the answers it describes as
// the bytes a Windows storage stack hands back.
#include "platform/sim/sim_drive.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/records.h"
#include "platform/sim/drive_capture.h"
#include "platform/sim/json_fields.h"
#include "platform/sim/nvme_blocks.h"
#include "platform/text.h"

namespace trv::sim {

using jf::json;

namespace {

constexpr std::int64_t kDefaultSectors = 976773168;  // a 500 GB disk

const char* const kRequestNames[kDriveRequestCount] = {"geometry",     "length",  "adapter",      "device",   "smartVersion",
                                                       "inquiry",      "smartReceive", "smartSend", "miniport",
                                                       "protocolQuery", "scsiPassThrough", "ataPassThrough"};

// A text of the descriptor as bytes: one byte per character, U+0000..U+00FF only.
std::vector<std::uint8_t> TextBytes(const json& object, const char* key, const std::string& where) {
  const std::u16string text = jf::Str16(object, key, where, {});
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    if (c == 0 || c > 0xFF) jf::Fail(where, key, "only characters U+0001 to U+00FF fit in a descriptor byte");
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  return bytes;
}

// ATA text words (byte-swapped pairs) of an IDENTIFY block, as text bytes.
std::vector<std::uint8_t> AtaText(const Block512& id, std::size_t firstWord, std::size_t words) {
  std::vector<std::uint8_t> out;
  for (std::size_t w = firstWord; w < firstWord + words; ++w) {
    out.push_back(id[2 * w + 1]);
    out.push_back(id[2 * w]);
  }
  return out;
}

// The serial as older Windows versions report it: hex digits of the raw bytes.
std::vector<std::uint8_t> HexOfRawSerial(const Block512& id) {
  static const char digits[] = "0123456789abcdef";
  std::vector<std::uint8_t> out;
  for (std::size_t i = 20; i < 40; ++i) {
    out.push_back(static_cast<std::uint8_t>(digits[id[i] >> 4]));
    out.push_back(static_cast<std::uint8_t>(digits[id[i] & 15]));
  }
  return out;
}

Block512 Block(const json& object, const char* key, const std::string& where) {
  const std::vector<std::uint8_t> bytes = jf::Hex(object, key, where);
  if (bytes.size() != 512) jf::Fail(where, key, "expected 512 bytes, got " + std::to_string(bytes.size()));
  Block512 b{};
  std::memcpy(b.data(), bytes.data(), 512);
  return b;
}

std::string FindCapture(const std::string& path, const std::string& baseFolder) {
  namespace fs = std::filesystem;
  if (!baseFolder.empty() && fs::path(path).is_relative()) {
    const fs::path beside = fs::path(baseFolder) / path;
    if (fs::exists(beside)) return beside.string();
  }
  return path;
}

// Changes to the IDENTIFY block: another drive of the same model (its own
// serial), or one that states its rotation rate (word 217).
void EditIdentify(const json& a, const std::string& where, std::optional<Block512>& id) {
  const bool serial = jf::Has(a, "serial"), rate = jf::Has(a, "rotationRate");
  if (!serial && !rate) return;
  if (!id) jf::Fail(where, serial ? "serial" : "rotationRate", "needs an IDENTIFY block (identify or capture)");
  if (serial) {
    const std::vector<std::uint8_t> text = TextBytes(a, "serial", where);
    if (text.size() > 20) jf::Fail(where, "serial", "at most 20 characters");
    // Words 10-19, two characters a word, the first in the high byte, blank-padded.
    for (std::size_t i = 0; i < 20; ++i) (*id)[20 + (i ^ 1)] = i < text.size() ? text[i] : ' ';
  }
  if (rate) {
    const auto value = static_cast<std::uint16_t>(jf::Int(a, "rotationRate", where, 0, 0, 0xFFFF));
    (*id)[2 * 217] = static_cast<std::uint8_t>(value & 0xFF);
    (*id)[2 * 217 + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  KeepIdentifyIntegrity(*id);
}

// The blocks of a drive's ATA side: from a capture file, then from hex fields.
void LoadBlocks(const json& a, const std::string& where, const std::string& baseFolder, SimAta& ata) {
  if (jf::Has(a, "capture")) {
    const std::string path = FindCapture(jf::Str(a, "capture", where, {}), baseFolder);
    try {
      const DriveCapture c = LoadDriveCapture(path);
      ata.identify = c.identify;
      ata.smartData = c.smartData;
      ata.thresholds = c.thresholds;
      // SMST: the drive's answer to SMART RETURN STATUS as a 32-bit number,
      // non-zero for good.
      if (c.smartStatus && !c.smartStatus->empty())
        ata.status = std::any_of(c.smartStatus->begin(), c.smartStatus->end(), [](std::uint8_t b) { return b != 0; })
                         ? SimAta::Status::Good
                         : SimAta::Status::Failing;
    } catch (const std::runtime_error& e) {
      jf::Fail(where, "capture", e.what());
    }
  }
  if (jf::Has(a, "identify")) ata.identify = Block(a, "identify", where);
  if (jf::Has(a, "smartData")) ata.smartData = Block(a, "smartData", where);
  if (jf::Has(a, "thresholds")) ata.thresholds = Block(a, "thresholds", where);
  EditIdentify(a, where, ata.identify);
}

// The native and overlay maxima and how they are answered.
void ParseHiddenSectors(const json& a, const std::string& where, SimHidden& ata) {
  constexpr std::int64_t kLba48 = std::int64_t{1} << 48;
  if (jf::Has(a, "nativeSectors")) ata.nativeSectors = jf::Int(a, "nativeSectors", where, 0, 1, kLba48);
  if (jf::Has(a, "dcoSectors")) ata.dcoSectors = jf::Int(a, "dcoSectors", where, 0, 1, kLba48);
  const std::string native = jf::Str(a, "nativeMaxAnswer", where, "registers");
  if (native == "registers") ata.nativeAnswer = SimHidden::NativeAnswer::Registers;
  else if (native == "aborted") ata.nativeAnswer = SimHidden::NativeAnswer::Aborted;
  else if (native == "noRegisters") ata.nativeAnswer = SimHidden::NativeAnswer::NoRegisters;
  else jf::Fail(where, "nativeMaxAnswer", "expected \"registers\", \"aborted\" or \"noRegisters\", got \"" + native + "\"");
  const std::string dco = jf::Str(a, "dcoAnswer", where, "block");
  if (dco == "block") ata.dcoAnswer = SimHidden::DcoAnswer::Block;
  else if (dco == "aborted") ata.dcoAnswer = SimHidden::DcoAnswer::Aborted;
  else if (dco == "badChecksum") ata.dcoAnswer = SimHidden::DcoAnswer::BadChecksum;
  else if (dco == "badSignature") ata.dcoAnswer = SimHidden::DcoAnswer::BadSignature;
  else jf::Fail(where, "dcoAnswer",
                "expected \"block\", \"aborted\", \"badChecksum\" or \"badSignature\", got \"" + dco + "\"");
}

// A list of ATA opcodes, "0xF4" or 244 (one alone needs no list).
std::vector<std::uint8_t> Opcodes(const json& a, const char* key, const std::string& where) {
  std::vector<std::uint8_t> out;
  if (!jf::Has(a, key)) return out;
  const std::string wrong = "expected a list of opcodes such as \"0xF4\"";
  const json list = a[key].is_array() ? a[key] : json::array({a[key]});
  for (const json& v : list) {
    std::int64_t code = -1;
    if (v.is_number_integer()) {
      code = v.get<std::int64_t>();
    } else if (v.is_string()) {
      const std::string t = v.get<std::string>();
      if (t.size() > 2 && t.size() <= 4 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X') &&
          t.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos)
        code = std::stoll(t.substr(2), nullptr, 16);
    }
    if (code < 0 || code > 0xFF) jf::Fail(where, key, wrong);
    out.push_back(static_cast<std::uint8_t>(code));
  }
  return out;
}

SimAta ParseAta(const json& a, const std::string& where, const std::string& baseFolder) {
  jf::CheckKeys(a, where, {"capture", "identify", "smartData", "thresholds", "status", "answerBytes", "smartEnable",
                           "smartDisable", "sendCarriesReads", "identifyFailures", "nativeSectors", "dcoSectors",
                           "nativeMaxAnswer", "dcoAnswer", "serial", "rotationRate", "security", "sanitize",
                           "driverRefuses"});
  SimAta ata;
  LoadBlocks(a, where, baseFolder, ata);
  for (const char* key : {"security", "sanitize"})
    if (jf::Has(a, key) && !ata.identify) jf::Fail(where, key, "needs an IDENTIFY block (identify or capture)");
  if (jf::Has(a, "security")) ata.security = ParseAtaSecurity(a["security"], where + ": security");
  if (jf::Has(a, "sanitize")) ata.sanitize = ParseAtaSanitize(a["sanitize"], where + ": sanitize");
  ata.driverRefuses = Opcodes(a, "driverRefuses", where);
  if (jf::Has(a, "status")) {
    const std::string status = jf::Str(a, "status", where, "good");
    if (status == "good") ata.status = SimAta::Status::Good;
    else if (status == "failing") ata.status = SimAta::Status::Failing;
    else if (status == "silent") ata.status = SimAta::Status::Silent;
    else jf::Fail(where, "status", "expected \"good\", \"failing\" or \"silent\", got \"" + status + "\"");
  }
  if (jf::Has(a, "answerBytes")) {
    const json& n = a["answerBytes"];
    const std::string nw = where + ": answerBytes";
    jf::CheckKeys(n, nw, {"smartReceive", "smartSend", "miniport"});
    ata.receiveAnswerBytes = static_cast<std::uint32_t>(jf::Int(n, "smartReceive", nw, 0, 0, 65536));
    ata.sendAnswerBytes = static_cast<std::uint32_t>(jf::Int(n, "smartSend", nw, 0, 0, 65536));
    ata.miniportAnswerBytes = static_cast<std::uint32_t>(jf::Int(n, "miniport", nw, 0, 0, 65536));
  }
  ata.smartEnableWorks = jf::Bool(a, "smartEnable", where, true);
  ata.smartDisableWorks = jf::Bool(a, "smartDisable", where, true);
  ata.sendCarriesReads = jf::Bool(a, "sendCarriesReads", where, false);
  ata.identifyFailures = static_cast<int>(jf::Int(a, "identifyFailures", where, 0, 0, 1000000));
  ParseHiddenSectors(a, where, ata.hidden);
  return ata;
}

// A USB bridge's answer to ATA PASS-THROUGH, with the drive's blocks behind it.
SimSat ParseSat(const json& a, const std::string& where, const std::string& baseFolder) {
  jf::CheckKeys(a, where, {"answer", "capture", "identify", "smartData", "thresholds", "transferred", "status",
                           "registers", "nativeSectors", "dcoSectors", "nativeMaxAnswer", "dcoAnswer", "serial",
                           "rotationRate"});
  SimSat sat;
  const std::string mode = jf::Str(a, "answer", where, "data");
  if (mode == "data") sat.mode = SatMode::Answer;
  else if (mode == "illegalRequest") sat.mode = SatMode::Refuse;
  else if (mode == "hang") sat.mode = SatMode::Hang;
  else jf::Fail(where, "answer", "expected \"data\", \"illegalRequest\" or \"hang\", got \"" + mode + "\"");
  SimAta blocks;
  LoadBlocks(a, where, baseFolder, blocks);
  sat.identify = blocks.identify;
  sat.smartData = blocks.smartData;
  sat.thresholds = blocks.thresholds;
  sat.transferred = static_cast<std::uint32_t>(jf::Int(a, "transferred", where, 0, 0, 512));
  sat.status = blocks.status;
  if (jf::Has(a, "status")) {
    const std::string status = jf::Str(a, "status", where, "good");
    if (status == "good") sat.status = SimAta::Status::Good;
    else if (status == "failing") sat.status = SimAta::Status::Failing;
    else jf::Fail(where, "status", "expected \"good\" or \"failing\", got \"" + status + "\"");
  }
  sat.returnsRegisters = jf::Bool(a, "registers", where, true);
  ParseHiddenSectors(a, where, sat.hidden);
  return sat;
}

// STORAGE_ADAPTER_DESCRIPTOR: five DWORDs, four BOOLEANs, the BusType byte at 24,
// BusMajorVersion and BusMinorVersion at 26 and 28; 32 bytes.
std::vector<std::uint8_t> BuildAdapter(const json& j, const std::string& where, std::uint8_t bus) {
  jf::CheckKeys(j, where, {"version", "size", "maxTransfer", "maxPhysicalPages", "alignmentMask", "usesPio", "scansDown",
                           "commandQueueing", "acceleratedTransfer", "busMajor", "busMinor"});
  std::vector<std::uint8_t> d(32, 0);
  rec::Put32(d, 0, static_cast<std::uint32_t>(jf::Int(j, "version", where, 32, 0, UINT32_MAX)));
  rec::Put32(d, 4, static_cast<std::uint32_t>(jf::Int(j, "size", where, 32, 0, UINT32_MAX)));
  rec::Put32(d, 8, static_cast<std::uint32_t>(jf::Int(j, "maxTransfer", where, 131072, 0, UINT32_MAX)));
  rec::Put32(d, 12, static_cast<std::uint32_t>(jf::Int(j, "maxPhysicalPages", where, 33, 0, UINT32_MAX)));
  rec::Put32(d, 16, static_cast<std::uint32_t>(jf::Int(j, "alignmentMask", where, 1, 0, UINT32_MAX)));
  d[20] = jf::Bool(j, "usesPio", where, false);
  d[21] = jf::Bool(j, "scansDown", where, false);
  d[22] = jf::Bool(j, "commandQueueing", where, false);
  d[23] = jf::Bool(j, "acceleratedTransfer", where, false);
  d[24] = bus;
  rec::Put16(d, 26, static_cast<std::uint16_t>(jf::Int(j, "busMajor", where, 0, 0, 0xFFFF)));
  rec::Put16(d, 28, static_cast<std::uint16_t>(jf::Int(j, "busMinor", where, 0, 0, 0xFFFF)));
  return d;
}

// STORAGE_DEVICE_DESCRIPTOR: the 40-byte record, then the zero-terminated texts
// its offsets point at; an absent text has offset 0.
std::vector<std::uint8_t> BuildDevice(const json& j, const std::string& where, std::uint8_t bus, bool removable,
                                      const std::optional<SimAta>& ata) {
  jf::CheckKeys(j, where, {"vendor", "product", "revision", "serial", "serialStyle", "deviceType", "deviceTypeModifier",
                           "commandQueueing"});
  const Block512* id = ata && ata->identify ? &*ata->identify : nullptr;
  auto text = [&](const char* key, std::optional<std::vector<std::uint8_t>> fallback) {
    if (!jf::Has(j, key)) return fallback;
    if (j[key].is_null()) return std::optional<std::vector<std::uint8_t>>{};
    return std::optional<std::vector<std::uint8_t>>{TextBytes(j, key, where)};
  };
  const std::string style = jf::Str(j, "serialStyle", where, "text");
  if (style != "text" && style != "hex") jf::Fail(where, "serialStyle", "expected \"text\" or \"hex\", got \"" + style + "\"");
  using Text = std::optional<std::vector<std::uint8_t>>;
  const Text vendor = text("vendor", std::nullopt);
  const Text product = text("product", id ? Text{AtaText(*id, 27, 20)} : std::nullopt);
  const Text revision = text("revision", id ? Text{AtaText(*id, 23, 4)} : std::nullopt);
  const Text serial = text("serial", id ? Text{style == "hex" ? HexOfRawSerial(*id) : AtaText(*id, 10, 10)} : std::nullopt);

  std::vector<std::uint8_t> d(40, 0);
  rec::Put32(d, 0, 40);
  d[8] = static_cast<std::uint8_t>(jf::Int(j, "deviceType", where, 0, 0, 255));
  d[9] = static_cast<std::uint8_t>(jf::Int(j, "deviceTypeModifier", where, 0, 0, 255));
  d[10] = removable;
  d[11] = jf::Bool(j, "commandQueueing", where, false);
  const Text* texts[] = {&vendor, &product, &revision, &serial};
  for (std::size_t i = 0; i < 4; ++i) {
    if (!*texts[i]) continue;
    rec::Put32(d, 12 + 4 * i, static_cast<std::uint32_t>(d.size()));
    d.insert(d.end(), (*texts[i])->begin(), (*texts[i])->end());
    d.push_back(0);
  }
  rec::Put32(d, 28, bus);
  rec::Put32(d, 4, static_cast<std::uint32_t>(d.size()));
  return d;
}

// GETVERSIONINPARAMS: bVersion, bRevision, bReserved, bIDEDeviceMap, fCapabilities,
// four reserved DWORDs; 24 bytes.
std::vector<std::uint8_t> BuildSmartVersion(const json& j, const std::string& where, bool slave) {
  jf::CheckKeys(j, where, {"version", "revision", "deviceMap", "capabilities"});
  std::vector<std::uint8_t> v(24, 0);
  v[0] = static_cast<std::uint8_t>(jf::Int(j, "version", where, 1, 0, 255));
  v[1] = static_cast<std::uint8_t>(jf::Int(j, "revision", where, 1, 0, 255));
  v[3] = static_cast<std::uint8_t>(jf::Int(j, "deviceMap", where, slave ? 0x02 : 0x01, 0, 255));
  rec::Put32(v, 4, static_cast<std::uint32_t>(jf::Int(j, "capabilities", where, 7, 0, UINT32_MAX)));
  return v;
}

// SCSI_ADAPTER_BUS_INFO with one bus (BusData at 4, its InquiryDataOffset at 8)
// and one SCSI_INQUIRY_DATA at 12 carrying a 36-byte standard INQUIRY answer.
std::vector<std::uint8_t> BuildInquiry(const json& j, const std::string& where, bool slave, bool removable) {
  jf::CheckKeys(j, where, {"pathId", "targetId", "lun", "initiatorBusId", "claimed"});
  std::vector<std::uint8_t> b(12 + 24 + 36, 0);
  b[0] = 1;  // NumberOfBuses
  b[4] = 1;  // NumberOfLogicalUnits
  b[5] = static_cast<std::uint8_t>(jf::Int(j, "initiatorBusId", where, 7, 0, 255));
  rec::Put32(b, 8, 12);
  b[12] = static_cast<std::uint8_t>(jf::Int(j, "pathId", where, 0, 0, 255));
  b[13] = static_cast<std::uint8_t>(jf::Int(j, "targetId", where, slave ? 1 : 0, 0, 255));
  b[14] = static_cast<std::uint8_t>(jf::Int(j, "lun", where, 0, 0, 255));
  b[15] = jf::Bool(j, "claimed", where, true);
  rec::Put32(b, 16, 36);  // InquiryDataLength; NextInquiryDataOffset 0 ends the list
  std::uint8_t* inq = b.data() + 36;
  inq[1] = removable ? 0x80 : 0;
  inq[2] = 5;
  inq[3] = 2;
  inq[4] = 31;
  std::memcpy(inq + 8, "ATA     ", 8);
  std::memset(inq + 16, ' ', 20);
  return b;
}

// A field that is either an object of plain fields or the raw answer as hex text.
template <typename Build>
std::vector<std::uint8_t> Answer(const json& drive, const char* key, const std::string& where, Build build) {
  if (jf::Has(drive, key) && drive[key].is_string()) return jf::Hex(drive, key, where);
  const json empty = json::object();
  return build(jf::Has(drive, key) ? drive[key] : empty, where + ": " + key);
}

} // namespace

SimDrive ParseDrive(const json& j, const std::string& where, const std::string& baseFolder) {
  jf::CheckKeys(j, where, {"number", "label", "open", "bus", "removable", "slave", "bytesPerSector", "sectors", "length",
                           "geometry", "adapter", "device", "smartVersion", "scsiInquiry", "fail", "ata", "media", "comment",
                           "nvme", "sat", "swap"});
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

  const auto bus = static_cast<std::uint8_t>(jf::Int(j, "bus", where, 11, 0, 255));
  d.bus = bus;
  const bool removable = jf::Bool(j, "removable", where, false);
  d.slave = jf::Bool(j, "slave", where, false);
  d.bytesPerSector = static_cast<std::uint32_t>(jf::Int(j, "bytesPerSector", where, 512, 0, UINT32_MAX));
  if (jf::Has(j, "sectors") && jf::Has(j, "length")) jf::Fail(where, "length", "give either sectors or length, not both");
  if (jf::Has(j, "length")) {
    d.lengthBytes = jf::Int(j, "length", where, 0, INT64_MIN, INT64_MAX);
  } else {
    const std::int64_t sectors = jf::Int(j, "sectors", where, kDefaultSectors, 0, INT64_MAX);
    if (__builtin_mul_overflow(sectors, static_cast<std::int64_t>(d.bytesPerSector), &d.lengthBytes))
      jf::Fail(where, "sectors", "sectors times bytesPerSector does not fit in 64 bits");
  }
  d.mediaType = removable ? 11 : 12;
  if (jf::Has(j, "geometry")) {
    const json& g = j["geometry"];
    const std::string gw = where + ": geometry";
    jf::CheckKeys(g, gw, {"cylinders", "mediaType", "tracksPerCylinder", "sectorsPerTrack"});
    d.mediaType = static_cast<std::uint32_t>(jf::Int(g, "mediaType", gw, d.mediaType, 0, UINT32_MAX));
    d.tracksPerCylinder = static_cast<std::uint32_t>(jf::Int(g, "tracksPerCylinder", gw, 255, 0, UINT32_MAX));
    d.sectorsPerTrack = static_cast<std::uint32_t>(jf::Int(g, "sectorsPerTrack", gw, 63, 0, UINT32_MAX));
    d.cylinders = jf::Int(g, "cylinders", gw, -1, INT64_MIN, INT64_MAX);
  } else {
    d.cylinders = -1;
  }
  if (d.cylinders == -1) {
    // Up to 2^96 in principle: a cylinder that large simply means 0 cylinders.
    std::int64_t perCylinder = 0;
    const bool huge =
        __builtin_mul_overflow(std::int64_t{d.tracksPerCylinder}, std::int64_t{d.sectorsPerTrack}, &perCylinder) ||
        __builtin_mul_overflow(perCylinder, static_cast<std::int64_t>(d.bytesPerSector), &perCylinder);
    d.cylinders = !huge && perCylinder > 0 ? d.lengthBytes / perCylinder : 0;
  }

  if (jf::Has(j, "ata")) d.ata = ParseAta(j["ata"], where + ": ata", baseFolder);
  if (jf::Has(j, "media")) d.media = ParseMedia(j["media"], where + ": media");
  d.adapterDescriptor = Answer(j, "adapter", where, [&](const json& a, const std::string& w) { return BuildAdapter(a, w, bus); });
  d.deviceDescriptor = Answer(j, "device", where, [&](const json& a, const std::string& w) {
    return BuildDevice(a, w, bus, removable, d.ata);
  });
  if (d.ata || jf::Has(j, "smartVersion"))
    d.smartVersion = Answer(j, "smartVersion", where, [&](const json& a, const std::string& w) {
      return BuildSmartVersion(a, w, d.slave);
    });
  d.inquiryData = Answer(j, "scsiInquiry", where, [&](const json& a, const std::string& w) {
    return BuildInquiry(a, w, d.slave, removable);
  });

  if (jf::Has(j, "nvme")) d.nvme = ParseNvme(j["nvme"], where + ": nvme");
  if (jf::Has(j, "sat")) d.sat = ParseSat(j["sat"], where + ": sat", baseFolder);
  jf::Failures(j, where, kRequestNames, kDriveRequestCount, d.failWith.data());
  if (jf::Has(j, "swap")) {
    const json& s = j["swap"];
    const std::string sw = where + ": swap";
    jf::CheckKeys(s, sw, {"afterOpens", "drive"});
    d.swapAfterOpens = static_cast<int>(jf::Int(s, "afterOpens", sw, 1, 0, 1'000'000));
    if (!jf::Has(s, "drive") || !s["drive"].is_object()) jf::Fail(sw, "drive", "missing: the disk that takes this one's place");
    json next = s["drive"];
    if (!jf::Has(next, "number")) next["number"] = d.number;
    // One swap per disk: a chain would only make the parse recurse as deep as the file is long.
    if (next.is_object() && jf::Has(next, "swap")) jf::Fail(sw + ": drive", "swap", "the disk that takes the place cannot be swapped itself");
    SimDrive replacement = ParseDrive(next, sw + ": drive", baseFolder);
    if (replacement.number != d.number) jf::Fail(sw + ": drive", "number", "must be the number of the disk it replaces");
    d.swapTo = std::make_shared<const SimDrive>(std::move(replacement));
  }
  return d;
}

} // namespace trv::sim
