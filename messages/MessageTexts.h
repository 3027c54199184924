#pragma once
// The raw per-language texts behind the message table, in UTF-8 source form.

namespace sondesk::messages {

inline constexpr int kMessageCount = 263;  // numbers 0 to 262

extern const char* const kItalian[kMessageCount];
extern const char* const kEnglish[kMessageCount];
extern const char* const kFrench[kMessageCount];
extern const char* const kGerman[kMessageCount];
extern const char* const kSpanish[kMessageCount];

}  // namespace sondesk::messages
