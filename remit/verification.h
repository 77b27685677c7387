// The verification of a CSB 19 direct-debit remittance held as a backup set
// on a drive: the volumes read in order, the operator asked for each, the
// records split between volumes joined, every record checked, and a report
// written to the print spool, which the caller opens before and closes
// after (one line per ordering party with its computed totals, the
// presenter's general totals, and an error line for every defect).
//
// It is called with the drive to read, asks the operator for each volume
// (and whether to go on after many errors) through the Operator it is given
// (operator.h), shows its progress there, and returns a report of how it
// ended.
#pragma once

#include <cstdint>
#include <string>

#include "env/status.h"
#include "remit/operator.h"

namespace remit {

enum class VerificationEnd {
  kRead,       // the set was read to its 5980 record and its volume's end
  kCancelled,  // the operator pressed Escape at a volume prompt, or stopped a
               // volume of many errors (the report says what was left unchecked)
  kFailed,     // a volume could not be read (the operator was told why)
};

struct VerificationRequest {
  // The drive letter and colon ("A:") the set lies on.
  std::string drive;
};

// How the run ended (the report it spools is VerificationReport, verification_check.h).
struct VerificationRunReport {
  VerificationEnd end = VerificationEnd::kRead;
  // Records checked, a record cut between two volumes counted once.
  int64_t records = 0;
  // Volumes opened.
  int32_t volumes = 0;
  // kFailed: the read that failed, with the volume's path (told).
  env::Status status;
};

VerificationRunReport VerifyReceiptDiskette(const VerificationRequest& request, Operator& op);

}  // namespace remit
