// The record-by-record checks of a CSB 19 remittance and the report they
// write to the print spool, apart from the reading of the volumes, so that
// they can be driven by records given as strings.
//
// A record is 162 characters and CR LF. Kinds (positions 2-4): 180 the
// presenter's header, 380 an ordering party's header, 68x its receipts
// (680 the mandatory record, 681-686 the optional ones in order), 880 the
// party's totals, 980 the general totals. The counts are 32-bit, so that a
// set of any size reports the right totals and record numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remit/csb19_layout.h"

namespace remit {

// A record as it lies in the file: 162 characters and CR LF.
inline constexpr size_t kCsb19RecordLength = kCsb19Length + 2;

class VerificationReport {
 public:
  void ErrorLine(double record_number, std::string_view message);
  // The 5880 record's line: the computed totals, and the declared ones
  // below when they differ. False when they differ.
  bool PartyLines(std::string_view record, double amount, int32_t receipts, int32_t records);
  // The 5980 record's lines, the same way, with the number of parties and
  // the presenter's date (packed).
  bool GeneralTotals(std::string_view record, std::string_view presenter_date, int32_t parties,
                     double amount, int32_t receipts, int32_t records);
  // The line of a verification the operator stopped: how many records of
  // the volume were left unchecked, and whether later volumes were too.
  void StoppedLine(int64_t records_left, bool later_volumes);
  int32_t pages() const { return pages_; }

 private:
  void Heading();
  void NewPageIfBeyond(int16_t lines);
  int32_t pages_ = 0;
};

class RecordChecker {
 public:
  // Checks the next record of the set (the records read so far counted
  // before the call) and reports its defects and totals.
  void Check(std::string_view record, double record_number);
  bool finished() const { return finished_; }
  bool record_error() const { return record_error_; }
  // The error lines written so far.
  int64_t error_lines() const { return error_lines_; }
  VerificationReport& report() { return report_; }

 private:
  void Error(double record_number, std::string_view message);

  VerificationReport report_;
  bool finished_ = false;
  bool record_error_ = false;
  int64_t error_lines_ = 0;
  std::string presenter_date_;
  int32_t parties_ = 0;
  double total_amount_ = 0;
  int32_t total_receipts_ = 0;
  int32_t total_records_ = 0;
  double party_amount_ = 0;
  int32_t party_receipts_ = 0;
  int32_t party_records_ = 0;
  int32_t optional_sequence_ = 0;
};

}  // namespace remit
