#include "tools/kitdb/description.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "platform/recman/btrcall.h"
#include "platform/recman/keyspec.h"
#include "tools/kitdb/record_file.h"
#include "util/basics.h"
#include "util/little_endian.h"

namespace kitdb {
namespace {

namespace rm = platform::recman;

struct TypeName {
  const char* name;
  uint8_t code;
};
constexpr TypeName kTypes[] = {
    {"STRING", 0},  {"INTEGER", 1}, {"FLOAT", 2},    {"DATE", 3},     {"TIME", 4},
    {"DECIMAL", 5}, {"MONEY", 6},   {"LOGICAL", 7},  {"NUMERIC", 8},  {"BFLOAT", 9},
    {"LSTRING", 10}, {"ZSTRING", 11}, {"UNSIGNED", 14}, {"AUTOINCREMENT", 15},
};

struct FileFlagName {
  const char* name;
  uint16_t flag;
};
constexpr FileFlagName kFileFlags[] = {
    {"VARIABLE", 0x01}, {"TRUNCATE", 0x02}, {"PREALLOCATE", 0x04}, {"COMPRESS", 0x08},
    {"KEYONLY", 0x10},  {"BALANCED", 0x20}, {"FREE10", 0x40},      {"FREE20", 0x80},
    {"SCRATCH", rm::kFileScratch},
};

bool AllDigits(const std::string& word) {
  return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

const char* TypeNameOf(uint8_t code) {
  for (const TypeName& t : kTypes) {
    if (t.code == code) return t.name;
  }
  return "?";
}

// A whole decimal number within [low, high]; false otherwise.
bool Number(const std::string& word, long low, long high, long* value) {
  if (word.empty() || word.size() > 9) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::strtol(word.c_str(), nullptr, 10);
  return *value >= low && *value <= high;
}

// A line the parser refuses, in the tool's words.
env::Status Bad(std::string words) { return env::Status(env::Code::kBadData, std::move(words)); }

class Parser {
 public:
  explicit Parser(Description* d) : d_(d) {}

  env::Status Line(const std::vector<std::string>& words) {
    const std::string verb = util::UpperCase(words[0]);
    if (verb == "RECORD") return Record(words);
    if (verb == "PAGE") return Page(words);
    if (verb == "FLAGS") return Flags(words);
    if (verb == "ALTERNATE") return Alternate(words);
    if (verb == "FIELD") return FieldLine(words);
    if (verb == "KEY") return Key(words);
    if (verb == "SEGMENT") return Segment(words);
    return Bad("unknown word \"" + words[0] + "\"");
  }

  env::Status Finish() {
    if (d_->record_length == 0) {
      return Bad("no \"record\" line");
    }
    for (size_t k = 0; k < d_->keys.size(); ++k) {
      if (d_->keys[k].segments.empty()) {
        return Bad("key " + std::to_string(k) + " has no segments");
      }
    }
    // The record manager's own check of the whole, so that xdf never writes
    // a dictionary that create would refuse.
    std::string layout = CreationSpec(*d_);
    rm::FileLayout parsed;
    if (int16_t st = rm::ParseCreationBuffer(layout, &parsed)) {
      return Bad("the record manager refuses this layout (" + StatusText(st) + ")");
    }
    if (layout.size() > 65535) {
      return Bad("the layout takes " + std::to_string(layout.size()) +
             " bytes, more than a dictionary holds (65535)");
    }
    return env::OkStatus();
  }

 private:
  env::Status Record(const std::vector<std::string>& w) {
    long v = 0;
    if (w.size() != 2 || !Number(w[1], 1, 65535, &v)) {
      return Bad("\"record\" wants a length from 1 to 65535");
    }
    if (!d_->fields.empty() || !d_->keys.empty()) {
      return Bad("\"record\" must come before the fields and keys");
    }
    d_->record_length = static_cast<uint16_t>(v);
    return env::OkStatus();
  }

  env::Status Page(const std::vector<std::string>& w) {
    long v = 0;
    if (w.size() != 2 || !Number(w[1], 512, 4096, &v) || v % 512 != 0) {
      return Bad("\"page\" wants a multiple of 512 from 512 to 4096");
    }
    d_->page_size = static_cast<uint16_t>(v);
    return env::OkStatus();
  }

  env::Status Flags(const std::vector<std::string>& w) {
    for (size_t i = 1; i < w.size(); ++i) {
      bool known = false;
      for (const FileFlagName& f : kFileFlags) {
        if (util::UpperCase(w[i]) == f.name) {
          d_->file_flags |= f.flag;
          known = true;
        }
      }
      if (!known) {
        return Bad("unknown file flag \"" + w[i] + "\"");
      }
    }
    return env::OkStatus();
  }

  env::Status Alternate(const std::vector<std::string>& w) {
    if (w.size() != 2 || w[1].size() > 8) {
      return Bad("\"alternate\" wants a name of up to 8 characters");
    }
    d_->alternate_name = w[1];
    return env::OkStatus();
  }

  env::Status FieldLine(const std::vector<std::string>& w) {
    if (d_->record_length == 0) {
      return Bad("\"field\" before the \"record\" line");
    }
    long pos = 0, len = 0;
    if (w.size() < 4 || w.size() > 5 || !Number(w[2], 1, 65535, &pos) ||
        !Number(w[3], 1, 65535, &len)) {
      return Bad("\"field\" wants NAME POSITION LENGTH [text|packed|integer|hex|skip]");
    }
    if (pos + len - 1 > d_->record_length) {
      return Bad("field \"" + w[1] + "\" ends beyond the record");
    }
    if (FindField(w[1]) != nullptr) {
      return Bad("field \"" + w[1] + "\" named twice");
    }
    Field f{w[1], static_cast<uint16_t>(pos), static_cast<uint16_t>(len), FieldKind::kText};
    if (w.size() == 5) {
      std::string kind = util::UpperCase(w[4]);
      if (kind == "PACKED") {
        f.kind = FieldKind::kPacked;
      } else if (kind == "INTEGER") {
        if (len != 1 && len != 2 && len != 4 && len != 8) {
          return Bad("an integer field is 1, 2, 4 or 8 bytes long");
        }
        f.kind = FieldKind::kInteger;
      } else if (kind == "HEX") {
        f.kind = FieldKind::kHex;
      } else if (kind == "SKIP") {
        f.kind = FieldKind::kSkip;
      } else if (kind != "TEXT") {
        return Bad("unknown field kind \"" + w[4] + "\"");
      }
    }
    d_->fields.push_back(f);
    return env::OkStatus();
  }

  env::Status Key(const std::vector<std::string>& w) {
    size_t first = 1;
    long number = 0;
    if (d_->keys.size() >= rm::kMaxKeys || (w.size() > 1 && AllDigits(w[1]) &&
                                           !Number(w[1], 0, static_cast<long>(rm::kMaxKeys) - 1, &number))) {
      return Bad("a file has at most 119 keys, numbered 0 to 118");
    }
    if (w.size() > 1 && AllDigits(w[1])) {
      if (static_cast<size_t>(number) != d_->keys.size()) {
        return Bad("keys are numbered 0, 1, 2 ... in order; expected key " +
                   std::to_string(d_->keys.size()));
      }
      first = 2;
    }
    KeyDef key;
    for (size_t i = first; i < w.size(); ++i) {
      std::string word = util::UpperCase(w[i]);
      if (word == "UNIQUE") {
        key.duplicates = false;
      } else if (word == "DUPLICATES") {
        key.duplicates = true;
      } else if (word == "MODIFIABLE") {
        key.modifiable = true;
      } else {
        return Bad("unknown key option \"" + w[i] + "\"");
      }
    }
    d_->keys.push_back(key);
    return env::OkStatus();
  }

  env::Status Segment(const std::vector<std::string>& w) {
    if (d_->keys.empty()) {
      return Bad("\"segment\" before any \"key\"");
    }
    SegmentDef s;
    size_t i = 1;
    long pos = 0, len = 0;
    if (w.size() >= 2 && AllDigits(w[1])) {
      if (w.size() < 3 || !Number(w[1], 1, 65535, &pos) || !Number(w[2], 1, 255, &len)) {
        return Bad("\"segment\" wants POSITION from 1 and LENGTH from 1 to 255");
      }
      s.position = static_cast<uint16_t>(pos);
      s.length = static_cast<uint16_t>(len);
      i = 3;
    } else if (w.size() >= 2) {
      const Field* f = FindField(w[1]);
      if (f == nullptr) {
        return Bad("no field \"" + w[1] + "\"");
      }
      s.position = f->position;
      s.length = f->length;
      i = 2;
    } else {
      return Bad("\"segment\" wants a field name or POSITION LENGTH");
    }
    const std::string key_name = "key " + std::to_string(d_->keys.size() - 1);
    if (s.position + s.length - 1 > d_->record_length) {
      return Bad(key_name + ": the segment ends beyond the record");
    }
    for (; i < w.size(); ++i) {
      if (env::Status option = SegmentOption(w[i], &s); !option.ok()) return option;
    }
    KeyDef& key = d_->keys.back();
    if (key.segments.size() >= 255) {
      return Bad("more than 255 segments in one key");
    }
    size_t total = s.length;
    for (const SegmentDef& other : key.segments) total += other.length;
    if (total > rm::kMaxKeyLength) {
      return Bad(key_name + " longer than 255 bytes");
    }
    if ((s.flags & rm::kKeyAlternate) != 0 && d_->alternate_name.empty()) {
      return Bad("\"alternate\" segment without an \"alternate\" line");
    }
    if (!SegmentTaken(s)) {
      if (s.type == rm::kTypeAutoIncrement && !key.segments.empty()) {
        return Bad(key_name + ": an autoincrement segment must come first in its key");
      }
      return Bad(key_name + ": the record manager takes no " + TypeNameOf(s.type) + " segment of " +
                 std::to_string(s.length) + " bytes");
    }
    key.segments.push_back(s);
    return env::OkStatus();
  }

  // Whether the record manager takes the last key with s added: its own
  // check decides what types and lengths go together.
  bool SegmentTaken(const SegmentDef& s) const {
    if ((s.flags & rm::kKeyExtendedType) == 0) return true;
    Description one;
    one.record_length = d_->record_length;
    one.alternate_name = d_->alternate_name;
    one.keys.push_back(d_->keys.back());
    one.keys.back().segments.push_back(s);
    rm::FileLayout layout;
    return rm::ParseCreationBuffer(CreationSpec(one), &layout) == 0;
  }

  env::Status SegmentOption(const std::string& option, SegmentDef* s) {
    std::string word = util::UpperCase(option);
    long v = 0;
    if (word == "BINARY") {
      s->flags |= rm::kKeyBinary;
    } else if (word == "DESCENDING") {
      s->flags |= rm::kKeyDescending;
    } else if (word == "NOCASE") {
      s->flags |= rm::kKeyCaseInsensitive;
    } else if (word == "ALTERNATE") {
      s->flags |= rm::kKeyAlternate;
    } else if (word.rfind("NULL=", 0) == 0 && Number(word.substr(5), 0, 255, &v)) {
      s->flags |= rm::kKeyNullAll;
      s->null_value = static_cast<uint8_t>(v);
    } else if (word.rfind("TYPE=", 0) == 0) {
      for (const TypeName& t : kTypes) {
        if (word.substr(5) == t.name) {
          s->flags |= rm::kKeyExtendedType;
          s->type = t.code;
          return env::OkStatus();
        }
      }
      return Bad("unknown type \"" + option.substr(5) + "\"");
    } else {
      return Bad("unknown segment option \"" + option + "\"");
    }
    return env::OkStatus();
  }

  const Field* FindField(const std::string& name) const {
    for (const Field& f : d_->fields) {
      if (util::UpperCase(f.name) == util::UpperCase(name)) return &f;
    }
    return nullptr;
  }

  Description* d_;
};

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

}  // namespace

env::Status ParseDescription(std::string_view text, Description* description) {
  *description = Description();
  Parser parser(description);
  size_t line_number = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++line_number;
    size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    if (env::Status read = parser.Line(words); !read.ok()) {
      return env::Status(read.code(), "line " + std::to_string(line_number) + ": " + read.words());
    }
  }
  return parser.Finish();
}

std::string CreationSpec(const Description& d) {
  rm::FileDefinition definition;
  definition.record_length = d.record_length;
  definition.page_size = d.page_size;
  definition.file_flags = d.file_flags;
  for (const KeyDef& key : d.keys) {
    for (size_t i = 0; i < key.segments.size(); ++i) {
      const SegmentDef& s = key.segments[i];
      uint16_t flags = s.flags;
      if (key.duplicates) flags |= rm::kKeyDuplicates;
      if (key.modifiable) flags |= rm::kKeyModifiable;
      if (i + 1 < key.segments.size()) flags |= rm::kKeySegmented;
      definition.segments.push_back({s.position, s.length, flags, s.type, s.null_value});
    }
  }
  if (!d.alternate_name.empty()) {
    // The program's own upper-casing as the collating sequence, so that
    // such keys sort and match regardless of case as its names compare.
    definition.alternate_name = d.alternate_name;
    for (int c = 0; c < 256; ++c) definition.alternate_table += util::UpperCaseChar(static_cast<char>(c));
  }
  return rm::EncodeCreationBuffer(definition);
}

std::string DictionaryBytes(const Description& description) {
  std::string layout = CreationSpec(description);
  return util::Le16(static_cast<uint16_t>(layout.size())) + layout;
}

}  // namespace kitdb
