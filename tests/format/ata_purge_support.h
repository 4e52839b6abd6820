// ATA and SATA disks for the purge's whole-engine tests: a small fast drive
// with the Security and Sanitize feature sets, the Windows it runs on, and the
// journal's view of the commands the drive got.
#pragma once
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/ata_security.h"
#include "format/ata_password_file.h"
#include "purge_support.h"

namespace trv::test {

inline constexpr char kAtaSerial[] = "WD-ATA0001";
inline constexpr char kAtaModel[] = "ACME SATA 64";
inline const std::u16string kAtaPasswordFile = std::u16string(kPurgeRecords) + u"\\ata-password-WD-ATA0001.json";

// IDENTIFY DEVICE of a 64 MiB drive: the serial and model byte-swapped into
// their words, LBA and 48-bit addressing; the simulated drive fills in the
// Security and Sanitize words from its scenario objects.
inline std::string AtaIdentify() {
  std::vector<std::pair<int, std::uint16_t>> words = {
      {49, 0x0200}, {60, kPurgeDiskSectors & 0xFFFF}, {61, kPurgeDiskSectors >> 16}, {80, 0x01F0},
      {82, 0x0001}, {83, 0x4400}, {84, 0x4000}, {86, 0x0400}, {87, 0x4000}, {100, kPurgeDiskSectors & 0xFFFF},
      {101, kPurgeDiskSectors >> 16}};
  const auto text = [&](int first, int count, std::string s) {
    s.resize(static_cast<std::size_t>(2 * count), ' ');
    for (int i = 0; i < count; ++i)
      words.push_back({first + i, static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[2 * i]) << 8 |
                                                            static_cast<std::uint8_t>(s[2 * i + 1]))});
  };
  text(10, 10, kAtaSerial);
  text(23, 4, "1.0");
  text(27, 20, kAtaModel);
  return IdentifyHex(words);
}

// A SATA disk (bus 11) with `security` and `sanitize` as its scenario objects
// (null: the drive has not that feature set), and more ATA fields in `extra`.
inline nlohmann::json AtaDisk(const nlohmann::json& security, const nlohmann::json& sanitize,
                              const nlohmann::json& extra = nlohmann::json::object(), int bus = 11) {
  nlohmann::json ata = {{"identify", AtaIdentify()}, {"rotationRate", 7200}};
  if (!security.is_null()) ata["security"] = security;
  if (!sanitize.is_null()) ata["sanitize"] = sanitize;
  ata.update(extra);
  return {{"number", 1},
          {"bus", bus},
          {"sectors", kPurgeDiskSectors},
          {"media", {{"megabytesPerSecond", 100000}}},
          {"ata", ata}};
}

// The Windows a test runs on.
inline nlohmann::json XpSp3() { return {{"major", 5}, {"minor", 1}, {"build", 2600}, {"csd", "Service Pack 3"}}; }
inline nlohmann::json Vista() { return {{"major", 6}, {"minor", 0}, {"build", 6002}, {"csd", "Service Pack 2"}}; }
inline nlohmann::json Windows7(const char* sanitize = "rejected") {
  return {{"major", 6}, {"minor", 1}, {"build", 7601}, {"csd", "Service Pack 1"}, {"win7Sanitize", sanitize}};
}
inline nlohmann::json Windows10() { return {{"major", 10}, {"minor", 0}, {"build", 19045}, {"csd", ""}}; }
inline nlohmann::json WindowsPe() {
  return {{"major", 10}, {"minor", 0}, {"build", 19041}, {"csd", ""}, {"windowsPe", true}};
}

inline sim::Scenario AtaPc(const nlohmann::json& os, const nlohmann::json& disk) {
  return Scenario({{"os", os}, {"drives", nlohmann::json::array({disk})}, {"volumes", nlohmann::json::array()}});
}

// The ATA pass-through commands the journal shows, by opcode ("0xF1").
inline std::vector<std::string> AtaCommands(const sim::SimPlatform& p, const std::string& opcode) {
  std::vector<std::string> out;
  for (const auto& e : const_cast<sim::SimPlatform&>(p).journal().entries())
    if (e.detail.find("command=" + opcode) != std::string::npos) out.push_back(e.detail);
  return out;
}

// Every Security (F1h-F6h) and Sanitize (B4h) command the drive got.
inline std::size_t ChangingCommands(const sim::SimPlatform& p) {
  std::size_t n = 0;
  for (const char* op : {"0xF1", "0xF2", "0xF3", "0xF4", "0xF5", "0xF6", "0xB4"}) n += AtaCommands(p, op).size();
  return n;
}

// The journal lines that carried `password`.
inline std::size_t PasswordSent(const sim::SimPlatform& p, const std::string& password) {
  std::size_t n = 0;
  for (const auto& e : const_cast<sim::SimPlatform&>(p).journal().entries())
    n += e.detail.find("password=" + password) != std::string::npos ? 1 : 0;
  return n;
}

// IDENTIFY word 128 as the drive answers it now.
inline std::uint16_t Word128(PurgeEngine& e) {
  device::AtaBlock block{};
  if (!device::ReadIdentifyPassThrough(e.platform, e.handle, block)) return 0xFFFF;
  return static_cast<std::uint16_t>(block[256] | block[257] << 8);
}

// A saved password file for the test drive, as the program writes it.
inline format::SavedPassword SaveTestPassword(sim::SimPlatform& p, const std::string& password) {
  format::SavedPassword saved;
  saved.serial = kAtaSerial;
  saved.model = kAtaModel;
  saved.password = password;
  std::uint32_t error = 0;
  format::SavePasswordFile(p, kPurgeRecords, saved, error);
  return saved;
}

} // namespace trv::test
