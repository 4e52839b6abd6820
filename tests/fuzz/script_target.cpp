// A headless script: actions split on ';' and line breaks, '#' comments, the
// verbs and their arguments checked before the program starts.
#include <string>

#include "answer_platform.h"
#include "fuzz_targets.h"
#include "ui/headless/scripted_user.h"

namespace trv::fuzz {

int Script(const std::uint8_t* data, std::size_t size) {
  const std::string text(data, data + size);
  try {
    ui::ScriptedUser user(text);
    std::size_t taken = 0;
    while (!user.Empty()) {
      const ui::Action a = user.Take();
      Require(!a.verb.empty() && a.text.find_first_of(";\n#") == std::string::npos, "one action per piece");
      ++taken;
    }
    Require(taken <= size, "no more actions than characters");
  } catch (const ui::ScriptError&) {
  }
  return 0;
}

} // namespace trv::fuzz
