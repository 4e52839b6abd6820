// One simulated physical drive: how it opens, what the storage stack says about
// it, and how its ATA paths answer. The scenario format is in docs/scenario.md.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/sim/sim_ata_erase.h"
#include "platform/sim/sim_media.h"
#include "platform/sim/sim_sanitize.h"

namespace trv::sim {

enum class OpenMode { Ok, Absent, Denied, InUse };

// The control requests a drive answers; a scenario can make any of them fail.
enum class DriveRequest {
  Geometry,      // IOCTL_DISK_GET_DRIVE_GEOMETRY
  Length,        // IOCTL_DISK_GET_LENGTH_INFO
  Adapter,       // IOCTL_STORAGE_QUERY_PROPERTY, StorageAdapterProperty
  Device,        // IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceProperty
  SmartVersion,  // SMART_GET_VERSION
  Inquiry,       // IOCTL_SCSI_GET_INQUIRY_DATA
  SmartReceive,  // SMART_RCV_DRIVE_DATA
  SmartSend,     // SMART_SEND_DRIVE_COMMAND
  Miniport,      // IOCTL_SCSI_MINIPORT
  ProtocolQuery, // IOCTL_STORAGE_QUERY_PROPERTY, the NVMe protocol-specific properties
  ScsiPassThrough,  // IOCTL_SCSI_PASS_THROUGH
  AtaPassThrough,   // IOCTL_ATA_PASS_THROUGH
};
inline constexpr std::size_t kDriveRequestCount = 12;

using Block512 = std::array<std::uint8_t, 512>;

// What lies past the maximum a drive's IDENTIFY data states: the native
// maximum (READ NATIVE MAX ADDRESS) and the maximum under the configuration
// overlay (DEVICE CONFIGURATION IDENTIFY), as sector counts; none: the same as
// the one above it. Answered through IOCTL_ATA_PASS_THROUGH, or a USB bridge.
struct SimHidden {
  std::optional<std::int64_t> nativeSectors;
  std::optional<std::int64_t> dcoSectors;
  // How the drive, or its driver, answers them.
  enum class NativeAnswer { Registers, Aborted, NoRegisters };
  NativeAnswer nativeAnswer = NativeAnswer::Registers;
  enum class DcoAnswer { Block, Aborted, BadChecksum, BadSignature };
  DcoAnswer dcoAnswer = DcoAnswer::Block;
};

// The drive's ATA side, reached through the S.M.A.R.T. and miniport requests.
struct SimAta {
  std::optional<Block512> identify;   // IDENTIFY DEVICE as the drive sends it
  std::optional<Block512> smartData;  // SMART READ DATA
  std::optional<Block512> thresholds; // SMART READ THRESHOLDS
  // What SMART RETURN STATUS leaves in the cylinder registers: 4Fh/C2h (good),
  // F4h/2Ch (failing), or zeros, as a driver that does not pass them back.
  enum class Status { Good, Failing, Silent };
  Status status = Status::Good;
  // Bytes each path reports returned for a data command; 0 keeps the driver's usual count.
  std::uint32_t receiveAnswerBytes = 0;
  std::uint32_t sendAnswerBytes = 0;
  std::uint32_t miniportAnswerBytes = 0;
  bool smartEnableWorks = true;
  bool smartDisableWorks = true;
  // Whether SMART_SEND_DRIVE_COMMAND also carries SMART READ DATA (some vendor
  // drivers do; the stock class driver refuses it).
  bool sendCarriesReads = false;
  int identifyFailures = 0;  // the first N IDENTIFY commands fail

  SimHidden hidden;  // what lies past the maximum IDENTIFY states

  // The Security and Sanitize feature sets, modelled where the scenario gives
  // them (IDENTIFY then states them as they are), through IOCTL_ATA_PASS_THROUGH.
  std::optional<AtaSecuritySetup> security;
  std::optional<AtaSanitizeSetup> sanitize;
  // Commands (opcodes) this drive's driver fails whatever the Windows.
  std::vector<std::uint8_t> driverRefuses;
};

// An NVMe drive's data, answered through the protocol-specific property queries.
struct SimNvme {
  std::vector<std::uint8_t> controller;  // Identify Controller, 4,096 bytes
  std::vector<std::uint8_t> ns;          // Identify Namespace, 4,096 bytes
  std::vector<std::uint8_t> healthLog;   // SMART / Health Information, 512 bytes
  std::uint32_t namespaceId = 1;
  // What the driver reports in its answer, replacing the true values: the
  // descriptor's data offset and length and the bytes returned (0: the true one).
  std::uint32_t answerOffset = 0, answerLength = 0, answerBytes = 0;
  SanitizeSetup sanitize;
  // The NVM subsystem this namespace belongs to: drives that name the same one
  // share one sanitize state, and a sanitize erases them all. Empty: its own.
  std::string subsystem;
};

// How a USB bridge takes ATA PASS-THROUGH (16).
enum class SatMode {
  Refuse,  // CHECK CONDITION, ILLEGAL REQUEST: the bridge knows no such command
  Answer,  // runs IDENTIFY DEVICE, SMART READ DATA and SMART RETURN STATUS from the drive below
  Hang,    // never answers; the request ends when its timeout has passed
};

struct SimSat {
  SatMode mode = SatMode::Refuse;
  std::optional<Block512> identify;
  std::optional<Block512> smartData;
  std::optional<Block512> thresholds;
  std::uint32_t transferred = 0;  // bytes the bridge says it moved (0: all it had)
  SimAta::Status status = SimAta::Status::Good;  // the drive's answer to SMART RETURN STATUS
  bool returnsRegisters = true;  // false: CK_COND ignored, a non-data command ends GOOD without registers
  SimHidden hidden;  // what lies past the maximum its IDENTIFY data states
};

struct SimDrive {
  std::uint32_t number = 0;
  OpenMode open = OpenMode::Ok;
  std::uint8_t bus = 11;  // STORAGE_BUS_TYPE: 7 USB, 11 SATA, 17 NVMe, ...
  std::string label;  // free text for people reading a scenario

