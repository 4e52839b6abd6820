#include "format/erase_preflight.h"

#include "format/erase_record.h"
#include "format/io_buffer.h"
#include "format/records_folder.h"
#include "format/volume_lock.h"

namespace trv::format {

Preflight CheckBeforeLocking(win::Platform& p, const std::u16string& recordsFolder, std::uint32_t deviceNumber,
                             win::Handle disk, const std::vector<VolumeFacts>& volumes) {
  Preflight out;
  // The save says so after the run when there is no folder at all; one that
  // cannot be used safely stops the run before it starts.
  const std::u16string given = PlainFolderPath(recordsFolder.empty() ? DefaultRecordsFolder(p) : recordsFolder);
  const std::u16string folder = given.empty() ? std::u16string() : PlainFolderPath(p.GetFullPathNameW(given));
  if (!folder.empty())
    if (const auto refusal = RecordsFolderRefusal(p, folder, deviceNumber, &volumes)) {
      out.refusal = RefusalText(p, *refusal, u"this disk") + u".";
      if (out.refusal[0] >= u'a' && out.refusal[0] <= u'z') out.refusal[0] = static_cast<char16_t>(out.refusal[0] - 32);
      out.recordsFolder = true;
      out.code = RefusalCode(*refusal);
      return out;
    }
  out.refusal = AlignmentRefusal(AdapterAlignmentMask(p, disk));
  if (!out.refusal.empty()) out.code = kAdapterAlignment;
  return out;
}

} // namespace trv::format
