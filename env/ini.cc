#include "env/ini.h"

#include <random>
#include <string_view>
#include <utility>
#include <vector>

#include "env/ini_file.h"
#include "env/language.h"
#include "platform/fs/files.h"
#include "platform/process/clock.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace env {

namespace {

// Everything from the first ";" on is comment, quotes or not.
std::string_view CutComment(std::string_view line) {
  return line.substr(0, line.find(';'));
}

std::string NameKey(std::string_view name) { return util::UpperCase(util::Trim(name)); }

// name, trimmed and upper-cased, equals key (already in that form). Runs on
// every line of a file, so it builds no text.
bool SameName(std::string_view name, const std::string& key) {
  name = util::Trim(name);
  if (name.size() != key.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (util::UpperCaseChar(name[i]) != key[i]) return false;
  }
  return true;
}

// Whether a header (content starting with "[") names the section: the name
// runs to the first "]", or to the end when there is none.
bool IsSection(std::string_view header, const std::string& section_key) {
  std::string_view name = header.substr(1);
  return SameName(name.substr(0, name.find(']')), section_key);
}

// A value taken into the file must not break it into more lines.
std::string OneLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

// The copy of a settings file with one change applied. Blank and
// comment-only lines are held back until the next content line (or the end
// of the file) so that a new entry lands right after the last content line
// of its section, ahead of the blank and comment lines that lead to the
// next header; at the end of the file a new section goes before the
// trailing blank lines. Every line goes out with CR LF.
class Rewriter {
 public:
  Rewriter(std::string section, std::string key, std::string value)
      : section_(std::move(section)), key_(std::move(key)), value_(std::move(value)),
        section_key_(NameKey(section_)), key_key_(NameKey(key_)) {}

  std::string Run(std::string_view text) {
    out_.reserve(text.size() + section_.size() + key_.size() + value_.size() + 8);
    std::string_view line;
    while (NextLine(&text, &line)) Line(line);
    EmitPending();
    ReplayHeld();
    return std::move(out_);
  }

 private:
  void Line(std::string_view raw) {
    bool drop = section_.empty();
    std::string_view content = util::Trim(CutComment(raw));
    if (content.empty()) {
      held_.push_back(raw);
      return;
    }
    std::string replaced;
    std::string_view kept = raw;
    bool header = content.front() == '[';
    if (header && in_section_) {
      EmitPending();
      in_section_ = false;
    }
    if (header) {
      // A header of the section (also one right after another of the same
      // name) starts it again: every entry of the key in it is changed.
      if (IsSection(content, section_key_)) {
        in_section_ = true;
        drop = key_.empty() || section_.empty();
      }
    } else if (in_section_) {
      std::string_view::size_type equals = content.find('=');
      if (equals != std::string_view::npos &&
          (key_.empty() || SameName(content.substr(0, equals), key_key_))) {
        // Indentation and key stay as written; the old value and any
        // comment after it go.
        replaced.assign(raw.substr(0, raw.find('=') + 1));
        replaced += value_;
        kept = replaced;
        drop = key_.empty() || section_.empty() || value_.empty();
        written_ = true;
      }
    }
    ReplayHeld();
    if (!drop) Emit(kept);
  }

  // The new entry, once, when no entry of the key was met in the section.
  void EmitPending() {
    if (!written_ && !section_.empty() && !key_.empty() && !value_.empty()) {
      if (!in_section_) Emit("[" + section_ + "]");
      Emit(key_ + "=" + value_);
    }
    written_ = true;
  }

  void ReplayHeld() {
    for (std::string_view line : held_) Emit(line);
    held_.clear();
  }

  void Emit(std::string_view line) {
    out_.append(line);
    out_.append("\r\n");
  }

  const std::string section_;
  const std::string key_;
  const std::string value_;
  const std::string section_key_;
  const std::string key_key_;
  bool in_section_ = false;
  bool written_ = false;
  std::vector<std::string_view> held_;
  std::string out_;
};

}  // namespace

