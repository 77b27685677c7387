#include "remit/test_helpers/receipt_fixture.h"

#include "bank/iban.h"
#include "db/records.h"
#include "env/session.h"
#include "remit/generation.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace remit::testing {

namespace {

std::string Packed(int64_t value, int16_t digits) {
  return util::PackDigits(util::ZeroPad(static_cast<double>(value), digits));
}

std::string Fixed(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

void PutLe32(std::string& record, size_t at, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) record[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string ReceiptFields::Record() const {
  std::string r(773, ' ');
  r[0] = kind;
  r.replace(1, 6, Packed(debtor, 12));
  r.replace(7, 4, Packed(number, 8));
  r[11] = series;
  r.replace(12, 1, Packed(remittance_low, 2));
  r.replace(23, 40, Fixed(name, 40));
  PutLe32(r, 63, amount);
  r.replace(71, 34, Fixed(iban, 34));
  r.replace(116, 17, Fixed(identifier, 17));
  r.replace(133, 640, Fixed(concept_text, 640));
  return r;
}

std::string RemittanceFields::Record() const {
  std::string r(76, ' ');
  r.replace(0, 1, Packed(number % 100, 2));
  r.replace(1, 10, account.empty() ? std::string(10, '\x80') : util::PackDigits(account));
  r.replace(11, 2, util::PackDigits(office));
  r.replace(13, 3, Fixed(suffix_number, 3));
  r.replace(16, 30, Fixed(creditor_name, 30));
  r.replace(55, 3, Fixed(creditor_suffix, 3));
  r.replace(58, 17, Fixed(creditor_identifier, 17));
  r.replace(75, 1, Packed(number / 100, 2));
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
  db::OpenRecordFile(kTrasBancFile, env::RootDir + "DADES\\TrasBanc", trasbanc, status);
  if (status != 0) return status;
  db::OpenRecordFile(kRemesesFile, env::RootDir + "DADES\\TRemeses", remeses, status);
  if (status != 0) return status;
  static std::string markers;
  db::OpenRecordFile(kMarkerFile, env::RootDir + "DADES\\TGenerat", &markers, status);
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
