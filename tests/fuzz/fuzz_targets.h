// The fuzz targets: one per surface where bytes from outside reach the program.
// Each takes any input without failing; a broken property aborts the run. The
// libFuzzer harnesses (built by scripts/fuzz) and the replay of kept cases
// (tests/fuzz-regressions) call the same functions.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::fuzz {

// Storage stack answers: geometry, length, adapter and device descriptors, one
// disk identified from them, and the texts the user sees for it.
int StorageAnswers(const std::uint8_t* data, std::size_t size);
// The SCSI inquiry answer (and the S.M.A.R.T. version answer before it) that
// decide the ATA drive number.
int InquiryAnswer(const std::uint8_t* data, std::size_t size);
// The ATA answers: IDENTIFY and SMART READ DATA through every transport path,
// as far as the details and S.M.A.R.T. reports.
int AtaAnswers(const std::uint8_t* data, std::size_t size);
// NVMe identify and health-log answers (bus 17) and ATA pass-through answers of
// a USB bridge (bus 7), as far as the details and S.M.A.R.T. tabs.
int NvmeAndBridgeAnswers(const std::uint8_t* data, std::size_t size);
// A scenario file and a drive capture file, both read from the same bytes.
int InputFiles(const std::uint8_t* data, std::size_t size);
// A headless script.
int Script(const std::uint8_t* data, std::size_t size);

} // namespace trv::fuzz
