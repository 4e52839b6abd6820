// The simulated Windows PC behind the platform seam.
#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/journal.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_clock.h"

namespace trv::sim {

class SimPlatform : public win::Platform {
 public:
  // `stateFolder`: a host folder where files the program writes (the agreement
  // marker) persist between runs; empty keeps them in memory only.
  explicit SimPlatform(Scenario scenario, std::filesystem::path stateFolder = {});
  ~SimPlatform() override;

  const Scenario& scenario() const { return sc_; }
  Journal& journal() { return journal_; }
  SimClock& clock() { return clock_; }
  // Open handles of any kind, for leak checks.
  std::size_t OpenHandleCount() const { return handles_.size(); }
  std::optional<std::string> FileContent(const std::u16string& path) const;
  // The files the program created or wrote to below `folder`, named as the
  // program named them, in path order.
  std::vector<std::u16string> FilesWritten(std::u16string_view folder) const;
  std::vector<std::u16string> ShellExecuted() const { return shellExecuted_; }
  // What a drive's medium holds now (nullptr: no such drive).
  const MediaState* Media(std::uint32_t driveNumber) const;
  // "== Disk N: B bytes changed; zero: [begin, end) ..." for every disk written to.
  std::string DiskChanges() const;
  // Whether volume `index` (of the scenario's list) is locked, dismounted, open.
  bool VolumeLocked(std::size_t index) const;
  bool VolumeDismounted(std::size_t index) const { return volumes_.at(index).dismounted; }
  std::size_t OpenVolumeHandles() const;

  // The computer is switched off and on again: every drive is plugged in again
  // and powers on (an ATA password set locks its drive, the drivers' freeze
  // comes again, a sanitize goes on), files stay, and the performance counter
  // starts again from a new boot. Journal: "PowerCycle".
  void PowerCycle();

  // What the thread of a hanging write does while it waits: called after each
  // kHangStepUs of the PC's clock; `endless`: the write ends only when it is
  // cancelled. Without one a hang of fixed length passes at once, and an endless
  // one fails at once with its error (nobody is there to cancel it).
  using HangWait = std::function<void(bool endless)>;
  void SetHangWait(HangWait wait) { hangWait_ = std::move(wait); }
  static constexpr std::int64_t kHangStepUs = 100'000;
  // Whether a write hangs now.
  bool Hanging() const { return hanging_; }

