// The Security and Sanitize feature sets of a simulated ATA drive: what the
// scenario says of them, the state they hold while the PC runs, the commands
// that change it, and the IDENTIFY words that show it. Time, the medium and the
// Windows drivers' rules are the platform's (sim_platform_ata.cpp). See
// docs/scenario.md.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace trv::sim {

using AtaPasswordBytes = std::array<std::uint8_t, 32>;

struct AtaSecuritySetup {
  enum class State { Disabled, Locked, Unlocked };
  State state = State::Disabled;  // at power-on
  AtaPasswordBytes user{}, master{};
  bool enhanced = true;  // enhanced erase supported
  std::uint32_t normalEraseMinutes = 2, enhancedEraseMinutes = 2;  // 0: not reported
  std::int64_t eraseSeconds = 60;  // what ERASE UNIT takes on the PC's clock
  bool frozenByBios = false;
  int attemptsLeft = 5;
  enum class Fault { None, Lies, PowerLoss };
  Fault fault = Fault::None;
  double cutAt = 0.5;           // power-loss: where in the erase the power goes
  bool enhancedRandom = false;  // an enhanced erase leaves new random content, not zeros
};

enum class AtaSanitizeOp { Crypto, Block, Overwrite };

struct AtaSanitizeSetup {
  bool crypto = true, block = true, overwrite = true;
  enum class State { Idle, Frozen, InProgress, Succeeded, Failed };
  State state = State::Idle;     // at power-on
  double progress = 0;           // with InProgress
  AtaSanitizeOp action = AtaSanitizeOp::Block;  // the one in progress at power-on
  bool failureMode = true;       // with Failed: the failed op had FAILURE MODE = 1
  std::int64_t durationSeconds = 60;
  enum class Fault { None, Fails, Lies, Stuck };
  Fault fault = Fault::None;
  double stuckAt = 0.5;
};

// ACS's sanitize states SD0-SD4, by number.
enum class SanitizeState : std::uint8_t { Idle = 0, Frozen = 1, InProgress = 2, Failed = 3, Succeeded = 4 };

// What the drive holds while the PC runs.
struct AtaDriveState {
  struct Security {
    bool passwordSet = false, locked = false, frozen = false, countExpired = false;
    bool prepared = false;      // the last command the drive took was ERASE PREPARE
    bool levelMaximum = false;  // the user password was set with security level maximum
    int attemptsLeft = 5;
    AtaPasswordBytes user{}, master{};
    std::optional<std::uint16_t> masterIdentifier;
  };
  std::optional<Security> security;
  struct Sanitize {
    SanitizeState state = SanitizeState::Idle;
    bool antifreeze = false;
    bool failureMode = true;  // of the op that runs or last ran
    AtaSanitizeOp op = AtaSanitizeOp::Block;
    std::uint32_t pattern = 0;  // OVERWRITE's
    double startProgress = 0;
    std::int64_t startUs = 0;
    double progress = 0;     // as last settled
    std::uint8_t reason = 0; // SD3's
    std::int64_t erasures = 0;  // ops run since start: each crypto scramble leaves content of its own
  };
  std::optional<Sanitize> sanitize;
};

AtaSecuritySetup ParseAtaSecurity(const nlohmann::json& j, const std::string& where);
AtaSanitizeSetup ParseAtaSanitize(const nlohmann::json& j, const std::string& where);

// The state a drive powers on in: from the scenario the first time, else from
// `before` (a password set stays and locks the drive; a sanitize goes on).
AtaDriveState PowerOnState(const std::optional<AtaSecuritySetup>& security,
                           const std::optional<AtaSanitizeSetup>& sanitize, const AtaDriveState* before);

// "SEC1" ... "SEC6", "SD0" ... "SD4".
std::string SecurityCode(const AtaDriveState::Security& s);
std::string SanitizeCode(SanitizeState s);

// The security commands as the drive takes them. `block`: the data-out block of
// SET PASSWORD, UNLOCK, ERASE UNIT and DISABLE PASSWORD. False: aborted. ERASE
// UNIT is only checked here (password, PREPARE before it); the platform runs it.
bool SecurityCommand(AtaDriveState::Security& s, const AtaSecuritySetup& setup, std::uint8_t command,
                     const std::uint8_t* block);

// SANITIZE DEVICE's functions other than STATUS EXT: the reason an abort
// carries, or none when the drive took it (an op: now in SD2 from `nowUs`).
std::optional<std::uint8_t> SanitizeCommand(AtaDriveState::Sanitize& s, const AtaSanitizeSetup& setup,
                                            std::uint16_t feature, std::uint64_t lba, std::uint16_t count,
                                            std::int64_t nowUs);

// Moves a running sanitize to `nowUs`.
enum class SanitizeEnd { None, Erased, NothingErased, Failed };
SanitizeEnd AdvanceAtaSanitize(AtaDriveState::Sanitize& s, const AtaSanitizeSetup& setup, std::int64_t nowUs);

// IDENTIFY words 59, 82, 83, 85, 89, 90, 92 and 128 as the drive states them now.
void PutLiveWords(const AtaDriveState& state, const std::optional<AtaSecuritySetup>& security,
                  const std::optional<AtaSanitizeSetup>& sanitize, std::array<std::uint8_t, 512>& id);

// A password block's password for the journal: the text when it is printable,
// else "hex:..." of its 32 bytes.
std::string PasswordText(const std::uint8_t* password);

} // namespace trv::sim
