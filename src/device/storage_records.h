// Control codes and record layouts of the storage queries the scan sends:
// byte offsets into the Windows structures as the platform lays them out.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device/ata_records.h"

namespace trv::device::storage {

inline constexpr std::uint32_t IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000;
inline constexpr std::uint32_t IOCTL_DISK_GET_LENGTH_INFO = 0x0007405C;
inline constexpr std::uint32_t IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;
inline constexpr std::uint32_t IOCTL_SCSI_GET_INQUIRY_DATA = 0x0004100C;
using ata::SMART_GET_VERSION;  // the scan asks it too, for the slave probe

// DISK_GEOMETRY: Cylinders (i64), MediaType, TracksPerCylinder, SectorsPerTrack, BytesPerSector.
inline constexpr std::size_t kGeometryBytesPerSector = 20;
// GET_LENGTH_INFORMATION: Length (i64).
inline constexpr std::size_t kLengthInfoLength = 0;

// STORAGE_PROPERTY_QUERY: PropertyId, QueryType, AdditionalParameters[1], padded to 12.
inline constexpr std::size_t kPropertyQuerySize = 12;
inline constexpr std::size_t kQueryPropertyId = 0;
inline constexpr std::size_t kQueryType = 4;
inline constexpr std::uint32_t StorageDeviceProperty = 0;
inline constexpr std::uint32_t StorageAdapterProperty = 1;
inline constexpr std::uint32_t PropertyStandardQuery = 0;

// STORAGE_ADAPTER_DESCRIPTOR, the first 32 bytes: Version, Size,
// MaximumTransferLength, MaximumPhysicalPages, AlignmentMask (DWORDs), four
// BOOLEANs, BusType (byte), BusMajorVersion and BusMinorVersion (WORDs).
inline constexpr std::size_t kAdapterDescriptorSize = 32;
inline constexpr std::size_t kAdapterVersion = 0;
inline constexpr std::size_t kAdapterSize = 4;
inline constexpr std::size_t kAdapterMaximumTransferLength = 8;
inline constexpr std::size_t kAdapterMaximumPhysicalPages = 12;
inline constexpr std::size_t kAdapterAlignmentMask = 16;
inline constexpr std::size_t kAdapterBusType = 24;

// STORAGE_DEVICE_DESCRIPTOR, the first 37 bytes: Version, Size, DeviceType,
// DeviceTypeModifier, RemovableMedia, CommandQueueing, the four text offsets,
// BusType, RawPropertiesLength, RawDeviceProperties[1].
inline constexpr std::size_t kDeviceDescriptorSize = 37;
inline constexpr std::size_t kDeviceSize = 4;
inline constexpr std::size_t kDeviceRemovableMedia = 10;
inline constexpr std::size_t kDeviceVendorIdOffset = 12;
inline constexpr std::size_t kDeviceProductIdOffset = 16;
inline constexpr std::size_t kDeviceProductRevisionOffset = 20;
inline constexpr std::size_t kDeviceSerialNumberOffset = 24;

// GETVERSIONINPARAMS: bVersion, bRevision, bReserved, bIDEDeviceMap, fCapabilities, dwReserved[4].
inline constexpr std::size_t kSmartVersionAnswerSize = ata::kVersionAnswerSize;
inline constexpr std::size_t kVersionIdeDeviceMap = 3;
inline constexpr std::uint8_t kSlavePositions = 0xAA;

// SCSI_ADAPTER_BUS_INFO: NumberOfBuses (byte), then one SCSI_BUS_DATA of 8 bytes
// per bus from 4 (NumberOfLogicalUnits, InitiatorBusId, InquiryDataOffset at 4).
// With one bus its first SCSI_INQUIRY_DATA starts at 12: PathId, TargetId, Lun,
// DeviceClaimed, InquiryDataLength, NextInquiryDataOffset, then the data at 12,
// so its TargetId is byte 13.
inline constexpr std::size_t kInquiryAnswerSize = 512;
inline constexpr std::size_t kInquiryNumberOfBuses = 0;
inline constexpr std::size_t kInquiryFirstBusUnits = 4;
inline constexpr std::size_t kInquiryFirstBusOffset = 8;
inline constexpr std::size_t kFirstInquiryRecord = 12;
inline constexpr std::size_t kInquiryRecordHeader = 12;
inline constexpr std::size_t kFirstInquiryTargetId = 13;

} // namespace trv::device::storage
