#include "app/headless_run.h"

#include "format/erase_record.h"
#include "platform/text.h"
#include "ui/headless/window_printer.h"

namespace trv::app {

namespace {

// "== Record PATH" and the file's lines, for every file the program wrote
// below the default records folder.
std::string RecordFiles(sim::SimPlatform& platform) {
  std::string out;
  const std::u16string folder = format::DefaultRecordsFolder(platform);
  if (folder.empty()) return out;
  for (const std::u16string& path : platform.FilesWritten(folder)) {
    out += "== Record " + Utf16ToUtf8(path) + "\n";
    const std::string content = platform.FileContent(path).value_or("");
    for (std::size_t at = 0; at < content.size();) {
      std::size_t end = content.find('\n', at);
      if (end == std::string::npos) end = content.size();
      std::string_view line(content.data() + at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out += "  | ";
      out += line;
      out += "\n";
      at = end + 1;
    }
  }
  return out;
}

} // namespace

HeadlessRun RunHeadless(sim::Scenario scenario, const std::string& script, std::vector<std::u16string> arguments,
                        std::filesystem::path stateFolder) {
  return RunHeadlessOn(std::make_unique<sim::SimPlatform>(std::move(scenario), std::move(stateFolder)), script,
                       std::move(arguments));
}

HeadlessRun RunHeadlessOn(std::unique_ptr<sim::SimPlatform> platform, const std::string& script,
                          std::vector<std::u16string> arguments) {
  HeadlessRun run;
  run.platform = std::move(platform);
  run.ui = std::make_unique<ui::HeadlessUi>(ui::ScriptedUser(script));
  run.app = std::make_unique<App>(*run.platform, *run.ui, std::move(arguments));
  // A hanging write keeps the window answering: each step of the hang is an idle turn of the scripted user.
  run.platform->SetHangWait([ui = run.ui.get()](bool endless) { ui->WhileRequestHangs(endless); });
  try {
    run.exitCode = RunProgram(*run.app);
    if (!run.ui->Terminated()) run.exitReason = "main window closed";
    else if (run.app->AgreementDeclined) run.exitReason = "agreement declined";
    else run.exitReason = "application terminated";
  } catch (const ui::ProcessExit& e) {
    run.exitCode = static_cast<int>(e.code);
    run.exitReason = "process ended (code " + std::to_string(e.code) + ")";
  }
  return run;
}

std::string HeadlessRun::Report() const {
  std::string out = "== Exit: " + exitReason + "\n";
  for (const auto& p : ui->problems()) out += "== Script problem: " + p + "\n";
  for (const auto& r : ui->readings()) out += "== Read " + r + "\n";
  out += ui::PrintBoxes(ui->boxes());
  for (const ui::Form* f : {static_cast<const ui::Form*>(&app->FmAgreement), static_cast<const ui::Form*>(&app->FmDebug),
                            static_cast<const ui::Form*>(&app->FmChoose), static_cast<const ui::Form*>(&app->FmMain)})
    out += ui::PrintWindow(*f);
  out += platform->DiskChanges();
  out += RecordFiles(*platform);
  return out;
}

std::string HeadlessRun::JournalText() const {
  std::string out = "== Journal\n";
  for (const auto& e : platform->journal().entries()) out += e.call + " " + e.detail + "\n";
  return out;
}

} // namespace trv::app
