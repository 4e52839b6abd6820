#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/records.h"
#include "platform/sim/civil_time.h"
#include "platform/sim/code_pages.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/system_messages.h"
#include "platform/text.h"
#include "platform/volume_records.h"

namespace trv::sim {

namespace {

constexpr std::u16string_view kDrivePrefix = u"\\\\.\\PhysicalDrive";
constexpr std::uint32_t kReinitializeMedia = 0x002D9640;  // IOCTL_STORAGE_REINITIALIZE_MEDIA
constexpr std::uint32_t kAtaPassThrough = 0x0004D02C;     // IOCTL_ATA_PASS_THROUGH

// "\\.\PhysicalDriveN" with N in plain decimal (no sign, no leading zeros), 0..255.
std::optional<std::uint32_t> DriveNumberOf(std::u16string_view path) {
  if (path.size() <= kDrivePrefix.size() || !EqualsIgnoreAsciiCase(path.substr(0, kDrivePrefix.size()), kDrivePrefix))
    return std::nullopt;
  const std::u16string_view digits = path.substr(kDrivePrefix.size());
  if (digits.size() > 3 || (digits.size() > 1 && digits[0] == u'0')) return std::nullopt;
  std::uint32_t n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + (c - u'0');
  }
  if (n > 255) return std::nullopt;
  return n;
}


// "x:" of a drive root key, "\\server\share" of a share's; nothing for other keys.
bool IsRootKey(std::u16string_view key) {
  if (key.size() == 2 && key[1] == u':') return true;
  if (key.size() < 5 || key.substr(0, 2) != u"\\\\") return false;
  const auto server = key.find(u'\\', 2);
  return server != std::u16string_view::npos && server > 2 && server + 1 < key.size() &&
         key.find(u'\\', server + 1) == std::u16string_view::npos;
}

// Folders and files of a path, "." and ".." resolved, as GetFullPathNameW joins them.
std::u16string Resolved(std::u16string_view root, std::u16string_view rest) {
  std::vector<std::u16string> names;
  for (std::size_t at = 0; at <= rest.size();) {
    std::size_t end = rest.find(u'\\', at);
    if (end == std::u16string_view::npos) end = rest.size();
    const std::u16string_view name = rest.substr(at, end - at);
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != u".") {
      names.emplace_back(name);
    }
    at = end + 1;
  }
  std::u16string out(root);
  for (std::size_t i = 0; i < names.size(); ++i) out += (i ? u"\\" : u"") + names[i];
  // A trailing backslash stays, as Windows keeps it.
  if (!rest.empty() && rest.back() == u'\\' && !names.empty()) out += u'\\';
  return out;
}

} // namespace

SimPlatform::SimPlatform(Scenario scenario, std::filesystem::path stateFolder)
    : sc_(std::move(scenario)), stateFolder_(std::move(stateFolder)), clock_(sc_), volumes_(sc_.volumes.size()) {
  for (const auto& [path, content] : sc_.files) files_[LinkedKey(path)] = FileData{content, path};
  if (sc_.programFile && !files_.count(LinkedKey(sc_.programPath)))
    files_[LinkedKey(sc_.programPath)] = FileData{*sc_.programFile, sc_.programPath};
  if (sc_.agreementAccepted) {
    const std::u16string marker = sc_.localAppData + u"\\Trevasso\\agreement.txt";
    files_[LinkedKey(marker)] = FileData{"accepted 1\r\n", marker};
  }
  for (SimDrive& d : sc_.drives) AtaPowerOn(d, true);
  SettleSanitize();  // each NVMe drive's sanitize state and log as the scenario starts them
}

SimPlatform::~SimPlatform() {
  for (auto& [memory, size] : allocations_) ::operator delete(memory, kPageAlignment);  // the program's leak, not the host's
}

void SimPlatform::Log(std::string call, std::string detail, std::uint32_t code, std::int64_t handle, const void* input,
                      std::uint32_t inputSize) {
  JournalEntry e{std::move(call), std::move(detail), {}, code, handle};
  if (input && inputSize) {
    const auto* p = static_cast<const std::uint8_t*>(input);
    e.input.assign(p, p + inputSize);
  }
  journal_.Add(std::move(e));
}

bool SimPlatform::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

const SimDrive* SimPlatform::DriveAt(std::uint32_t number) const {
  for (const auto& d : sc_.drives)
    if (d.number == number) return &d;
  return nullptr;
}

void SimPlatform::SwapDriveIfDue(std::uint32_t number) {
  for (SimDrive& d : sc_.drives) {
    if (d.number != number || !d.swapTo || d.runtime.opens < d.swapAfterOpens) continue;
    d = SimDrive(*d.swapTo);  // a fresh disk: its own media, nothing written yet
    AtaPowerOn(d, true);
    Log("DriveSwapped", "PhysicalDrive" + std::to_string(number) + " is now another disk");
    return;
  }
}

SimPlatform::Open* SimPlatform::Find(win::Handle h) {
  auto it = handles_.find(h);
  return it == handles_.end() ? nullptr : &it->second;
}

std::u16string SimPlatform::FileKey(std::u16string_view path) { return AsciiLower(path); }

