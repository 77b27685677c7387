#include "env/language.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "env/ini.h"
#include "env/ini_file.h"
#include "env/run_facts.h"
#include "env/session.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"

namespace env {


namespace {

std::string& ProgramIdentifier() { return internal::run_facts.program_id; }

// One field of a language file record, taken off the front of line: leading
// blanks skipped; a field starting with a double quote runs to the next
// one ("" inside stands for one quote) and whatever follows up to the comma
// is ignored; any other field runs to the comma, trailing blanks dropped. A
// quote left open ends with the line.
std::string NextField(std::string_view* line) {
  std::string_view rest = util::TrimLeft(*line);
  std::string field;
  std::string_view::size_type comma;
  if (!rest.empty() && rest.front() == '"') {
    std::string_view::size_type i = 1;
    while (i < rest.size()) {
      if (rest[i] == '"') {
        if (i + 1 < rest.size() && rest[i + 1] == '"') {
          field += '"';
          i += 2;
          continue;
        }
        break;
      }
      field += rest[i++];
    }
    comma = rest.find(',', i);
  } else {
    comma = rest.find(',');
    field.assign(util::TrimRight(rest.substr(0, comma)));
  }
  *line = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  return field;
}

// Field 2, 3 or 4 of a record for the language, 0 for none.
int LanguageField(std::string_view code) {
  if (code == "SPA") return 1;
  if (code == "GLG") return 2;
  if (code == "OCI") return 3;
  return 0;
}

struct LocaleWords {
  std::array<std::string, 12> months;  // each in its 10-character slot
  std::string before_consonant;
  std::string before_vowel;
  std::string before_part;
};

LocaleWords MakeWords(std::array<const char*, 12> months, const char* consonant,
                      const char* vowel, const char* part) {
  LocaleWords words;
  for (std::size_t i = 0; i < months.size(); ++i) {
    words.months[i] = util::Cp850(months[i]);
    words.months[i].resize(10, ' ');
  }
  words.before_consonant = util::Cp850(consonant);
  words.before_vowel = util::Cp850(vowel);
  words.before_part = util::Cp850(part);
  return words;
}

const LocaleWords& WordsFor(std::string_view code) {
  static const LocaleWords kSpanish = MakeWords(
      {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto",
       "septiembre", "octubre", "noviembre", "diciembre"},
      " de ", " de ", " de ");
  static const LocaleWords kGalician = MakeWords(
      {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho", "agosto",
       "setembro", "outubro", "novembro", "dezembro"},
      " de ", " de ", " do ");
  static const LocaleWords kAranese = MakeWords(
      {"gèr", "hereuèr", "març", "abriu", "mai", "junh", "junhsega", "agost", "seteme",
       "octobre", "noveme", "deseme"},
      " de ", " d'", " deth ");
  static const LocaleWords kCatalan = MakeWords(
      {"gener", "febrer", "març", "abril", "maig", "juny", "juliol", "agost", "setembre",
       "octubre", "novembre", "desembre"},
      " de ", " d'", " del ");
  if (code == "SPA") return kSpanish;
  if (code == "GLG") return kGalician;
  if (code == "OCI") return kAranese;
  return kCatalan;
}

void LoadDateSettings() {
  const std::string file = session.RootDir + "Vela.ini";
  if (session.DateSeparator.empty()) {
    std::string value(util::TrimLeft(ReadIniValue(file, "Usuari", "DatCaracter")));
    session.DateSeparator = value.empty() ? "/" : value.substr(0, 1);
  }
  if (session.DateOrder.empty()) {
    std::string value(util::TrimLeft(ReadIniValue(file, "Usuari", "DatOrdre")));
    if (value.empty()) value = "DMA";
    value = util::UpperCase(value);
    value.resize(3, ' ');
    session.DateOrder = value;
  }
}

std::string TwoDigits(int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", static_cast<int>(n));
  return text;
}

bool StartsWithVowel(std::string_view name) {
  return !name.empty() && std::string_view("AEIOU").find(util::UpperCaseChar(name.front())) !=
                              std::string_view::npos;
}

// The month as the style shows it; a month outside 1..12 has no name.
std::string MonthPiece(int32_t month, int16_t style, const std::string& month_text,
                       const LocaleWords& words) {
  if (style <= 0) return month_text;
  std::string slot = month >= 1 && month <= 12 ? words.months[month - 1] : std::string(10, ' ');
  if (style == 1) return slot.substr(0, 3);
  return std::string(util::TrimRight(slot));
}

// Styles 0 and 1 have a fixed width: 2 for the day, 4 for the year, 2 or 3
// for the month, and one separator between each two letters of parts.
std::size_t FixedWidth(int16_t style, std::string_view wanted) {
  auto has = [&](char c) { return wanted.find(c) != std::string_view::npos; };
  std::size_t width = 0;
  if (has('D')) width += 2;
  if (has('A')) width += 4;
  if (has('M')) width += style == 1 ? 3 : 2;
  if (!wanted.empty()) width += wanted.size() - 1;
  return width;
}

}  // namespace

void SetProgramId(std::string_view id) { ProgramIdentifier().assign(id); }

const std::string& ProgramId() { return ProgramIdentifier(); }

std::string TranslateText(std::string_view text) {
  if (session.LanguageCode == "CAT") return std::string(text);
  if (session.LanguageFileId.empty()) session.LanguageFileId = ProgramIdentifier();
  const std::string file = session.RootDir + "LOCALE\\" + session.LanguageFileId + ".LNG";
  TouchFile(file);
  const int wanted = LanguageField(session.LanguageCode);
  std::string content;
  if (wanted == 0 || ReadWholeFile(file, &content) != FileRead::kOk) return std::string(text);
  std::string_view rest = content;
  std::string_view line;
  while (NextLine(&rest, &line)) {
    if (util::Trim(line).empty()) continue;
    if (NextField(&line) != text) continue;
    std::string field;
    for (int i = 0; i < wanted; ++i) field = NextField(&line);
    return field;
  }
  return std::string(text);
}

std::string FormatDate(std::string_view date, int16_t style, std::string_view parts) {
  LoadDateSettings();
  const LocaleWords& words = WordsFor(style > 0 ? session.LanguageCode : std::string());
  const util::DateParts split = util::SplitDate(date);
  char year_digits[16];
  std::snprintf(year_digits, sizeof year_digits, "%04d", static_cast<int>(split.year));
  const std::string year_text = year_digits;
  const std::string month_text = std::to_string(split.month);
  const std::string day_text = std::to_string(split.day);
  if (style == -1) return year_text + "-" + TwoDigits(split.month) + "-" + TwoDigits(split.day);

  const std::string wanted = util::UpperCase(parts);
  std::string result;
  if (month_text + day_text > "00") {
    for (char c : session.DateOrder) {
      if (wanted.find(c) == std::string::npos) continue;
      std::string piece;
      if (c == 'D') {
        piece = day_text;
      } else if (c == 'A') {
        piece = year_text;
      } else if (c == 'M') {
        piece = MonthPiece(split.month, style, month_text, words);
      } else {
        continue;
      }
      if (!result.empty()) {
        if (style < 2) {
          result += session.DateSeparator;
        } else if (c == 'M') {
          result += StartsWithVowel(piece) ? words.before_vowel : words.before_consonant;
        } else {
          result += words.before_part;
        }
      }
      result += piece;
    }
  }
  if (style < 2) result.resize(FixedWidth(style, wanted), ' ');
  return result;
}

}  // namespace env
