// The generation of Cuaderno 19.14 direct-debit files from the receipts
// waiting in TrasBanc: one file per creditor suffix in session.RootDir + "CSB\",
// each receipt written removed from TrasBanc, and the work list
// "QXCONVRT.INI" in session.WorkDir for the converter.
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

#include "env/status.h"
#include "platform/process/clock.h"
#include "remit/operator.h"

namespace remit {

// Record file numbers the program opens TrasBanc and TRemeses under. The
// generation reads their records in the buffers registered at open
// (db::RecordBuffer).
inline constexpr int16_t kTrasBancFile = 36;
inline constexpr int16_t kRemesesFile = 502;
// The markers of committed groups (marker.h), DADES\TGenerat.
inline constexpr int16_t kMarkerFile = 503;

// What the start-up recovery is asked to do its work with.
struct RecoveryRequest {
  // The menu the converter returns to, kept in the work list ("Tornar").
  std::string return_menu;
  // The 8 characters ("0"-"9", "A"-"Z") of a new file's name, drawn again
  // while a file of that name exists. Empty: random characters seeded from
  // the clock.
  std::function<std::string()> file_name;
};

// The selection made on the generation form, and what the run is to use.
struct GenerationRequest {
  // The collection date (4 bytes, packed year-month-day) and the range of
  // remittances (2 bytes each, the packed four-digit number, compared
  // bytewise with key 0 of TRemeses).
  std::string collection_date;
  std::string range_from;
  std::string range_to;
  // The menu the converter returns to, kept in the work list ("Tornar").
  std::string return_menu;
  // As in RecoveryRequest.
  std::function<std::string()> file_name;
  // The local date and time of the 01 record. Empty: the machine's clock.
  std::function<platform::LocalTime()> clock;
  // Called at each step of a group's way to the disk with the step's name,
  // for the tests that kill the run there: "created" (the temporary file
  // and journal exist), "sealed" (on the disk), "committed", "renamed"
  // (under its own name, the journal still there), "published" (the
  // journal gone), "listed" (in the work list, its marker still there).
  // Empty: nothing is called.
  std::function<void(std::string_view step)> step;
};

// What a generation or a recovery did.
struct GenerationReport {
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
  // Every text the operator was told, in order.
  std::vector<std::string> messages;
  // The first failure the run met: the one that ended it (the operator
  // leaving a wait is kCancelled), or one it went on past (a marker that
  // could not be removed); ok when there was none.
  env::Status status;
};

// Generates the files of the selection from the open record files. What it
// tells the operator waits for a key; no transaction is open meanwhile.
GenerationReport GenerateCuaderno19(const GenerationRequest& request, Operator& op);

// At start-up, before the main form: finishes or discards what a generation
// interrupted by a crash, a kill or a power cut left in the output
// directory, so that every receipt is either still in TrasBanc or in one
// complete ".E19" file. Files it finishes are listed in "QXCONVRT.INI".
// Needs TrasBanc open; without it nothing is touched.
GenerationReport RecoverInterruptedGeneration(const RecoveryRequest& request, Operator& op);

}  // namespace remit
