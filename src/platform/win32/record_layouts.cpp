// The NVMe and SCSI pass-through records and the SYSTEMTIME the core builds and
// reads as bytes, checked against the structures of the SDK headers mingw-w64
// ships (winioctl.h for the storage query records, ntddscsi.h, nvme.h). Nothing here
// runs: a layout that differs stops the Windows build.
//
// The core's records are read before <windows.h>, whose macros carry the same
// names (IOCTL_SCSI_PASS_THROUGH, ...); the values those names hold are taken
// here while the names are still free.
#include "device/ata_pass_through_records.h"
#include "device/ata_records.h"
#include "device/nvme_records.h"
#include "device/sat_records.h"
#include "platform/records.h"
#include "platform/volume_records.h"

namespace trv::win32::core_records {
inline constexpr auto kQueryProperty = device::nvme::IOCTL_STORAGE_QUERY_PROPERTY;
inline constexpr auto kScsiPassThrough = device::sat::IOCTL_SCSI_PASS_THROUGH;
inline constexpr auto kAtaPassThrough = device::apt::IOCTL_ATA_PASS_THROUGH;
inline constexpr auto kAtaFlagsDrdy = device::apt::ATA_FLAGS_DRDY_REQUIRED;
inline constexpr auto kAtaFlagsDataIn = device::apt::ATA_FLAGS_DATA_IN;
inline constexpr auto kAtaFlags48Bit = device::apt::ATA_FLAGS_48BIT_COMMAND;
inline constexpr auto kDataIn = device::sat::SCSI_IOCTL_DATA_IN;
inline constexpr auto kScsiGetAddress = device::nvme::IOCTL_SCSI_GET_ADDRESS;
inline constexpr auto kDiskExtents = vol::IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS;
inline constexpr auto kDeviceNumber = vol::IOCTL_STORAGE_GET_DEVICE_NUMBER;
inline constexpr auto kLockVolume = vol::FSCTL_LOCK_VOLUME;
inline constexpr auto kDismountVolume = vol::FSCTL_DISMOUNT_VOLUME;
inline constexpr auto kExtendedDasdIo = vol::FSCTL_ALLOW_EXTENDED_DASD_IO;
inline constexpr auto kNoMoreFiles = vol::ERROR_NO_MORE_FILES;
inline constexpr auto kFileNameTooLong = vol::ERROR_FILENAME_EXCED_RANGE;
inline constexpr auto kMoreData = vol::ERROR_MORE_DATA;
inline constexpr auto kMultiText = vol::REG_MULTI_SZ;
inline constexpr auto kDiskType = vol::FILE_DEVICE_DISK;
inline constexpr auto kCdRomType = vol::FILE_DEVICE_CD_ROM;
} // namespace trv::win32::core_records

#include "platform/win32/windows_headers.h"

#include <cstddef>
#include <ntddscsi.h>
#include <nvme.h>

namespace trv::win32 {

namespace nv = device::nvme;
namespace sat = device::sat;

// The protocol-specific storage query.
static_assert(core_records::kQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(nv::StorageAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(nv::StorageDeviceProtocolSpecificProperty == StorageDeviceProtocolSpecificProperty);
static_assert(nv::PropertyStandardQuery == PropertyStandardQuery);
static_assert(nv::ProtocolTypeNvme == ProtocolTypeNvme);
static_assert(nv::NVMeDataTypeIdentify == NVMeDataTypeIdentify && nv::NVMeDataTypeLogPage == NVMeDataTypeLogPage);
static_assert(nv::kCnsController == NVME_IDENTIFY_CNS_CONTROLLER &&
              nv::kCnsNamespace == NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE);
static_assert(nv::kHealthLogPage == NVME_LOG_PAGE_HEALTH_INFO);
static_assert(offsetof(STORAGE_PROPERTY_QUERY, PropertyId) == nv::kQueryPropertyId);
static_assert(offsetof(STORAGE_PROPERTY_QUERY, QueryType) == nv::kQueryType);
static_assert(offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters) == nv::kQueryAdditionalParameters);
static_assert(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) == nv::kSpecificSize);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolType) == nv::kSpecificProtocolType);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, DataType) == nv::kSpecificDataType);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestValue) == nv::kSpecificRequestValue);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestSubValue) == nv::kSpecificRequestSubValue);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset) == nv::kSpecificDataOffset);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength) == nv::kSpecificDataLength);
static_assert(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) == nv::kDescriptorRecordSize);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, Version) == nv::kDescriptorVersion);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, Size) == nv::kDescriptorSize);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData) == nv::kDescriptorSpecific);

