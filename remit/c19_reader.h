// A Cuaderno 19.14 file read back record by record, as the converter to
// SEPA XML needs it: every record checked (layout codes, digits where
// numbers belong, dates, IBAN check digits, the order 01, then per creditor
// 02, 03s, 04, 05, then 99), the 04, 05 and 99 totals checked against the
// 03 records they close, and the file summed up as a plan of its creditor
// blocks. Pure: the caller hands over the records; nothing here reads a
// file, so a file of any size costs the memory of its blocks only.
//
// Texts come out ready for a SEPA message: trimmed, names and the concept
// through the SEPA character filter (so plain ASCII), in code page 850.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/status.h"

namespace remit {

// The presenter's header, record 01.
struct C19Presenter {
  std::string identifier;       // "ES", check digits, suffix, tax number
  std::string name;
  std::string file_identifier;  // "PRE" + date + time stamp + the version character ...
  char xml_version = '4';       // position 146: '2', '3', '4', or what else it holds
};

// A creditor block's header, record 02.
struct C19Creditor {
  std::string identifier;       // the creditor scheme identifier
  std::string collection_date;  // yyyymmdd
  std::string name;
  std::string iban;
};

// One debit, record 03.
struct C19Debit {
  std::string reference;      // end to end
  std::string mandate;
  std::string sequence_type;  // FRST, RCUR, FNAL, OOFF or RPRE
  std::string purpose;        // the category purpose ("TRAD"), may be empty
  int64_t cents = 0;          // 1 .. 99,999,999,999
  std::string mandate_date;   // yyyymmdd
  std::string debtor_name;
  std::string debtor_iban;
  std::string concept_text;   // at most 140 characters, may be empty
};

// Each reads one record of 600 characters: ok when it reads well, else
// kBadData with why not, in words (code page 850).
env::Status ReadPresenter(std::string_view record, C19Presenter* presenter);
env::Status ReadCreditor(std::string_view record, C19Creditor* creditor);
env::Status ReadDebit(std::string_view record, C19Debit* debit);

// Whether the IBAN (trimmed, without blanks) has the layout of its country
// and right check digits; "00" in place of the check digits is wrong here.
bool IbanIsSound(std::string_view iban);
// Whether the text is a creditor or presenter identifier as SEPA writes
// them: two letters, two digits, then 4 to 31 letters, digits or
// + ? / - : ( ) . , '.
bool IsSepaIdentifier(std::string_view text);

// The debits of one creditor block that travel together: those of one
// sequence type and category purpose, in the order their first debit comes.
struct C19Group {
  std::string sequence_type;
  std::string purpose;
  int64_t debits = 0;
  int64_t cents = 0;
};

struct C19Block {
  int64_t first_record = 0;  // 0-based index of its 02 record
  int64_t end_record = 0;    // 0-based index of its 04 record
  C19Creditor creditor;
  std::vector<C19Group> groups;
};

struct C19Plan {
  C19Presenter presenter;
  std::vector<C19Block> blocks;
  int64_t debits = 0;
  int64_t cents = 0;
  int64_t records = 0;
};

// How long each record's line is (600 characters and CR LF, or LF alone,
// as the first record's line end tells) and how many lines the file has,
// from its first bytes (up to 602) and its size, a last line cut short
// counted. kBadData with the reason, and the record (1-based) in *record,
// when the file is no Cuaderno 19.14 file or its first record is cut short.
env::Status C19Lines(std::string_view head, int64_t size, int64_t* line_length, int64_t* lines,
                     int64_t* record);

// Takes a file's lines in order and checks them.
class C19Scan {
 public:
  explicit C19Scan(int64_t line_length) : line_length_(line_length) {}
  // The next line, its line end included (the last may be cut short).
  // False at the first fault (then
  // fault(), kBadData with the words, and fault_record() tell) and from
  // then on.
  bool Take(std::string_view line);
  // After the last line: false when the file stops before its 99 record or
  // holds no debit.
  bool Finish();

  const C19Plan& plan() const { return plan_; }
  const env::Status& fault() const { return fault_; }
  // 1-based; 0 when the fault is of the whole file.
  int64_t fault_record() const { return fault_record_; }

 private:
  enum class Expect { kPresenter, kCreditorOrEnd, kDebitOrTotals, kCreditorTotals, kNothing };
  bool Fail(std::string reason);
  bool TakeDebit(std::string_view record);
  bool TakeBlockTotals(std::string_view record);
  bool TakeCreditorTotals(std::string_view record);
  bool TakeFileTotals(std::string_view record);

  int64_t line_length_;
  Expect expect_ = Expect::kPresenter;
  int64_t index_ = 0;  // 0-based index of the line being taken
  C19Plan plan_;
  int64_t block_debits_ = 0;
  int64_t block_cents_ = 0;
  env::Status fault_;
  int64_t fault_record_ = 0;
};

}  // namespace remit
