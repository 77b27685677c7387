// The generation of Cuaderno 19.14 direct-debit files from the receipts
// waiting in TrasBanc: one file per creditor suffix in RootDir + "CSB\",
// each receipt written removed from TrasBanc, and the work list
// "QXCONVRT.INI" in WorkDir for the converter.
//
// Every receipt ends up exactly once, whatever happens to the process: either
// still in TrasBanc or in one complete ".E19" file. Each creditor-suffix
// group runs in one transaction of the record manager; its file is written
// under a temporary name with a journal of the receipts it holds
// (journal.h), flushed to the disk before the commit and put under its own
// name after it; the commit carries a marker of the file (marker.h). A run
// that finds such a temporary file left by a process that died tells from
// the marker and TrasBanc whether its commit happened: then it puts the
// file in place and lists it, otherwise it removes it (recovery.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process/clock.h"

namespace remit {

// The selection made on the generation form: the collection date (4 bytes,
// packed year-month-day) and the range of remittances (2 bytes each, the
// packed four-digit number, compared bytewise with key 0 of TRemeses).
extern std::string CollectionDate;
extern std::string RangeFrom;
extern std::string RangeTo;
// The menu to return to, kept at start-up for the work list ("Tornar").
extern std::string ReturnMenu;

// Record file numbers the program opens TrasBanc and TRemeses under. The
// generation reads their records in the buffers registered at open
// (db::RecordBuffer).
inline constexpr int16_t kTrasBancFile = 36;
inline constexpr int16_t kRemesesFile = 502;
// The markers of committed groups (marker.h), DADES\TGenerat.
inline constexpr int16_t kMarkerFile = 503;

// What a generation or a recovery did.
struct GenerationResult {
  // Full program paths of the files put in the work list, in order.
  std::vector<std::string> files;
  // Receipts written to those files.
  int64_t receipts = 0;
  // Receipts left in TrasBanc: an amount of 0 or less is not a direct
  // debit; a receipt another terminal was changing is taken next time.
  int64_t left_out = 0;
  int64_t in_use = 0;
  // Receipts left in TrasBanc because the bank would refuse their debtor
  // IBAN (blank, or failing its checks): each one's remittance and debit
  // reference, "B01 000000004321R00000017".
  std::vector<std::string> bad_iban;
  // Groups given up: a write that failed, a record file that failed, or
  // the operator leaving a wait.
  int32_t failed_groups = 0;
  // Temporary files set aside by the recovery (program paths).
  std::vector<std::string> set_aside;
  // Every text the operator was shown, in order.
  std::vector<std::string> messages;
};

// Hooks for the program and its tests; every member may be left empty.
struct LayerHooks {
  // The 8 characters ("0"-"9", "A"-"Z") of a new file's name, drawn again
  // while a file of that name exists. Empty: random characters seeded from
  // the clock.
  std::function<std::string()> file_name;
  // The local date and time of the 01 record. Empty: the machine's clock.
  std::function<platform::LocalTime()> clock;
  // Called at each step of a group's way to the disk with the step's name:
  // "created" (the temporary file and journal exist), "sealed" (on the
  // disk), "committed", "renamed" (under its own name, the journal still
  // there), "published" (the journal gone), "listed" (in the work list, its
  // marker still there). Empty: nothing is called.
  std::function<void(std::string_view step)> step;
};
extern LayerHooks Hooks;

// Generates the files of the selection above from the open record files.
// The panels it shows wait for a key; no transaction is open meanwhile.
GenerationResult GenerateCuaderno19();

// At start-up, before the main form: finishes or discards what a generation
// interrupted by a crash, a kill or a power cut left in the output
// directory, so that every receipt is either still in TrasBanc or in one
// complete ".E19" file. Files it finishes are listed in "QXCONVRT.INI".
// Needs TrasBanc open; without it nothing is touched.
GenerationResult RecoverInterruptedGeneration();

}  // namespace remit
