// The NVMe protocol-specific queries as they reach the storage stack, byte by byte.
#include <gtest/gtest.h>

#include <vector>

#include "device/nvme.h"
#include "modern_pc.h"
#include "platform/sim/sim_platform.h"

namespace win = trv::win;

namespace {

// STORAGE_PROPERTY_QUERY (PropertyId, QueryType 0) and STORAGE_PROTOCOL_SPECIFIC_DATA
// (NVMe, data type, request value, sub-value, data offset 40, data length).
std::vector<std::uint32_t> Query(std::uint32_t property, std::uint32_t dataType, std::uint32_t value,
                                 std::uint32_t subValue, std::uint32_t length) {
  return {property, 0, 3, dataType, value, subValue, 40, length, 0, 0, 0, 0};
}

std::vector<std::uint32_t> Words(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  std::vector<std::uint32_t> w;
  for (std::size_t i = 0; i < count && 4 * i + 3 < bytes.size(); ++i)
    w.push_back(bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 | std::uint32_t{bytes[4 * i + 3]} << 24);
  return w;
}

} // namespace

TEST(Nvme, QueriesNameTheControllerTheDisksNamespaceAndTheHealthLog) {
  trv::sim::SimPlatform sim(trv::test::ModernPc());
  const win::Handle h = sim.CreateFileW(u"\\\\.\\PhysicalDrive0", win::GENERIC_READ | win::GENERIC_WRITE, 0,
                                        win::OPEN_EXISTING, 0);
  sim.journal().Clear();
  trv::device::NvmeIdentifyBlock controller{}, ns{};
  trv::device::NvmeLogBlock log{};
  ASSERT_TRUE(trv::device::ReadNvmeIdentifyController(sim, h, controller));
  ASSERT_TRUE(trv::device::ReadNvmeIdentifyNamespace(sim, h, ns));
  ASSERT_TRUE(trv::device::ReadNvmeHealthLog(sim, h, log));

  auto sent = sim.journal().Find("DeviceIoControl");
  ASSERT_EQ(sent.size(), 4u);
  // Before its identify data the disk's namespace is asked for: IOCTL_SCSI_GET_ADDRESS,
  // logical unit 0, namespace 1.
  EXPECT_EQ(sent[1]->code, 0x00041018u);
  EXPECT_NE(sent[1]->detail.find("in=0 out=8 -> ok returned=8"), std::string::npos) << sent[1]->detail;
  sent.erase(sent.begin() + 1);
  for (const auto* e : sent) EXPECT_EQ(e->code, 0x002D1400u);
  // Identify Controller: adapter property 49, data type 1, CNS 1; Identify
  // Namespace: device property 50, CNS 0, namespace 1; health log: property 49,
  // data type 2, page 2 from offset 0. In and out are one buffer: 48 bytes and the data.
  EXPECT_EQ(Words(sent[0]->input, 12), Query(49, 1, 1, 0, 4096));
  EXPECT_EQ(Words(sent[1]->input, 12), Query(50, 1, 0, 1, 4096));
  EXPECT_EQ(Words(sent[2]->input, 12), Query(49, 2, 2, 0, 512));
  EXPECT_NE(sent[0]->detail.find("in=4144 out=4144"), std::string::npos) << sent[0]->detail;
  EXPECT_NE(sent[2]->detail.find("in=560 out=560"), std::string::npos) << sent[2]->detail;
  // The model at byte 24 of the controller block, the size at byte 0 of the namespace.
  EXPECT_EQ(std::string(controller.begin() + 24, controller.begin() + 54), "Samsung SSD 970 EVO Plus 500GB");
  EXPECT_EQ(ns[0] | ns[1] << 8 | ns[2] << 16 | ns[3] << 24, 976773168);
  EXPECT_EQ(log[1] | log[2] << 8, 311);
}
