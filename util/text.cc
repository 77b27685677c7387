#include "util/text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "util/basics.h"
#include "util/cp850.h"
#include "util/little_endian.h"

namespace util {

// Process-wide: the fold and the text stack outlive every call.
TextState text_state;

namespace {

constexpr int kFoldFirst = 64;
constexpr int kFoldLast = 237;
constexpr size_t kFoldEntries = kFoldLast - kFoldFirst + 1;  // 174

// Entry i is the fold of code 64 + i. Plain capitals; every other
// character of the range is a blank. 213 is the euro sign on the code
// pages that carry one, hence its E.
const std::string& PlainTable() {
  static const std::string table = Cp850(
      " ABCDEFGHIJKLMNO"  // 64-79
      "PQRSTUVWXYZ     "  // 80-95
      " ABCDEFGHIJKLMNO"  // 96-111
      "PQRSTUVWXYZ     "  // 112-127
      "CUEAAAACEEEIIIAA"  // 128-143
      "EAAOOOUUYOUO O  "  // 144-159
      "AIOUNNAO        "  // 160-175
      "     AAA        "  // 176-191
      "      AA        "  // 192-207
      "DDEEEEIII     I "  // 208-223
      "OSOOOO TTUUUYY");  // 224-237
  return table;
}

// Capitals keeping their accents; everything else as it is. Letters whose
// capital code page 850 lacks (ÿ, ß, þ, ı) stay small.
const std::string& AccentTable() {
  static const std::string table = Cp850(
      "@ABCDEFGHIJKLMNO"    // 64-79
      "PQRSTUVWXYZ[\\]^_"   // 80-95
      "`ABCDEFGHIJKLMNO"    // 96-111
      "PQRSTUVWXYZ{|}~⌂"    // 112-127
      "ÇÜÉÂÄÀÅÇÊËÈÏÎÌÄÅ"    // 128-143
      "ÉÆÆÔÖÒÛÙÿÖÜø£Ø×ƒ"    // 144-159
      "ÁÍÓÚÑÑªº¿®¬½¼¡«»"    // 160-175
      "░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐"    // 176-191
      "└┴┬├─┼ÃÃ╚╔╩╦╠═╬¤"    // 192-207
      "ÐÐÊËÈıÍÎÏ┘┌█▄¦Ì▀"    // 208-223
      "ÓßÔÒÕÕµþÞÚÛÙÝÝ");    // 224-237
  return table;
}

unsigned Code(char c) { return static_cast<unsigned char>(c); }

// The blank runs of line from first on that stand between two words.
std::vector<size_t> GapEnds(const std::string& line, size_t first) {
  std::vector<size_t> ends;
  bool seen_word = false;
  for (size_t i = first; i < line.size(); ++i) {
    if (line[i] != ' ') {
      seen_word = true;
    } else if (seen_word && i + 1 < line.size() && line[i + 1] != ' ') {
      ends.push_back(i + 1);
    }
  }
  return ends;
}

// Widens the word gaps of line (after its indent) round-robin, one blank at
// a time from the first gap on, until free blanks have been added.
void Justify(std::string& line, size_t indent, size_t free) {
  std::vector<size_t> ends = GapEnds(line, indent);
  if (ends.empty()) return;
  std::string out;
  out.reserve(line.size() + free);
  size_t from = 0;
  for (size_t g = 0; g < ends.size(); ++g) {
    size_t extra = free / ends.size() + (g < free % ends.size() ? 1 : 0);
    out.append(line, from, ends[g] - from);
    out.append(extra, ' ');
    from = ends[g];
  }
  out.append(line, from, std::string::npos);
  line = std::move(out);
}

// Takes characters from pos until avail visible ones are taken; controls
// (codes below 32) ride along without counting.
size_t TakeChars(const std::string& text, size_t pos, int avail) {
  int counted = 0;
  size_t end = pos;
  while (end < text.size() && counted < avail) {
    if (Code(text[end]) >= 32) ++counted;
    ++end;
  }
  return end;
}

}  // namespace

std::string FoldText(std::string_view text) {
  const std::string& table = text_state.FoldPlain ? PlainTable() : AccentTable();
  std::string out(text);
  if (table.size() != kFoldEntries) return out;  // guards the literals above
  for (char& c : out) {
    unsigned code = Code(c);
    if (code >= kFoldFirst && code <= kFoldLast) c = table[code - kFoldFirst];
  }
  return out;
}

void WrapText(std::string& text, int16_t indent, int16_t width, std::string_view mode) {
  const char how = mode.empty() ? ' ' : UpperCaseChar(mode[0]);
  const int hanging = indent < 0 ? -static_cast<int>(indent) : 0;
  const size_t n = text.size();
  int line_indent = indent > 0 ? indent : 0;
  bool first_line = true;
  std::string result;
  size_t pos = 0;
  while (pos < n) {
    int avail = width - line_indent;
    // A first line whose indent fills it holds the indent only and the text
    // goes on below. Where no line would ever have room, each line takes one
    // character so that the text is never lost nor looped over for ever.
    bool indent_only = avail < 1 && first_line && width - hanging >= 1;
    if (avail < 1) avail = 1;

    size_t end = pos;
    if (!indent_only) {
      end = TakeChars(text, pos, avail);
      if (end > pos && Code(text[end - 1]) > 32) {
        while (end < n && Code(text[end]) < 32) ++end;
      }
      // End the line before a word that does not fit.
      while (end > pos && end < n && Code(text[end]) > 32) --end;
      if (end > pos && end < n && Code(text[end]) < 32) {
        while (end > pos && text[end - 1] == ' ') --end;
      }
      if (end == pos) end = TakeChars(text, pos, avail);  // cut a long word
    }

    std::string line(static_cast<size_t>(line_indent), ' ');
    line.append(text, pos, end - pos);
    long controls = std::count_if(text.begin() + static_cast<std::ptrdiff_t>(pos),
                                  text.begin() + static_cast<std::ptrdiff_t>(end),
                                  [](char c) { return Code(c) < 32; });
    long full = width + controls;
    long missing = full - static_cast<long>(line.size());

    pos = end;
    while (pos < n && text[pos] == ' ') ++pos;
    const bool more_follows = pos < n;

    if (missing > 0) {
      size_t free = static_cast<size_t>(missing);
      switch (how) {
        case 'E':
        case 'L':
        case 'I':
          line.append(free, ' ');
          break;
        case 'N':
          line.append(free, '-');
          break;
        case 'D':
        case 'R':
          line.insert(0, free, ' ');
          break;
        case 'C':
          line.insert(0, free / 2, ' ');
          line.append((free + 1) / 2, ' ');
          break;
        case 'A':
        case 'B':
          if (more_follows) Justify(line, static_cast<size_t>(line_indent), free);
          break;
        default:
          break;
      }
    }
    result += line;
    line_indent = hanging;
    first_line = false;
  }
  text = std::move(result);
}

std::string ReadingName(std::string_view name) {
  std::string_view trimmed = Trim(name);
  size_t star = trimmed.find('*');
  if (star == std::string_view::npos || star == 0) return std::string(trimmed);
  std::string_view surname = Trim(trimmed.substr(0, star));
  std::string_view forename = Trim(trimmed.substr(star + 1));
  std::string out(forename);
  // "GARCIA*" has no forename: no blank in front of the surname either.
  if (!forename.empty() && trimmed.back() != '\'') out += ' ';
  out += surname;
  return out;
}

int16_t AllSameChar(std::string_view text, int16_t code) {
  for (char c : text) {
    if (static_cast<int>(Code(c)) != code) return 0;
  }
  return -1;
}

void PushText(std::string_view text) {
  // The length field holds at most 65535; a longer text is cut to that so
  // that the entries below it stay readable.
  size_t n = std::min<size_t>(text.size(), 0xFFFF);
  text_state.TextStack.append(text.substr(0, n));
  text_state.TextStack += Le16(static_cast<uint16_t>(n));
}

std::string PopText() {
  if (text_state.TextStack.size() < 2) {
    text_state.TextStack.clear();
    return {};
  }
  size_t body = text_state.TextStack.size() - 2;
  size_t n = GetLe16(text_state.TextStack, body);
  n = std::min(n, body);  // a corrupt length: what is there, no more
  std::string top = text_state.TextStack.substr(body - n, n);
  text_state.TextStack.resize(body - n);
  return top;
}

std::string UpToNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

int16_t CentreOffset(std::string_view text, int16_t width) {
  long long offset = (static_cast<long long>(width) - static_cast<long long>(text.size())) / 2;
  offset = std::clamp<long long>(offset, std::numeric_limits<int16_t>::min(),
                                 std::numeric_limits<int16_t>::max());
  return static_cast<int16_t>(offset);
}

std::string BytesAt(const void* address, int16_t count) {
  if (address == nullptr || count <= 0) return {};
  std::string out(static_cast<size_t>(count), '\0');
  std::memcpy(out.data(), address, out.size());
  return out;
}

std::string ComputerNameFrom(std::string_view host_name_utf8) {
  std::string name = Cp850(host_name_utf8);
  // The platform's buffer holds 16 characters and a NUL. A longer name is
  // cut rather than lost: the lock tables show which terminal holds a lock.
  if (name.size() > 16) name.resize(16);
  return name;
}

}  // namespace util
