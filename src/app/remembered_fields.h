// The window's Operator, Asset and Ticket, remembered per user from one erase
// to the next in %LOCALAPPDATA%\Trevasso\record-fields.json.
#pragma once
#include <string>

#include "format/audit_fields.h"
#include "platform/platform.h"

namespace trv::app {

std::u16string RememberedFieldsPath(win::Platform& platform);  // empty: the system does not tell the folder

// What was entered last; a missing, unreadable or broken file, or a value the
// form would refuse, gives empty fields.
format::AuditFields LoadRememberedFields(win::Platform& platform);

// Whether the fields were written (a failure costs only the prefill next time).
bool RememberFields(win::Platform& platform, const format::AuditFields& fields);

} // namespace trv::app