std::filesystem::path SimPlatform::HostPath(const std::u16string& key) const {
  // One flat folder; the Windows path becomes a safe file name.
  std::string name;
  for (char c : U8(key)) name.push_back((std::isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '_');
  return stateFolder_ / name;
}

void SimPlatform::PersistFile(const std::u16string& key) {
  if (stateFolder_.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(stateFolder_, ec);
  std::ofstream out(HostPath(key), std::ios::binary | std::ios::trunc);
  out << files_[key].content;
}

std::optional<std::string> SimPlatform::FileContent(const std::u16string& path) const {
  auto it = files_.find(LinkedKey(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.content;
}

std::vector<std::u16string> SimPlatform::FilesWritten(std::u16string_view folder) const {
  const std::u16string under = FolderKey(LinkedKey(folder));
  std::vector<std::u16string> out;
  for (const auto& [key, file] : files_)
    if (file.written && Below(key, under)) out.push_back(file.path);
  return out;
}

std::uint32_t SimPlatform::ReadOnlyError(const std::u16string& key) const {
  const std::u16string target = FolderKey(key);
  std::uint32_t error = 0;
  for (const std::u16string& folder : sc_.readOnlyFolders) {
    const std::u16string readOnly = FolderKey(folder);
    // The folder itself exists; an existing name is reported before any access check.
    if (target == readOnly) return win::ERROR_ALREADY_EXISTS;
    if (Below(target, readOnly)) error = win::ERROR_ACCESS_DENIED;
  }
  return error;
}

// --- files and devices -----------------------------------------------------------------

win::Handle SimPlatform::CreateFileW(std::u16string_view path, std::uint32_t access, std::uint32_t share,
                                     std::uint32_t disposition, std::uint32_t flags) {
  std::string detail = U8(path) + " access=" + Hex32(access) + " share=" + std::to_string(share) +
                       " disposition=" + std::to_string(disposition) + " flags=" + Hex32(flags);
  auto result = [&](win::Handle h, std::uint32_t error) {
    lastError_ = error;
    Log("CreateFileW", detail + (h == win::kInvalidHandle ? " -> INVALID error=" + std::to_string(error)
                                                          : " -> " + Hex32(static_cast<std::uint64_t>(h))),
        0, h);
    return h;
  };
  if (const auto number = DriveNumberOf(path)) {
    SwapDriveIfDue(*number);
    SettleSanitize();  // a drive that lost power mid-sanitize is gone
    const SimDrive* d = DriveAt(*number);
    if (!d || d->open == OpenMode::Absent || d->runtime.media.unplugged || disposition != win::OPEN_EXISTING)
      return result(win::kInvalidHandle, win::ERROR_FILE_NOT_FOUND);
    if (d->open == OpenMode::Denied) return result(win::kInvalidHandle, win::ERROR_ACCESS_DENIED);
    // Sharing: another program holds the disk open for reading and writing, so
    // only an open that shares both succeeds; our own handles count the same way.
    const bool wantsWrite = (access & win::GENERIC_WRITE) != 0;
    const bool sharesAll = (share & 3) == 3;
    if (d->open == OpenMode::InUse && !sharesAll) return result(win::kInvalidHandle, win::ERROR_SHARING_VIOLATION);
    for (const auto& [h, o] : handles_) {
      if (o.kind != Kind::Drive || o.drive != *number) continue;
      const bool otherWrites = (o.access & win::GENERIC_WRITE) != 0;
      const bool conflict = !(share & win::FILE_SHARE_READ) || (wantsWrite && !(o.share & win::FILE_SHARE_WRITE)) ||
                            (otherWrites && !(share & win::FILE_SHARE_WRITE)) || (o.share & 3) != 3;
      if (conflict) return result(win::kInvalidHandle, win::ERROR_SHARING_VIOLATION);
    }
    const win::Handle h = nextHandle_;
    nextHandle_ += 4;
    handles_[h] = Open{Kind::Drive, *number, std::u16string(path), access, share, 0};
    ++d->runtime.opens;
    return result(h, 0);
  }
  if (path.substr(0, 4) == u"\\\\.\\" || path.substr(0, 4) == u"\\\\?\\") {
    for (std::size_t i = 0; i < sc_.volumes.size(); ++i)
      if (sc_.volumes[i].OpenedBy(path)) return OpenVolume(i, path, access, share, detail);
    return result(win::kInvalidHandle, win::ERROR_FILE_NOT_FOUND);
  }

  // An ordinary file, or a folder, where SUBST drives and junctions lead.
  const std::u16string key = LinkedKey(path);
  if ((flags & win::FILE_FLAG_BACKUP_SEMANTICS) && disposition == win::OPEN_EXISTING && !files_.count(key) &&
      FolderExists(key)) {
    const win::Handle h = nextHandle_;
    nextHandle_ += 4;
    handles_[h] = Open{Kind::Folder, 0, Linked(path), access, share, 0};
    return result(h, 0);
  }
  auto it = files_.find(key);
  if (it == files_.end() && !stateFolder_.empty()) {
    std::ifstream in(HostPath(key), std::ios::binary);
    if (in) {
      std::ostringstream s;
      s << in.rdbuf();
      it = files_.emplace(key, FileData{s.str(), std::u16string(path)}).first;
    }
  }
  if (disposition == win::OPEN_EXISTING) {
    if (it == files_.end()) return result(win::kInvalidHandle, win::ERROR_FILE_NOT_FOUND);
  } else if (disposition == win::CREATE_ALWAYS || disposition == win::CREATE_NEW) {
    if (disposition == win::CREATE_NEW && it != files_.end()) return result(win::kInvalidHandle, win::ERROR_FILE_EXISTS);
    if (ReadOnlyError(key) != 0) return result(win::kInvalidHandle, win::ERROR_ACCESS_DENIED);
    // Below the user's local application data every folder counts as there (the
    // program's own folders in it are made on the way), elsewhere only those that exist.
    const bool folderExists = key.rfind(LinkedKey(sc_.localAppData), 0) == 0 || FolderExists(ParentKey(key));
    if (!folderExists) return result(win::kInvalidHandle, win::ERROR_PATH_NOT_FOUND);
    files_[key] = FileData{{}, std::u16string(path), true};
    PersistFile(key);
  } else {
    return result(win::kInvalidHandle, win::ERROR_INVALID_PARAMETER);
  }
  const win::Handle h = nextHandle_;
  nextHandle_ += 4;
  handles_[h] = Open{Kind::File, 0, key, access, share, 0};
  return result(h, 0);
}

win::Handle SimPlatform::OpenVolume(std::size_t index, std::u16string_view path, std::uint32_t access,
                                    std::uint32_t share, std::string detail) {
  std::uint32_t error = sc_.volumes[index].Failure(VolumeRequest::Open).value_or(0);
  // A locked volume admits no other handle.
  if (!error && volumes_[index].lockedBy != 0) error = win::ERROR_ACCESS_DENIED;
  if (error) {
    lastError_ = error;
    Log("CreateFileW", detail + " -> INVALID error=" + std::to_string(error));
    return win::kInvalidHandle;
  }
  const win::Handle h = nextHandle_;
  nextHandle_ += 4;
  handles_[h] = Open{Kind::Volume, static_cast<std::uint32_t>(index), std::u16string(path), access, share, 0};
  lastError_ = 0;
  Log("CreateFileW", detail + " -> " + Hex32(static_cast<std::uint64_t>(h)), 0, h);
  return h;
}

bool SimPlatform::CloseHandle(win::Handle handle) {
  if (Open* o = Find(handle); o && o->kind == Kind::VolumeSearch) {  // FindVolumeClose's, not CloseHandle's
    Log("CloseHandle", Hex32(static_cast<std::uint64_t>(handle)) + " -> a volume search", 0, handle);
    return Fail(win::ERROR_INVALID_HANDLE);
  }
  if (Open* o = Find(handle); o && o->kind == Kind::Volume && volumes_[o->drive].lockedBy == handle)
    volumes_[o->drive].lockedBy = 0;  // closing the handle ends its lock
  const bool known = handles_.erase(handle) != 0;
  Log("CloseHandle", Hex32(static_cast<std::uint64_t>(handle)) + (known ? "" : " -> invalid"), 0, handle);
  return known ? true : Fail(win::ERROR_INVALID_HANDLE);
}

bool SimPlatform::DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                  void* out, std::uint32_t outSize, std::uint32_t* returned) {
  if (returned) *returned = 0;
  std::string detail = "code=" + Hex32(code) + " in=" + std::to_string(inSize) + " out=" + std::to_string(outSize);
  // The request as sent: the answer may overwrite it when in and out are one buffer.
  const auto* inBytes = static_cast<const std::uint8_t*>(in);
  if (const std::string ata = AtaCommandText(code, inBytes, in ? inSize : 0); !ata.empty()) detail += " " + ata;
  const std::vector<std::uint8_t> request = in ? std::vector<std::uint8_t>(inBytes, inBytes + inSize)
                                               : std::vector<std::uint8_t>{};
  Open* o = Find(handle);
  if (o && o->kind == Kind::Volume) return VolumeIoctl(handle, *o, code, out, out ? outSize : 0, returned, detail);
  IoctlResult r{false, win::ERROR_INVALID_HANDLE, 0};
  if (code == kReinitializeMedia) detail += " " + ReinitializeMediaText(inBytes, in ? inSize : 0);
  if (o && o->kind == Kind::Drive) {
    SettleSanitize();
    const SimDrive* d = DriveAt(o->drive);
    if (d && d->runtime.media.unplugged)
      r = {false, d->runtime.media.unplugError, 0};
    else if (d && code == kReinitializeMedia)
      r = ReinitializeMedia(*d, o->access, request.data(), static_cast<std::uint32_t>(request.size()));
    else if (auto ata = d && code == kAtaPassThrough ? AtaPassThrough(*d, o->access, request, static_cast<std::uint8_t*>(out),
                                                                     out ? outSize : 0)
                                                      : std::nullopt)
      r = *ata;
    else if (d)
      r = DriveIoctl(*d, o->access, code, static_cast<const std::uint8_t*>(in), in ? inSize : 0,
                     static_cast<std::uint8_t*>(out), out ? outSize : 0);
  } else if (o) {
    r = {false, win::ERROR_INVALID_FUNCTION, 0};
  }
  if (r.busyMilliseconds) clock_.Sleep(r.busyMilliseconds);  // a device that keeps the caller waiting
  if (r.returned > outSize) r.returned = outSize;
  if (returned) *returned = r.returned;
  lastError_ = r.ok ? 0 : r.error;
  Log("DeviceIoControl", detail + (r.ok ? " -> ok returned=" + std::to_string(r.returned)
                                         : " -> failed error=" + std::to_string(r.error)),
      code, handle, request.data(), static_cast<std::uint32_t>(request.size()));
  return r.ok;
}

bool SimPlatform::SetFilePointerEx(win::Handle handle, std::int64_t distance, std::int64_t* newPosition,
                                   std::uint32_t moveMethod) {
  std::string detail = std::to_string(distance) + " method=" + std::to_string(moveMethod);
  Open* o = Find(handle);
  std::uint32_t error = 0;
  if (!o) error = win::ERROR_INVALID_HANDLE;
  else if (moveMethod != win::FILE_BEGIN || distance < 0) error = win::ERROR_INVALID_PARAMETER;
  else if (o->kind == Kind::Drive) {
    SettleSanitize();
    const SimDrive* d = DriveAt(o->drive);
    if (d->runtime.media.unplugged) error = d->runtime.media.unplugError;
    for (const MediaFault& f : d->media.seekFails)
      if (!error && f.offset == distance) error = f.error;
  }
  if (error) {
    Log("SetFilePointerEx", detail + " -> failed error=" + std::to_string(error), 0, handle);
    return Fail(error);
  }
  Log("SetFilePointerEx", detail, 0, handle);
  o->position = distance;
  if (newPosition) *newPosition = distance;
  lastError_ = 0;
  return true;
}

bool SimPlatform::DriveTransfer(win::Handle handle, bool write, void* data, std::uint32_t size, std::uint32_t* done) {
  SettleSanitize();
  Open& o = *Find(handle);
  const SimDrive& d = *DriveAt(o.drive);
  std::string detail = "offset=" + std::to_string(o.position) + " " + std::to_string(size) + " bytes";
  const char* call = write ? "WriteFile" : "ReadFile";
  MediaResult r;
  if (!(o.access & (write ? win::GENERIC_WRITE : win::GENERIC_READ))) r.error = win::ERROR_ACCESS_DENIED;
  else if (d.bytesPerSector && (o.position % d.bytesPerSector || size % d.bytesPerSector)) r.error = win::ERROR_INVALID_PARAMETER;
  else if (d.runtime.sanitizeBusy) r.error = *d.runtime.sanitizeBusy;  // Sanitize In Progress
  else if (const auto ata = AtaMediaError(d)) r.error = *ata;  // locked, or sanitizing
  else if (write) r = MediaWrite(d.media, d.runtime.media, d.lengthBytes, o.position, static_cast<const std::uint8_t*>(data), size);
  else r = MediaRead(d.media, d.runtime.media, d.lengthBytes, o.position, static_cast<std::uint8_t*>(data), size);
  if (r.hangs) {
    r.error = Hang(r);
    r.ok = r.error == 0;  // a slow write that was cancelled fails too
  } else {
    clock_.Busy(r.busyUs);
  }
  Log(call, detail + (r.ok ? " -> ok" : " -> failed error=" + std::to_string(r.error)), 0, handle);
  if (!r.ok) return Fail(r.error);
  o.position += size;
  if (done) *done = size;
  lastError_ = 0;
  return true;
}

std::uint32_t SimPlatform::Hang(const MediaResult& r) {
  hanging_ = true;
  hangCancelled_ = false;
  std::int64_t left = r.busyUs;
  while ((!hangCancelled_ || r.ignoresCancel) && (r.endless || left > 0)) {
    if (!hangWait_) {
      if (!r.endless) clock_.Busy(left);
      break;
    }
    const std::int64_t step = r.endless ? kHangStepUs : std::min(kHangStepUs, left);
    clock_.Busy(step);
    left -= step;
    hangWait_(r.endless);  // the window answers meanwhile; Stop may cancel the write
  }
  hanging_ = false;
  return hangCancelled_ && !r.ignoresCancel ? win::ERROR_OPERATION_ABORTED : r.error;
}

bool SimPlatform::CancelSynchronousIo(win::Handle thread) {
  (void)thread;  // one request can wait at a time: the worker's
  if (sc_.osMajor < 6) {
    // Windows XP's kernel32 has no such entry.
    Log("CancelSynchronousIo", "-> failed error=" + std::to_string(win::ERROR_PROC_NOT_FOUND));
    return Fail(win::ERROR_PROC_NOT_FOUND);
  }
  if (!hanging_ || hangCancelled_) {
    Log("CancelSynchronousIo", "-> failed error=" + std::to_string(win::ERROR_NOT_FOUND));
    return Fail(win::ERROR_NOT_FOUND);
  }
  hangCancelled_ = true;
  Log("CancelSynchronousIo", "-> ok");
  lastError_ = 0;
  return true;
}

bool SimPlatform::WriteFile(win::Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
  if (written) *written = 0;
  Open* o = Find(handle);
  if (o && o->kind == Kind::Drive) return DriveTransfer(handle, true, const_cast<void*>(data), size, written);
  Log("WriteFile", std::to_string(size) + " bytes", 0, handle);
  if (!o) return Fail(win::ERROR_INVALID_HANDLE);
  if (!(o->access & win::GENERIC_WRITE)) return Fail(win::ERROR_ACCESS_DENIED);
  if (o->kind != Kind::File) return Fail(win::ERROR_INVALID_FUNCTION);
  std::string& content = files_[o->path].content;
  const auto pos = static_cast<std::size_t>(o->position);
  if (content.size() < pos + size) content.resize(pos + size);
  std::memcpy(content.data() + pos, data, size);
  files_[o->path].written = true;
  o->position += size;
  PersistFile(o->path);
  if (written) *written = size;
  lastError_ = 0;
  return true;
}

bool SimPlatform::ReadFile(win::Handle handle, void* data, std::uint32_t size, std::uint32_t* read) {
  if (read) *read = 0;
  Open* o = Find(handle);
  if (o && o->kind == Kind::Drive) return DriveTransfer(handle, false, data, size, read);
  Log("ReadFile", std::to_string(size) + " bytes", 0, handle);
  if (!o) return Fail(win::ERROR_INVALID_HANDLE);
  if (!(o->access & win::GENERIC_READ)) return Fail(win::ERROR_ACCESS_DENIED);
  if (o->kind != Kind::File) return Fail(win::ERROR_INVALID_FUNCTION);
  const std::string& content = files_[o->path].content;
  const auto pos = static_cast<std::size_t>(o->position);
  const std::size_t n = pos >= content.size() ? 0 : std::min<std::size_t>(size, content.size() - pos);
  if (n) std::memcpy(data, content.data() + pos, n);
  o->position += static_cast<std::int64_t>(n);
  if (read) *read = static_cast<std::uint32_t>(n);
  lastError_ = 0;
  return true;
}

bool SimPlatform::FlushFileBuffers(win::Handle handle) {
  Open* o = Find(handle);
  std::uint32_t error = 0;
  if (!o) error = win::ERROR_INVALID_HANDLE;
  else if (o->kind == Kind::Volume) error = win::ERROR_INVALID_FUNCTION;
  else if (o->kind == Kind::Drive) {
    SettleSanitize();
    const SimDrive& d = *DriveAt(o->drive);
    if (d.runtime.media.unplugged) error = d.runtime.media.unplugError;
    else if (!(o->access & win::GENERIC_WRITE)) error = win::ERROR_ACCESS_DENIED;
    else if (d.media.flushError) error = *d.media.flushError;
  }
  Log("FlushFileBuffers", Hex32(static_cast<std::uint64_t>(handle)) +
                              (error ? " -> failed error=" + std::to_string(error) : " -> ok"), 0, handle);
  if (error) return Fail(error);
  lastError_ = 0;
  return true;
}

bool SimPlatform::DriveExists(char16_t letter) const {
  const char16_t lower = letter >= u'A' && letter <= u'Z' ? static_cast<char16_t>(letter + 32) : letter;
  const auto on = [&](std::u16string_view path) {
    return path.size() >= 2 && path[1] == u':' && AsciiLower(path.substr(0, 1))[0] == lower;
  };
  for (const SimVolume& v : sc_.volumes)
    if (on(v.root)) return true;
  for (const auto& [drive, target] : sc_.substDrives)
    if (AsciiLower(std::u16string(1, drive))[0] == lower) return true;
  return on(sc_.localAppData) || on(sc_.commonAppData) || on(sc_.currentDirectory) || on(sc_.programPath);
}

bool SimPlatform::FolderExists(const std::u16string& folderKey) const {
  const std::u16string key = FolderKey(folderKey);
  if (key.size() == 2 && key[1] == u':') return DriveExists(key[0]);
  if (IsRootKey(key)) return true;  // a share answers for itself
  if (files_.count(key + u"\\")) return true;
  // The machine's own folders, the folders of its files and every folder above them.
  // A folder named through a SUBST drive or a junction is there where they lead.
  const auto holds = [&](std::u16string_view path) {
    for (const std::u16string& k : {FolderKey(path), FolderKey(LinkedKey(path))})
      if (k == key || Below(k, key)) return true;
    return false;
  };
  for (const auto& path : {sc_.localAppData, sc_.commonAppData, sc_.currentDirectory, ParentKey(FileKey(sc_.programPath))})
    if (!path.empty() && holds(path)) return true;
  for (const std::u16string& folder : sc_.readOnlyFolders)
    if (holds(folder)) return true;
  // Folders of known owners, junctions and where they lead, mount folders.
  for (const auto& [folder, owner] : sc_.folderOwners)
    if (holds(folder)) return true;
  for (const auto& [folder, target] : sc_.junctions)
    if (holds(folder) || holds(target)) return true;
  for (const SimVolume& v : sc_.volumes)
    for (const std::u16string& folder : v.mountFolders)
      if (holds(folder)) return true;
  for (const auto& [k, f] : files_)
    if (Below(k, key)) return true;
  return false;
}

bool SimPlatform::CreateDirectoryW(std::u16string_view path) { return MakeFolder(path, "CreateDirectoryW", {}); }

bool SimPlatform::MakeFolder(std::u16string_view path, const char* call, std::u16string_view sddl) {
  // As Windows answers: an existing folder (or drive root) is refused, and so is
  // one whose parent, or whose drive, does not exist.
  const std::u16string key = FolderKey(LinkedKey(path));
  const std::string asked = U8(path) + (sddl.empty() ? std::string() : " sddl=" + U8(sddl));
  std::uint32_t error = 0;
  if (key.size() == 2 && key[1] == u':') error = DriveExists(key[0]) ? win::ERROR_ACCESS_DENIED : win::ERROR_PATH_NOT_FOUND;
  else if (FolderExists(key)) error = win::ERROR_ALREADY_EXISTS;
  else if (!FolderExists(ParentKey(key))) error = win::ERROR_PATH_NOT_FOUND;
  else error = ReadOnlyError(key);
  if (error) {
    Log(call, asked + " -> failed error=" + std::to_string(error));
    return Fail(error);
  }
  Log(call, asked);
  files_[key + u"\\"] = FileData{};  // folders are keys ending in a backslash
  owners_[key + u"\\"] = sc_.localSystem ? u"S-1-5-18" : sc_.elevated ? u"S-1-5-32-544" : kUserSid;
  if (!sddl.empty()) access_[key + u"\\"] = std::u16string(sddl);
  lastError_ = 0;
  return true;
}

bool SimPlatform::DeleteFileW(std::u16string_view path) {
  const std::u16string key = LinkedKey(path);
  std::uint32_t error = 0;
  const auto it = files_.find(key);
  if (it == files_.end() || key.empty() || key.back() == u'\\') error = win::ERROR_FILE_NOT_FOUND;
  else if (ReadOnlyError(key) != 0) error = win::ERROR_ACCESS_DENIED;
  for (const auto& [h, o] : handles_)
    if (!error && o.kind == Kind::File && o.path == key) error = win::ERROR_SHARING_VIOLATION;
  if (error) {
    Log("DeleteFileW", U8(path) + " -> failed error=" + std::to_string(error));
    return Fail(error);
  }
  Log("DeleteFileW", U8(path));
  files_.erase(it);
  if (!stateFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(HostPath(key), ec);
  }
  lastError_ = 0;
  return true;
}

std::u16string SimPlatform::FullPath(std::u16string_view path) const {
  std::u16string p(path);
  std::replace(p.begin(), p.end(), u'/', u'\\');
  if (p.empty()) return {};
  if (p.starts_with(u"\\\\")) {  // a share, or a device path, kept from its server and share on
    const auto server = p.find(u'\\', 2);
    const auto share = server == std::u16string::npos ? std::u16string::npos : p.find(u'\\', server + 1);
    if (share == std::u16string::npos) return p;
    return Resolved(p.substr(0, share + 1), std::u16string_view(p).substr(share + 1));
  }
  const std::u16string& cwd = sc_.currentDirectory;
  if (p.size() >= 2 && p[1] == u':') {
    // "C:folder" is relative to the drive's current folder: the current one on its drive, else its root.
    const bool sameDrive = AsciiLower(p.substr(0, 1)) == AsciiLower(cwd.substr(0, 1));
    const std::u16string rest = p.substr(2);
    if (!rest.empty() && rest[0] == u'\\') return Resolved(p.substr(0, 2) + u"\\", std::u16string_view(rest).substr(1));
    return Resolved(p.substr(0, 2) + u"\\", (sameDrive ? cwd.substr(3) + u"\\" : std::u16string()) + rest);
  }
  if (p[0] == u'\\') return Resolved(cwd.substr(0, 3), std::u16string_view(p).substr(1));
  return Resolved(cwd.substr(0, 3), cwd.substr(3) + u"\\" + p);
}

std::u16string SimPlatform::PathAnswer(const char* call, std::u16string_view path, std::u16string answer) {
  if (answer.empty()) {
    Log(call, U8(path) + " -> failed error=" + std::to_string(win::ERROR_INVALID_NAME));
    Fail(win::ERROR_INVALID_NAME);
    return {};
  }
  Log(call, U8(path) + " -> " + U8(answer));
  lastError_ = 0;
  return answer;
}

std::u16string SimPlatform::GetFullPathNameW(std::u16string_view path) {
  return PathAnswer("GetFullPathNameW", path, FullPath(path));
}

std::u16string SimPlatform::GetVolumePathNameW(std::u16string_view path) {
  // The volume of a path is the deepest folder a volume is mounted in that holds
  // it, else its drive or share.
  const std::u16string full = FullPath(path);
  std::u16string root;
  const std::u16string upper = AsciiUpper(full) + u"\\";
  for (const SimVolume& v : sc_.volumes)
    for (const std::u16string& folder : v.mountFolders)
      if (folder.size() > root.size() && upper.starts_with(AsciiUpper(folder))) root = folder;
  if (!root.empty()) return PathAnswer("GetVolumePathNameW", path, std::move(root));
  if (full.size() >= 3 && full[1] == u':') root = full.substr(0, 3);
  else if (full.starts_with(u"\\\\") && !full.starts_with(u"\\\\.\\") && !full.starts_with(u"\\\\?\\")) {
    const auto server = full.find(u'\\', 2);
    const auto share = server == std::u16string::npos ? std::u16string::npos : full.find(u'\\', server + 1);
    root = (share == std::u16string::npos ? full : full.substr(0, share)) + u"\\";
  }
  return PathAnswer("GetVolumePathNameW", path, std::move(root));
}

std::uint32_t SimPlatform::GetLastError() { return lastError_; }

std::u16string SimPlatform::SystemMessage(std::uint32_t code) {
  auto it = sc_.errorMessages.find(code);
  return it != sc_.errorMessages.end() ? it->second : StandardSystemMessage(code);
}

std::uint32_t SimPlatform::GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) {
  std::u16string list;
  for (const SimVolume& v : sc_.volumes) list += v.root + u'\0';
  const auto needed = static_cast<std::uint32_t>(list.size());  // without the final NUL
  lastError_ = 0;
  // Like Windows: when the list and its final NUL do not fit, nothing is written
  // and the size needed is returned.
  if (needed + 1 > bufferLength || !buffer) {
    Log("GetLogicalDriveStringsW", std::to_string(bufferLength) + " -> " + std::to_string(needed + 1) + " needed");
    return needed + 1;
  }
  std::copy(list.begin(), list.end(), buffer);
  buffer[needed] = 0;
  Log("GetLogicalDriveStringsW", std::to_string(bufferLength) + " -> " + std::to_string(needed));
  return needed;
}

win::Handle SimPlatform::FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) {
  if (sc_.volumeSearchFails || sc_.volumes.empty()) {
    const std::uint32_t error = sc_.volumeSearchFails.value_or(vol::ERROR_NO_MORE_FILES);
    Log("FindFirstVolumeW", std::to_string(bufferLength) + " -> INVALID error=" + std::to_string(error));
    Fail(error);
    return win::kInvalidHandle;
  }
  const win::Handle h = nextHandle_;
  nextHandle_ += 4;
  Open& search = handles_[h] = Open{Kind::VolumeSearch, 0, {}, 0, 0, 0};
  if (!NextVolume("FindFirstVolumeW", h, search, buffer, bufferLength)) {
    handles_.erase(h);
    return win::kInvalidHandle;
  }
  return h;
}

bool SimPlatform::FindNextVolumeW(win::Handle find, char16_t* buffer, std::uint32_t bufferLength) {
  Open* search = Find(find);
  if (!search || search->kind != Kind::VolumeSearch) {
    Log("FindNextVolumeW", Hex32(static_cast<std::uint64_t>(find)) + " -> invalid", 0, find);
    return Fail(win::ERROR_INVALID_HANDLE);
  }
  return NextVolume("FindNextVolumeW", find, *search, buffer, bufferLength);
}

bool SimPlatform::NextVolume(const char* call, win::Handle find, Open& search, char16_t* buffer,
                             std::uint32_t bufferLength) {
  const std::string detail = Hex32(static_cast<std::uint64_t>(find)) + " " + std::to_string(bufferLength);
  std::uint32_t error = 0;
  if (search.position >= static_cast<std::int64_t>(sc_.volumes.size())) error = vol::ERROR_NO_MORE_FILES;
  const SimVolume* v = error ? nullptr : &sc_.volumes[static_cast<std::size_t>(search.position)];
  const std::u16string name = v ? v->GuidPath() : std::u16string();
  if (!error && (!buffer || bufferLength < name.size() + 1)) error = vol::ERROR_FILENAME_EXCED_RANGE;
  if (error) {
    Log(call, detail + " -> failed error=" + std::to_string(error), 0, find);
    return Fail(error);
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  ++search.position;
  Log(call, detail + " -> " + U8(name), 0, find);
  lastError_ = 0;
  return true;
}

bool SimPlatform::FindVolumeClose(win::Handle find) {
  Open* search = Find(find);
  const bool known = search && search->kind == Kind::VolumeSearch;
  Log("FindVolumeClose", Hex32(static_cast<std::uint64_t>(find)) + (known ? "" : " -> invalid"), 0, find);
  if (!known) return Fail(win::ERROR_INVALID_HANDLE);
  handles_.erase(find);
  lastError_ = 0;
  return true;
}

bool SimPlatform::GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer,
                                                   std::uint32_t bufferLength, std::uint32_t* returnLength) {
  std::string detail = U8(volumeName) + " " + std::to_string(bufferLength);
  if (returnLength) *returnLength = 0;
  const SimVolume* v = nullptr;
  for (const SimVolume& candidate : sc_.volumes)
    if (EqualsIgnoreAsciiCase(volumeName, candidate.GuidPath())) v = &candidate;
  std::uint32_t error = 0;
  // Only the GUID path with its final backslash names a volume here.
  if (!v) error = volumeName.size() > 4 && volumeName.substr(0, 4) == u"\\\\?\\" ? win::ERROR_FILE_NOT_FOUND : 123;
  else if (v->Failure(VolumeRequest::PathNames)) error = *v->Failure(VolumeRequest::PathNames);
  std::u16string list;
  if (v)
    for (const std::u16string& name : v->PathNames()) list += name + u'\0';
  list += u'\0';
  const auto needed = static_cast<std::uint32_t>(list.size());
  if (!error && (!buffer || bufferLength < needed)) {
    if (returnLength) *returnLength = needed;
    error = vol::ERROR_MORE_DATA;
  }
  if (error) {
    Log("GetVolumePathNamesForVolumeNameW", detail + " -> failed error=" + std::to_string(error));
    return Fail(error);
  }
  std::copy(list.begin(), list.end(), buffer);
  if (returnLength) *returnLength = needed;
  std::string shown;
  for (const std::u16string& name : v->PathNames()) shown += " " + U8(name);
  Log("GetVolumePathNamesForVolumeNameW", detail + " ->" + (shown.empty() ? std::string(" none") : shown));
  lastError_ = 0;
  return true;
}

std::uint32_t SimPlatform::GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) {
  const std::u16string& folder = sc_.systemDirectory;
  const auto length = static_cast<std::uint32_t>(folder.size());
  lastError_ = 0;
  if (!buffer || size <= length) {
    Log("GetSystemDirectoryW", std::to_string(size) + " -> " + std::to_string(length + 1) + " needed");
    return length + 1;
  }
  std::copy(folder.begin(), folder.end(), buffer);
  buffer[length] = 0;
  Log("GetSystemDirectoryW", std::to_string(size) + " -> " + U8(folder));
  return length;
}

