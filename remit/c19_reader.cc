#include "remit/c19_reader.h"

#include <algorithm>

#include "bank/iban.h"
#include "remit/c19_layout.h"
#include "remit/c19_records.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/record_layout.h"

namespace remit {

namespace {

constexpr std::string_view kPresenterCode = "0119143001";
constexpr std::string_view kCreditorCode = "0219143002";
constexpr std::string_view kDebitCode = "0319143003";
using util::FieldOf;

std::string Trimmed(std::string_view text) { return std::string(util::Trim(text)); }
// A name or a text through the SEPA filter, trimmed.
std::string SepaTrimmed(std::string_view text) { return Trimmed(SepaText(text)); }

// The text shown inside a message: control characters as blanks.
std::string Shown(std::string_view text) { return "\"" + BlankControls(std::string(text)) + "\""; }

bool Digits(std::string_view field, int64_t* value) {
  if (field.empty()) return false;
  int64_t v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

bool ValidDate(std::string_view digits) {
  int64_t value = 0;
  if (digits.size() != 8 || !Digits(digits, &value)) return false;
  const int64_t year = value / 10000, month = value / 100 % 100, day = value % 100;
  return year >= 1900 && month >= 1 && month <= 12 && day >= 1 &&
         day <= util::DaysInMonth(month, year, false);
}

bool IsIdentifierCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("+?/-:().,'").find(c) != std::string_view::npos;
}

// A number field of a totals record; empty when it reads.
std::string TotalField(std::string_view record, const util::Field& at, std::string_view what,
                       int64_t* value) {
  const std::string_view field = FieldOf(record, at);
  if (Digits(field, value)) return {};
  return util::Cp850("el camp ") + std::string(what) + util::Cp850(" ") + Shown(field) +
         util::Cp850(" no és un número");
}

std::string Disagrees(std::string_view what, int64_t written, int64_t counted) {
  return util::Cp850("el registre diu ") + std::to_string(written) + " " + std::string(what) +
         util::Cp850(" i n'hi ha ") + std::to_string(counted);
}

}  // namespace

bool IbanIsSound(std::string_view iban) {
  if (iban.size() < 5 || iban.size() > 34) return false;
  if (!std::all_of(iban.begin(), iban.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      })) {
    return false;
  }
  std::string checked(iban);
  // CheckIban puts right check digits in place of "00": the text must come
  // back as it went in.
  return bank::CheckIban(checked) == bank::kIbanValid && checked == iban;
}

bool IsSepaIdentifier(std::string_view text) {
  if (text.size() < 8 || text.size() > 35) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!letter(text[0]) || !letter(text[1]) || !digit(text[2]) || !digit(text[3])) return false;
  return std::all_of(text.begin() + 4, text.end(), IsIdentifierCharacter);
}

