#include "platform/win32/process_arguments.h"

#include "platform/win32/windows_headers.h"

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace trv::win32 {

std::vector<std::u16string> ProcessArguments() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(Narrow16(argv[i]));
  if (argv) ::LocalFree(argv);
  return args;
}

} // namespace trv::win32
