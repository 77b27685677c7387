#include "remit/verification_check.h"

#include "env/installation.h"
#include "env/language.h"
#include "env/session.h"
#include "forms/print_spool.h"
#include "remit/csb19_layout.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"
#include "util/record_layout.h"

namespace remit {

namespace {

namespace spool = ui::forms;

constexpr int16_t kPageLength = 66;
constexpr std::string_view kCountPicture = "Z,ZZZ,ZZZ,ZZ9";
constexpr std::string_view kPartiesPicture = "Z,ZZ9";
constexpr int16_t kAmountColumn = 55;
constexpr int16_t kReceiptsColumn = 69;
constexpr int16_t kRecordsColumn = 83;

using util::FieldOf;

double Value(std::string_view record, const util::Field& field) {
  return util::NumericValue(FieldOf(record, field));
}

void Style(std::string_view style) {
  std::string text(style);
  spool::SetJustification(text);
}

// Euro remittances (marker "5") carry cents; peseta ones whole pesetas,
// which are shown as they stand: converting them as if they were cents
// would print amounts a hundred times off. The currency settings of the
// session are put back afterwards.
std::string Amount(std::string_view record, double amount) {
  if (FieldOf(record, csb19_5880::kGroup) != "5") return util::FormatNumber(kCountPicture, amount);
  const std::string main = util::number_format.MainCurrency, alt = util::number_format.AltCurrency,
                    display = util::number_format.DisplayCurrency;
  util::number_format.MainCurrency = util::number_format.DisplayCurrency = "E";
  std::string text = util::FormatAmount(kCountPicture, amount);
  util::number_format.MainCurrency = main;
  util::number_format.AltCurrency = alt;
  util::number_format.DisplayCurrency = display;
  return text;
}

std::string Count(double count) { return util::FormatNumber(kCountPicture, count); }

void Totals(std::string_view record, double amount, double receipts, double records) {
  Style("D");
  spool::PrintItem(kAmountColumn, Amount(record, amount), 0);
  spool::PrintItem(kReceiptsColumn, Count(receipts), 0);
  spool::PrintItem(kRecordsColumn, Count(records), 1);
}

}  // namespace

void VerificationReport::Heading() {
  ++pages_;
  spool::SetPageLength(kPageLength);
  spool::WriteSpoolLine("*@e");  // the print program's "start of page" command
  spool::PrintItem(1, env::InstallationText(1), 0);
  Style("D");
  spool::PrintItem(85, env::TranslateText(util::Cp850("PÀGINA ")) + util::FormatNumber("ZZZ9", pages_), 2);
  const std::string title = env::TranslateText(util::Cp850("VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS"));
  spool::PrintItem(static_cast<int16_t>((96 - static_cast<int>(title.size())) / 2), title, 2);
  Style("D");
  spool::PrintItem(49, " ORD.", 0);
  spool::PrintItem(kAmountColumn, env::TranslateText(util::Cp850("       IMPORT")), 0);
  spool::PrintItem(kReceiptsColumn, env::TranslateText(util::Cp850("       REBUTS")), 0);
  spool::PrintItem(kRecordsColumn, env::TranslateText(util::Cp850("    REGISTRES")), 1);
  spool::PrintItem(49, std::string(47, '-'), 1);
}

void VerificationReport::NewPageIfBeyond(int16_t lines) {
  if (pages_ == 0 || spool::print_page.LineCount > lines) Heading();
}

void VerificationReport::ErrorLine(double record_number, std::string_view message) {
  NewPageIfBeyond(60);
  spool::PrintItem(1, env::TranslateText(util::Cp850("*** error *** ")) + Count(record_number) + " " + std::string(message), 1);
}

void VerificationReport::StoppedLine(int64_t records_left, bool later_volumes) {
  NewPageIfBeyond(60);
  std::string text = env::TranslateText(util::Cp850("*** verificació aturada: ")) +
                     std::string(util::Trim(Count(static_cast<double>(records_left)))) +
                     env::TranslateText(util::Cp850(" registres d'aquest volum sense comprovar"));
  if (later_volumes) text += env::TranslateText(util::Cp850(", ni els volums següents"));
  spool::PrintItem(1, text, 1);
}

bool VerificationReport::PartyLines(std::string_view record, double amount, int32_t receipts,
                                    int32_t records) {
  NewPageIfBeyond(59);
  Style("N 48 \\.\\");
  namespace f = csb19_5880;
  spool::PrintItem(1, env::TranslateText(util::Cp850("ORDENANT ")) + std::string(FieldOf(record, f::kPayee)) + " ", 0);
  Totals(record, amount, receipts, records);
  const double declared_amount = Value(record, f::kAmount);
  const double declared_receipts = Value(record, f::kReceipts);
  const double declared_records = Value(record, f::kRecords);
  if (amount == declared_amount && receipts == declared_receipts && records == declared_records) {
    return true;
  }
  Style("N 48 \\.\\");
  spool::PrintItem(1, env::TranslateText(util::Cp850("                         *** error ***")) + " ", 0);
  Totals(record, declared_amount, declared_receipts, declared_records);
  return false;
}

bool VerificationReport::GeneralTotals(std::string_view record, std::string_view presenter_date,
                                       int32_t parties, double amount, int32_t receipts,
                                       int32_t records) {
  namespace f = csb19_5980;
  NewPageIfBeyond(32767);  // only when no page is started yet
  spool::PrintItem(49, std::string(47, '-'), 1);
  NewPageIfBeyond(58);
  spool::PrintItem(1,
                   env::TranslateText(util::Cp850("PRESENTADOR ")) + std::string(FieldOf(record, f::kPresenter)) + " " +
                       env::FormatDate(presenter_date, 2, "dma"),
                   0);
  Style("D");
  spool::PrintItem(49, util::FormatNumber(kPartiesPicture, parties), 0);
  Totals(record, amount, receipts, records);
  const double declared_parties = Value(record, f::kPayees);
  const double declared_amount = Value(record, f::kAmount);
  const double declared_receipts = Value(record, f::kReceipts);
  const double declared_records = Value(record, f::kRecords);
  const bool agree = parties == declared_parties && amount == declared_amount &&
                     receipts == declared_receipts && records == declared_records;
  if (!agree) {
    spool::PrintItem(1, env::TranslateText(util::Cp850("                         *** error ***")), 0);
    Style("D");
    spool::PrintItem(49, util::FormatNumber(kPartiesPicture, declared_parties), 0);
    Totals(record, declared_amount, declared_receipts, declared_records);
  }
  spool::PrintItem(1, std::string(95, '='), 1);
  return agree;
}

void RecordChecker::Error(double record_number, std::string_view message) {
  report_.ErrorLine(record_number, message);
  record_error_ = true;
  ++error_lines_;
}

void RecordChecker::Check(std::string_view record, double record_number) {
  record_error_ = false;
  bool clean = record.size() == kCsb19RecordLength && record.substr(kCsb19Length) == "\r\n";
  for (size_t i = 0; clean && i < kCsb19Length; ++i) {
    const auto c = static_cast<unsigned char>(record[i]);
    clean = c >= 32 && c != 127;
  }
  if (!clean) Error(record_number, env::TranslateText(util::Cp850("conté caràcters estranys")));

  // Every kind but the debits' is three characters after the group.
  const std::string_view kind = FieldOf(record, csb19_5180::kKind);
  const bool first = record_number == 1;
  if (kind == "180") {
    if (first) {
      parties_ = 0;
      total_amount_ = 0;
      total_receipts_ = 0;
      total_records_ = 1;
      const std::string_view date = FieldOf(record, csb19_5180::kDate);
      presenter_date_ = util::ParseDateText(date, util::SplitDate(env::session.WorkDate).year);
    } else {
      Error(record_number, env::TranslateText(util::Cp850("el registre 5180 no pot ser aquest registre")));
    }
  } else if (first) {
    Error(record_number, env::TranslateText(util::Cp850("el registre 5180 ha de ser el primer registre")));
  }

  if (kind == "380") {
    ++parties_;
    party_amount_ = 0;
    party_receipts_ = 0;
    party_records_ = 1;
  } else if (FieldOf(record, csb19_568::kKind) == "68") {
    namespace f = csb19_568;
    ++party_records_;
    if (FieldOf(record, f::kSequence) == "0") {
      party_amount_ += Value(record, f::kAmount);
      ++party_receipts_;
      optional_sequence_ = 0;
    } else if (++optional_sequence_ != Value(record, f::kSequence)) {
      Error(record_number, env::TranslateText(util::Cp850("el registre ")) +
                               std::string(util::FieldsOf(record, f::kGroup, f::kSequence)) +
                               env::TranslateText(util::Cp850(" no està en seqüència")));
    }
  } else if (kind == "880") {
    ++party_records_;
    total_amount_ += party_amount_;
    total_receipts_ += party_receipts_;
    total_records_ += party_records_;
    if (!report_.PartyLines(record, party_amount_, party_receipts_, party_records_)) {
      record_error_ = true;
    }
  } else if (kind == "980") {
    ++total_records_;
    if (!report_.GeneralTotals(record, presenter_date_, parties_, total_amount_, total_receipts_,
                               total_records_)) {
      record_error_ = true;
    }
    finished_ = true;
  }
}

}  // namespace remit
