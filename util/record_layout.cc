#include "util/record_layout.h"

#include <algorithm>

#include "util/numbers.h"

namespace util {

std::string_view FieldOf(std::string_view record, const Field& field) {
  if (field.offset() >= record.size()) return {};
  return record.substr(field.offset(), field.width);
}

std::string FieldPadded(std::string_view record, const Field& field, char fill) {
  std::string out(FieldOf(record, field));
  out.resize(field.width, fill);
  return out;
}

std::string_view FieldsOf(std::string_view record, const Field& from, const Field& to) {
  if (from.offset() >= record.size() || to.end() <= from.offset()) return {};
  return record.substr(from.offset(), to.end() - from.offset());
}

std::string BlankRecord(const RecordLayout& layout, char fill) {
  return std::string(layout.length, fill);
}

void PutFrom(std::string& record, const Field& field, std::string_view value) {
  if (field.offset() >= record.size()) return;
  const size_t n = std::min(value.size(), record.size() - field.offset());
  record.replace(field.offset(), n, value.substr(0, n));
}

void PutField(std::string& record, const Field& field, std::string_view value) {
  std::string fixed;
  switch (field.kind) {
    case FieldKind::kDigits:
      fixed = value.size() >= field.width ? std::string(value.substr(value.size() - field.width))
                                          : std::string(field.width - value.size(), '0') +
                                                std::string(value);
      break;
    case FieldKind::kText:
    case FieldKind::kDate:
    case FieldKind::kFree:
      fixed = std::string(value.substr(0, field.width));
      fixed.resize(field.width, ' ');
      break;
    case FieldKind::kZeroText:
    case FieldKind::kPacked:
    case FieldKind::kBinary:
      fixed = std::string(value.substr(0, field.width));
      fixed.resize(field.width, '\0');
      break;
  }
  PutFrom(record, field, fixed);
}

void PutNumber(std::string& record, const Field& field, int64_t value) {
  PutFrom(record, field, ZeroPad(static_cast<double>(value), static_cast<int16_t>(field.width)));
}

const Field* FindField(const RecordLayout& layout, std::string_view name) {
  for (const Field& field : layout.fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

std::string CheckLayout(const RecordLayout& layout) {
  const std::string table = std::string(layout.name) + ": ";
  size_t next = 1;
  for (const Field& field : layout.fields) {
    const std::string which = table + "field " + std::string(field.name) + " ";
    if (field.name.empty()) return table + "a field has no name";
    if (FindField(layout, field.name) != &field) return which + "is named twice";
    if (field.width == 0) return which + "has no width";
    if (field.first < next) return which + "overlaps the one before it";
    if (field.first > next) {
      return which + "leaves positions " + std::to_string(next) + " to " +
             std::to_string(field.first - 1) + " unnamed";
    }
    next = field.first + field.width;
  }
  if (next != layout.length + 1) {
    return table + "the fields end at " + std::to_string(next - 1) + ", the record at " +
           std::to_string(layout.length);
  }
  return {};
}

}  // namespace util
