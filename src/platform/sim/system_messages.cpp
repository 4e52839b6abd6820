#include "platform/sim/system_messages.h"

namespace trv::sim {

// The English texts Windows gives for these codes, without the trailing line break.
std::u16string StandardSystemMessage(std::uint32_t code) {
  switch (code) {
    case 0: return u"The operation completed successfully.";
    case 1: return u"Incorrect function.";
    case 2: return u"The system cannot find the file specified.";
    case 3: return u"The system cannot find the path specified.";
    case 5: return u"Access is denied.";
    case 6: return u"The handle is invalid.";
    case 13: return u"The data is invalid.";
    case 18: return u"There are no more files.";
    case 21: return u"The device is not ready.";
    case 23: return u"Data error (cyclic redundancy check).";
    case 31: return u"A device attached to the system is not functioning.";
    case 32: return u"The process cannot access the file because it is being used by another process.";
    case 50: return u"The request is not supported.";
    case 55: return u"The specified network resource or device is no longer available.";
    case 87: return u"The parameter is incorrect.";
    case 122: return u"The data area passed to a system call is too small.";
    case 126: return u"The specified module could not be found.";
    case 127: return u"The specified procedure could not be found.";
    case 206: return u"The filename or extension is too long.";
    case 234: return u"More data is available.";
    case 1117: return u"The request could not be performed because of an I/O device error.";
    case 1167: return u"The device is not connected.";
    default: return {};
  }
}

} // namespace trv::sim