// The NVMe data blocks.
static_assert(sizeof(NVME_IDENTIFY_CONTROLLER_DATA) == nv::kIdentifySize);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, VID) == nv::kCtrlVid);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, SSVID) == nv::kCtrlSsvid);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, SN) == nv::kCtrlSerial);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, MN) == nv::kCtrlModel);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, FR) == nv::kCtrlFirmware);
static_assert(sizeof(NVME_IDENTIFY_CONTROLLER_DATA::SN) == nv::kSerialLength);
static_assert(sizeof(NVME_IDENTIFY_CONTROLLER_DATA::MN) == nv::kModelLength);
static_assert(sizeof(NVME_IDENTIFY_CONTROLLER_DATA::FR) == nv::kFirmwareLength);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, VER) == nv::kCtrlVersion);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, OACS) == nv::kCtrlOacs);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, SANICAP) == nv::kCtrlSanicap);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, NN) == nv::kCtrlNn);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, ONCS) == nv::kCtrlOncs);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, FNA) == nv::kCtrlFna);
static_assert(offsetof(NVME_IDENTIFY_CONTROLLER_DATA, VWC) == nv::kCtrlVwc);
static_assert(sizeof(NVME_IDENTIFY_NAMESPACE_DATA) == nv::kIdentifySize);
static_assert(offsetof(NVME_IDENTIFY_NAMESPACE_DATA, NSZE) == nv::kNsSize);
static_assert(offsetof(NVME_IDENTIFY_NAMESPACE_DATA, NCAP) == nv::kNsCapacity);
static_assert(offsetof(NVME_IDENTIFY_NAMESPACE_DATA, NLBAF) == nv::kNsFormatCount);
static_assert(offsetof(NVME_IDENTIFY_NAMESPACE_DATA, FLBAS) == nv::kNsFormatInUse);
static_assert(offsetof(NVME_IDENTIFY_NAMESPACE_DATA, LBAF) == nv::kNsFormats);  // the header knows 16 of the 64
static_assert(sizeof(NVME_LBA_FORMAT) == 4);
static_assert(sizeof(NVME_HEALTH_INFO_LOG) == nv::kHealthLogSize);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, CriticalWarning) == nv::kLogCriticalWarning);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, Temperature) == nv::kLogTemperature);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, AvailableSpare) == nv::kLogAvailableSpare);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, AvailableSpareThreshold) == nv::kLogSpareThreshold);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, PercentageUsed) == nv::kLogPercentageUsed);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, DataUnitRead) == nv::kLogDataUnitsRead);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, DataUnitWritten) == nv::kLogDataUnitsWritten);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, HostReadCommands) == nv::kLogHostReads);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, HostWrittenCommands) == nv::kLogHostWrites);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, ControllerBusyTime) == nv::kLogBusyTime);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, PowerCycle) == nv::kLogPowerCycles);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, PowerOnHours) == nv::kLogPowerOnHours);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, UnsafeShutdowns) == nv::kLogUnsafeShutdowns);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, MediaErrors) == nv::kLogMediaErrors);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, ErrorInfoLogEntryCount) == nv::kLogErrorEntries);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, WarningCompositeTemperatureTime) == nv::kLogWarningTime);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, CriticalCompositeTemperatureTime) == nv::kLogCriticalTime);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, TemperatureSensor1) == nv::kLogSensors);
static_assert(offsetof(NVME_HEALTH_INFO_LOG, TemperatureSensor8) == nv::kLogSensors + 14);

