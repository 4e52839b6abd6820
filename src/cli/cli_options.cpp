#include "cli/cli_options.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <string_view>

#include "format/record_audit.h"
#include "platform/text.h"

namespace trv::cli {

namespace {

constexpr std::u16string_view kSwitches[] = {u"--json", u"--quick", u"--full", u"--purge", u"--verify",
                                            u"--confirm-serial", u"--records", u"--lang", u"--operator",
                                            u"--asset", u"--ticket"};
constexpr std::u16string_view kPurgeWith = u"--purge=";

[[noreturn]] void Fail(std::u16string message) { throw UsageError{std::move(message)}; }

// The switch a word names: "--purge=block" is --purge; "" for a word that is none.
std::u16string SwitchOf(const std::u16string& word) {
  if (word.starts_with(kPurgeWith)) return u"--purge";
  return std::find(std::begin(kSwitches), std::end(kSwitches), word) != std::end(kSwitches) ? word : u"";
}

// The methods --purge=METHOD insists on, by their words.
struct PurgeWord {
  std::u16string_view word;
  format::PurgeChoice choice;
};
constexpr PurgeWord kPurgeWords[] = {{u"crypto", format::PurgeChoice::Crypto},
                                     {u"block", format::PurgeChoice::Block},
                                     {u"overwrite", format::PurgeChoice::Overwrite},
                                     {u"secure-erase", format::PurgeChoice::SecureErase},
                                     {u"enhanced-secure-erase", format::PurgeChoice::EnhancedSecureErase}};

bool IsPurgeWord(const std::u16string& word) {
  return std::any_of(std::begin(kPurgeWords), std::end(kPurgeWords), [&](const PurgeWord& w) { return w.word == word; });
}

// --purge: the best method the disk and Windows allow; --purge=METHOD insists on one.
format::PurgeChoice PurgeChoiceOf(const std::u16string& word) {
  if (word == u"--purge") return format::PurgeChoice::Best;
  const std::u16string method = word.substr(kPurgeWith.size());
  for (const PurgeWord& w : kPurgeWords)
    if (w.word == method) return w.choice;
  Fail(u"--purge takes no method, or =crypto, =block, =overwrite, =secure-erase or =enhanced-secure-erase, not: " +
       word);
}

// Plain decimal, as list shows it: no sign, no leading zero, no other digits.
std::uint32_t DiskNumber(const std::u16string& text) {
  if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == u'0')) Fail(u"not a disk number: " + text);
  std::uint32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') Fail(u"not a disk number: " + text);
    n = n * 10 + static_cast<std::uint32_t>(c - u'0');
  }
  if (n > 255) Fail(u"not a disk number: " + text);
  return n;
}

// --lang: the reports' own language, or English.
report::Language LanguageNamed(const std::u16string& name) {
  if (name == u"zh") return report::Language::Chinese;
  if (name == u"en") return report::Language::English;
  Fail(u"--lang takes en or zh, not: " + name);
}

// A text for the record: a name, an asset number, a ticket.
std::u16string AuditField(const std::u16string& name, const std::u16string& text) {
  if (text.empty()) Fail(name + u" needs a value");
  if (!format::AuditFieldAcceptable(text))
    Fail(name + u" takes at most " + DecimalText(static_cast<std::uint64_t>(format::kAuditFieldMaxLength)) +
         u" characters and no control characters");
  return text;
}

} // namespace

std::u16string UsageText() {
  return u"usage: trevasso-cli list [--json]\n"
         u"       trevasso-cli details N [--json]\n"
         u"       trevasso-cli smart N [--json]\n"
         u"       trevasso-cli erase N --quick|--full|--purge[=METHOD] [--verify]\n"
         u"                          --confirm-serial SERIAL\n"
         u"                          [--records DIR] [--json]\n"
         u"                          [--operator NAME] [--asset ID] [--ticket REF]\n"
         u"         METHOD: crypto|block|overwrite|secure-erase|enhanced-secure-erase\n"
         u"       trevasso-cli unlock N [--records DIR] [--json]\n"
         u"       trevasso-cli --version | --help\n"
         u"--lang en|zh after a command: the language of its reports and log lines (zh by default).\n"
         u"N is the number of \\\\.\\PhysicalDriveN, as list shows it. See docs/cli.md.\n";
}

