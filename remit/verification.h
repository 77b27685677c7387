// The verification of a CSB 19 direct-debit remittance held as a backup set
// on a drive: the volumes read in order, the operator asked for each, the
// records split between volumes joined, every record checked, and a report
// written to the print spool, which the caller opens before and closes
// after (one line per ordering party with its computed totals, the
// presenter's general totals, and an error line for every defect).
#pragma once

#include <string_view>

namespace remit {

enum class VerificationEnd {
  kRead,       // the set was read to its 5980 record and its volume's end
  kCancelled,  // the operator pressed Escape at a volume prompt, or stopped a
               // volume of many errors (the report says what was left unchecked)
  kFailed,     // a volume could not be read (the operator was told why)
};

// drive: the drive letter and colon ("A:") the set lies on.
VerificationEnd VerifyReceiptDiskette(std::string_view drive);

}  // namespace remit