  // Geometry and length.
  std::uint32_t bytesPerSector = 512;
  std::int64_t lengthBytes = 0;
  std::int64_t cylinders = 0;
  std::uint32_t mediaType = 12;  // FixedMedia; RemovableMedia is 11
  std::uint32_t tracksPerCylinder = 255;
  std::uint32_t sectorsPerTrack = 63;

  bool slave = false;  // second place on its ATA channel
  // Answers as bytes, built from plain fields or given raw by the scenario.
  std::vector<std::uint8_t> adapterDescriptor;
  std::vector<std::uint8_t> deviceDescriptor;
  std::optional<std::vector<std::uint8_t>> smartVersion;  // none: the driver knows no S.M.A.R.T.
  std::vector<std::uint8_t> inquiryData;
  // A request listed here fails with this last error (0 included).
  std::array<std::optional<std::uint32_t>, kDriveRequestCount> failWith{};

  std::optional<SimAta> ata;  // none: no ATA pass-through at all
  MediaSetup media;            // content, faults and speed of reads and writes

  std::optional<SimNvme> nvme;  // none: not an NVMe drive
  SimSat sat;                   // a drive without a "sat" field refuses the pass-through
  // Whether the storage stack knows the protocol-specific queries (Windows 10 and later).
  bool protocolQueries = true;
  // Whether the disk driver knows IOCTL_DISK_GET_DISK_ATTRIBUTES (Windows 7 and later).
  bool diskAttributes = true;

  // Another disk that takes this one's number: pulled and replaced by the user
  // after the first `swapAfterOpens` opens of the drive (the scan's, say).
  std::shared_ptr<const SimDrive> swapTo;
  int swapAfterOpens = 0;

  // What the drive remembers while the simulated PC runs.
  struct Runtime {
    int opens = 0;  // successful CreateFileW calls
    int identifyCommands = 0;
    MediaState media;
    // Set by SMART ENABLE / DISABLE OPERATIONS; until then IDENTIFY word 85 bit 0 says.
    std::optional<bool> smartEnabled;
    // An NVMe drive's Sanitize Status log as it stands (none: the log cannot be
    // read), and, while a sanitize runs, what its other requests fail with.
    std::optional<std::vector<std::uint8_t>> sanitizeLog;
    std::optional<std::uint32_t> sanitizeBusy;
    // An ATA drive's Security and Sanitize state (AtaStateOf).
    std::optional<AtaDriveState> ata;
  };
  mutable Runtime runtime;
};

// The drive's ATA Security and Sanitize state, as it powered on the first time
// unless the platform has set it since.
AtaDriveState& AtaStateOf(const SimDrive& drive);

// Keeps an IDENTIFY block's integrity word right after a change: with the
// signature A5h in byte 510, byte 511 makes the block sum to zero.
void KeepIdentifyIntegrity(Block512& id);

// Reads one entry of "drives"; `where` names it in error messages ("file: drives[2]")
// and `baseFolder` is where capture file paths are looked up first.
SimDrive ParseDrive(const nlohmann::json& j, const std::string& where, const std::string& baseFolder = {});

// How one control request to a drive came out.
struct IoctlResult {
  bool ok = false;
  std::uint32_t error = 0;     // the last error when !ok (0 is a possible, odd answer)
  std::uint32_t returned = 0;  // bytes written to the output buffer
  std::uint32_t busyMilliseconds = 0;  // time the request took, on the PC's clock
};

// Answers one DeviceIoControl sent to an open drive handle, the way a Windows
// storage stack and its drivers would. `grantedAccess` is the handle's access
// (GENERIC_READ / GENERIC_WRITE); `in` and `out` may be the same buffer.
IoctlResult DriveIoctl(const SimDrive& drive, std::uint32_t grantedAccess, std::uint32_t code,
                       const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize);

// The ATA command a request to the ATA drivers carries, for the journal:
// "command=0xB0 feature=0xD8 SMART ENABLE OPERATIONS". Empty for other requests
// and for records too short to hold one.
std::string AtaCommandText(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize);
// The same for IOCTL_ATA_PASS_THROUGH: "command=0xF8 feature=0x00 READ NATIVE MAX ADDRESS".
std::string AtaPassThroughText(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize);

} // namespace trv::sim
