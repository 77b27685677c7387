// Texts in the operator's language and dates in the installation's form.
// Texts are written in Catalan in the program; the language file
// session.RootDir + "LOCALE\" + session.LanguageFileId + ".LNG" holds records of four
// comma-separated fields: Catalan (the key), Spanish, Galician, Aranese.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "env/session.h"

namespace env {

// The language file's name and the date's form are settings of the
// session (env::session.LanguageFileId, DateSeparator, DateOrder).

// The program's 8-character identifier ("QDEBCONV"); set once at start-up.
void SetProgramId(std::string_view id);
const std::string& ProgramId();

// The text in session.LanguageCode's language; unchanged for "CAT" (no file is
// opened), for a text without a record (exact, case-sensitive match) and for
// unknown codes. A missing language file is created empty. Fields: leading
// blanks skipped; quoted fields may hold commas ("" stands for a quote) and
// end with their line when left open; unquoted ones lose trailing blanks.
std::string TranslateText(std::string_view text);

// A packed date (util/dates.h) as text. style -1: ISO "2024-01-05" (parts
// ignored); 0: numeric parts joined by session.DateSeparator; 1: the same with a
// three-letter month; 2 and more: long form with the month spelled out and
// joining words of the language ("5 d'abril del 2024"). parts names the
// parts wanted ("D", "M", "A", any order and case); they always come in
// session.DateOrder. Styles 0 and 1 are padded to a fixed width.
std::string FormatDate(std::string_view date, int16_t style,
                       std::string_view parts);

}  // namespace env
