#include "tools/kitdb/dump.h"

#include "util/cp850.h"
#include "util/dates.h"

namespace kitdb {
namespace {

std::string Quoted(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else {
      out += util::Cp850ToUtf8(std::string_view(&ch, 1));
    }
  }
  return out + "\"";
}

std::string Packed(std::string_view bytes) {
  // Trailing blank bytes are unfilled digits, as the generation reads them.
  while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  bool empty = true;
  for (char ch : bytes) empty = empty && static_cast<unsigned char>(ch) == 128;
  if (empty) return "";
  // A byte that holds no two digits is shown as it is, in hex, so that a
  // damaged field can be told from another.
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 128 && c <= 227) {
      out += util::UnpackDigits(std::string_view(&ch, 1));
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string Integer(std::string_view bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i > 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i - 1]);
  size_t bits = bytes.size() * 8;
  int64_t value = 0;
  if (bits < 64 && (v >> (bits - 1)) != 0) {
    value = static_cast<int64_t>(v) - (int64_t{1} << bits);
  } else {
    value = static_cast<int64_t>(v);
  }
  return std::to_string(value);
}

std::string Hex(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

}  // namespace

std::string DumpLine(const Description* description, std::string_view record) {
  if (description == nullptr || description->fields.empty()) return Quoted(record);
  std::string line;
  for (const Field& f : description->fields) {
    if (f.kind == FieldKind::kSkip) continue;
    if (!line.empty()) line += ' ';
    line += f.name + "=";
    size_t from = f.position - 1u;
    std::string_view bytes = from < record.size() ? record.substr(from, f.length) : std::string_view();
    switch (f.kind) {
      case FieldKind::kText: line += Quoted(bytes); break;
      case FieldKind::kPacked: line += Packed(bytes); break;
      case FieldKind::kInteger:
        line += bytes.size() == f.length ? Integer(bytes) : "?";
        break;
      case FieldKind::kHex: line += Hex(bytes); break;
      case FieldKind::kSkip: break;
    }
  }
  return line;
}

}  // namespace kitdb