std::uint32_t SimPlatform::RegOpenLocalMachineKeyW(std::u16string_view subKey) {
  const bool exists = sc_.windowsPe && EqualsIgnoreAsciiCase(subKey, u"SYSTEM\\CurrentControlSet\\Control\\MiniNT");
  const std::uint32_t result = exists ? 0 : win::ERROR_FILE_NOT_FOUND;
  Log("RegOpenLocalMachineKeyW", "HKLM\\" + U8(subKey) + " -> " + std::to_string(result));
  return result;
}

std::uint32_t SimPlatform::RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName,
                                                      std::uint32_t* type, std::uint8_t* data,
                                                      std::uint32_t* dataSize) {
  std::string detail = "HKLM\\" + U8(subKey) + " " + U8(valueName);
  const std::optional<std::vector<std::u16string>>* value = nullptr;
  if (EqualsIgnoreAsciiCase(subKey, vol::kMemoryManagementKey)) {
    if (EqualsIgnoreAsciiCase(valueName, u"PagingFiles")) value = &sc_.pagingFiles;
    // Windows XP knows no ExistingPageFiles.
    if (EqualsIgnoreAsciiCase(valueName, u"ExistingPageFiles") && sc_.osMajor >= 6) value = &sc_.existingPageFiles;
  }
  if (!value || !*value) {
    Log("RegQueryLocalMachineValueW", detail + " -> 2");
    return win::ERROR_FILE_NOT_FOUND;
  }
  std::u16string text;
  for (const std::u16string& entry : **value) text += entry + u'\0';
  text += u'\0';
  const auto needed = static_cast<std::uint32_t>(2 * text.size());
  if (type) *type = vol::REG_MULTI_SZ;
  const std::uint32_t room = dataSize ? *dataSize : 0;
  if (dataSize) *dataSize = needed;
  if (data && room < needed) {
    Log("RegQueryLocalMachineValueW", detail + " -> 234 needed=" + std::to_string(needed));
    return vol::ERROR_MORE_DATA;
  }
  if (data)
    for (std::size_t i = 0; i < text.size(); ++i) rec::Put16(std::span<std::uint8_t>(data, room), 2 * i, text[i]);
  Log("RegQueryLocalMachineValueW", detail + " -> 0 bytes=" + std::to_string(needed));
  return 0;
}

