// The language of the texts a report, a verdict or an erase's log says. The
// default is the program's own (Chinese), which the window program always
// uses; the console program chooses English with --lang en.
#pragma once

namespace trv::report {

enum class Language { Chinese, English };

// The text of the two written beside each other at the place that says it.
constexpr const char16_t* Say(Language language, const char16_t* chinese, const char16_t* english) {
  return language == Language::English ? english : chinese;
}

} // namespace trv::report
