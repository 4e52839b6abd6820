// The probe for the slave position: the S.M.A.R.T. version answer, then the
// SCSI inquiry answer (buses, their units' records, offsets and chained
// entries), from the input straight and through a simulated ATA disk.
#include "answer_platform.h"
#include "device/identify.h"
#include "fuzz_targets.h"

namespace trv::fuzz {

namespace {

constexpr std::size_t kMaxAnswer = 1024;

// A disk on the ATA bus whose inquiry answer (and, when present, S.M.A.R.T.
// version answer) are the input's bytes, identified as the scan does.
void ThroughSimulatedDrive(FuzzInput& in) {
  sim::SimDrive drive;
  drive.number = 0;
  const std::uint8_t flags = in.Byte();
  drive.adapterDescriptor.assign(32, 0);
  drive.adapterDescriptor[24] = (flags & 1) ? 11 : 3;  // SATA or ATA: both are probed
  if (flags & 2) drive.smartVersion = in.Chunk(64);
  if (flags & 4) drive.failWith[static_cast<std::size_t>(sim::DriveRequest::Inquiry)] = 0;
  drive.inquiryData = in.Chunk(kMaxAnswer);

  sim::Scenario scenario;
  scenario.drives.push_back(std::move(drive));
  sim::SimPlatform pc(std::move(scenario));
  const win::Handle handle = OpenDiskZero(pc, win::GENERIC_READ);
  device::TIdentifyDeviceData data;
  device::DeviceEnv env{pc, [](const std::u16string&) {}, [](const std::u16string&, const std::u16string&) {}};
  Require(device::IdentifyDevice(env, handle, u"\\\\.\\PhysicalDrive0", data) == 0, "the disk is identified");
  Require(data.IsIDESlave <= 1, "drive number 0 or 1");
  Require(device::DetectIDESlave(pc, handle) == data.IsIDESlave, "the probe gives one answer");
  pc.CloseHandle(handle);
}

// The two answers straight from the input; the bytes past what each reports
// must not change the drive number.
void ThroughAnswers(std::uint8_t, const std::uint8_t* data, std::size_t size) {
  AnswerPlatform plain(FuzzInput(data, size), Beyond::Untouched);
  AnswerPlatform scribbled(FuzzInput(data, size), Beyond::Scribbled);
  const std::uint8_t a = device::DetectIDESlave(plain, 1);
  const std::uint8_t b = device::DetectIDESlave(scribbled, 1);
  Require(a <= 1, "drive number 0 or 1");
  Require(a == b, "only the bytes an answer reports count");
}

} // namespace

int InquiryAnswer(const std::uint8_t* data, std::size_t size) {
  return EitherWay(data, size, ThroughAnswers, ThroughSimulatedDrive);
}

} // namespace trv::fuzz