namespace {

// The record read, and why not in words; empty when it reads well.
std::string PresenterFault(std::string_view record, C19Presenter* presenter) {
  if (!record.starts_with(kPresenterCode)) {
    return util::Cp850("no és un fitxer del quadern 19.14: no comença amb el registre 01 "
                       "(0119143001)");
  }
  namespace f = c19_01;
  presenter->identifier = Trimmed(FieldOf(record, f::kIdentifier));
  presenter->name = SepaTrimmed(FieldOf(record, f::kName));
  presenter->file_identifier =
      Trimmed(util::FieldsOf(record, f::kFileIdentifier, f::kFileIdentifierTail));
  const std::string_view version = FieldOf(record, f::kXmlVersion);
  presenter->xml_version = version.empty() ? '4' : version[0];
  if (!IsSepaIdentifier(presenter->identifier)) {
    return util::Cp850("l'identificador del presentador ") + Shown(presenter->identifier) +
           util::Cp850(" no és un identificador SEPA");
  }
  if (presenter->file_identifier.empty() ||
      !std::all_of(presenter->file_identifier.begin(), presenter->file_identifier.end(),
                   IsIdentifierCharacter)) {
    return util::Cp850("l'identificador del fitxer ") + Shown(presenter->file_identifier) +
           util::Cp850(" és buit o té caràcters que un missatge SEPA no admet");
  }
  return {};
}

std::string CreditorFault(std::string_view record, C19Creditor* creditor) {
  namespace f = c19_02;
  creditor->identifier = Trimmed(FieldOf(record, f::kIdentifier));
  creditor->collection_date = std::string(FieldOf(record, f::kCollectionDate));
  creditor->name = SepaTrimmed(FieldOf(record, f::kName));
  creditor->iban = Trimmed(FieldOf(record, f::kIban));
  if (!IsSepaIdentifier(creditor->identifier)) {
    return util::Cp850("l'identificador del creditor ") + Shown(creditor->identifier) +
           util::Cp850(" no és un identificador SEPA");
  }
  if (!ValidDate(creditor->collection_date)) {
    return util::Cp850("la data de cobrament ") + Shown(creditor->collection_date) +
           util::Cp850(" no és una data");
  }
  if (creditor->name.empty()) return util::Cp850("el creditor no té nom");
  if (!IbanIsSound(creditor->iban)) {
    return util::Cp850("l'IBAN del creditor ") + Shown(creditor->iban) +
           util::Cp850(" no és correcte (format o dígits de control)");
  }
  return {};
}

std::string DebitFault(std::string_view record, C19Debit* debit) {
  namespace f = c19_03;
  debit->reference = SepaTrimmed(FieldOf(record, f::kReference));
  debit->mandate = Trimmed(FieldOf(record, f::kMandate));
  debit->sequence_type = std::string(FieldOf(record, f::kSequenceType));
  debit->purpose = Trimmed(FieldOf(record, f::kPurpose));
  const std::string_view amount = FieldOf(record, f::kAmount);
  debit->mandate_date = std::string(FieldOf(record, f::kMandateDate));
  debit->debtor_name = SepaTrimmed(FieldOf(record, f::kDebtorName));
  const std::string_view account_kind = FieldOf(record, f::kAccountKind);
  debit->debtor_iban = Trimmed(FieldOf(record, f::kDebtorIban));
  debit->concept_text = SepaTrimmed(FieldOf(record, f::kConcept));
  if (debit->reference.empty()) return util::Cp850("el rebut no té referència");
  if (debit->mandate.empty() ||
      !std::all_of(debit->mandate.begin(), debit->mandate.end(), IsIdentifierCharacter)) {
    return util::Cp850("la referència del mandat ") + Shown(debit->mandate) +
           util::Cp850(" és buida o té caràcters que un missatge SEPA no admet");
  }
  static const std::string_view kSequenceTypes[] = {"FRST", "RCUR", "FNAL", "OOFF", "RPRE"};
  if (std::find(std::begin(kSequenceTypes), std::end(kSequenceTypes), debit->sequence_type) ==
      std::end(kSequenceTypes)) {
    return util::Cp850("el tipus d'adeudament ") + Shown(debit->sequence_type) +
           util::Cp850(" no és FRST, RCUR, FNAL, OOFF ni RPRE");
  }
  if (!std::all_of(debit->purpose.begin(), debit->purpose.end(),
                   [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); })) {
    return util::Cp850("la categoria de propòsit ") + Shown(debit->purpose) +
           util::Cp850(" no és un codi");
  }
  if (!Digits(amount, &debit->cents) || amount.size() != f::kAmount.width) {
    return util::Cp850("l'import ") + Shown(amount) + util::Cp850(" no és un número");
  }
  if (debit->cents == 0) return util::Cp850("l'import és 0");
  if (!ValidDate(debit->mandate_date)) {
    return util::Cp850("la data de signatura del mandat ") + Shown(debit->mandate_date) +
           util::Cp850(" no és una data");
  }
  if (debit->debtor_name.empty()) return util::Cp850("el deutor no té nom");
  if (account_kind != "A") {
    return util::Cp850("el compte del deutor no és un IBAN (posició 403: ") + Shown(account_kind) +
           ")";
  }
  if (!IbanIsSound(debit->debtor_iban)) {
    return util::Cp850("l'IBAN del deutor ") + Shown(debit->debtor_iban) +
           util::Cp850(" no és correcte (format o dígits de control)");
  }
  return {};
}