// --- volumes --------------------------------------------------------------------------------

bool SimPlatform::VolumeIoctl(win::Handle handle, Open& o, std::uint32_t code, void* out, std::uint32_t outSize,
                              std::uint32_t* returned, const std::string& detail) {
  constexpr std::uint32_t kGetDeviceNumber = vol::IOCTL_STORAGE_GET_DEVICE_NUMBER, kLock = vol::FSCTL_LOCK_VOLUME,
                          kDismount = vol::FSCTL_DISMOUNT_VOLUME, kExtendedIo = vol::FSCTL_ALLOW_EXTENDED_DASD_IO,
                          kExtents = vol::IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS;
  const SimVolume& v = sc_.volumes[o.drive];
  VolumeState& state = volumes_[o.drive];
  std::uint32_t error = 0, bytes = 0;
  auto failure = [&](VolumeRequest r) { return v.Failure(r).value_or(0); };
  switch (code) {
    case kGetDeviceNumber:
      if ((error = failure(VolumeRequest::Query))) break;
      if (!v.deviceNumber) {  // a dynamic volume has no one device
        error = win::ERROR_INVALID_FUNCTION;
        break;
      }
      if (outSize < vol::kDeviceNumberSize || !out) {
        error = win::ERROR_INSUFFICIENT_BUFFER;
        break;
      }
      {
        std::span<std::uint8_t> answer(static_cast<std::uint8_t*>(out), outSize);
        rec::Put32(answer, 0, v.deviceType);
        rec::Put32(answer, 4, *v.deviceNumber);
        rec::Put32(answer, 8, v.partition);
      }
      bytes = vol::kDeviceNumberSize;
      break;
    case kExtents: {
      if ((error = failure(VolumeRequest::Extents))) break;
      if (outSize < vol::kExtentsRecordSize || !out) {
        error = win::ERROR_INSUFFICIENT_BUFFER;
        break;
      }
      // Too small for every extent: the count and what fits of the first one, and ERROR_MORE_DATA.
      const std::size_t needed = vol::kExtentsFirst + v.extents.size() * vol::kDiskExtentSize;
      std::span<std::uint8_t> answer(static_cast<std::uint8_t*>(out), outSize);
      rec::Put32(answer, vol::kExtentsCount, static_cast<std::uint32_t>(v.extents.size()));
      const std::size_t fits = outSize < needed ? std::min<std::size_t>(1, v.extents.size()) : v.extents.size();
      for (std::size_t i = 0; i < fits; ++i) {
        const std::size_t at = vol::kExtentsFirst + i * vol::kDiskExtentSize;
        rec::Put32(answer, at + vol::kExtentDiskNumber, v.extents[i].disk);
        rec::Put64(answer, at + vol::kExtentStartingOffset, static_cast<std::uint64_t>(v.extents[i].offset));
        rec::Put64(answer, at + vol::kExtentLength, static_cast<std::uint64_t>(v.extents[i].length));
      }
      if (outSize < needed) {
        if (returned) *returned = static_cast<std::uint32_t>(vol::kExtentsRecordSize);
        lastError_ = vol::ERROR_MORE_DATA;
        Log("DeviceIoControl", detail + " " + U8(v.JournalName()) + " -> failed error=234 needed=" + std::to_string(needed),
            code, handle);
        return false;
      }
      bytes = static_cast<std::uint32_t>(std::max<std::size_t>(needed, vol::kExtentsRecordSize));
      break;
    }
    case kLock:
      if ((error = failure(VolumeRequest::Lock))) break;
      if (state.lockedBy != 0 && state.lockedBy != handle) error = win::ERROR_ACCESS_DENIED;
      else state.lockedBy = handle;
      break;
    case kDismount:
      if ((error = failure(VolumeRequest::Dismount))) break;
      state.dismounted = true;
      break;
    case kExtendedIo:
      error = failure(VolumeRequest::ExtendedIo);
      break;
    default:
      error = win::ERROR_INVALID_FUNCTION;
  }
  if (returned) *returned = error ? 0 : bytes;
  lastError_ = error;
  Log("DeviceIoControl", detail + " " + Utf16ToUtf8(v.JournalName()) +
                             (error ? " -> failed error=" + std::to_string(error) : " -> ok returned=" + std::to_string(bytes)),
      code, handle);
  return error == 0;
}

