#include "remit/layouts.h"

namespace remit {

namespace {

// The field's bytes, blank-padded where the record ends early.
std::string Field(std::string_view record, const util::Field& field) {
  return util::FieldPadded(record, field);
}

int32_t LittleEndian32(std::string_view bytes) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(i < bytes.size() ? bytes[i] : 0);
  }
  return static_cast<int32_t>(value);
}

}  // namespace

Remittance ReadRemittance(std::string_view record) {
  Remittance r;
  namespace f = remittance_layout;
  r.low = Field(record, f::kLow);
  r.account = Field(record, f::kAccount);
  r.office = Field(record, f::kOffice);
  r.suffix_number = Field(record, f::kSuffixNumber);
  r.creditor_name = Field(record, f::kCreditorName);
  r.creditor_suffix = Field(record, f::kCreditorSuffix);
  r.creditor_identifier = Field(record, f::kCreditorIdentifier);
  r.high = Field(record, f::kHigh);
  return r;
}

std::string RemittanceKey(const Remittance& r) { return r.high + r.low; }

bool HasAccount(const Remittance& r) {
  for (char c : r.account) {
    const auto code = static_cast<unsigned char>(c);
    if (code != 128 && code != ' ' && code != 0) return true;
  }
  return false;
}

char SeriesLetter(const Remittance& r) {
  return static_cast<unsigned char>(r.high[0]) == 129 ? 'C' : 'B';
}

std::string ReceiptGroupKey(const Remittance& r) { return SeriesLetter(r) + r.low; }

Receipt ReadReceipt(std::string_view record) {
  Receipt r;
  namespace f = receipt_layout;
  r.kind = Field(record, f::kKind);
  r.debtor_code = Field(record, f::kDebtorCode);
  r.number = Field(record, f::kNumber);
  r.remittance = Field(record, f::kRemittance);
  r.debtor_name = Field(record, f::kDebtorName);
  r.amount = LittleEndian32(Field(record, f::kAmount));
  r.debtor_iban = Field(record, f::kDebtorIban);
  r.debtor_identifier = Field(record, f::kDebtorIdentifier);
  r.concept_text = Field(record, f::kConcept);
  return r;
}

std::string ReceiptKey0(const Receipt& r) { return r.kind + r.debtor_code + r.number; }

std::string ReceiptKey1(const Receipt& r) { return r.remittance + ReceiptKey0(r); }

std::string ReceiptKey1Of(std::string_view record) {
  namespace f = receipt_layout;
  return Field(record, f::kRemittance) + Field(record, f::kKind) + Field(record, f::kDebtorCode) +
         Field(record, f::kNumber);
}

}  // namespace remit