  win::Handle CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                          std::uint32_t creationDisposition, std::uint32_t flags) override;
  bool CloseHandle(win::Handle handle) override;
  bool DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* returned) override;
  bool SetFilePointerEx(win::Handle handle, std::int64_t distance, std::int64_t* newPosition,
                        std::uint32_t moveMethod) override;
  bool WriteFile(win::Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(win::Handle handle, void* data, std::uint32_t size, std::uint32_t* read) override;
  bool FlushFileBuffers(win::Handle handle) override;
  bool CancelSynchronousIo(win::Handle thread) override;
  bool CreateDirectoryW(std::u16string_view path) override;
  bool DeleteFileW(std::u16string_view path) override;
  std::u16string GetFullPathNameW(std::u16string_view path) override;
  std::u16string GetVolumePathNameW(std::u16string_view path) override;
  std::uint32_t GetLastError() override;
  std::u16string SystemMessage(std::uint32_t code) override;
  std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) override;
  win::Handle FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindNextVolumeW(win::Handle find, char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindVolumeClose(win::Handle find) override;
  bool GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer, std::uint32_t bufferLength,
                                        std::uint32_t* returnLength) override;
  std::uint32_t GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) override;
  std::uint32_t RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName,
                                           std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
  std::uint32_t RegOpenLocalMachineKeyW(std::u16string_view subKey) override;
  // Owners, access lists, junctions, SUBST drives, final paths and I/O memory:
  // sim_files_security.cpp.
  std::uint32_t GetFileAttributesW(std::u16string_view path) override;
  std::u16string GetFileOwnerSid(std::u16string_view path) override;
  bool CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) override;
  std::u16string GetFinalPathNameByHandleW(win::Handle handle, std::uint32_t flags) override;
  std::u16string QueryDosDeviceW(std::u16string_view deviceName) override;
  void* VirtualAlloc(std::size_t size) override;
  bool VirtualFree(void* memory) override;
  // The access list (SDDL) a folder the program made was given; none when it got the inherited one.
  std::optional<std::u16string> FolderAccess(std::u16string_view path) const;
  // Memory of VirtualAlloc not yet given back, for leak checks.
  std::size_t LiveAllocations() const { return allocations_.size(); }
  // Who owns folders the program makes: SYSTEM, Administrators (elevated) or the user.
  static constexpr char16_t kUserSid[] = u"S-1-5-21-1004336348-1177238915-682003330-1001";
  static constexpr std::align_val_t kPageAlignment{4096};

  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  bool QueryPerformanceCounter(std::int64_t* counter) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, win::TimerCallback callback,
                             std::uintptr_t user, std::uint32_t flags) override;
  std::uint32_t timeKillEvent(std::uint32_t timerId) override;
  std::int64_t WallClockMilliseconds() override;
  std::u16string DateTimeText() override;
  void GetLocalTime(std::span<std::uint8_t, 16> systemTime) override;
  void GetSystemTime(std::span<std::uint8_t, 16> systemTime) override;
  char16_t DecimalSeparator() override;

  bool GetVersionExW(std::span<std::uint8_t> info) override;
  bool RtlGetVersion(std::span<std::uint8_t> info) override;
  std::u16string GetModuleFileNameW() override;
  win::Module GetModuleHandleW(std::u16string_view name) override;
  win::ProcAddress GetProcAddress(win::Module module, std::string_view name) override;
  win::Module LoadLibraryW(std::u16string_view name) override;
  bool FreeLibrary(win::Module module) override;
  win::Handle GetCurrentProcess() override;
  bool CallIsWow64Process(win::ProcAddress entry, win::Handle process, std::int32_t* wow64) override;
  std::u16string LocalAppDataFolder() override;
  std::u16string CommonAppDataFolder() override;
  bool IsLocalSystem() override;
  bool GenRandom(std::span<std::uint8_t> data) override;
  std::u16string GetComputerNameW() override;
  bool IsUserAnAdmin() override;
  std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  // The thread execution state and the error mode the program left.
  std::uint32_t ExecutionState() const { return executionState_; }
  std::uint32_t ErrorMode() const { return errorMode_; }
  bool CallSetProcessInformation(win::ProcAddress entry, win::Handle process, std::uint32_t infoClass,
                                 std::span<const std::uint8_t> info) override;
  std::u16string MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) override;

  bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) override;
  std::uintptr_t CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) override;
  std::uintptr_t GetStockObject(int object) override;
  bool DeleteObject(std::uintptr_t object) override;
  // GDI objects created and not yet deleted, for leak checks.
  std::size_t LiveGdiObjects() const { return liveGdi_.size(); }
  std::uintptr_t LoadCursorW(int cursorId) override;
  bool IsFontInstalled(std::u16string_view face) override;
  std::uintptr_t ShellExecuteW(win::WindowHandle owner, std::u16string_view verb, std::u16string_view file,
                               std::u16string_view parameters, std::u16string_view directory, int showCommand) override;

  // Module handles the simulated loader hands out.
  static constexpr win::Module kKernel32 = 0x7C800000;
  static constexpr win::Module kSetupApi = 0x77920000;
  static constexpr win::Module kComctl32 = 0x73F10000;
  static constexpr win::ProcAddress kIsWow64ProcessEntry = 0x7C81234A;
  static constexpr win::ProcAddress kTaskDialogEntry = 0x73F2AB10;
  static constexpr win::ProcAddress kSetProcessInformationEntry = 0x7C8156E0;

 private:
  enum class Kind { Drive, File, Folder, Volume, VolumeSearch };
  struct Open {
    Kind kind;
    std::uint32_t drive = 0;  // drive number, or volume index
    std::u16string path;
    std::uint32_t access = 0;
    std::uint32_t share = 0;
    std::int64_t position = 0;
  };
  struct FileData {
    std::string content;
    std::u16string path;   // as the program (or the scenario) named it
    bool written = false;  // created or written to by the program
  };

  void Log(std::string call, std::string detail, std::uint32_t code = 0, std::int64_t handle = 0,
           const void* input = nullptr, std::uint32_t inputSize = 0);
  bool Fail(std::uint32_t error);
  const SimDrive* DriveAt(std::uint32_t number) const;
  // The user pulls the disk and plugs in the scenario's other one, if its time has come.
  void SwapDriveIfDue(std::uint32_t number);
  win::Handle OpenVolume(std::size_t index, std::u16string_view path, std::uint32_t access, std::uint32_t share,
                         std::string detail);
  // Puts the search's next volume GUID path into `buffer`, as FindFirstVolumeW and FindNextVolumeW do.
  bool NextVolume(const char* call, win::Handle find, Open& search, char16_t* buffer, std::uint32_t bufferLength);
  bool VolumeIoctl(win::Handle handle, Open& o, std::uint32_t code, void* out, std::uint32_t outSize,
                   std::uint32_t* returned, const std::string& detail);
  bool DriveTransfer(win::Handle handle, bool write, void* data, std::uint32_t size, std::uint32_t* done);
  // Waits out a hanging write on the PC's clock; the error it ends with.
  std::uint32_t Hang(const MediaResult& r);
  bool PutVersion(std::span<std::uint8_t> info, std::uint32_t major, std::uint32_t minor, std::uint32_t build);
  // NVMe sanitize and format (sim_platform_sanitize.cpp). The state a drive's
  // subsystem shares; made from the drive's scenario the first time.
  SanitizeRun& RunOf(const SimDrive& drive);
  // Moves every running sanitize to the PC's clock now: ends it, erases the
  // media it reaches, or takes the power; then refreshes each NVMe drive's log
  // and busy state. Called before each request to a drive.
  void SettleSanitize();
  // IOCTL_STORAGE_REINITIALIZE_MEDIA on a drive handle opened with `access`.
  IoctlResult ReinitializeMedia(const SimDrive& drive, std::uint32_t access, const std::uint8_t* in, std::uint32_t inSize);
  IoctlResult RunSanitize(const SimDrive& drive, SanitizeAction action, std::uint32_t timeoutSeconds);
  IoctlResult RunFormat(const SimDrive& drive);
  // The firmware erase of `action` (Crypto, or None for a crypto format) on
  // every drive of the subsystem, or on this drive alone.
  void EraseNamespaces(const SimDrive& drive, SanitizeAction action, bool wholeSubsystem, std::int64_t erasure);
  void PowerOffSubsystem(const SimDrive& drive);
  // ATA Security and Sanitize through IOCTL_ATA_PASS_THROUGH (sim_platform_ata.cpp):
  // the commands of the two feature sets and IDENTIFY DEVICE; none for the
  // others, which the drive answers as before.
  std::optional<IoctlResult> AtaPassThrough(const SimDrive& drive, std::uint32_t access,
                                            const std::vector<std::uint8_t>& in, std::uint8_t* out,
                                            std::uint32_t outSize);
  // The storage driver's answer to a Security or Sanitize command on this Windows: none when it passes.
  std::optional<std::uint32_t> AtaDriverRefusal(const SimDrive& drive, std::uint8_t command, const std::uint8_t* block) const;
  bool AtaDriverFreezes() const;
  IoctlResult SecurityEraseUnit(const SimDrive& drive, std::uint32_t timeoutSeconds, const std::uint8_t* block);
  // The drive's ATA state at power-on; `first`: as the scenario starts it.
  void AtaPowerOn(SimDrive& drive, bool first);
  // Ends running ATA sanitizes whose time has come; part of SettleSanitize.
  void SettleAtaSanitize();
  // What reads and writes of a locked drive, or one that sanitizes, fail with.
  static std::optional<std::uint32_t> AtaMediaError(const SimDrive& drive);
  void LogSecurity(const SimDrive& drive, const AtaDriveState::Security& before, const std::string& why);
  void LogSanitize(const SimDrive& drive, SanitizeState before, const std::string& why);
  // Waits on the PC's clock as a request that cannot be cancelled.
  void WaitForDevice(std::int64_t us);
  Open* Find(win::Handle h);
  static std::u16string FileKey(std::u16string_view path);
  // ERROR_ALREADY_EXISTS for a read-only folder itself, ERROR_ACCESS_DENIED for
  // anything below one, else 0.
  std::uint32_t ReadOnlyError(const std::u16string& key) const;
  // Whether a drive of this letter exists: a volume of the scenario, or the drive
  // of the machine's own folders.
  bool DriveExists(char16_t letter) const;
  // Whether a folder (a key, with or without its trailing backslash) exists.
  bool FolderExists(const std::u16string& folderKey) const;
  // GetFullPathNameW's answer, without the journal.
  std::u16string FullPath(std::u16string_view path) const;
  // The full path where SUBST drives and junctions lead (at most eight of them in a row).
  std::u16string Linked(std::u16string_view path) const;
  // The folder a file key lies in, after its drive's and its folders' links.
  std::u16string LinkedKey(std::u16string_view key) const { return FileKey(Linked(key)); }
  // CreateDirectoryW and CreateDirectoryWithAccessW; `sddl` empty: the inherited access list.
  bool MakeFolder(std::u16string_view path, const char* call, std::u16string_view sddl);
  // Journals a path query's answer; an empty one fails with ERROR_INVALID_NAME.
  std::u16string PathAnswer(const char* call, std::u16string_view path, std::u16string answer);
  void PutSystemTime(const char* call, std::int64_t wallMs, std::span<std::uint8_t, 16> systemTime);
  std::filesystem::path HostPath(const std::u16string& key) const;
  void PersistFile(const std::u16string& key);

  Scenario sc_;
  std::filesystem::path stateFolder_;
  Journal journal_;
  SimClock clock_;
  std::uint32_t lastError_ = 0;
  std::map<win::Handle, Open> handles_;
  win::Handle nextHandle_ = 0x100;
  std::map<std::u16string, FileData> files_;
  std::uint64_t randomState_ = 0, randomWord_ = 0;  // GenRandom's generator
  int randomLeft_ = 0;
  std::int64_t counterReads_ = 0;
  std::int64_t bootUs_ = 0;  // the PC's clock at the last power-on: the counter counts from it
  int timersCreated_ = 0;
  bool timerResolutionHonoured_ = false;  // opted out of timer-resolution throttling
  std::map<win::Module, int> loaded_;
  std::uintptr_t nextGdiObject_ = 0x0A010000;
  std::set<std::uintptr_t> liveGdi_;
  std::vector<std::u16string> shellExecuted_;
  struct VolumeState {
    win::Handle lockedBy = 0;
    bool dismounted = false;
  };
  std::vector<VolumeState> volumes_;
  std::map<std::u16string, std::u16string> owners_;  // folder key (with its backslash) -> owner, of folders made
  std::map<std::u16string, std::u16string> access_;  // folder key -> the SDDL it was made with
  std::map<void*, std::size_t> allocations_;          // VirtualAlloc's, not yet freed
  std::uint32_t executionState_ = 0x80000000u;  // ES_CONTINUOUS: the computer may sleep
  std::uint32_t errorMode_ = 0;
  std::map<std::string, SanitizeRun> sanitizeRuns_;  // by subsystem
  HangWait hangWait_;
  bool hanging_ = false;
  bool hangCancelled_ = false;
};

} // namespace trv::sim
