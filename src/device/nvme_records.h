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
// Windows gives every namespace a disk of its own; a client NVMe disk is namespace 1.
inline constexpr std::uint32_t kNamespaceId = 1;

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

} // namespace trv::device::nvme
