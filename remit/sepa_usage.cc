#include "remit/sepa_usage.h"

#include <algorithm>

#include "bank/iban.h"
#include "env/language.h"
#include "util/cp850.h"

namespace remit {

namespace {

using env::TranslateText;

constexpr size_t kIdentifierLength = 35;
constexpr size_t kRemittanceLength = 140;

// The SEPA Latin character set: what the SEPA filter leaves.
bool IsSepaCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view(" '()+,-./:?").find(c) != std::string_view::npos;
}

bool IsAlphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// An element and its value as the operator reads them: MndtId "A//1".
std::string Element(std::string_view element, std::string_view text) {
  return std::string(element) + " \"" + std::string(text) + "\"";
}

}  // namespace

std::string UsageRuleWords(UsageRule rule) {
  switch (rule) {
    case UsageRule::kCharacters: return TranslateText(util::Cp850("regla SEPA dels caràcters"));
    case UsageRule::kLength:
      return TranslateText(util::Cp850("regla SEPA de la llargada dels camps"));
    case UsageRule::kTotals:
      return TranslateText(util::Cp850("regla SEPA dels totals (NbOfTxs i CtrlSum)"));
    case UsageRule::kMessageId:
      return TranslateText(util::Cp850("regla SEPA de l'identificador del missatge (MsgId)"));
    case UsageRule::kCreditorIdentifier:
      return TranslateText(util::Cp850("regla SEPA de l'identificador del creditor"));
    case UsageRule::kDebtorOutsideEea:
      return TranslateText(util::Cp850("regla SEPA dels deutors de fora de l'EEE"));
  }
  return {};
}

bool CreditorIdentifierIsSound(std::string_view identifier) {
  // Country, check digits, business code (any three characters, not in
  // the check), then the national identifier: nine characters in Spain.
  if (identifier.size() < 8 || identifier.size() > kIdentifierLength ||
      !IsSepaIdentifier(identifier)) {
    return false;
  }
  const std::string_view national = identifier.substr(7);
  if (!std::all_of(national.begin(), national.end(), IsAlphanumeric)) return false;
  if (identifier.substr(0, 2) == "ES" && national.size() != 9) return false;
  const int digits = (identifier[2] - '0') * 10 + (identifier[3] - '0');
  return bank::IbanCheckDigits(national, identifier.substr(0, 2)) == digits;
}

bool IbanOutsideEea(std::string_view iban) {
  // SEPA's members outside the EEA; Guernsey, Jersey and the Isle of Man
  // have GB accounts.
  static constexpr std::string_view kCountries[] = {"AD", "AL", "CH", "GB", "GI", "MC",
                                                    "MD", "ME", "MK", "SM", "VA"};
  const std::string_view country = iban.substr(0, 2);
  return std::find(std::begin(kCountries), std::end(kCountries), country) != std::end(kCountries);
}

bool UsageCheck::Fail(UsageRule rule, int64_t record, std::string what) {
  if (failed_) return false;
  failed_ = true;
  rule_ = rule;
  record_ = record;
  words_ = UsageRuleWords(rule) + ": " + what;
  return false;
}

// A text of the SEPA set of at most limit characters.
bool UsageCheck::Name(std::string_view what, std::string_view text, int64_t record, size_t limit) {
  if (failed_) return false;
  if (!std::all_of(text.begin(), text.end(), IsSepaCharacter)) {
    return Fail(
        UsageRule::kCharacters, record,
        Element(what, text) + TranslateText(util::Cp850(" té caràcters fora del joc llatí SEPA")));
  }
  if (text.size() > limit) {
    return Fail(UsageRule::kLength, record,
                Element(what, text) +
                    TranslateText(util::Cp850(" té més caràcters dels que admet: ")) +
                    std::to_string(limit));
  }
  return true;
}