bool LinesOf(std::string_view head, int64_t size, int64_t* line_length, int64_t* lines,
             std::string* reason, int64_t* record) {
  *record = 1;
  if (size == 0) {
    *reason = util::Cp850("el fitxer és buit");
    return false;
  }
  if (!head.starts_with(kPresenterCode)) {
    *reason = util::Cp850("no és un fitxer del quadern 19.14: no comença amb el registre 01 "
                          "(0119143001)");
    return false;
  }
  if (head.size() > kRecordLength + 1 && head.substr(kRecordLength, 2) == "\r\n") {
    *line_length = kRecordLineLength;
  } else if (head.size() > kRecordLength && head[kRecordLength] == '\n') {
    *line_length = kRecordLength + 1;
  } else if (size <= static_cast<int64_t>(kRecordLength + 1)) {
    *reason = util::Cp850("el registre és incomplet: el fitxer està tallat");
    return false;
  } else {
    *reason = util::Cp850("no és un fitxer del quadern 19.14: els registres no són de 600 "
                          "caràcters i salt de línia");
    return false;
  }
  // A last line cut short is found by the scan, after the lines before it.
  *lines = (size + *line_length - 1) / *line_length;
  return true;
}

// A record's or the file's fault, as a Status.
env::Status Faulty(std::string words) {
  return words.empty() ? env::OkStatus() : env::Status(env::Code::kBadData, std::move(words));
}

}  // namespace

env::Status ReadPresenter(std::string_view record, C19Presenter* presenter) {
  return Faulty(PresenterFault(record, presenter));
}

env::Status ReadCreditor(std::string_view record, C19Creditor* creditor) {
  return Faulty(CreditorFault(record, creditor));
}

env::Status ReadDebit(std::string_view record, C19Debit* debit) { return Faulty(DebitFault(record, debit)); }

env::Status C19Lines(std::string_view head, int64_t size, int64_t* line_length, int64_t* lines,
                     int64_t* record) {
  std::string reason;
  if (LinesOf(head, size, line_length, lines, &reason, record)) return env::OkStatus();
  return env::Status(env::Code::kBadData, std::move(reason));
}

bool C19Scan::Fail(std::string reason) {
  fault_ = env::Status(env::Code::kBadData, std::move(reason));
  fault_record_ = index_ + 1;
  return false;
}

bool C19Scan::Take(std::string_view line) {
  if (!fault_.ok()) return false;
  const std::string_view ending = line_length_ == static_cast<int64_t>(kRecordLineLength) ? "\r\n" : "\n";
  if (static_cast<int64_t>(line.size()) < line_length_) {
    return Fail(util::Cp850("el registre és incomplet: el fitxer està tallat"));
  }
  if (static_cast<int64_t>(line.size()) != line_length_ || !line.ends_with(ending)) {
    return Fail(util::Cp850("el registre no té 600 caràcters seguits del salt de línia"));
  }
  const std::string_view record = line.substr(0, kRecordLength);
  bool ok = true;
  const std::string_view code = record.substr(0, 2);
  switch (expect_) {
    case Expect::kPresenter: {
      const env::Status why = ReadPresenter(record, &plan_.presenter);
      ok = why.ok() ? true : Fail(why.words());
      expect_ = Expect::kCreditorOrEnd;
      break;
    }
    case Expect::kCreditorOrEnd:
      if (code == "99") {
        ok = TakeFileTotals(record);
        expect_ = Expect::kNothing;
      } else if (record.starts_with(kCreditorCode)) {
        C19Block block;
        block.first_record = index_;
        const env::Status why = ReadCreditor(record, &block.creditor);
        if (!why.ok()) {
          ok = Fail(why.words());
        } else {
          plan_.blocks.push_back(std::move(block));
          block_debits_ = block_cents_ = 0;
          expect_ = Expect::kDebitOrTotals;
        }
      } else {
        ok = Fail(util::Cp850("s'esperava un registre 02 (0219143002) o el 99 i hi ha ") +
                  Shown(record.substr(0, 10)));
      }
      break;
    case Expect::kDebitOrTotals:
      if (record.starts_with(kDebitCode)) {
        ok = TakeDebit(record);
      } else if (code == "04") {
        ok = TakeBlockTotals(record);
        expect_ = Expect::kCreditorTotals;
      } else {
        ok = Fail(util::Cp850("s'esperava un registre 03 (0319143003) o el 04 i hi ha ") +
                  Shown(record.substr(0, 10)));
      }
      break;
    case Expect::kCreditorTotals:
      if (code == "05") {
        ok = TakeCreditorTotals(record);
        expect_ = Expect::kCreditorOrEnd;
      } else {
        ok = Fail(util::Cp850("s'esperava el registre 05 i hi ha ") + Shown(record.substr(0, 10)));
      }
      break;
    case Expect::kNothing:
      ok = Fail(util::Cp850("hi ha registres després del 99"));
      break;
  }
  ++index_;
  return ok;
}

