// The generation loop: for each creditor suffix, in one transaction, the
// remittances of the range by key 0 of TRemeses and their receipts by key 1
// of TrasBanc, each receipt locked in the lock table (kept open for the
// group), deleted and written as an 03 record after the headers it needs; then the file
// sealed, the transaction committed, the file put under its own name and
// listed for the converter.
#include "remit/generation.h"

#include <algorithm>
#include <random>

#include "bank/iban.h"
#include "db/records.h"
#include "env/file_error.h"
#include "env/installation.h"
#include "env/language.h"
#include "env/session.h"
#include "files/locks.h"
#include "files/paths.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "remit/c19_records.h"
#include "remit/group_file.h"
#include "remit/layouts.h"
#include "remit/marker.h"
#include "remit/purge.h"
#include "remit/recovery.h"
#include "remit/settings.h"
#include "remit/work_list.h"
#include "ui/operator_wait.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"
#include "util/text.h"

namespace remit {

namespace {

namespace rm = platform::recman;

constexpr char kLockTable[] = "TrasBanc";
constexpr int16_t kKey0 = 0;
constexpr int16_t kKey1 = 1;
constexpr int16_t kForward = 1;
constexpr int16_t kEqual = 0;
constexpr int16_t kWaitRow = 24;
constexpr int kMaxBeginPauseMs = 1000;
constexpr size_t kProgressWidth = 76;

// What a run carries from group to group.
struct Run {
  Run(const GenerationRequest& asked, Operator& told) : request(asked), op(told) {}
  const GenerationRequest& request;
  Operator& op;
  GenerationReport result;
  std::string output_directory;
  std::function<std::string()> draw;
  XmlVersionMap versions;
  bool publish_links = true;
  std::string link_text;
  std::string link_prefix;
  std::string presenter_nif;
  std::string presenter_name;
  std::string owner_name;
  std::string collection_date;  // 8 digits
  bool stop = false;  // the operator gave up, or a group failed
};

// One suffix group: its file and counters.
struct Group {
  int32_t suffix = 0;
  GroupFile file;
  std::vector<std::string> keys;  // key 0 of every receipt written
  int64_t file_debits = 0;
  int64_t file_total = 0;
  bool block_open = false;
  int64_t block_debits = 0;
  int64_t block_total = 0;
  int64_t block_start = 0;
  env::Status failure;  // what to tell when the group is given up, in full
};

// What the current remittance contributes to the records.
struct Creditor {
  Remittance remittance;
  std::string identifier;
  std::string name;
  std::string receipt_key;  // key 1's first part
  char xml_version = '4';
};

enum class Step { kDone, kWritten, kSkipped, kCancelled, kFailed };

std::string TrasBancPath() { return env::session.RootDir + "DADES\\TrasBanc"; }
std::string RemesesPath() { return env::session.RootDir + "DADES\\TRemeses"; }

// Whether a read's status only ends a scan: the end of the file, or no
// record at the key. Any other (a damaged file, a server lost) is a
// failure to tell, never "nothing more to read": taken for the end, it
// would leave receipts pending without a word, or say there are none.
bool EndsScan(int16_t status) {
  return status == 0 || status == rm::kEndOfFile || status == rm::kKeyNotFound;
}

std::string* Buffer(int16_t file_number) { return db::RecordBuffer(file_number); }

void Reached(const Run& run, std::string_view step) {
  if (run.request.step) run.request.step(step);
}

void Tell(Run& run, const std::string& text) {
  run.result.messages.push_back(text);
  run.op.Tell(text);
}

// The failure that ended the run, the first one only.
void Ended(Run& run, env::Status status) {
  if (run.result.status.ok()) run.result.status = std::move(status);
}

std::string NotGeneratedText(const std::string& why) {
  return env::TranslateText(util::Cp850("FITXER NO GENERAT. ")) + why;
}

// A group given up: its words say that no file was generated, and why.
env::Status NotGenerated(const env::Status& why) {
  return env::Status(why.code(), NotGeneratedText(why.words()), why.subject());
}

// The write that failed, in words, with its path.
env::Status WriteFailure() {
  // A copy: wording the failure may note another.
  const platform::fs::FileError error = platform::fs::LastFileError();
  const env::Status noted = env::FileStatus(error);
  return env::Status(noted.ok() ? env::Code::kFileError : noted.code(),
                     NotGeneratedText(env::FileErrorText(error)), noted.subject());
}

platform::LocalTime Now(const Run& run) {
  return run.request.clock ? run.request.clock() : platform::LocalNow();
}

// The group's transaction, waiting while another terminal's lasts; false
// when the operator gave up or the record manager refused (told, as a file
// not generated when a group was to be).
bool BeginGroup(Run& run, bool for_group) {
  ui::OperatorWait wait(run.op.Wait(), kWaitRow, db::FileLockedMessage());
  std::minstd_rand pauses(static_cast<unsigned>(platform::SteadyMilliseconds()));
  for (;;) {
    int16_t status = 0;
    db::BeginTransaction(status);
    if (status == 0) return true;
    if (status != rm::kFileInUse) {
      const env::Status failure = for_group ? NotGenerated(db::RecordStatus(TrasBancPath(), status))
                                            : db::RecordStatus(TrasBancPath(), status);
      Tell(run, failure.words());
      Ended(run, failure);
      return false;
    }
    wait.Tell();
    if (!wait.Pause(static_cast<int>(pauses() % kMaxBeginPauseMs) + 1)) {
      Ended(run, env::Status(env::Code::kCancelled, db::FileLockedMessage(), TrasBancPath()));
      return false;
    }
  }
}

// The end of a transaction that changed nothing of TrasBanc (a group that
// wrote no file, the settling of leftovers); false, told and the run
// stopped, when the record manager refused it.
bool EndGroup(Run& run) {
  int16_t status = 0;
  db::EndTransaction(status);
  if (status == 0) return true;
  const env::Status failure = db::RecordStatus(TrasBancPath(), status);
  Tell(run, failure.words());
  Ended(run, failure);
  run.stop = true;
  return false;
}

// The abort of a group given up. An abort the record manager refuses
// leaves the group's changes uncommitted all the same; it is noted in the
// report as the run's end when nothing else ended it.
void AbortGroup(Run& run) {
  int16_t status = 0;
  db::AbortTransaction(status);
  if (status != 0) Ended(run, db::RecordStatus(TrasBancPath(), status));
}

std::string Digits(std::string_view packed) { return util::UnpackDigits(packed); }

Creditor CreditorOf(const Run& run, const Remittance& r) {
  Creditor c;
  c.remittance = r;
  const std::string_view from_third = std::string_view(r.creditor_identifier).substr(2);
  const std::string nif = util::Trim(from_third).empty() ? run.presenter_nif
                                                         : std::string(from_third.substr(0, 9));
  c.identifier = SepaIdentifier(nif, r.creditor_suffix);
  c.name = SepaText(r.creditor_name);
  if (util::Trim(c.name).empty()) c.name = run.owner_name;
  c.receipt_key = ReceiptGroupKey(r);
  const int entity = util::NumericValue32(Digits(r.account).substr(0, 4));
  c.xml_version = run.versions.VersionOf(entity);
  return c;
}

// The 01 record when the group has no file yet, the 02 when the creditor
// has no block yet.
bool WriteHeaders(Run& run, Group& g, const Creditor& c) {
  if (!g.file.IsOpen()) {
    if (!g.file.Create(run.output_directory, run.draw)) return false;
    Reached(run, "created");
    const platform::LocalTime now = Now(run);
    PresenterHeader h;
    h.identifier = SepaIdentifier(run.presenter_nif, util::ZeroPad(g.suffix, 3));
    h.name = run.presenter_name;
    h.today = util::ZeroPad(now.year, 4) + util::ZeroPad(now.month, 2) + util::ZeroPad(now.day, 2);
    h.time_stamp = TimeStamp(now.hour * 3600.0 + now.minute * 60.0 + now.second + now.hundredths / 100.0);
    h.xml_version = c.xml_version;
    const std::string account = Digits(c.remittance.account);
    h.entity = account.substr(0, 4);
    h.office = Digits(c.remittance.office);
    if (!g.file.Append(Record01(h))) return false;
  }
  if (!g.block_open) {
    g.block_start = g.file.Length();
    CreditorHeader h;
    h.identifier = c.identifier;
    h.collection_date = run.collection_date;
    h.name = c.name;
    h.iban = SpanishIban(Digits(c.remittance.account));
    if (!g.file.Append(Record02(h))) return false;
    g.block_open = true;
  }
  return true;
}

// The 04 and 05 records count the block's records up to and including
// themselves.
bool CloseBlock(Run& run, Group& g, const Creditor& c) {
  if (!g.block_open) return true;
  auto records = [&g] { return (g.file.Length() - g.block_start) / static_cast<int64_t>(kRecordLineLength) + 1; };
  if (!g.file.Append(Record04(c.identifier, run.collection_date, g.block_total, g.block_debits, records()))) {
    return false;
  }
  if (!g.file.Append(Record05(c.identifier, g.block_total, g.block_debits, records()))) return false;
  g.block_open = false;
  g.block_debits = 0;
  g.block_total = 0;
  return true;
}

Debit DebitOf(const Run& run, const Receipt& r) {
  Debit d;
  d.reference = UnpackTrimmed(r.debtor_code) + r.kind + UnpackTrimmed(r.number);
  d.mandate = UnpackTrimmed(r.debtor_code);
  d.amount = r.amount;
  d.debtor_name = SepaText(util::ReadingName(r.debtor_name));
  d.debtor_iban = r.debtor_iban;
  ConceptParts parts;
  parts.concept_text = r.concept_text;
  parts.publish_links = run.publish_links;
  parts.link_text = run.link_text;
  parts.link_prefix = run.link_prefix;
  parts.debtor_identifier = r.debtor_identifier;
  parts.presenter_nif = run.presenter_nif;
  parts.debtor_code = Digits(r.debtor_code);
  d.concept_text = DebitConcept(parts);
  return d;
}

// Whether the debtor IBAN, written to the 03 record as it is stored, is one
// the bank takes: not blank, its check digits not left as "00" and right,
// its country's layout and national check digits kept.
bool DebtorIbanUsable(std::string_view stored) {
  std::string iban(util::Trim(stored));
  if (iban.size() < 5 || iban.substr(2, 2) == "00") return false;
  return bank::CheckIban(iban) == bank::kIbanValid;
}

// A receipt the file does not take: a charge of nothing or a refund (not a
// direct debit), or a debtor IBAN the bank would refuse. Counted or listed.
bool LeftOut(Run& run, const Creditor& c, const Receipt& r) {
  if (r.amount <= 0) {
    ++run.result.left_out;
    return true;
  }
  if (!DebtorIbanUsable(r.debtor_iban)) {
    run.result.bad_iban.push_back(std::string(1, SeriesLetter(c.remittance)) + Digits(c.remittance.low) +
                                  " " + UnpackTrimmed(r.debtor_code) + r.kind + UnpackTrimmed(r.number));
    return true;
  }
  return false;
}

// The status of the receipt's delete: kSkipped when another terminal holds
// the receipt, kFailed (the group's failure noted) for anything else but 0.
Step DeleteRefused(Run& run, Group& g, int16_t status) {
  if (status == rm::kRecordInUse || status == rm::kConflict) {
    ++run.result.in_use;
    return Step::kSkipped;
  }
  g.failure = NotGenerated(db::RecordStatus(TrasBancPath(), status));
  return Step::kFailed;
}

// The receipt, deleted, written to the group's file.
Step Write(Run& run, Group& g, const Creditor& c, const Receipt& r, const std::string& key0) {
  if (!WriteHeaders(run, g, c) || !g.file.Append(Record03(DebitOf(run, r))) ||
      !g.file.AddReceipt(key0)) {
    g.failure = WriteFailure();
    return Step::kFailed;
  }
  g.keys.push_back(key0);
  ++g.file_debits;
  ++g.block_debits;
  g.file_total += r.amount;
  g.block_total += r.amount;
  return Step::kWritten;
}

// One receipt, locked in the lock table after a wait: read again (another
// position of this process may have taken it meanwhile), deleted and
// written. The delete and the write stand or fall together with the
// group's transaction.
Step TakeReceipt(Run& run, Group& g, const Creditor& c, const std::string& key0) {
  int16_t status = 0;
  db::GetByKey(kTrasBancFile, kKey0, key0, kEqual, status);
  if (status == rm::kKeyNotFound) return Step::kSkipped;  // gone meanwhile
  if (status != 0) {
    g.failure = NotGenerated(db::RecordStatus(TrasBancPath(), status));
    return Step::kFailed;
  }
  const Receipt r = ReadReceipt(*Buffer(kTrasBancFile));
  if (r.remittance != c.receipt_key) return Step::kSkipped;  // moved meanwhile
  if (LeftOut(run, c, r)) return Step::kSkipped;
  db::DeleteCurrent(kTrasBancFile, status);
  if (status != 0) return DeleteRefused(run, g, status);
  return Write(run, g, c, r, key0);
}

// One receipt, locked at once, taken as the scan read it: inside the
// group's transaction no other process changes TrasBanc (RunGroup says
// why, on both back ends), so the record current on key 1 is the receipt.
// It is deleted and the next one read in one call; *next is the status of
// the receipt after it, in the buffer.
Step TakeCurrent(Run& run, Group& g, const Creditor& c, const Receipt& r, const std::string& key0,
                 int16_t* next) {
  if (LeftOut(run, c, r)) {
    db::MoveRecords(kTrasBancFile, 1, *next);
    return Step::kSkipped;
  }
  int16_t status = 0;
  db::DeleteAndNext(kTrasBancFile, status);
  if (status == 0 || status == rm::kEndOfFile) {
    *next = status;
    return Write(run, g, c, r, key0);
  }
  const Step refused = DeleteRefused(run, g, status);
  // Refused, the receipt stays current: the scan goes on after it.
  if (refused == Step::kSkipped) db::MoveRecords(kTrasBancFile, 1, *next);
  return refused;
}

std::string ProgressLine(const Creditor& c, const Receipt& r) {
  return std::string(1, SeriesLetter(c.remittance)) + Digits(c.remittance.low) + "-" +
         Digits(r.debtor_code) + "-" + Digits(r.number);
}

// The receipts of one remittance by key 1, then its block closed. Each
// receipt's key is locked in the lock table while it is taken; the lock
// moves from one receipt to the next in the group's run of locks, and the
// last is given back when the scan ends.
Step RunRemittance(Run& run, Group& g, files::KeyLockRun& locks, const Remittance& remittance) {
  const Creditor c = CreditorOf(run, remittance);
  Step outcome = Step::kDone;
  int16_t status = 0;
  db::GetByKey(kTrasBancFile, kKey1, c.receipt_key, kForward, status);
  while (status == 0) {
    const Receipt r = ReadReceipt(*Buffer(kTrasBancFile));
    if (r.remittance != c.receipt_key) break;
    const std::string key0 = ReceiptKey0(r);
    bool at_once = false;
    const env::Status lock = locks.Lock(key0, &at_once);
    if (lock.code() == env::Code::kCancelled) {
      outcome = Step::kCancelled;
      break;
    }
    std::string line = ProgressLine(c, r).substr(0, kProgressWidth);
    line.resize(kProgressWidth, ' ');
    run.op.Progress(2, line);
    // The failure told is the receipt's; a lock left over is freed when
    // this holder ends or after 30 minutes.
    if (at_once) {
      if (TakeCurrent(run, g, c, r, key0, &status) == Step::kFailed) return Step::kFailed;
      continue;
    }
    const std::string key1 = ReceiptKey1(r);
    const Step step = TakeReceipt(run, g, c, key0);
    if (step == Step::kFailed) return step;
    // On to the receipt after this one, whether it is still there or not.
    db::GetByKey(kTrasBancFile, kKey1, key1, kForward, status);
    if (status == 0 && ReceiptKey1Of(*Buffer(kTrasBancFile)) == key1) {
      db::MoveRecords(kTrasBancFile, 1, status);
    }
  }
  locks.Release();
  if (!EndsScan(status)) {
    g.failure = NotGenerated(db::RecordStatus(TrasBancPath(), status));
    return Step::kFailed;
  }
  if (!CloseBlock(run, g, c)) {
    g.failure = WriteFailure();
    return Step::kFailed;
  }
  return outcome;
}

// The remittances of the range whose suffix is the group's, by key 0. The
// lock table is the group's while it scans: opened once, given back at the
// end.
Step ScanRemittances(Run& run, Group& g) {
  files::KeyLockRun locks(kLockTable);
  int16_t status = 0;
  db::GetByKey(kRemesesFile, kKey0, run.request.range_from, kForward, status);
  while (status == 0) {
    const Remittance r = ReadRemittance(*Buffer(kRemesesFile));
    if (RemittanceKey(r) > run.request.range_to) break;
    if (HasAccount(r) && util::NumericValue(r.suffix_number) == g.suffix) {
      const Step step = RunRemittance(run, g, locks, r);
      if (step == Step::kFailed || step == Step::kCancelled) return step;
      // RunRemittance moved TrasBanc only: TRemeses goes on from here.
    }
    db::MoveRecords(kRemesesFile, 1, status);
  }
  if (!EndsScan(status)) {
    g.failure = NotGenerated(db::RecordStatus(RemesesPath(), status));
    return Step::kFailed;
  }
  return Step::kDone;
}

// after_end: the transaction ended in a failed commit, and the marker,
// which commits first, may be on the disk: it goes before the files, so
// that a crash in between leaves files without a marker (removed by the
// recovery as the debris they are), never a marker without its file. When
// it cannot be removed the files stay for the recovery, which finds the
// receipts still in TrasBanc and removes all three.
void Fail(Run& run, Group& g, bool after_end = false) {
  // The failure is worded before the removals below note theirs.
  const env::Status failure = g.failure.ok() ? WriteFailure() : g.failure;
  if (!after_end) {
    AbortGroup(run);
    g.file.Discard();
  } else if (RemoveMarker(g.file.FinalName()) == 0) {
    g.file.Discard();
  } else {
    g.file.Release();
  }
  ++run.result.failed_groups;
  run.stop = true;
  Tell(run, failure.words());
  Ended(run, failure);
}

// The commit could not be confirmed: the receipts in TrasBanc say whether
// it happened.
bool CommittedAnyway(const Group& g) { return ReceiptsInTrasBanc(g.keys) == Presence::kNone; }

// The group's file from its 99 record to its place in the work list. No
// panel is shown before the transaction has ended.
void FinishGroup(Run& run, Group& g) {
  const int64_t records = g.file.Length() / static_cast<int64_t>(kRecordLineLength) + 1;
  if (!g.file.Append(Record99(g.file_total, g.file_debits, records)) || !g.file.Seal()) {
    return Fail(run, g);
  }
  Reached(run, "sealed");
  // The marker is the group's last change, so it commits before the
  // receipts' deletion (the record manager commits the file changed last
  // first): see marker.h.
  int16_t status = WriteMarker({g.file.FinalName(), g.file.Digest()});
  if (status != 0) {
    g.failure = NotGenerated(db::RecordStatus(MarkerFilePath(), status));
    return Fail(run, g);
  }
  db::EndTransaction(status);
  if (status != 0 && !CommittedAnyway(g)) {
    g.failure = NotGenerated(db::RecordStatus(TrasBancPath(), status));
    return Fail(run, g, true);
  }
  Reached(run, "committed");
  const std::string path = g.file.FinalPath();
  if (g.file.Publish() != 0) {
    // Committed but not in place: the next recovery puts it there.
    Tell(run, env::LastFileErrorText());
    return;
  }
  Reached(run, "renamed");
  // The journal stays until the file is listed: it names this workstation,
  // so that another one's recovery leaves the file and its marker to us.
  Reached(run, "published");
  if (env::Status listed = AddToWorkList(path, run.request.return_menu); !listed.ok()) {
    // In place but not listed: its marker stays, so that the next start-up
    // lists it. The run stops, as every file after it would be the same.
    g.file.Release();
    run.stop = true;
    Tell(run, listed.Text());
    Ended(run, listed);
    return;
  }
  Reached(run, "listed");
  // The journal goes only after the marker: a marker whose journal is gone
  // is settled by any workstation, and this file is in our work list, so
  // another's would list it too and it would be collected twice. A marker
  // left behind names a file the work list holds: our next recovery leaves
  // it be, and its journal keeps the others away. Noted, the run goes on.
  status = RemoveMarker(g.file.FinalName());
  if (status != 0) {
    Ended(run, db::RecordStatus(MarkerFilePath(), status));
  } else {
    Reached(run, "unmarked");
    g.file.DropJournal();
  }
  g.file.Release();
  run.result.files.push_back(path);
  run.result.receipts += g.file_debits;
  PurgeOldFiles(run.output_directory, env::session.WorkDate);
  Tell(run, GeneratedFileText(path));
}

// Exactly once, on either back end, rests on one rule: the group's
// transaction holds the writer lock of TrasBanc from before it reads the
// group's first receipt until its commit, and every receipt it writes is
// read inside it. On SQLite files that is the one writer of the database;
// on the server, begin takes the writer lock of every open "pg:" file and
// reads at read committed, so the reads after it see every receipt another
// workstation took and committed as gone, and nobody takes one of ours
// until we commit. Hence TrasBanc and the markers must be open before the
// begin (GenerateCuaderno19 runs no group otherwise): a file opened inside
// the transaction would join it only at its open, after the reads of the
// files opened earlier.
void RunGroup(Run& run, int32_t suffix) {
  if (!BeginGroup(run, true)) {
    run.stop = true;
    return;
  }
  // Files of a dead terminal go before their receipts can be taken again,
  // in a transaction of their own: the markers it removes must not share
  // the group's, whose order of commits puts the group's marker first.
  std::vector<std::string> recovered;
  SettleLeftovers({run.request.return_menu, run.draw}, run.result, recovered);
  if (!EndGroup(run) || !BeginGroup(run, true)) {
    run.stop = true;
    for (const std::string& text : recovered) Tell(run, text);
    return;
  }

  Group g;
  g.suffix = suffix;
  if (ScanRemittances(run, g) == Step::kFailed) {
    Fail(run, g);
  } else if (g.file.IsOpen()) {
    FinishGroup(run, g);
  } else {
    EndGroup(run);
  }
  // Each group settles again: what stays unsettled is told once a run.
  for (const std::string& text : recovered) {
    if (std::find(run.result.messages.begin(), run.result.messages.end(), text) == run.result.messages.end()) {
      Tell(run, text);
    }
  }
}

// The largest suffix number among the remittances of the range; -1, and
// the run stopped with the reason told, when TRemeses cannot be read.
int32_t LargestSuffix(Run& run) {
  double largest = -1;
  int16_t status = 0;
  db::GetByKey(kRemesesFile, kKey0, run.request.range_from, kForward, status);
  while (status == 0) {
    const Remittance r = ReadRemittance(*Buffer(kRemesesFile));
    if (RemittanceKey(r) > run.request.range_to) break;
    largest = std::max(largest, util::NumericValue(r.suffix_number));
    db::MoveRecords(kRemesesFile, 1, status);
  }
  if (!EndsScan(status)) {
    const env::Status failure = db::RecordStatus(RemesesPath(), status);
    run.stop = true;
    Tell(run, failure.words());
    Ended(run, failure);
    return -1;
  }
  return static_cast<int32_t>(largest);
}

void Prepare(Run& run) {
  run.publish_links = PublishLinks();
  run.link_text = env::TranslateText(util::Cp850("DETALL A"));
  run.link_prefix = LinkPrefix();
  run.presenter_nif = env::InstallationText(7).substr(2, 9);
  run.owner_name = SepaText(env::InstallationText(1));
  const std::string& alternative = env::InstallationText(6);
  run.presenter_name = util::Trim(alternative).empty() ? run.owner_name : SepaText(alternative);
  run.collection_date = Digits(run.request.collection_date);
  run.op.OpenProgress(env::TranslateText(util::Cp850(" PROCESSANT ")));
  run.output_directory = OutputDirectory();
  // A directory that cannot be made is told by the first group, which
  // cannot create its file there, with the file's path.
  (void)files::MakePath(run.output_directory);
  // A list that cannot be written would leave the files unlisted: nothing
  // is generated then.
  if (env::Status started = StartWorkList(run.request.return_menu); !started.ok()) {
    run.stop = true;
    Tell(run, started.Text());
    Ended(run, started);
  }
  run.versions.Load();
  run.draw = FileNameDraw(run.request.file_name);
}

// The receipts left for their debtor IBAN, a panel of a few at a time so
// that each fits the screen.
void TellBadIbans(Run& run) {
  constexpr size_t kPerPanel = 6;
  const std::vector<std::string>& bad = run.result.bad_iban;
  for (size_t at = 0; at < bad.size(); at += kPerPanel) {
    std::string text = env::TranslateText(util::Cp850("REBUTS AMB L'IBAN DEL DEUTOR EN BLANC O ERRONI NO GENERATS: ")) +
                       std::to_string(bad.size()) + ".";
    for (size_t i = at; i < bad.size() && i < at + kPerPanel; ++i) {
      text += " " + env::TranslateText(util::Cp850("REMESA ")) + bad[i];
      text += i + 1 < bad.size() ? "," : ".";
    }
    Tell(run, text);
  }
}

// A remittance number of the range as the operator typed it.
std::string RangeText(const std::string& packed) {
  return std::to_string(util::NumericValue32(Digits(packed)));
}

}  // namespace

GenerationReport GenerateCuaderno19(const GenerationRequest& request, Operator& op) {
  Run run(request, op);
  // Open before any group begins: RunGroup says why.
  if (Buffer(kTrasBancFile) == nullptr || Buffer(kRemesesFile) == nullptr || !MarkersOpen()) {
    return run.result;
  }
  platform::fs::FailWritesPastSizeLimit();
  Prepare(run);
  const int32_t largest = LargestSuffix(run);
  for (int32_t suffix = 0; suffix <= largest && !run.stop; ++suffix) RunGroup(run, suffix);
  op.CloseProgress();
  if (run.result.left_out > 0) {
    Tell(run, env::TranslateText(util::Cp850("REBUTS D'IMPORT ZERO O NEGATIU NO GENERATS: ")) +
                  std::to_string(run.result.left_out));
  }
  if (run.result.in_use > 0) {
    Tell(run, env::TranslateText(util::Cp850("REBUTS EN ÚS EN UN ALTRE TERMINAL NO GENERATS: ")) +
                  std::to_string(run.result.in_use));
  }
  TellBadIbans(run);
  if (!run.stop && run.result.files.empty() && run.result.left_out == 0 && run.result.in_use == 0 &&
      run.result.bad_iban.empty()) {
    Tell(run, env::TranslateText(util::Cp850("CAP REBUT PENDENT A LES REMESES ")) + RangeText(request.range_from) +
                  "-" + RangeText(request.range_to));
  }
  return run.result;
}

GenerationReport RecoverInterruptedGeneration(const RecoveryRequest& request, Operator& op) {
  GenerationRequest generation;
  generation.return_menu = request.return_menu;
  generation.file_name = request.file_name;
  Run run(generation, op);
  if (Buffer(kTrasBancFile) == nullptr) return run.result;
  if (!BeginGroup(run, false)) return run.result;
  std::vector<std::string> tell;
  SettleLeftovers(request, run.result, tell);
  EndGroup(run);
  for (const std::string& text : tell) Tell(run, text);
  return run.result;
}

}  // namespace remit
