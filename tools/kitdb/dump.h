// One readable line per record for `kitdb dump`.
#pragma once

#include <string>
#include <string_view>

#include "tools/kitdb/description.h"

namespace kitdb {

// The record's described fields as NAME=VALUE separated by blanks: text in
// quotes (code page 850 shown as UTF-8, trailing blanks dropped, other
// bytes below 32 and quotes and backslashes escaped), packed digits as
// digits (empty when every byte is 128, "??" for a byte that holds no two
// digits), integers as signed decimal, hex as pairs of hex digits. Without
// fields (a null description or none described), the whole record as one
// quoted text.
std::string DumpLine(const Description* description, std::string_view record);

}  // namespace kitdb