namespace {

std::string ValueInText(std::string_view text, const std::string& section, const std::string& key) {
  const std::string section_key = NameKey(section);
  const std::string key_key = NameKey(key);
  std::string result;
  bool in_section = false;
  std::string_view rest = text;
  std::string_view raw;
  while (NextLine(&rest, &raw)) {
    // Trailing blanks stay: they belong to the value.
    std::string_view line = util::TrimLeft(CutComment(raw));
    if (line.empty()) continue;
    if (!in_section) {
      in_section = line.front() == '[' && IsSection(line, section_key);
      continue;
    }
    if (line.front() == '[') break;  // a later header of the same name is not looked at
    std::string_view::size_type equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameName(line.substr(0, equals), key_key)) {
      result.assign(line.substr(equals + 1));
      break;
    }
  }
  if (result.size() >= 2 && result.front() == '"' && result.back() == '"') {
    result = result.substr(1, result.size() - 2);
  }
  return result;
}

}  // namespace

std::string ReadIniValue(const std::string& path, const std::string& section,
                         const std::string& key) {
  return IniSnapshot(path).Value(section, key);
}

IniSnapshot::IniSnapshot(const std::string& path) {
  if (ReadWholeFile(path, &text_) != FileRead::kOk) text_.clear();
}

std::string IniSnapshot::Value(const std::string& section, const std::string& key) const {
  return ValueInText(text_, section, key);
}

namespace {

// Writes text into a temporary file beside path, flushed to disk, and
// renames it over path: a reader finds the old file or the new one, and a
// failure leaves the old one as it was. The writer's turn is the caller's.
bool PutTextInPlace(const std::string& path, const std::string& text) {
  // The seed comes from the time of day, as the family's programs do it,
  // mixed with the machine's entropy so that two writers starting in the
  // same hundredth do not draw the same names.
  std::seed_seq seed{static_cast<unsigned>(platform::SecondsSinceMidnight() * 100),
                     std::random_device{}()};
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> digit(0, 9);
  // The temporary file is named after this file, and held until it is in
  // place, so that the next writer knows which ones are left over.
  platform::fs::File held;
  std::string temp = WriteTempFile(path + ".", text, [&] { return digit(generator); }, &held);
  if (temp.empty()) return false;
  if (ReplaceFile(temp, path)) return true;
  RemoveFile(temp);
  return false;
}

// What failed in a rewrite of path: the failure platform/fs noted, in
// words; the path in words when it noted none.
Status WriteFailure(const std::string& path) {
  Status noted = LastFileStatus();
  if (!noted.ok()) return noted;
  return Status(Code::kFileError, TranslateText(util::Cp850("NO ES POT ESCRIURE")) + " " + path, path);
}

}  // namespace

std::string RewriteIniText(std::string_view text, const std::string& section,
                           const std::string& key, const std::string& value) {
  return Rewriter(OneLine(section), OneLine(key), OneLine(value)).Run(text);
}

Status WriteIniValue(const std::string& path, const std::string& section,
                     const std::string& key, const std::string& value) {
  // Two terminals rewriting one file at once would each start from the old
  // text, and the second to finish would drop the first one's change: the
  // whole read-change-replace is one writer's turn. With the turn held, a
  // temporary file of this file that no live writer holds was left by a
  // writer killed halfway.
  platform::fs::File turn = TakeWriterTurn(path);
  if (turn.IsOpen()) RemoveStaleTempFiles(path);
  std::string text;
  platform::fs::ClearFileError();
  // A file that is there but cannot be read is never replaced: its content
  // would be lost.
  if (ReadWholeFile(path, &text) == FileRead::kFailed) return WriteFailure(path);
  std::string new_text = RewriteIniText(text, section, key, value);
  if (!PutTextInPlace(path, new_text)) return WriteFailure(path);
  return OkStatus();
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  platform::fs::File turn = TakeWriterTurn(path);
  if (turn.IsOpen()) RemoveStaleTempFiles(path);
  return PutTextInPlace(path, text);
}

}  // namespace env