const MediaState* SimPlatform::Media(std::uint32_t driveNumber) const {
  const SimDrive* d = DriveAt(driveNumber);
  return d ? &d->runtime.media : nullptr;
}

std::string SimPlatform::DiskChanges() const {
  std::string out;
  for (const SimDrive& d : sc_.drives) {
    const MediaState& media = d.runtime.media;
    if (media.writes == 0 && media.changed.Empty()) continue;
    out += "== Disk " + std::to_string(d.number) + ": " + std::to_string(media.changed.Bytes()) + " bytes changed; zero:";
    for (const ByteRange& r : media.zero.List()) out += " [" + std::to_string(r.begin) + ", " + std::to_string(r.end) + ")";
    static const char* const kBases[] = {"", "; firmware erase: new random content", "; firmware erase: reads FFh"};
    if (media.erasures > 0) out += kBases[static_cast<int>(media.base.kind)];
    out += "\n";
  }
  return out;
}

bool SimPlatform::VolumeLocked(std::size_t index) const { return volumes_.at(index).lockedBy != 0; }

std::size_t SimPlatform::OpenVolumeHandles() const {
  std::size_t n = 0;
  for (const auto& [h, o] : handles_) n += o.kind == Kind::Volume;
  return n;
}

// --- time ---------------------------------------------------------------------------------

