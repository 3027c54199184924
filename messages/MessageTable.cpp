#include "messages/MessageTable.h"

#include "messages/Cp1252.h"
#include "messages/MessageTexts.h"

namespace sondesk {

namespace {
const char* const* SourceTable(int language) {
  switch (language) {
    case 0: return messages::kItalian;
    case 1: return messages::kEnglish;
    case 2: return messages::kFrench;
    case 3: return messages::kGerman;
    case 4: return messages::kSpanish;
    default: return messages::kEnglish;
  }
}
}  // namespace

MessageTable::MessageTable(int language) : language_(language >= 0 && language < kLanguageCount ? language : 1) {
  const char* const* source = SourceTable(language_);
  for (int i = 0; i <= kLastMessageNumber; ++i) slots_[i] = Utf8ToCp1252(source[i]);
  slots_[263] = kStringError;
}

const char* MessageTable::Get(int number) const {
  if (!InRange(number)) return kStringError;
  return slots_[number].c_str();
}

const char* MessageTable::SourceText(int language, int number) {
  if (!InRange(number)) return kStringError;
  return SourceTable(language)[number];
}

const char* GetMessageText(const MessageTable& table, int number) { return table.Get(number); }

}  // namespace sondesk