// The disk's SCSI address, whose logical unit names its NVMe namespace.
static_assert(core_records::kScsiGetAddress == IOCTL_SCSI_GET_ADDRESS);
static_assert(sizeof(SCSI_ADDRESS) == nv::kScsiAddressSize);
static_assert(offsetof(SCSI_ADDRESS, Lun) == nv::kScsiAddressLun);

// SMART RETURN STATUS: the task file comes back as an IDEREGS in bBuffer.
static_assert(sizeof(IDEREGS) == device::ata::kIdeRegsSize);
static_assert(offsetof(IDEREGS, bCylLowReg) == device::ata::kRegsCylLow);
static_assert(offsetof(IDEREGS, bCylHighReg) == device::ata::kRegsCylHigh);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == device::ata::kOutBuffer);

// SYSTEMTIME, which the platform seam hands over byte by byte.
static_assert(sizeof(SYSTEMTIME) == rec::kSystemTimeSize);
static_assert(offsetof(SYSTEMTIME, wYear) == rec::kSystemTimeYear);
static_assert(offsetof(SYSTEMTIME, wMonth) == rec::kSystemTimeMonth);
static_assert(offsetof(SYSTEMTIME, wDayOfWeek) == rec::kSystemTimeDayOfWeek);
static_assert(offsetof(SYSTEMTIME, wDay) == rec::kSystemTimeDay);
static_assert(offsetof(SYSTEMTIME, wHour) == rec::kSystemTimeHour);
static_assert(offsetof(SYSTEMTIME, wMinute) == rec::kSystemTimeMinute);
static_assert(offsetof(SYSTEMTIME, wSecond) == rec::kSystemTimeSecond);
static_assert(offsetof(SYSTEMTIME, wMilliseconds) == rec::kSystemTimeMilliseconds);

// The volume requests and VOLUME_DISK_EXTENTS, the same on 32- and 64-bit Windows
// (DISK_EXTENT's LARGE_INTEGERs align the array on 8 bytes).
static_assert(core_records::kDiskExtents == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS);
static_assert(core_records::kDeviceNumber == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(core_records::kLockVolume == FSCTL_LOCK_VOLUME && core_records::kDismountVolume == FSCTL_DISMOUNT_VOLUME);
static_assert(core_records::kExtendedDasdIo == FSCTL_ALLOW_EXTENDED_DASD_IO);
static_assert(core_records::kNoMoreFiles == ERROR_NO_MORE_FILES && core_records::kMoreData == ERROR_MORE_DATA);
static_assert(core_records::kFileNameTooLong == ERROR_FILENAME_EXCED_RANGE && core_records::kMultiText == REG_MULTI_SZ);
static_assert(core_records::kDiskType == FILE_DEVICE_DISK && core_records::kCdRomType == FILE_DEVICE_CD_ROM);
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == vol::kDeviceNumberSize);
static_assert(sizeof(VOLUME_DISK_EXTENTS) == vol::kExtentsRecordSize);
static_assert(offsetof(VOLUME_DISK_EXTENTS, NumberOfDiskExtents) == vol::kExtentsCount);
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) == vol::kExtentsFirst);
static_assert(sizeof(DISK_EXTENT) == vol::kDiskExtentSize);
static_assert(offsetof(DISK_EXTENT, DiskNumber) == vol::kExtentDiskNumber);
static_assert(offsetof(DISK_EXTENT, StartingOffset) == vol::kExtentStartingOffset);
static_assert(offsetof(DISK_EXTENT, ExtentLength) == vol::kExtentLength);