// An identifier also keeps off "/" at either end and "//" inside: the
// banks read those as separators of their own.
bool UsageCheck::Identifier(std::string_view what, std::string_view text, int64_t record) {
  if (!Name(what, text, record)) return false;
  if (text.starts_with('/') || text.ends_with('/') || text.find("//") != std::string_view::npos) {
    return Fail(
        UsageRule::kCharacters, record,
        Element(what, text) + TranslateText(util::Cp850(" comença o acaba amb / o conté //")));
  }
  if (text.size() > kIdentifierLength) {
    return Fail(UsageRule::kLength, record,
                Element(what, text) +
                    TranslateText(util::Cp850(" té més caràcters dels que admet: ")) +
                    std::to_string(kIdentifierLength));
  }
  return true;
}

bool UsageCheck::Header(const MessageHeader& header) {
  header_debits_ = header.debits;
  header_cents_ = header.cents;
  return Identifier("MsgId", header.message_id, 1) && Name("Nm", header.presenter_name, 1) &&
         Identifier("OrgId/Othr/Id", header.presenter_id, 1);
}

bool UsageCheck::BlockStart(const PaymentBlock& block, int64_t record) {
  block_debits_ = 0;
  block_cents_ = 0;
  const C19Creditor& creditor = *block.creditor;
  if (!Identifier("PmtInfId", block.id, record) || !Name("Cdtr/Nm", creditor.name, record) ||
      !Identifier("CdtrSchmeId", creditor.identifier, record)) {
    return false;
  }
  if (!CreditorIdentifierIsSound(creditor.identifier)) {
    return Fail(UsageRule::kCreditorIdentifier, record,
                Element("CdtrSchmeId", creditor.identifier) +
                    TranslateText(util::Cp850(
                        " no té la forma o els dígits de control d'un identificador de creditor")));
  }
  return true;
}

bool UsageCheck::Debit(const C19Debit& debit, int64_t record) {
  if (!Identifier("EndToEndId", debit.reference, record) ||
      !Identifier("MndtId", debit.mandate, record) || !Name("Dbtr/Nm", debit.debtor_name, record) ||
      !Name("Ustrd", debit.concept_text, record, kRemittanceLength)) {
    return false;
  }
  if (IbanOutsideEea(debit.debtor_iban)) {
    return Fail(
        UsageRule::kDebtorOutsideEea, record,
        TranslateText(util::Cp850("el deutor té un IBAN de ")) + debit.debtor_iban.substr(0, 2) +
            TranslateText(util::Cp850(", un país SEPA de fora de l'Espai Econòmic Europeu: ")) +
            TranslateText(util::Cp850(
                "el banc demana l'adreça del deutor, que un fitxer del quadern 19.14 no porta")));
  }
  ++block_debits_;
  block_cents_ += debit.cents;
  ++debits_;
  cents_ += debit.cents;
  return true;
}

namespace {

std::string Disagree(std::string_view element, const std::string& said,
                     const std::string& written) {
  return std::string(element) + TranslateText(util::Cp850(" diu ")) + said +
         TranslateText(util::Cp850(" i les transaccions escrites en sumen ")) + written;
}

}  // namespace

bool UsageCheck::BlockEnd(const C19Group& group, int64_t record) {
  if (failed_) return false;
  if (group.debits != block_debits_) {
    return Fail(
        UsageRule::kTotals, record,
        Disagree("PmtInf/NbOfTxs", std::to_string(group.debits), std::to_string(block_debits_)));
  }
  if (group.cents != block_cents_) {
    return Fail(UsageRule::kTotals, record,
                Disagree("PmtInf/CtrlSum", EurosText(group.cents), EurosText(block_cents_)));
  }
  return true;
}

bool UsageCheck::MessageEnd(int64_t record) {
  if (failed_) return false;
  if (header_debits_ != debits_) {
    return Fail(
        UsageRule::kTotals, record,
        Disagree("GrpHdr/NbOfTxs", std::to_string(header_debits_), std::to_string(debits_)));
  }
  if (header_cents_ != cents_) {
    return Fail(UsageRule::kTotals, record,
                Disagree("GrpHdr/CtrlSum", EurosText(header_cents_), EurosText(cents_)));
  }
  return true;
}

}  // namespace remit
