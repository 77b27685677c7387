// The classic sequential form of a record file's contents: each record as
// its length in decimal, a comma, the record's bytes, then CR LF. A Ctrl+Z
// after the last record (as older tools wrote) marks the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kitdb {

// Appends one record in sequential form.
void AppendSequential(std::string_view record, std::string* out);

// Splits sequential text into records; false with "record N (byte B): what
// is wrong" in *error for a truncated or malformed text.
bool ParseSequential(std::string_view text, std::vector<std::string>* records,
                     std::string* error);

}  // namespace kitdb
