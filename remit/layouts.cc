#include "remit/layouts.h"

namespace remit {

namespace {

// width bytes from offset, blank-padded where the record ends early.
std::string Field(std::string_view record, size_t offset, size_t width) {
  std::string out = offset < record.size() ? std::string(record.substr(offset, width)) : std::string();
  out.resize(width, ' ');
  return out;
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
  r.low = Field(record, 0, 1);
  r.account = Field(record, 1, 10);
  r.office = Field(record, 11, 2);
  r.suffix_number = Field(record, 13, 3);
  r.creditor_name = Field(record, 16, 30);
  r.creditor_suffix = Field(record, 55, 3);
  r.creditor_identifier = Field(record, 58, 17);
  r.high = Field(record, 75, 1);
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
  r.kind = Field(record, 0, 1);
  r.debtor_code = Field(record, 1, 6);
  r.number = Field(record, 7, 4);
  r.remittance = Field(record, 11, 2);
  r.debtor_name = Field(record, 23, 40);
  r.amount = LittleEndian32(Field(record, 63, 4));
  r.debtor_iban = Field(record, 71, 34);
  r.debtor_identifier = Field(record, 116, 17);
  r.concept_text = Field(record, 133, 640);
  return r;
}

std::string ReceiptKey0(const Receipt& r) { return r.kind + r.debtor_code + r.number; }

std::string ReceiptKey1(const Receipt& r) { return r.remittance + ReceiptKey0(r); }

std::string ReceiptKey1Of(std::string_view record) {
  return Field(record, 11, 2) + Field(record, 0, 11);
}

}  // namespace remit
