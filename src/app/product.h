// Fixed texts that name the product and its maker.
#pragma once

namespace trv::app {

inline constexpr char16_t kProductName[] = u"Trevasso";
inline constexpr char16_t kProductVersion[] = u"4.12";
inline constexpr char16_t kProductTitle[] = u"Trevasso 4.12";
// Captions carry four blanks after the version.
inline constexpr char16_t kProductCaption[] = u"Trevasso 4.12    ";
inline constexpr char16_t kProductWebAddress[] = u"https://trevasso.example.org/";
inline constexpr char16_t kProductWebLinkText[] = u"trevasso.example.org";
inline constexpr char16_t kSupportForumAddress[] = u"https://trevasso.example.org/forum/";
inline constexpr char16_t kCreditLine[] = u"\u00A9 2026 Trevasso developers";

} // namespace trv::app