// SCSI pass-through: the record this program builds is SCSI_PASS_THROUGH of
// its own bitness. A 64-bit build also checks the 32-bit layout against the
// header's SCSI_PASS_THROUGH32 (what a 32-bit program sends under WOW64).
static_assert(core_records::kScsiPassThrough == IOCTL_SCSI_PASS_THROUGH);
static_assert(core_records::kDataIn == SCSI_IOCTL_DATA_IN);
static_assert(sizeof(SCSI_PASS_THROUGH) == sat::kSptSize);
static_assert(sizeof(SCSI_PASS_THROUGH) == (sizeof(void*) == 8 ? 56 : 44));
static_assert(offsetof(SCSI_PASS_THROUGH, Length) == sat::kSptLength);
static_assert(offsetof(SCSI_PASS_THROUGH, ScsiStatus) == sat::kSptScsiStatus);
static_assert(offsetof(SCSI_PASS_THROUGH, CdbLength) == sat::kSptCdbLength);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoLength) == sat::kSptSenseInfoLength);
static_assert(offsetof(SCSI_PASS_THROUGH, DataIn) == sat::kSptDataIn);
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == sat::kSptDataTransferLength);
static_assert(offsetof(SCSI_PASS_THROUGH, TimeOutValue) == sat::kSptTimeOutValue);
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == sat::kSptDataBufferOffset);
static_assert(sizeof(SCSI_PASS_THROUGH::DataBufferOffset) == sat::kSpt.dataBufferOffsetSize);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == sat::kSptSenseInfoOffset);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == sat::kSptCdb);
static_assert(sizeof(SCSI_PASS_THROUGH::Cdb) == sat::kCdbLength);
#if defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH32) == sat::kSpt32.size);
static_assert(offsetof(SCSI_PASS_THROUGH32, DataBufferOffset) == sat::kSpt32.dataBufferOffset);
static_assert(sizeof(SCSI_PASS_THROUGH32::DataBufferOffset) == sat::kSpt32.dataBufferOffsetSize);
static_assert(offsetof(SCSI_PASS_THROUGH32, SenseInfoOffset) == sat::kSpt32.senseInfoOffset);
static_assert(offsetof(SCSI_PASS_THROUGH32, Cdb) == sat::kSpt32.cdb);
#endif

// ATA pass-through: ATA_PASS_THROUGH_EX of the program's own bitness, and in a
// 64-bit build the 32-bit layout (ATA_PASS_THROUGH_EX32) as well.
namespace apt = device::apt;
static_assert(core_records::kAtaPassThrough == IOCTL_ATA_PASS_THROUGH);
static_assert(core_records::kAtaFlagsDrdy == ATA_FLAGS_DRDY_REQUIRED && core_records::kAtaFlagsDataIn == ATA_FLAGS_DATA_IN &&
              core_records::kAtaFlags48Bit == ATA_FLAGS_48BIT_COMMAND);
static_assert(sizeof(ATA_PASS_THROUGH_EX) == apt::kApt.size);
static_assert(sizeof(ATA_PASS_THROUGH_EX) == (sizeof(void*) == 8 ? 48 : 40));
static_assert(offsetof(ATA_PASS_THROUGH_EX, Length) == apt::kLength);
static_assert(offsetof(ATA_PASS_THROUGH_EX, AtaFlags) == apt::kAtaFlags);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataTransferLength) == apt::kDataTransferLength);
static_assert(offsetof(ATA_PASS_THROUGH_EX, TimeOutValue) == apt::kTimeOutValue);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == apt::kApt.dataBufferOffset);
static_assert(sizeof(ATA_PASS_THROUGH_EX::DataBufferOffset) == apt::kApt.dataBufferOffsetSize);
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == apt::kApt.previousTaskFile);
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == apt::kApt.currentTaskFile);
static_assert(sizeof(ATA_PASS_THROUGH_EX::CurrentTaskFile) == apt::kTaskFileSize);
#if defined(_WIN64)
static_assert(sizeof(ATA_PASS_THROUGH_EX32) == apt::kApt32.size);
static_assert(offsetof(ATA_PASS_THROUGH_EX32, DataBufferOffset) == apt::kApt32.dataBufferOffset);
static_assert(sizeof(ATA_PASS_THROUGH_EX32::DataBufferOffset) == apt::kApt32.dataBufferOffsetSize);
static_assert(offsetof(ATA_PASS_THROUGH_EX32, PreviousTaskFile) == apt::kApt32.previousTaskFile);
static_assert(offsetof(ATA_PASS_THROUGH_EX32, CurrentTaskFile) == apt::kApt32.currentTaskFile);
#endif

} // namespace trv::win32
