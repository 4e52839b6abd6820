// The NVMe and SCSI pass-through records and the SYSTEMTIME the core builds and
// reads as bytes, checked against the structures of the SDK headers mingw-w64
// ships (winioctl.h for the storage query records, ntddscsi.h, nvme.h). Nothing here
// runs: a layout that differs stops the Windows build.
//
// The core's records are read before <windows.h>, whose macros carry the same
// names (IOCTL_SCSI_PASS_THROUGH, ...); the values those names hold are taken
// here while the names are still free.
#include "device/nvme_records.h"
#include "device/sat_records.h"
#include "platform/records.h"

namespace trv::win32::core_records {
inline constexpr auto kQueryProperty = device::nvme::IOCTL_STORAGE_QUERY_PROPERTY;
inline constexpr auto kScsiPassThrough = device::sat::IOCTL_SCSI_PASS_THROUGH;
inline constexpr auto kDataIn = device::sat::SCSI_IOCTL_DATA_IN;
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

} // namespace trv::win32
