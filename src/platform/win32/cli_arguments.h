// The command line of a console program as the core's texts.
#pragma once
#include <string>
#include <vector>

#include "platform/win32/windows_headers.h"

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace trv::win32 {

// The arguments after the program name, split by the system's own rules.
inline std::vector<std::u16string> ConsoleArguments() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(Narrow16(argv[i]));
  if (argv) ::LocalFree(argv);
  return args;
}

} // namespace trv::win32
