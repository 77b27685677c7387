// Small text operations shared by the whole program: folding to capitals,
// laying a text out in lines, names in reading order, a stack of texts kept
// in one string, and a few one-liners. None of them report errors: bad input
// gives an empty text, 0 or the text unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// The text settings of the run, kept for the whole process: field entry
// switches the fold around its choice fields and the text stack outlives
// each call that pushes on it. Back to start by ResetNumberAndTextState.
struct TextState {
  // -1 (true): FoldText folds to plain capitals without accents, every other
  // character of its range becoming a blank. 0: capitals keep their accents
  // and other characters stay. Field entry sets it around its choice fields.
  int16_t FoldPlain{};

  // The text stack of PushText / PopText: each entry is the text followed by
  // its length as two bytes, low byte first; the top entry is at the end.
  std::string TextStack{};
};
extern TextState text_state;

// Codes 64 to 237 go through the table text_state.FoldPlain selects; other codes stay.
// The result has the length of the text.
std::string FoldText(std::string_view text);

// Lays text out in lines of width characters (plus the control characters a
// line holds), concatenated, replacing text. A positive indent applies to the
// first line, a negative one to every line after the first. The first letter
// of mode chooses the padding: E/L/I left, N "-" on the right, D/R right,
// C centred, A/B justified; any other letter leaves the lines unpadded.
void WrapText(std::string& text, int16_t indent, int16_t width, std::string_view mode);

// "SURNAME*FORENAME" becomes "FORENAME SURNAME" (no blank after an
// apostrophe: "ARC*D'" gives "D'ARC"); a name without a "*", or one that
// starts with it, comes back trimmed.
std::string ReadingName(std::string_view name);

// -1 when every character of text has the code given (also for an empty
// text), else 0.
int16_t AllSameChar(std::string_view text, int16_t code);

void PushText(std::string_view text);
// The top entry of text_state.TextStack, removed; empty when the stack is empty.
std::string PopText();

// The text up to, not including, its first NUL (the whole text without one).
std::string UpToNul(std::string_view text);

// (width - length of text) / 2, truncated toward zero.
int16_t CentreOffset(std::string_view text, int16_t width);

// count bytes copied from memory at address; empty for a null address or a
// count of 0 or less.
std::string BytesAt(const void* address, int16_t count);

// The computer's name (platform::fs::ComputerName) from the platform's UTF-8
// host name: code page 850, and at most 16 characters (the name buffer holds
// 17 with its NUL).
std::string ComputerNameFrom(std::string_view host_name_utf8);

}  // namespace util
