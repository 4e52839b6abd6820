// Identification of one disk from fuzzed storage answers, two ways: through the
// simulated drive of a scenario (raw descriptors, any geometry and length, any
// request failing), and through answers taken straight from the input, where
// the bytes past what each answer reports must not change the outcome; there a
// volume's device number answer follows.
#include <string>

#include "answer_platform.h"
#include "device/identify.h"
#include "format/volume_lock.h"
#include "fuzz_targets.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::fuzz {

namespace {

using device::TIdentifyDeviceData;

constexpr std::size_t kMaxAnswer = 1024;  // more than the program's 512-byte buffer

bool Same(const TIdentifyDeviceData& a, const TIdentifyDeviceData& b) {
  return a.Model == b.Model && a.FW == b.FW && a.SN == b.SN && a.LBA == b.LBA && a.SectorSize == b.SectorSize &&
         a.BusType == b.BusType && a.MaximumSectorsTransfer == b.MaximumSectorsTransfer &&
         a.RemovableMedia == b.RemovableMedia && a.IsIDESlave == b.IsIDESlave;
}

struct Outcome {
  std::int64_t status = -1;
  TIdentifyDeviceData data;
  bool exited = false;  // the error box that ends the program was shown
};

Outcome Identify(win::Platform& p, win::Handle handle) {
  Outcome o;
  o.data.Model = u"(before)";  // a failed identification must leave it
  device::DeviceEnv env{p, [](const std::u16string&) {},
                        [&o](const std::u16string&, const std::u16string&) { o.exited = true; }};
  o.status = device::IdentifyDevice(env, handle, u"\\\\.\\PhysicalDrive0", o.data);
  return o;
}

// What every identification, whatever the disk said, must give.
void CheckRecord(const Outcome& o) {
  Require(o.status == 0 || o.status == -1, "status is 0 or -1");
  if (o.status != 0) {
    Require(o.data.Model == u"(before)", "a failed identification leaves the record");
    return;
  }
  Require(!o.exited, "no record after the error box");
  const TIdentifyDeviceData& d = o.data;
  Require(d.SectorSize >= 512, "sector size at least 512");
  Require(d.LBA >= 0, "sector count not negative");
  Require(d.MaximumSectorsTransfer >= 0 && d.MaximumSectorsTransfer <= 250, "transfer limit 0..250");
  Require(d.IsIDESlave <= 1, "drive number 0 or 1");
  Require(d.BusType >= 0 && d.BusType <= 255, "bus type is a byte");
  Require(!TrimControl(d.Model).empty() && !TrimControl(d.FW).empty() && !TrimControl(d.SN).empty(),
          "model, firmware and serial never empty");
  Require(d.Model.size() <= 1024 && d.FW.size() <= 512 && d.SN.size() <= 512, "texts come from one 512-byte answer");

  // The texts the selection list and the title show for it.
  device::DeviceState state;
  state.DeviceCount = 1;
  state.Devices[1].DeviceNumber = 0;
  state.Devices[1].IdentifyData = d;
  const std::u16string title = report::GetDeviceDescription(state, 1);
  Require(title.rfind(u"[0]  ", 0) == 0, "the title starts with the disk number");
  Require(!device::GetBusTypeName(d.BusType).empty(), "every bus has a name");
  Require(!report::FormatThousands(d.LBA).empty(), "the sector count has a text");
}

// One disk at number 0 whose answers come from the input.
void ThroughSimulatedDrive(FuzzInput& in) {
  sim::SimDrive drive;
  drive.number = 0;
  drive.bytesPerSector = in.U32();
  drive.lengthBytes = static_cast<std::int64_t>(in.Number(8));
  drive.cylinders = static_cast<std::int64_t>(in.Number(8));
  drive.slave = (in.Byte() & 1) != 0;
  const std::uint8_t failing = in.Byte();  // one bit per storage request
  for (std::size_t r = 0; r < 6; ++r)
    if (failing & (1u << r)) drive.failWith[r] = (in.Byte() & 1) ? std::uint32_t{31} : std::uint32_t{0};
  drive.adapterDescriptor = in.Chunk(kMaxAnswer);
  drive.deviceDescriptor = in.Chunk(kMaxAnswer);
  if (failing & 0x40) drive.smartVersion = in.Chunk(64);
  drive.inquiryData = in.Rest();

  sim::Scenario scenario;
  scenario.drives.push_back(std::move(drive));
  sim::SimPlatform pc(std::move(scenario));
  const win::Handle handle = OpenDiskZero(pc, win::GENERIC_READ);
  CheckRecord(Identify(pc, handle));
  pc.CloseHandle(handle);
}

// The answers as they come, once with the buffers past each answer left as the
// program had them and once overwritten: the outcome must be the same.
// The next answer after the identification is the device number of volume C:,
// which decides whether the format run locks it.
void ThroughAnswers(std::uint8_t, const std::uint8_t* data, std::size_t size) {
  sim::Scenario pc;
  pc.volumes.push_back(sim::SimVolume{});
  pc.volumes.back().root = u"C:\\";
  pc.volumes.back().guid = u"{5c1e0d70-3b9a-11ef-a7c0-000000000001}";
  AnswerPlatform plain(FuzzInput(data, size), Beyond::Untouched, pc);
  AnswerPlatform scribbled(FuzzInput(data, size), Beyond::Scribbled, pc);
  const Outcome a = Identify(plain, 1);
  const Outcome b = Identify(scribbled, 1);
  CheckRecord(a);
  Require(a.status == b.status && a.exited == b.exited && Same(a.data, b.data),
          "only the bytes an answer reports count");
  format::TVolumeDeviceNumber va, vb;
  format::GetVolumeDeviceNumber(plain, u"\\\\.\\C:", va);
  format::GetVolumeDeviceNumber(scribbled, u"\\\\.\\C:", vb);
  Require(va.Valid == vb.Valid && va.DeviceType == vb.DeviceType && va.DeviceNumber == vb.DeviceNumber &&
              va.PartitionNumber == vb.PartitionNumber,
          "only the bytes a device number answer reports count");
  // Then the volume's disk extents, as the volume search reads them.
  std::vector<format::VolumeFacts> fa, fb;
  std::uint32_t ea = 0, eb = 0;
  const bool la = format::FindVolumes(plain, fa, ea), lb = format::FindVolumes(scribbled, fb, eb);
  Require(la == lb && fa.size() == fb.size(), "the same volumes either way");
  for (std::size_t i = 0; i < fa.size(); ++i) {
    const auto a = format::InspectVolume(plain, fa[i].guidPath), b = format::InspectVolume(scribbled, fb[i].guidPath);
    Require(a.extentsRead == b.extentsRead && a.extents == b.extents, "only the bytes an extents answer reports count");
  }
  Require(plain.codes() == scribbled.codes(), "the same requests either way");
}

} // namespace

int StorageAnswers(const std::uint8_t* data, std::size_t size) {
  return EitherWay(data, size, ThroughAnswers, ThroughSimulatedDrive);
}

} // namespace trv::fuzz
