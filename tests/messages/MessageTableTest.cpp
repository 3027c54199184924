#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "messages/Cp1252.h"
#include "messages/MessageTable.h"

namespace sondesk {
namespace {

constexpr int kItalian = 0, kEnglish = 1, kFrench = 2, kGerman = 3, kSpanish = 4;

// The printf conversions of a format, in order, each as written ("%3.1f", "%02d").
// A '%' that starts no valid conversion is kept as "%?" so that a stray one never matches.
std::vector<std::string> Conversions(std::string_view format) {
  static constexpr std::string_view kFlags = "-+ #0'";
  static constexpr std::string_view kConversions = "diouxXeEfFgGaAcspn";
  std::vector<std::string> out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    const std::size_t start = i++;
    if (i < format.size() && format[i] == '%') continue;
    auto digits = [&] {
      if (i < format.size() && format[i] == '*') {
        ++i;
        return;
      }
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    };
    while (i < format.size() && kFlags.find(format[i]) != std::string_view::npos) ++i;
    digits();
    if (i < format.size() && format[i] == '.') {
      ++i;
      digits();
    }
    for (std::string_view length : {"hh", "ll", "h", "l", "L", "z", "j", "t"}) {
      if (format.substr(i, length.size()) == length) {
        i += length.size();
        break;
      }
    }
    if (i < format.size() && kConversions.find(format[i]) != std::string_view::npos) {
      out.emplace_back(format.substr(start, i - start + 1));
    } else {
      out.emplace_back("%?");
      i = start;  // rescan what follows the lone '%'
    }
  }
  return out;
}

int Count(std::string_view text, char c) {
  int n = 0;
  for (char x : text) n += x == c;
  return n;
}

TEST(ConversionsTest, ParsesFlagsWidthPrecisionAndLength) {
  EXPECT_EQ(Conversions("Free: %3.1f MB"), std::vector<std::string>{"%3.1f"});
  EXPECT_EQ(Conversions("%02ld of %-5s%%, %*d %hhu"),
            (std::vector<std::string>{"%02ld", "%-5s", "%*d", "%hhu"}));
  EXPECT_EQ(Conversions("100%% sure"), std::vector<std::string>{});
  EXPECT_EQ(Conversions("100%!"), std::vector<std::string>{"%?"});
  // printf itself reads a lone '%' before " o" as a conversion, so the parser must too.
  EXPECT_EQ(Conversions("50% off"), std::vector<std::string>{"% o"});
  EXPECT_EQ(Conversions("end %"), std::vector<std::string>{"%?"});
}

TEST(MessageTableTest, NumbersOutsideTheTableGiveStringError) {
  for (int language = 0; language < kLanguageCount; ++language) {
    const MessageTable table(language);
    for (int number : {263, 264, -1, -1000, 100000}) {
      EXPECT_STREQ(GetMessageText(table, number), "STRING ERROR") << language << " " << number;
      EXPECT_STREQ(table.Get(number), "STRING ERROR");
      EXPECT_EQ(table[number], "STRING ERROR");
    }
    EXPECT_STREQ(table.Get(262), table[262].c_str());
  }
}

TEST(MessageTableTest, EmptyTextsAndToolbarSeparatorsAreTheSameInEveryLanguage) {
  const std::vector<int> separators = {140, 142, 145, 148, 152, 154, 156, 158, 159, 160, 161, 162,
                                       166, 168, 171, 174, 178, 180, 182, 184, 185, 186, 187, 188};
  for (int language = 0; language < kLanguageCount; ++language) {
    const MessageTable table(language);
    for (int number : {1, 94, 134}) EXPECT_STREQ(table.Get(number), "") << language << " " << number;
    for (int number : separators) EXPECT_STREQ(table.Get(number), " ") << language << " " << number;
    // The list headings end at the first empty text, so the four headings before it must not be empty.
    for (int number = 90; number <= 93; ++number) EXPECT_STRNE(table.Get(number), "") << language;
  }
}

// These rows reach files (the export header) or fixed layouts; their bytes are fixed.
TEST(MessageTableTest, RowsWithFixedWordingAreExactWindows1252Bytes) {
  struct Row {
    int number;
    const char* text[kLanguageCount];
  };
  const Row rows[] = {
      {2,
       {"Indice;Nome file;Titolo;Interprete;Genere\n", "Index;File name;Title;Performer;Category\n",
        "Index;Nom du fichier;Titre;Interpr\xE8te;Genre\n",
        "Verzeichnis;Dateiname;Titel;Interpret;Kategorie\n",
        "Indice;Nombre archivo;Titulo;Interprete;Genero\n"}},
      {5,
       {"MF3 su Disco: %d", "MF3 on Disk: %d", "MF3 sur disquette: %d", "MF3 auf Festplatte: %d",
        "MF3 sobre Disco: %d"}},
      {22,
       {"SONDESK - Attenzione", "SONDESK - Caution", "SONDESK - Attention", "SONDESK - Achtung",
        "SONDESK - Atencion"}},
      {48, {"Pagina %d di %d", "Page %d of %d", "Page %d de %d", "Seite %d von %d", "Pagina %d de %d"}},
      {115, {"Liberi: %3.1f MB", "Free: %3.1f MB", "Libre: %3.1f MB", "Frei: %3.1f MB", "Liberi: %3.1f MB"}},
  };
  for (int language = 0; language < kLanguageCount; ++language) {
    const MessageTable table(language);
    for (const Row& row : rows) {
      EXPECT_EQ(std::string(table.Get(row.number)), row.text[language]) << language << " " << row.number;
    }
  }
  // The accented letter really is the single Western byte, not its UTF-8 pair.
  const std::string french = MessageTable(kFrench).Get(2);
  const std::size_t at = french.find("Interpr") + 7;
  ASSERT_LT(at, french.size());
  EXPECT_EQ(static_cast<unsigned char>(french[at]), 0xE8);
  EXPECT_EQ(french.size(), std::string_view("Index;Nom du fichier;Titre;Interprete;Genre\n").size());
}

TEST(MessageTableTest, TranslationsKeepTheEnglishPlaceholdersAndLineBreaks) {
  for (int number = 0; number <= kLastMessageNumber; ++number) {
    const std::string_view english = MessageTable::SourceText(kEnglish, number);
    const auto expected = Conversions(english);
    for (int language : {kItalian, kFrench, kGerman, kSpanish}) {
      const std::string_view text = MessageTable::SourceText(language, number);
      EXPECT_EQ(Conversions(text), expected) << "language " << language << " message " << number;
      EXPECT_EQ(Count(text, '%'), Count(english, '%')) << "language " << language << " message " << number;
      EXPECT_EQ(Count(text, '\n'), Count(english, '\n')) << "language " << language << " message " << number;
      EXPECT_EQ(Count(text, '\t'), Count(english, '\t')) << "language " << language << " message " << number;
    }
  }
}

TEST(MessageTableTest, EverySourceTextIsRepresentableInWindows1252) {
  for (int language = 0; language < kLanguageCount; ++language) {
    const MessageTable table(language);
    for (int number = 0; number <= kLastMessageNumber; ++number) {
      const std::string_view source = MessageTable::SourceText(language, number);
      const std::string& bytes = table[number];
      EXPECT_TRUE(IsValidUtf8(source)) << language << " " << number;
      EXPECT_EQ(Count(bytes, '?'), Count(source, '?')) << language << " " << number << ": " << source;
      // Nothing was folded or dropped: the bytes read back as the very source text.
      EXPECT_EQ(Cp1252ToUtf8(bytes), source) << language << " " << number;
    }
  }
}

TEST(MessageTableTest, TablesAreTranslatedNotCopies) {
  for (int language : {kItalian, kFrench, kGerman, kSpanish}) {
    int same = 0;
    for (int number = 0; number <= kLastMessageNumber; ++number) {
      same += std::string_view(MessageTable::SourceText(language, number)) ==
              MessageTable::SourceText(kEnglish, number);
    }
    // Separators, empty texts, product names, versions and upper-case mode names stay as they are.
    EXPECT_LT(same, 60) << "language " << language;
  }
  EXPECT_STREQ(MessageTable(kItalian).Get(262), "Annulla");
  EXPECT_STREQ(MessageTable(kGerman).Get(262), "Abbrechen");
}

TEST(MessageTableTest, LanguageOutsideTheFiveGivesEnglish) {
  const MessageTable english(kEnglish);
  for (int language : {-1, 5, 99}) {
    const MessageTable table(language);
    EXPECT_EQ(table.language(), kEnglish);
    for (int number = 0; number <= kLastMessageNumber; ++number) {
      ASSERT_STREQ(table.Get(number), english.Get(number)) << language << " " << number;
    }
  }
  EXPECT_STREQ(MessageTable::SourceText(7, 21), "SONDESK - Error");
  EXPECT_STREQ(MessageTable::SourceText(kEnglish, 263), "STRING ERROR");
  EXPECT_EQ(MessageTable(kSpanish).language(), kSpanish);
}

}  // namespace
}  // namespace sondesk