bool SimPlatform::QueryPerformanceFrequency(std::int64_t* frequency) {
  Log("QueryPerformanceFrequency", sc_.frequencyFails ? "-> failed" : std::to_string(sc_.counterFrequency));
  if (sc_.frequencyFails) return Fail(win::ERROR_INVALID_FUNCTION);
  *frequency = sc_.counterFrequency;
  return true;
}

bool SimPlatform::QueryPerformanceCounter(std::int64_t* counter) {
  ++counterReads_;
  // Each read takes a little time, so a polling loop sees the clock move.
  clock_.Advance(SimClock::kReadQuantumUs);
  if (counterReads_ == sc_.counterFailOnRead) {
    Log("QueryPerformanceCounter", "-> failed");
    return Fail(win::ERROR_INVALID_FUNCTION);
  }
  const std::int64_t us = clock_.NowUs() - bootUs_;
  // 1 + elapsed ticks: a real counter is never 0 once the machine runs.
  std::int64_t value = 1 + static_cast<std::int64_t>(static_cast<long double>(us) * sc_.counterFrequency / 1e6L);
  if (counterReads_ == sc_.counterZeroOnRead) value = 0;
  *counter = value;
  return true;  // counter reads are not journaled one by one: polling makes thousands
}

void SimPlatform::Sleep(std::uint32_t milliseconds) {
  Log("Sleep", std::to_string(milliseconds));
  clock_.Sleep(milliseconds);
}

