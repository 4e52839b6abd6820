// A USB bridge taking IOCTL_SCSI_PASS_THROUGH: it runs ATA PASS-THROUGH (16)
// with PIO data-in for IDENTIFY DEVICE and SMART READ DATA from the drive's
// blocks, and non-data commands (SMART RETURN STATUS) with the drive's
// registers in an ATA Return descriptor when CK_COND asks for them (unless the
// scenario's bridge passes no registers); it refuses everything else with CHECK
// CONDITION and sense data, or never answers, as the scenario says. The record is SCSI_PASS_THROUGH as the calling
// program lays it out: its DataBufferOffset is a ULONG_PTR, so a 32-bit program
// sends 44 bytes and a 64-bit one 56. The simulated PC runs in the program's own
// process, so the caller's bitness is this one's; a record of the other layout
// is refused as Windows refuses a Length it does not expect.
#include <algorithm>
#include <array>

#include "platform/records.h"
#include "platform/sim/drive_ioctl.h"
#include "platform/win_types.h"

namespace trv::sim::ioctl {

namespace {

constexpr std::uint32_t kScsiPassThrough = 0x0004D004;
struct RecordLayout {
  std::size_t size, dataOffsetAt, dataOffsetBytes, senseOffsetAt, cdb;
};
constexpr RecordLayout k32BitCaller{44, 20, 4, 24, 28}, k64BitCaller{56, 24, 8, 32, 36};
constexpr RecordLayout kCaller = sizeof(void*) == 8 ? k64BitCaller : k32BitCaller;
constexpr std::size_t kRecord = kCaller.size;
constexpr std::size_t kCdb = kCaller.cdb;
constexpr std::uint32_t kSemTimeout = 121;  // ERROR_SEM_TIMEOUT
constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kRecoveredError = 0x01, kIllegalRequest = 0x05, kAbortedCommand = 0x0B;
constexpr std::uint8_t kPassThroughInformation = 0x1D;  // ASCQ with ASC 00h: ATA PASS THROUGH INFORMATION AVAILABLE
constexpr std::uint8_t kInvalidOpcode = 0x20, kInvalidFieldInCdb = 0x24;

struct Fields {
  std::uint8_t senseLength, dataIn;
  std::uint32_t transfer, timeout;
  std::uint64_t dataOffset;
  std::uint32_t senseOffset;
};

// The answer with the record as sent, then changed by the device's outcome.
std::vector<std::uint8_t> RecordBack(const Request& r, std::size_t size) {
  std::vector<std::uint8_t> a(size, 0);
  std::copy_n(r.in.begin(), kRecord, a.begin());
  return a;
}

// CHECK CONDITION with `sense`, cut to the caller's sense area; nothing moved.
IoctlResult SenseAnswer(const Request& r, const Fields& f, const std::vector<std::uint8_t>& sense) {
  const std::size_t written = std::min<std::size_t>(f.senseLength, sense.size());
  std::vector<std::uint8_t> a = RecordBack(r, written ? std::max<std::size_t>(kRecord, f.senseOffset + written) : kRecord);
  a[2] = kCheckCondition;
  a[7] = static_cast<std::uint8_t>(written);
  rec::Put32(a, 12, 0);
  std::copy_n(sense.begin(), written, a.begin() + (written ? f.senseOffset : 0));
  return Deliver(r, a);
}

IoctlResult CheckCondition(const Request& r, const Fields& f, std::uint8_t key, std::uint8_t asc) {
  return SenseAnswer(r, f, {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, 0, 0, 0, 0, 0});
}

// The ATA Return descriptor (09h) of the drive's task file after a non-data
// command: bytes 2..13 are EXTEND, error, count, LBA (in SAT's high/low byte
// pairs), device and status.
using ReturnDescriptor = std::array<std::uint8_t, 14>;

// How the drive ends a non-data command; nothing when it aborts it.
std::optional<ReturnDescriptor> NonDataRegisters(const SimDrive& d, const std::uint8_t* cdb) {
  ReturnDescriptor reg{0x09, 0x0C, static_cast<std::uint8_t>(cdb[1] & 1)};
  reg[12] = cdb[13];
  reg[13] = 0x50;  // drive ready, seek complete
  if (cdb[14] == 0xF8 || cdb[14] == 0x27)  // READ NATIVE MAX ADDRESS (EXT)
    return NativeMaxReturn(BridgedDrive(d), cdb[14] == 0x27 && (cdb[1] & 1), reg.data()) ? std::optional(reg) : std::nullopt;
  const bool returnStatus = cdb[14] == 0xB0 && cdb[4] == 0xDA && cdb[10] == 0x4F && cdb[12] == 0xC2;
  if (!returnStatus) return std::nullopt;
  const bool good = d.sat.status != SimAta::Status::Failing;
  reg[9] = good ? 0x4F : 0xF4;
  reg[11] = good ? 0xC2 : 0x2C;
  return reg;
}

IoctlResult NonData(const SimDrive& d, const Request& r, const Fields& f) {
  const std::uint8_t* cdb = r.in.data() + kCdb;
  if ((cdb[2] & 0x03) != 0 || f.transfer != 0) return CheckCondition(r, f, kIllegalRequest, kInvalidFieldInCdb);
  std::optional<ReturnDescriptor> reg = NonDataRegisters(d, cdb);
  const bool wanted = (cdb[2] & 0x20) != 0 && d.sat.returnsRegisters;
  if (!wanted) return reg ? Deliver(r, RecordBack(r, kRecord)) : CheckCondition(r, f, kAbortedCommand, 0);
  if (!reg) {  // aborted: ABRT in the error register, ERR in the status
    reg = ReturnDescriptor{0x09, 0x0C, static_cast<std::uint8_t>(cdb[1] & 1), 0x04};
    (*reg)[12] = cdb[13];
    (*reg)[13] = 0x51;
  }
  std::vector<std::uint8_t> sense = {0x72, (*reg)[13] & 1 ? kAbortedCommand : kRecoveredError, 0x00,
                                     kPassThroughInformation, 0, 0, 0, 14};
  sense.insert(sense.end(), reg->begin(), reg->end());
  return SenseAnswer(r, f, sense);
}

IoctlResult RunCommand(const SimDrive& d, const Request& r, const Fields& f) {
  const std::uint8_t* cdb = r.in.data() + kCdb;
  if (cdb[0] != 0x85) return CheckCondition(r, f, kIllegalRequest, kInvalidOpcode);
  if (((cdb[1] >> 1) & 0x0F) == 3) return NonData(d, r, f);
  // PIO data-in, the count in blocks in the sector count field, one block of 512.
  const bool readsOneBlock = ((cdb[1] >> 1) & 0x0F) == 4 && cdb[2] == 0x0E && cdb[6] == 1 && f.dataIn == 1 &&
                             f.transfer >= 512;
  if (!readsOneBlock) return CheckCondition(r, f, kIllegalRequest, kInvalidFieldInCdb);
  const std::optional<Block512>* block = nullptr;
  std::optional<Block512> dco;
  if (cdb[14] == 0xEC) block = &d.sat.identify;
  else if (cdb[14] == 0xB1 && cdb[4] == 0xC2) block = &(dco = DcoIdentifyBlock(BridgedDrive(d)));
  else if (cdb[14] == 0xB0 && cdb[4] == 0xD0 && cdb[10] == 0x4F && cdb[12] == 0xC2) block = &d.sat.smartData;
  else if (cdb[14] == 0xB0 && cdb[4] == 0xD1 && cdb[10] == 0x4F && cdb[12] == 0xC2) block = &d.sat.thresholds;
  if (!block || !*block) return CheckCondition(r, f, kAbortedCommand, 0);  // the drive aborts the command
  const std::uint32_t moved = d.sat.transferred ? d.sat.transferred : 512;
  const auto dataAt = static_cast<std::size_t>(f.dataOffset);  // checked to lie within the caller's buffer
  std::vector<std::uint8_t> a = RecordBack(r, dataAt + moved);
  a[7] = 0;
  rec::Put32(a, 12, moved);
  std::copy_n((*block)->begin(), moved, a.begin() + static_cast<std::ptrdiff_t>(dataAt));
  return Deliver(r, a);
}

IoctlResult PassThrough(const SimDrive& d, const Request& r) {
  if (const auto& failure = ScenarioFailure(d, DriveRequest::ScsiPassThrough)) return Failed(*failure);
  if (r.in.size() < kRecord || rec::U16(r.in, 0) != kRecord) return Failed(win::ERROR_INVALID_PARAMETER);
  if (r.out.size() < kRecord) return Failed(win::ERROR_INSUFFICIENT_BUFFER);
  const std::uint8_t cdbLength = r.in[6];
  const std::uint64_t dataOffset = kCaller.dataOffsetBytes == 8 ? rec::U64(r.in, kCaller.dataOffsetAt)
                                                                 : rec::U32(r.in, kCaller.dataOffsetAt);
  const Fields f{r.in[7], r.in[8], rec::U32(r.in, 12), rec::U32(r.in, 16), dataOffset, rec::U32(r.in, kCaller.senseOffsetAt)};
  if (cdbLength == 0 || cdbLength > 16 || f.dataIn > 2) return Failed(win::ERROR_INVALID_PARAMETER);
  // The data and sense areas must lie in the caller's buffer, after the record.
  const std::uint64_t size = r.out.size();
  if (f.transfer > 0 && (f.dataOffset < kRecord || f.dataOffset > size || f.transfer > size - f.dataOffset))
    return Failed(win::ERROR_INVALID_PARAMETER);
  if (f.senseLength > 0 && (f.senseOffset < kRecord || std::uint64_t{f.senseOffset} + f.senseLength > size))
    return Failed(win::ERROR_INVALID_PARAMETER);
  switch (d.sat.mode) {
    case SatMode::Hang: {
      IoctlResult late = Failed(kSemTimeout);
      late.busyMilliseconds = f.timeout * 1000u;
      return late;
    }
    case SatMode::Refuse: return CheckCondition(r, f, kIllegalRequest, kInvalidOpcode);
    case SatMode::Answer: return RunCommand(d, r, f);
  }
  return Failed(win::ERROR_INVALID_FUNCTION);
}

} // namespace

std::optional<IoctlResult> ScsiIoctl(const SimDrive& drive, const Request& r) {
  if (r.code != kScsiPassThrough) return std::nullopt;
  return PassThrough(drive, r);
}

} // namespace trv::sim::ioctl