bool C19Scan::TakeDebit(std::string_view record) {
  C19Debit debit;
  const env::Status why = ReadDebit(record, &debit);
  if (!why.ok()) return Fail(why.words());
  std::vector<C19Group>& groups = plan_.blocks.back().groups;
  auto group = std::find_if(groups.begin(), groups.end(), [&](const C19Group& g) {
    return g.sequence_type == debit.sequence_type && g.purpose == debit.purpose;
  });
  if (group == groups.end()) {
    groups.push_back({debit.sequence_type, debit.purpose, 0, 0});
    group = groups.end() - 1;
  }
  ++group->debits;
  group->cents += debit.cents;
  ++block_debits_;
  block_cents_ += debit.cents;
  return true;
}

bool C19Scan::TakeBlockTotals(std::string_view record) {
  C19Block& block = plan_.blocks.back();
  block.end_record = index_;
  namespace f = c19_04;
  if (Trimmed(FieldOf(record, f::kIdentifier)) != block.creditor.identifier) {
    return Fail(util::Cp850("el registre 04 és d'un altre creditor que el seu 02"));
  }
  if (FieldOf(record, f::kCollectionDate) != block.creditor.collection_date) {
    return Fail(util::Cp850("el registre 04 és d'una altra data que el seu 02"));
  }
  int64_t total = 0, debits = 0, records = 0;
  std::string why = TotalField(record, f::kTotal, "total", &total);
  if (why.empty()) why = TotalField(record, f::kDebits, "d'adeudaments", &debits);
  if (why.empty()) why = TotalField(record, f::kRecords, "de registres", &records);
  if (!why.empty()) return Fail(why);
  const int64_t counted = index_ - block.first_record + 1;
  if (total != block_cents_) return Fail(Disagrees(util::Cp850("cèntims"), total, block_cents_));
  if (debits != block_debits_) return Fail(Disagrees("adeudaments", debits, block_debits_));
  if (records != counted) return Fail(Disagrees("registres", records, counted));
  return true;
}

bool C19Scan::TakeCreditorTotals(std::string_view record) {
  const C19Block& block = plan_.blocks.back();
  namespace f = c19_05;
  if (Trimmed(FieldOf(record, f::kIdentifier)) != block.creditor.identifier) {
    return Fail(util::Cp850("el registre 05 és d'un altre creditor que el seu 02"));
  }
  int64_t total = 0, debits = 0, records = 0;
  std::string why = TotalField(record, f::kTotal, "total", &total);
  if (why.empty()) why = TotalField(record, f::kDebits, "d'adeudaments", &debits);
  if (why.empty()) why = TotalField(record, f::kRecords, "de registres", &records);
  if (!why.empty()) return Fail(why);
  const int64_t counted = index_ - block.first_record + 1;
  if (total != block_cents_) return Fail(Disagrees(util::Cp850("cèntims"), total, block_cents_));
  if (debits != block_debits_) return Fail(Disagrees("adeudaments", debits, block_debits_));
  if (records != counted) return Fail(Disagrees("registres", records, counted));
  plan_.debits += block_debits_;
  plan_.cents += block_cents_;
  return true;
}

bool C19Scan::TakeFileTotals(std::string_view record) {
  namespace f = c19_99;
  int64_t total = 0, debits = 0, records = 0;
  std::string why = TotalField(record, f::kTotal, "total", &total);
  if (why.empty()) why = TotalField(record, f::kDebits, "d'adeudaments", &debits);
  if (why.empty()) why = TotalField(record, f::kRecords, "de registres", &records);
  if (!why.empty()) return Fail(why);
  if (total != plan_.cents) return Fail(Disagrees(util::Cp850("cèntims"), total, plan_.cents));
  if (debits != plan_.debits) return Fail(Disagrees("adeudaments", debits, plan_.debits));
  if (records != index_ + 1) return Fail(Disagrees("registres", records, index_ + 1));
  plan_.records = index_ + 1;
  return true;
}

bool C19Scan::Finish() {
  if (!fault_.ok()) return false;
  if (expect_ != Expect::kNothing) {
    return Fail(util::Cp850("el fitxer s'acaba abans del registre 99: està tallat"));
  }
  if (plan_.debits == 0) {
    fault_record_ = 0;
    fault_ = env::Status(env::Code::kBadData, util::Cp850("el fitxer no té cap adeudament"));
    return false;
  }
  return true;
}

}  // namespace remit
