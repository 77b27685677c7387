// What the catalogue shows of a remittance file: its collection date, total
// and number of debits, read from the file's content (a Cuaderno 19.14 file
// by its first record, a SEPA XML direct-debit initiation by its parsed
// document), never from its name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fs/files.h"

namespace remit {

struct RemittanceSummary {
  std::string date;     // yyyymmdd; empty when the file has none or garbage
  int64_t cents = -1;   // the total in euro cents; -1 when it cannot be told
  int64_t debits = -1;  // the number of debits; -1 when it cannot be told
};

// Reads the file at the host path; false when it is not a remittance file
// (neither kind, too short, not well formed, unreadable, vanished).
bool SummariseRemittanceFile(const std::string& host_path, RemittanceSummary* summary);

// The pieces, for the file already recognised by its first bytes.
namespace summary_detail {
// Decimal text ("7.25", "100", "0.5", "12.300") as exact cents; false for
// anything else (a sign, an exponent, a third decimal that is not 0, more
// than 15 integer digits, blanks inside).
bool ParseCents(std::string_view text, int64_t* cents);
// "2024-03-01" as "20240301" when it is a real date; empty otherwise.
std::string IsoDateDigits(std::string_view text);
// "20240301" unchanged when it is a real date; empty otherwise.
std::string ValidDateDigits(std::string_view digits);
// head holds the file's first bytes (up to 602).
bool SummariseC19(platform::fs::File& file, int64_t size, const std::string& head,
                  RemittanceSummary* summary);
bool SummariseSepaXml(platform::fs::File& file, RemittanceSummary* summary);
}  // namespace summary_detail

}  // namespace remit
