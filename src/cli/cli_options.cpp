#include "cli/cli_options.h"

#include <algorithm>

#include "platform/text.h"

namespace trv::cli {

namespace {

[[noreturn]] void Fail(std::u16string message) { throw UsageError{std::move(message)}; }

std::uint32_t DiskNumber(const std::u16string& text) {
  if (text.empty() || text.size() > 3) Fail(u"not a disk number: " + text);
  std::uint32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') Fail(u"not a disk number: " + text);
    n = n * 10 + static_cast<std::uint32_t>(c - u'0');
  }
  if (n > 255) Fail(u"not a disk number: " + text);
  return n;
}

} // namespace

std::u16string UsageText() {
  return u"usage: trevasso-cli list [--json]\n"
         u"       trevasso-cli details N [--json]\n"
         u"       trevasso-cli smart N [--json]\n"
         u"       trevasso-cli erase N --quick|--full [--verify] --confirm-serial SERIAL\n"
         u"                          [--records DIR] [--json]\n"
         u"       trevasso-cli --version | --help\n"
         u"N is the number of \\\\.\\PhysicalDriveN, as list shows it. See docs/cli.md.\n";
}

Options ParseOptions(const std::vector<std::u16string>& args) {
  Options o;
  if (args.empty()) Fail(u"no command given");
  std::size_t i = 0;
  const std::u16string& name = args[i++];
  if (name == u"--help" || name == u"-h" || name == u"help") o.command = Command::Help;
  else if (name == u"--version") o.command = Command::Version;
  else if (name == u"list") o.command = Command::List;
  else if (name == u"details") o.command = Command::Details;
  else if (name == u"smart") o.command = Command::Smart;
  else if (name == u"erase") o.command = Command::Erase;
  else Fail(u"unknown command: " + name);

  const bool takesDisk = o.command == Command::Details || o.command == Command::Smart || o.command == Command::Erase;
  for (; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    auto value = [&]() -> const std::u16string& {
      if (i + 1 >= args.size()) Fail(a + u" needs a value");
      return args[++i];
    };
    const bool eraseOnly = a == u"--quick" || a == u"--full" || a == u"--verify" || a == u"--confirm-serial" || a == u"--records";
    if (eraseOnly && o.command != Command::Erase) Fail(a + u" belongs to erase");
    if (a == u"--json") o.json = true;
    else if (a == u"--quick") o.quick = true;
    else if (a == u"--full") o.full = true;
    else if (a == u"--verify") o.verify = true;
    else if (a == u"--confirm-serial") o.confirmSerial = value();
    else if (a == u"--records") o.recordsFolder = value();
    else if (takesDisk && !o.disk && !a.empty() && a[0] != u'-') o.disk = DiskNumber(a);
    else Fail(u"unexpected argument: " + a);
  }
  if (takesDisk && !o.disk) Fail(u"which disk? give its number");
  if (o.command == Command::Erase) {
    if (o.quick == o.full) Fail(u"erase needs exactly one of --quick and --full");
    if (!o.confirmSerial) Fail(u"erase needs --confirm-serial with the disk's serial number (see list)");
    if (o.recordsFolder.empty() && std::find(args.begin(), args.end(), u"--records") != args.end())
      Fail(u"--records needs a folder");
  }
  return o;
}

} // namespace trv::cli
