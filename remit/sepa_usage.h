// The usage rules a bank applies to a direct-debit message beyond its
// schema, checked on what the converter writes, record by record, so that
// a message the bank would turn away is never put in place: the SEPA Latin
// characters and the length of each text, the counts and sums of the group
// and of each payment block against the transactions written, the creditor
// scheme identifier's form and check digits, and a debtor whose IBAN is of
// a SEPA country outside the European Economic Area (the bank needs the
// debtor's address then, which a Cuaderno 19.14 file does not carry).
// Whether a message id is new is the business of sepa_message_ids.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remit/c19_reader.h"
#include "remit/sepa_message.h"

namespace remit {

enum class UsageRule {
  kCharacters,          // SEPA Latin set; identifiers neither start nor end with "/" nor hold "//"
  kLength,              // 35 for identifiers, 70 for names, 140 for the remittance text
  kTotals,              // NbOfTxs and CtrlSum equal to the transactions
  kMessageId,           // not used by another message of the same creditor that day
  kCreditorIdentifier,  // form and ISO 7064 mod 97-10 check digits
  kDebtorOutsideEea,    // a SEPA country outside the EEA needs the debtor's address
};

// The rule in words, for the operator ("regla SEPA dels caràcters"), translated.
std::string UsageRuleWords(UsageRule rule);

// Whether the creditor scheme identifier has the form "ES", two check
// digits, a three-character business code and the national identifier,
// and check digits that agree with the national identifier and the country.
bool CreditorIdentifierIsSound(std::string_view identifier);

// Whether the IBAN's country takes part in SEPA but not in the European
// Economic Area (CH, GB, MC, SM, AD, VA ...).
bool IbanOutsideEea(std::string_view iban);

// The first rule the message being written breaks. The writer tells it
// each part as it writes it; each call is false from the first fault on.
class UsageCheck {
 public:
  // The group header, from the 01 record (record 1).
  bool Header(const MessageHeader& header);
  // A payment block's start: its creditor (record of the 02) and identifier.
  bool BlockStart(const PaymentBlock& block, int64_t record);
  // A transaction written, from its 03 record.
  bool Debit(const C19Debit& debit, int64_t record);
  // A payment block's end: the transactions written against the block's
  // NbOfTxs and CtrlSum (record of the block's 04).
  bool BlockEnd(const C19Group& group, int64_t record);
  // The message's end: every transaction against the group header's
  // figures (the 99 record).
  bool MessageEnd(int64_t record);

  bool failed() const { return failed_; }
  UsageRule rule() const { return rule_; }
  int64_t record() const { return record_; }
  // "regla SEPA ...: what" (code page 850, translated).
  const std::string& words() const { return words_; }

 private:
  bool Fail(UsageRule rule, int64_t record, std::string what);
  bool Identifier(std::string_view what, std::string_view text, int64_t record);
  // A name or text of the SEPA set: 70 characters, or 140 for the remittance text.
  bool Name(std::string_view what, std::string_view text, int64_t record, size_t limit = 70);

  bool failed_ = false;
  UsageRule rule_ = UsageRule::kCharacters;
  int64_t record_ = 0;
  std::string words_;
  int64_t header_debits_ = 0, header_cents_ = 0;
  int64_t debits_ = 0, cents_ = 0;              // the message's so far
  int64_t block_debits_ = 0, block_cents_ = 0;  // the payment block's so far
};

}  // namespace remit
