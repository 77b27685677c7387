// The generation of Cuaderno 19.14 direct-debit files from the receipts
// waiting in TrasBanc: one file per creditor suffix in RootDir + "CSB\",
// each receipt written removed from TrasBanc, and the work list
// "QXCONVRT.INI" in WorkDir for the converter.
#pragma once

#include <cstdint>
#include <string>

namespace remit {

// The selection made on the generation form: the collection date (4 bytes,
// packed year-month-day) and the range of remittances (2 bytes each, the
// packed four-digit number, compared bytewise with key 0 of TRemeses).
extern std::string CollectionDate;
extern std::string RangeFrom;
extern std::string RangeTo;
// The menu to return to, kept at start-up for the work list ("Tornar").
extern std::string ReturnMenu;

// Record file numbers the program opens TrasBanc and TRemeses under.
inline constexpr int16_t kTrasBancFile = 36;
inline constexpr int16_t kRemesesFile = 502;

// Generates the files of the selection above from the open record files.
void GenerateCuaderno19();

// At start-up, before the main form: finishes or discards what a generation
// interrupted by a crash, a kill or a power cut left in the output
// directory, so that every receipt is either still in TrasBanc or in one
// complete ".E19" file. Files it finishes are listed in "QXCONVRT.INI".
void RecoverInterruptedGeneration();

}  // namespace remit
