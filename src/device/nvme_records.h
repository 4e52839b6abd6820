// Control code and record layouts of the NVMe protocol-specific storage queries
// (Windows 10 and later): byte offsets into the Windows structures. The win32
// backend checks them against the SDK's headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::device::nvme {

inline constexpr std::uint32_t IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;

// STORAGE_PROPERTY_ID values and the query type.
inline constexpr std::uint32_t StorageAdapterProtocolSpecificProperty = 49;  // the controller
inline constexpr std::uint32_t StorageDeviceProtocolSpecificProperty = 50;   // the disk's namespace
inline constexpr std::uint32_t PropertyStandardQuery = 0;
inline constexpr std::uint32_t ProtocolTypeNvme = 3;
inline constexpr std::uint32_t NVMeDataTypeIdentify = 1;
inline constexpr std::uint32_t NVMeDataTypeLogPage = 2;
inline constexpr std::uint32_t kCnsNamespace = 0;
inline constexpr std::uint32_t kCnsController = 1;
inline constexpr std::uint32_t kHealthLogPage = 0x02;
// Windows gives every namespace a disk of its own, and the NVMe port driver a
// logical unit of its own: the disk's SCSI address names its namespace, unit
// N - 1 for namespace N. A disk whose address cannot be asked is taken as
// namespace 1, as nearly every client disk is.
inline constexpr std::uint32_t kDefaultNamespaceId = 1;
inline constexpr std::uint32_t IOCTL_SCSI_GET_ADDRESS = 0x00041018;
inline constexpr std::size_t kScsiAddressSize = 8;  // Length, PortNumber, PathId, TargetId, Lun
inline constexpr std::size_t kScsiAddressLun = 7;

// STORAGE_PROPERTY_QUERY: PropertyId, QueryType, then AdditionalParameters, where
// the STORAGE_PROTOCOL_SPECIFIC_DATA of the request begins.
inline constexpr std::size_t kQueryPropertyId = 0;
inline constexpr std::size_t kQueryType = 4;
inline constexpr std::size_t kQueryAdditionalParameters = 8;

// STORAGE_PROTOCOL_SPECIFIC_DATA, ten DWORDs.
inline constexpr std::size_t kSpecificSize = 40;
inline constexpr std::size_t kSpecificProtocolType = 0;
inline constexpr std::size_t kSpecificDataType = 4;
inline constexpr std::size_t kSpecificRequestValue = 8;
inline constexpr std::size_t kSpecificRequestSubValue = 12;
inline constexpr std::size_t kSpecificDataOffset = 16;  // from the start of this record
inline constexpr std::size_t kSpecificDataLength = 20;

// STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version, Size, then the answered
// STORAGE_PROTOCOL_SPECIFIC_DATA, whose data offset counts from byte 8.
inline constexpr std::size_t kDescriptorVersion = 0;
inline constexpr std::size_t kDescriptorSize = 4;
inline constexpr std::size_t kDescriptorSpecific = 8;
inline constexpr std::size_t kDescriptorRecordSize = kDescriptorSpecific + kSpecificSize;  // 48

// The data the program asks for.
inline constexpr std::size_t kIdentifySize = 4096;
inline constexpr std::size_t kHealthLogSize = 512;

// Identify Controller byte offsets.
inline constexpr std::size_t kCtrlVid = 0, kCtrlSsvid = 2, kCtrlSerial = 4, kCtrlModel = 24, kCtrlFirmware = 64;
inline constexpr std::size_t kCtrlVersion = 80, kCtrlOacs = 256, kCtrlSanicap = 328, kCtrlNn = 516;
inline constexpr std::size_t kCtrlOncs = 520, kCtrlFna = 524, kCtrlVwc = 525;
inline constexpr std::size_t kSerialLength = 20, kModelLength = 40, kFirmwareLength = 8;

// Identify Namespace byte offsets; the LBA format table holds at most 64 entries of 4 bytes.
inline constexpr std::size_t kNsSize = 0, kNsCapacity = 8, kNsFormatCount = 25, kNsFormatInUse = 26;
inline constexpr std::size_t kNsFormats = 128, kNsMaxFormats = 64;

// SMART / Health Information log byte offsets; the counters are 16 bytes each.
inline constexpr std::size_t kLogCriticalWarning = 0, kLogTemperature = 1, kLogAvailableSpare = 3;
inline constexpr std::size_t kLogSpareThreshold = 4, kLogPercentageUsed = 5, kLogEnduranceGroupWarning = 6;
inline constexpr std::size_t kLogDataUnitsRead = 32, kLogDataUnitsWritten = 48, kLogHostReads = 64;
inline constexpr std::size_t kLogHostWrites = 80, kLogBusyTime = 96, kLogPowerCycles = 112, kLogPowerOnHours = 128;
inline constexpr std::size_t kLogUnsafeShutdowns = 144, kLogMediaErrors = 160, kLogErrorEntries = 176;
inline constexpr std::size_t kLogWarningTime = 192, kLogCriticalTime = 196, kLogSensors = 200;

} // namespace trv::device::nvme