std::uint32_t SimPlatform::timeSetEvent(std::uint32_t delay, std::uint32_t resolution, win::TimerCallback callback,
                                        std::uintptr_t user, std::uint32_t flags) {
  const int attempt = timersCreated_++;
  std::string detail = "delay=" + std::to_string(delay) + " resolution=" + std::to_string(resolution) +
                       " flags=" + std::to_string(flags);
  if (sc_.timerCreateFails || delay == 0 || !callback) {
    Log("timeSetEvent", detail + " -> 0");
    return 0;
  }
  std::int64_t period = (attempt < sc_.timerBadAttempts ? sc_.timerBadPeriodUs : sc_.timerPeriodUs) * delay;
  // The simulated PC does not see the front end's windows: during start-up,
  // where the program shows none (without --debug), it counts none as visible.
  if (sc_.timerThrottledWhileHidden && !timerResolutionHonoured_ && period < sc_.timerThrottledPeriodUs) {
    period = sc_.timerThrottledPeriodUs;
    detail += " throttled";
  }
  const std::uint32_t id = clock_.AddTimer(period, !sc_.timerNeverFires, [callback, user](std::uint32_t timerId) {
    callback(timerId, 0, user, 0, 0);
  });
  Log("timeSetEvent", detail + " -> " + std::to_string(id));
  return id;
}

std::uint32_t SimPlatform::timeKillEvent(std::uint32_t timerId) {
  const bool known = clock_.RemoveTimer(timerId);
  Log("timeKillEvent", std::to_string(timerId) + (known ? "" : " -> unknown"));
  return known ? 0 : 97;  // TIMERR_NOERROR or MMSYSERR_INVALPARAM
}

std::int64_t SimPlatform::WallClockMilliseconds() { return clock_.WallMs(); }

std::u16string SimPlatform::DateTimeText() {
  // Chinese locale: short date yyyy/M/d, long time H:mm:ss.
  const CivilTime t = CivilFromWallMs(clock_.WallMs());
  char buf[64];
  if (t.hour == 0 && t.minute == 0 && t.second == 0 && t.milliseconds == 0) {
    std::snprintf(buf, sizeof buf, "%lld/%d/%d", static_cast<long long>(t.year), t.month, t.day);
  } else {
    std::snprintf(buf, sizeof buf, "%lld/%d/%d %d:%02d:%02d", static_cast<long long>(t.year), t.month, t.day, t.hour,
                  t.minute, t.second);
  }
  return Utf8ToUtf16(buf);
}

void SimPlatform::PutSystemTime(const char* call, std::int64_t wallMs, std::span<std::uint8_t, 16> systemTime) {
  const CivilTime t = CivilFromWallMs(wallMs);
  rec::Put16(systemTime, rec::kSystemTimeYear, static_cast<std::uint16_t>(t.year));
  rec::Put16(systemTime, rec::kSystemTimeMonth, static_cast<std::uint16_t>(t.month));
  rec::Put16(systemTime, rec::kSystemTimeDayOfWeek, static_cast<std::uint16_t>(t.dayOfWeek));
  rec::Put16(systemTime, rec::kSystemTimeDay, static_cast<std::uint16_t>(t.day));
  rec::Put16(systemTime, rec::kSystemTimeHour, static_cast<std::uint16_t>(t.hour));
  rec::Put16(systemTime, rec::kSystemTimeMinute, static_cast<std::uint16_t>(t.minute));
  rec::Put16(systemTime, rec::kSystemTimeSecond, static_cast<std::uint16_t>(t.second));
  rec::Put16(systemTime, rec::kSystemTimeMilliseconds, static_cast<std::uint16_t>(t.milliseconds));
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d.%03d", static_cast<long long>(t.year), t.month,
                t.day, t.hour, t.minute, t.second, t.milliseconds);
  Log(call, text);
}

void SimPlatform::GetLocalTime(std::span<std::uint8_t, 16> systemTime) {
  PutSystemTime("GetLocalTime", clock_.WallMs(), systemTime);
}

