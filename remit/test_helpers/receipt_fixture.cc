#include "remit/test_helpers/receipt_fixture.h"

#include "bank/iban.h"
#include "db/records.h"
#include "env/session.h"
#include "remit/generation.h"
#include "remit/layouts.h"
#include "util/dates.h"
#include "util/little_endian.h"
#include "util/numbers.h"
#include "util/record_layout.h"

namespace remit::testing {

namespace {

std::string Packed(int64_t value, int16_t digits) {
  return util::PackDigits(util::ZeroPad(static_cast<double>(value), digits));
}


}  // namespace

std::string ReceiptFields::Record() const {
  namespace f = receipt_layout;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kKind, std::string(1, kind));
  util::PutField(r, f::kDebtorCode, Packed(debtor, 12));
  util::PutField(r, f::kNumber, Packed(number, 8));
  util::PutField(r, f::kRemittance, series + Packed(remittance_low, 2));
  util::PutField(r, f::kDebtorName, name);
  util::PutField(r, f::kAmount, util::Le32(static_cast<uint32_t>(amount)));
  util::PutField(r, f::kDebtorIban, iban);
  util::PutField(r, f::kDebtorIdentifier, identifier);
  util::PutField(r, f::kConcept, concept_text);
  return r;
}

std::string RemittanceFields::Record() const {
  namespace f = remittance_layout;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kLow, Packed(number % 100, 2));
  util::PutField(r, f::kAccount,
                 account.empty() ? std::string(10, '\x80') : util::PackDigits(account));
  util::PutField(r, f::kOffice, util::PackDigits(office));
  util::PutField(r, f::kSuffixNumber, suffix_number);
  util::PutField(r, f::kCreditorName, creditor_name);
  util::PutField(r, f::kCreditorSuffix, creditor_suffix);
  util::PutField(r, f::kCreditorIdentifier, creditor_identifier);
  util::PutField(r, f::kHigh, Packed(number / 100, 2));
  return r;
}

std::string FixtureAccount(int64_t account_number) {
  const std::string bank = "21000418";
  const std::string account = util::ZeroPad(static_cast<double>(account_number), 10);
  return bank + bank::SpanishControlDigits(bank + "00" + account) + account;
}

std::string FixtureIban(int64_t account_number) {
  std::string iban = "ES00" + FixtureAccount(account_number);
  bank::CheckIban(iban);
  return iban;
}

RemittanceFields BulkRemittance(const Shape& shape, int i) {
  RemittanceFields r;
  r.number = i;
  r.account = FixtureAccount(900000 + i);
  r.suffix_number = util::ZeroPad(i % shape.suffixes, 3);
  r.creditor_name = "CREDITOR " + std::to_string(i);
  r.creditor_suffix = r.suffix_number;
  r.creditor_identifier = "ESB6" + util::ZeroPad(i, 7);
  return r;
}

ReceiptFields BulkReceipt(const Shape& shape, int j) {
  ReceiptFields r;
  const int remittance = j % shape.remittances + 1;
  r.debtor = 100000 + j;
  r.number = j;
  r.series = remittance / 100 == 1 ? 'C' : 'B';
  r.remittance_low = remittance % 100;
  r.name = "COGNOM " + std::to_string(j) + "*NOM";
  r.amount = 100 + j % 997;
  r.iban = FixtureIban(j);
  if (j % 2 == 0) r.identifier = "ES" + util::ZeroPad(j, 8) + "Z";
  r.concept_text = "QUOTA " + std::to_string(j);
  return r;
}

std::string BulkReceiptKey(int j) {
  return "R" + Packed(100000 + j, 12) + Packed(j, 8);
}

int16_t OpenGenerationFiles(std::string* trasbanc, std::string* remeses) {
  int16_t status = 0;
  db::OpenRecordFile(kTrasBancFile, env::session.RootDir + "DADES\\TrasBanc", trasbanc, status);
  if (status != 0) return status;
  db::OpenRecordFile(kRemesesFile, env::session.RootDir + "DADES\\TRemeses", remeses, status);
  if (status != 0) return status;
  static std::string markers;
  db::OpenRecordFile(kMarkerFile, env::session.RootDir + "DADES\\TGenerat", &markers, status);
  return status;
}

int16_t Insert(int16_t file_number, const std::string& record) {
  std::string* buffer = db::RecordBuffer(file_number);
  if (buffer == nullptr) return db::kNotInTable;
  *buffer = record;
  int16_t status = 0;
  db::InsertRecord(file_number, status);
  return status;
}

int16_t InsertBulk(const Shape& shape) {
  int16_t status = 0;
  db::BeginTransaction(status);
  if (status != 0) return status;
  for (int i = 1; i <= shape.remittances && status == 0; ++i) {
    status = Insert(kRemesesFile, BulkRemittance(shape, i).Record());
  }
  for (int j = 0; j < shape.receipts && status == 0; ++j) {
    status = Insert(kTrasBancFile, BulkReceipt(shape, j).Record());
  }
  int16_t end = 0;
  if (status == 0) {
    db::EndTransaction(end);
  } else {
    db::AbortTransaction(end);
  }
  return status != 0 ? status : end;
}

}  // namespace remit::testing