std::u16string HelpText() {
  // A fleet machine has the program and nothing else: what a script needs to know is here.
  return UsageText() +
         u"\n"
         u"erase refuses unless --confirm-serial equals the disk's serial as list shows it;\n"
         u"a disk without a serial is confirmed with NONE- and its capacity in bytes\n"
         u"(list --json gives the text as confirm_serial). Each switch may be given once.\n"
         u"--operator, --asset and --ticket go into the record (at most 128 characters\n"
         u"each, no control characters).\n"
         u"\n"
         u"Records: every erase that starts writing leaves a text and a JSON record in\n"
         u"--records DIR, by default %LOCALAPPDATA%\\Trevasso\\records, or\n"
         u"%ProgramData%\\Trevasso\\records when running as SYSTEM. The folder is created\n"
         u"and tried before the disk is touched; when it cannot be written, or lies on\n"
         u"the disk being erased, the erase is refused (10).\n"
         u"\n"
         u"--purge erases a disk with its own firmware, where Windows lets it: an NVMe\n"
         u"disk with a Sanitize (or a crypto format before Windows 10 21H1) from Windows 10\n"
         u"1607 on; an ATA or SATA disk with a Sanitize (crypto scramble, block erase,\n"
         u"overwrite) or a security erase (enhanced or normal) on Windows XP SP2 to Vista\n"
         u"and in Windows PE; from Windows 7 on outside PE only a Sanitize is tried. The\n"
         u"best method the disk offers, or the one --purge=METHOD names. details N says\n"
         u"which would run here, or why none (13). Once sent it cannot be stopped: Ctrl+C\n"
         u"says so and the purge goes on; do not power off until it ends. It counts as\n"
         u"purged only when the drive's status and a sample of sectors read before and\n"
         u"after prove it. A security erase sets a temporary password, kept in the records\n"
         u"folder (ata-password-SERIAL.json) until the drive shows it gone; unlock N takes\n"
         u"a password left by a cut-off erase away again (once per power cycle).\n"
         u"\n"
         u"Ctrl+C during an erase stops it after the current block: the run ends as\n"
         u"cancelled (7), or, during the read-back after a complete write, as\n"
         u"erased-verify-cancelled (12); the volumes are released and the record is saved. A second\n"
         u"Ctrl+C, or one while no erase runs, ends the program at once, with no record.\n"
         u"\n"
         u"Exit codes:\n"
         u"   0  done; an erase completed (and its read-back passed) and its record was saved\n"
         u"   1  error: no disk of that number, or it could not be opened (other than in use) or read\n"
         u"   2  usage error\n"
         u"   3  not elevated: run it as administrator\n"
         u"   4  refused, nothing written: wrong serial, no capacity, smaller than 65,535\n"
         u"      sectors, the disk changed since the scan, or a volume of it may not be\n"
         u"      taken away (system, page file, spanned), or a zero fill of a disk whose\n"
         u"      sanitize is in progress or failed; --json gives the reason's code\n"
         u"   5  the erase went to its end, but areas could not be written or the flush failed\n"
         u"   6  the read-back found bytes that are not zero or could not be read (before 5)\n"
         u"   7  cancelled (Ctrl+C) during the writing: partly erased\n"
         u"   8  terminated: the disk went away (in the read-back too: erased-verify-terminated)\n"
         u"   9  the erase completed, but its record could not be saved\n"
         u"  10  refused, nothing written: the records folder cannot be used\n"
         u"  11  in use, nothing written: another program has the disk open, or files open\n"
         u"      on a volume of it (named); try again later\n"
         u"  12  erased (every byte written and flushed), but the read-back was cancelled\n"
         u"  13  refused, nothing sent: the purge method is not available here (the reason\n"
         u"      and its code are printed)\n"
         u"  14  purge unverified: the purge succeeded and the sample held, but the drive's\n"
         u"      sanitize status could not be read\n"
         u"  15  purge failed: refused or failed by the drive, stalled, its checks found data\n"
         u"      left (a drive that says it purged and did not), or interrupted\n"
         u"  16  unlock: the saved password was sent and the disk still has a password (the\n"
         u"      drive refused it, or the driver refused the command)\n"
         u"  17  unlock: not tried, nothing sent: tried already in this power cycle, refused\n"
         u"      before, the drive's attempts are used up, or it is frozen; power it off and\n"
         u"      on first\n";
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
  else if (name == u"unlock") o.command = Command::Unlock;
  else Fail(u"unknown command: " + name);

  const bool takesDisk = o.command == Command::Details || o.command == Command::Smart || o.command == Command::Erase ||
                        o.command == Command::Unlock;
  std::set<std::u16string> seen;
  for (; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const std::u16string known = SwitchOf(a);
    // Given twice, one of the two would be ignored: a script that means the
    // first never learns the second won (a serial, a folder, a purge method).
    if (!known.empty() && !seen.insert(known).second) Fail(known + u" is given more than once");
    auto value = [&]() -> const std::u16string& {
      // A switch where the value belongs means the value was left out.
      if (i + 1 >= args.size() || !SwitchOf(args[i + 1]).empty()) Fail(a + u" needs a value");
      return args[++i];
    };
    const bool eraseOnly = known == u"--quick" || known == u"--full" || known == u"--purge" || known == u"--verify" ||
                           known == u"--confirm-serial" || known == u"--operator" || known == u"--asset" ||
                           known == u"--ticket";
    if (eraseOnly && o.command != Command::Erase) Fail(known + u" belongs to erase");
    // Where the records and the saved passwords of security erases are kept.
    if (known == u"--records" && o.command != Command::Erase && o.command != Command::Unlock && o.command != Command::List &&
        o.command != Command::Details)
      Fail(known + u" belongs to erase, unlock, list and details");
    if (a == u"--json") o.json = true;
    else if (a == u"--quick") o.quick = true;
    else if (a == u"--full") o.full = true;
    else if (known == u"--purge") {
      o.purge = PurgeChoiceOf(a);
      // "--purge crypto" would leave the method to be read as the disk number.
      if (a == u"--purge" && i + 1 < args.size() && IsPurgeWord(args[i + 1]))
        Fail(u"write --purge=" + args[i + 1] + u", not --purge " + args[i + 1]);
    }
    else if (a == u"--verify") o.verify = true;
    else if (a == u"--confirm-serial") o.confirmSerial = value();
    else if (a == u"--lang") o.language = LanguageNamed(value());
    else if (a == u"--operator") o.operatorName = AuditField(a, value());
    else if (a == u"--asset") o.asset = AuditField(a, value());
    else if (a == u"--ticket") o.ticket = AuditField(a, value());
    else if (a == u"--records") {
      o.recordsFolder = value();
      if (o.recordsFolder.empty()) Fail(u"--records needs a folder");
    } else if (takesDisk && !o.disk && !a.empty() && a[0] != u'-') o.disk = DiskNumber(a);
    else Fail(u"unexpected argument: " + a);
  }
  if (takesDisk && !o.disk) Fail(u"which disk? give its number");
  if (o.command == Command::Erase) {
    if (int{o.quick} + int{o.full} + int{o.purge.has_value()} != 1)
      Fail(u"erase needs exactly one of --quick, --full and --purge");
    if (!o.confirmSerial) Fail(u"erase needs --confirm-serial with the disk's serial number (see list)");
  }
  return o;
}

} // namespace trv::cli