void SimPlatform::GetSystemTime(std::span<std::uint8_t, 16> systemTime) {
  PutSystemTime("GetSystemTime", clock_.WallMs() - sc_.utcOffsetMinutes * 60'000, systemTime);
}

char16_t SimPlatform::DecimalSeparator() { return sc_.decimalSeparator; }

// --- system, modules and processes ----------------------------------------------------------

bool SimPlatform::GetVersionExW(std::span<std::uint8_t> info) {
  Log("GetVersionExW", std::to_string(info.size()) + " bytes");
  if (sc_.getVersionFails) return Fail(win::ERROR_INVALID_PARAMETER);
  if (sc_.shimmedAs) return PutVersion(info, sc_.shimmedAs->major, sc_.shimmedAs->minor, sc_.shimmedAs->build);
  return PutVersion(info, sc_.osMajor, sc_.osMinor, sc_.osBuild);
}

bool SimPlatform::RtlGetVersion(std::span<std::uint8_t> info) {
  Log("RtlGetVersion", std::to_string(info.size()) + " bytes");
  return PutVersion(info, sc_.osMajor, sc_.osMinor, sc_.osBuild);
}

bool SimPlatform::PutVersion(std::span<std::uint8_t> info, std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
  if (info.size() < rec::kOsVersionInfoSize || rec::U32(info, 0) != rec::kOsVersionInfoSize)
    return Fail(win::ERROR_INVALID_PARAMETER);
  rec::Put32(info, 4, major);
  rec::Put32(info, 8, minor);
  rec::Put32(info, 12, build);
  rec::Put32(info, 16, sc_.platformId);
  for (std::size_t i = 0; i < 128; ++i) rec::Put16(info, 20 + 2 * i, i < sc_.csd.size() ? sc_.csd[i] : 0);
  return true;
}

std::u16string SimPlatform::GetModuleFileNameW() { return sc_.programPath; }

win::Module SimPlatform::GetModuleHandleW(std::u16string_view name) {
  Log("GetModuleHandleW", U8(name));
  if (EqualsIgnoreAsciiCase(name, u"kernel32") || EqualsIgnoreAsciiCase(name, u"kernel32.dll")) return kKernel32;
  return 0;
}

win::ProcAddress SimPlatform::GetProcAddress(win::Module module, std::string_view name) {
  win::ProcAddress found = 0;
  if (module == kKernel32 && name == "IsWow64Process" && sc_.wow64 != Wow64Mode::Absent) found = kIsWow64ProcessEntry;
  // SetProcessInformation came with Windows 8 (6.2).
  const bool windows8 = sc_.osMajor > 6 || (sc_.osMajor == 6 && sc_.osMinor >= 2);
  if (module == kKernel32 && name == "SetProcessInformation" && windows8) found = kSetProcessInformationEntry;
  if (module == kSetupApi && loaded_.count(kSetupApi)) {
    const bool missing = sc_.setupApi == SetupApiMode::MissingEntryPoint && name == "SetupDiGetDeviceInterfaceDetailW";
    if (!missing) found = kSetupApi + 0x1000 + (std::hash<std::string_view>{}(name) & 0xFFF);
  }
  if (module == kComctl32 && loaded_.count(kComctl32) && name == "TaskDialog" && sc_.taskDialog) found = kTaskDialogEntry;
  Log("GetProcAddress", Hex32(module) + " " + std::string(name) + " -> " + Hex32(found));
  if (!found) lastError_ = win::ERROR_PROC_NOT_FOUND;
  return found;
}

win::Module SimPlatform::LoadLibraryW(std::u16string_view name) {
  win::Module m = 0;
  if (EqualsIgnoreAsciiCase(name, u"SetupApi.dll") && sc_.setupApi != SetupApiMode::Missing) m = kSetupApi;
  if (EqualsIgnoreAsciiCase(name, u"comctl32.dll")) m = kComctl32;
  Log("LoadLibraryW", U8(name) + " -> " + Hex32(m));
  if (m) ++loaded_[m];
  else lastError_ = win::ERROR_MOD_NOT_FOUND;
  return m;
}

bool SimPlatform::FreeLibrary(win::Module module) {
  Log("FreeLibrary", Hex32(module));
  auto it = loaded_.find(module);
  if (it == loaded_.end()) return Fail(win::ERROR_INVALID_HANDLE);
  if (--it->second == 0) loaded_.erase(it);
  return true;
}

win::Handle SimPlatform::GetCurrentProcess() { return win::kCurrentProcess; }

bool SimPlatform::CallIsWow64Process(win::ProcAddress entry, win::Handle process, std::int32_t* wow64) {
  Log("IsWow64Process", Hex32(static_cast<std::uint64_t>(process)));
  if (entry != kIsWow64ProcessEntry || sc_.wow64 == Wow64Mode::Fails) return Fail(win::ERROR_INVALID_HANDLE);
  *wow64 = sc_.wow64 == Wow64Mode::Yes ? 1 : 0;
  return true;
}

std::u16string SimPlatform::LocalAppDataFolder() { return sc_.localAppData; }

std::uint32_t SimPlatform::SetThreadExecutionState(std::uint32_t flags) {
  Log("SetThreadExecutionState", Hex32(flags));
  const std::uint32_t previous = executionState_;
  // Without ES_CONTINUOUS the request is for once only and leaves the state as it was.
  if (flags & win::ES_CONTINUOUS) executionState_ = flags;
  return previous;
}

std::uint32_t SimPlatform::SetErrorMode(std::uint32_t mode) {
  Log("SetErrorMode", Hex32(mode));
  const std::uint32_t previous = errorMode_;
  errorMode_ = mode;
  return previous;
}

std::u16string SimPlatform::CommonAppDataFolder() { return sc_.commonAppData; }

bool SimPlatform::IsLocalSystem() { return sc_.localSystem; }  // a query of the process's own token

bool SimPlatform::IsUserAnAdmin() {
  Log("IsUserAnAdmin", sc_.elevated ? "-> TRUE" : "-> FALSE");
  return sc_.elevated;
}

bool SimPlatform::GenRandom(std::span<std::uint8_t> data) {
  // Repeatable: splitmix64 from a fixed start, so that record ids are the same on every run.
  for (std::uint8_t& byte : data) {
    if (randomLeft_ == 0) {
      randomState_ += 0x9E3779B97F4A7C15ULL;
      std::uint64_t z = randomState_;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
      randomWord_ = z ^ (z >> 31);
      randomLeft_ = 8;
    }
    byte = static_cast<std::uint8_t>(randomWord_);
    randomWord_ >>= 8;
    --randomLeft_;
  }
  Log("GenRandom", std::to_string(data.size()) + " bytes");
  lastError_ = 0;
  return true;
}

std::u16string SimPlatform::GetComputerNameW() {
  if (sc_.computerName.empty()) {
    Log("GetComputerNameW", "-> failed");
    Fail(win::ERROR_INVALID_FUNCTION);
    return {};
  }
  Log("GetComputerNameW", "-> " + U8(sc_.computerName));
  lastError_ = 0;
  return sc_.computerName;
}

bool SimPlatform::CallSetProcessInformation(win::ProcAddress entry, win::Handle process, std::uint32_t infoClass,
                                            std::span<const std::uint8_t> info) {
  std::string detail = "class=" + std::to_string(infoClass) + " size=" + std::to_string(info.size());
  const bool record = infoClass == win::ProcessPowerThrottling && info.size() == win::kPowerThrottlingStateSize &&
                      rec::U32(info, 0) == win::PROCESS_POWER_THROTTLING_CURRENT_VERSION;
  const std::uint32_t control = record ? rec::U32(info, 4) : 0, state = record ? rec::U32(info, 8) : 0;
  if (record) detail += " control=" + Hex32(control) + " state=" + Hex32(state);
  // Power throttling came with Windows 10 1709 (build 16299) with its execution
  // speed control (1); the timer resolution control (4) with Windows 11 (22000).
  std::uint32_t known = 0;
  if (sc_.osMajor >= 10 && sc_.osBuild >= 16299) known |= 1;
  if (sc_.osMajor >= 10 && sc_.osBuild >= 22000) known |= win::PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
  const bool ok = entry == kSetProcessInformationEntry && process == win::kCurrentProcess && record && known != 0 &&
                  (control & ~known) == 0 && (state & ~control) == 0;
  Log("SetProcessInformation", detail + (ok ? " -> ok" : " -> failed"));
  if (!ok) return Fail(win::ERROR_INVALID_PARAMETER);
  if (control & win::PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION)
    timerResolutionHonoured_ = (state & win::PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION) == 0;
  lastError_ = 0;
  return true;
}

std::u16string SimPlatform::MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) {
  const std::uint32_t page = codePage == win::CP_ACP ? sc_.ansiCodePage : codePage;
  std::optional<std::u16string> text = DecodeCodePage(page, bytes);
  if (!text) {
    Fail(win::ERROR_INVALID_PARAMETER);
    return {};
  }
  lastError_ = 0;
  return *text;  // not journaled: a pure conversion, called for every device text
}

// --- user32, gdi32, shell32 ---------------------------------------------------------------

bool SimPlatform::SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) {
  Log("SystemParametersInfoW", "action=" + std::to_string(action) + " param=" + std::to_string(param) +
                                   " winIni=" + std::to_string(winIni));
  if (action != win::SPI_GETICONTITLELOGFONT || param != rec::kLogFontSize || !data || !sc_.iconTitleFontFace)
    return Fail(win::ERROR_INVALID_PARAMETER);
  std::span<std::uint8_t> lf(static_cast<std::uint8_t*>(data), rec::kLogFontSize);
  std::fill(lf.begin(), lf.end(), 0);
  rec::Put32(lf, 0, static_cast<std::uint32_t>(sc_.iconTitleFontHeight));
  rec::Put32(lf, 16, 400);  // FW_NORMAL
  rec::Put8(lf, 23, 1);     // DEFAULT_CHARSET
  const std::u16string& face = *sc_.iconTitleFontFace;
  for (std::size_t i = 0; i < face.size() && i < 31; ++i) rec::Put16(lf, rec::kLogFontFaceOffset + 2 * i, face[i]);
  return true;
}

std::uintptr_t SimPlatform::CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) {
  Log("CreateFontIndirectW", "height=" + std::to_string(static_cast<std::int32_t>(rec::U32(logFont, 0))));
  liveGdi_.insert(nextGdiObject_);
  return nextGdiObject_++;
}

std::uintptr_t SimPlatform::GetStockObject(int object) {
  Log("GetStockObject", std::to_string(object));
  return 0x018A0000u + static_cast<std::uintptr_t>(object);
}

bool SimPlatform::DeleteObject(std::uintptr_t object) {
  Log("DeleteObject", Hex32(object));
  // Stock objects may be "deleted": Windows ignores it and reports success.
  return liveGdi_.erase(object) != 0 || (object >= 0x018A0000u && object < 0x018A0100u);
}

std::uintptr_t SimPlatform::LoadCursorW(int cursorId) {
  Log("LoadCursorW", std::to_string(cursorId));
  return 0x00010000u + static_cast<std::uintptr_t>(cursorId);
}

bool SimPlatform::IsFontInstalled(std::u16string_view face) {
  for (const auto& f : sc_.fonts)
    if (EqualsIgnoreAsciiCase(f, face)) return true;
  return false;
}

std::uintptr_t SimPlatform::ShellExecuteW(win::WindowHandle owner, std::u16string_view verb, std::u16string_view file,
                                          std::u16string_view parameters, std::u16string_view directory,
                                          int showCommand) {
  Log("ShellExecuteW", "owner=" + Hex32(owner) + " " + U8(verb) + " " + U8(file) + " params=" + U8(parameters) +
                           " dir=" + U8(directory) + " show=" + std::to_string(showCommand));
  shellExecuted_.push_back(std::u16string(verb) + u" " + std::u16string(file));
  return 42;  // above 32: success
}

} // namespace trv::sim
