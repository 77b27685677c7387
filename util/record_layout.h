// Fixed-width records described once, as a table of named fields, so that
// the code that builds a record and the code that reads it take every
// column from the same place. Positions count from 1, as the banks' and
// the formats' own documents count them. A table names every byte of its
// record: the spaces a format leaves unused are fields of kind kFree, so
// the table reads as the record lies, from its first byte to its last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace util {

enum class FieldKind {
  kDigits,    // decimal digits, right-aligned and filled with '0'
  kText,      // characters, left-aligned and filled with blanks
  kDate,      // a date as yyyymmdd, put as text
  kZeroText,  // characters, left-aligned and filled with zero bytes
  kPacked,    // packed decimal digits, two to a byte
  kBinary,    // a little-endian number, or a byte taken as a number
  kFree,      // unused by the format: blank (or zero bytes) in every record
};

struct Field {
  std::string_view name;
  size_t first = 0;  // 1-based position of its first byte
  size_t width = 0;
  FieldKind kind = FieldKind::kText;
  // 0-based offset of its first byte and of the byte after it.
  constexpr size_t offset() const { return first - 1; }
  constexpr size_t end() const { return first - 1 + width; }
};

// Fields of each kind, so that a table reads as a list.
constexpr Field Digits(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kDigits};
}
constexpr Field Text(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kText};
}
constexpr Field Date(std::string_view name, size_t first) {
  return {name, first, 8, FieldKind::kDate};
}
constexpr Field ZeroText(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kZeroText};
}
constexpr Field Packed(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kPacked};
}
constexpr Field Binary(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kBinary};
}
constexpr Field Free(std::string_view name, size_t first, size_t width) {
  return {name, first, width, FieldKind::kFree};
}

struct RecordLayout {
  std::string_view name;
  size_t length = 0;
  std::span<const Field> fields;
};

// The bytes of the field in the record: fewer when the record ends inside
// it, none when it ends before it.
std::string_view FieldOf(std::string_view record, const Field& field);
// The field's bytes filled up with fill where the record ends early.
std::string FieldPadded(std::string_view record, const Field& field, char fill = ' ');
// The bytes from the first byte of from to the last byte of to, as
// FieldOf takes them: one value a format lays out in several fields.
std::string_view FieldsOf(std::string_view record, const Field& from, const Field& to);

// A record of the layout's length, every byte fill.
std::string BlankRecord(const RecordLayout& layout, char fill = ' ');
// Puts value into the field, cut to its width or filled up as its kind
// says (digits on the left with '0', text on the right with blanks, zero
// text, packed and binary on the right with zero bytes). What passes the
// end of the record is cut.
void PutField(std::string& record, const Field& field, std::string_view value);
// The number as the field's width of digits, leading zeros (only its last
// digits when it has more).
void PutNumber(std::string& record, const Field& field, int64_t value);
// The value from the field's first byte on, over whatever follows it, cut
// at the end of the record: a text the format lets run on.
void PutFrom(std::string& record, const Field& field, std::string_view value);

// The field called name, or nullptr.
const Field* FindField(const RecordLayout& layout, std::string_view name);
// Empty when the table is sound: fields named once each, in order, the
// first at position 1, each starting where the one before ends (no overlap
// and no gap the table does not name as kFree), the last ending at the
// record's length. Otherwise what is wrong, in words.
std::string CheckLayout(const RecordLayout& layout);

}  // namespace util
