#pragma once
// Every text the user sees, by number, in the chosen language.
//
// The table holds Windows-1252 bytes: the same bytes go into the files the program writes
// (the export header, the card's files), and the display edge turns them into UTF-8.

#include <array>
#include <string>

namespace sondesk {

enum class Language : int { Italian = 0, English = 1, French = 2, German = 3, Spanish = 4 };

inline constexpr int kLanguageCount = 5;
inline constexpr int kMessageSlots = 264;     // slots 0 to 263; 263 holds no text
inline constexpr int kLastMessageNumber = 262;

class MessageTable {
 public:
  // A language outside 0-4 fills the table in English: the settings file may hold anything,
  // and English is the text every user of the program can at least recognise.
  explicit MessageTable(int language = 0);

  // The text of message `number`, or "STRING ERROR" for a number outside 0-262.
  const char* Get(int number) const;
  const std::string& operator[](int number) const { return slots_.at(InRange(number) ? number : 263); }

  int language() const { return language_; }

  // UTF-8 source text of a message, for tests and tools that compare placeholders.
  static const char* SourceText(int language, int number);

 private:
  static bool InRange(int number) { return number >= 0 && number <= kLastMessageNumber; }
  int language_;
  std::array<std::string, kMessageSlots> slots_;
};

// The lookup of the process's table: every caller in the core passes its session's table,
// this free function serves code that only has a language number at hand.
const char* GetMessageText(const MessageTable& table, int number);

// The fixed text for numbers outside the table.
inline constexpr const char* kStringError = "STRING ERROR";

}  // namespace sondesk
