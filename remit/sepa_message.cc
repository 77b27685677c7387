#include "remit/sepa_message.h"

#include <algorithm>

#include "util/basics.h"
#include "util/cp850.h"

namespace remit {

namespace {

constexpr size_t kIdLength = 35;
// The agent element a version wants when no BIC is given.
constexpr std::string_view kNoAgent = "NOTPROVIDED";

void WriteNoAgent(platform::xml::Writer& xml, std::string_view element) {
  xml.Start(element);
  xml.Start("FinInstnId");
  xml.Start("Othr");
  xml.Element("Id", kNoAgent);
  xml.End();
  xml.End();
  xml.End();
}

void WriteIban(platform::xml::Writer& xml, std::string_view element, std::string_view iban) {
  xml.Start(element);
  xml.Start("Id");
  xml.Element("IBAN", iban);
  xml.End();
  xml.End();
}

}  // namespace

std::string_view PainName(PainVersion version) {
  switch (version) {
    case PainVersion::k00300302:
      return "pain.008.003.02";
    case PainVersion::k00100104:
      return "pain.008.001.04";
    case PainVersion::k00100108:
      return "pain.008.001.08";
    case PainVersion::k00100102:
      break;
  }
  return "pain.008.001.02";
}

bool PainFromName(std::string_view name, PainVersion* version) {
  const std::string wanted = util::UpperCase(util::Trim(name));
  for (PainVersion v : {PainVersion::k00100102, PainVersion::k00300302, PainVersion::k00100104,
                        PainVersion::k00100108}) {
    if (wanted == util::UpperCase(PainName(v))) {
      *version = v;
      return true;
    }
  }
  return false;
}

PainVersion VersionForCharacter(char character, std::string_view setting_2,
                                std::string_view setting_3, std::string_view setting_4) {
  PainVersion version = character == '3' ? PainVersion::k00300302 : PainVersion::k00100102;
  const std::string_view setting =
      character == '2' ? setting_2 : character == '3' ? setting_3 : setting_4;
  PainFromName(setting, &version);  // a setting that names no version keeps the default
  return version;
}

std::string EurosText(int64_t cents) {
  std::string whole = std::to_string(cents / 100);
  const int64_t rest = cents % 100;
  return whole + "." + static_cast<char>('0' + rest / 10) + static_cast<char>('0' + rest % 10);
}

std::string IsoDate(std::string_view digits) {
  if (digits.size() != 8) return std::string(digits);
  return std::string(digits.substr(0, 4)) + "-" + std::string(digits.substr(4, 2)) + "-" +
         std::string(digits.substr(6, 2));
}

std::string PaymentBlockId(std::string_view message_id, int64_t n) {
  const std::string suffix = "-" + std::to_string(n);
  return std::string(message_id.substr(0, kIdLength - std::min(kIdLength, suffix.size()))) + suffix;
}

bool VersionTakesSequenceType(PainVersion version, std::string_view sequence_type) {
  return sequence_type != "RPRE" || version == PainVersion::k00100104 ||
         version == PainVersion::k00100108;
}

std::string MessageText(std::string_view cp850) { return util::Cp850ToUtf8(cp850); }

void WriteMessageStart(platform::xml::Writer& xml, const MessageHeader& header) {
  xml.StartDocument();
  xml.Start("Document");
  xml.Attribute("xmlns", "urn:iso:std:iso:20022:tech:xsd:" + std::string(PainName(header.version)));
  xml.Start("CstmrDrctDbtInitn");
  xml.Start("GrpHdr");
  xml.Element("MsgId", MessageText(header.message_id));
  xml.Element("CreDtTm", header.created);
  xml.Element("NbOfTxs", std::to_string(header.debits));
  xml.Element("CtrlSum", EurosText(header.cents));
  xml.Start("InitgPty");
  if (!header.presenter_name.empty()) xml.Element("Nm", MessageText(header.presenter_name));
  // Spanish banks know the presenter by the identifier of the 01 record.
  xml.Start("Id");
  xml.Start("OrgId");
  xml.Start("Othr");
  xml.Element("Id", MessageText(header.presenter_id));
  xml.End();
  xml.End();
  xml.End();
  xml.End();  // InitgPty
  xml.End();  // GrpHdr
}

void WritePaymentStart(platform::xml::Writer& xml, const PaymentBlock& block) {
  const C19Creditor& creditor = *block.creditor;
  const C19Group& group = *block.group;
  xml.Start("PmtInf");
  xml.Element("PmtInfId", MessageText(block.id));
  xml.Element("PmtMtd", "DD");
  xml.Element("NbOfTxs", std::to_string(group.debits));
  xml.Element("CtrlSum", EurosText(group.cents));
  xml.Start("PmtTpInf");
  xml.Start("SvcLvl");
  xml.Element("Cd", "SEPA");
  xml.End();
  xml.Start("LclInstrm");
  xml.Element("Cd", block.local_instrument);
  xml.End();
  xml.Element("SeqTp", group.sequence_type);
  if (!group.purpose.empty()) {
    xml.Start("CtgyPurp");
    xml.Element("Cd", group.purpose);
    xml.End();
  }
  xml.End();  // PmtTpInf
  xml.Element("ReqdColltnDt", IsoDate(creditor.collection_date));
  xml.Start("Cdtr");
  xml.Element("Nm", MessageText(creditor.name));
  xml.End();
  WriteIban(xml, "CdtrAcct", creditor.iban);
  WriteNoAgent(xml, "CdtrAgt");
  xml.Element("ChrgBr", "SLEV");
  xml.Start("CdtrSchmeId");
  xml.Start("Id");
  xml.Start("PrvtId");
  xml.Start("Othr");
  xml.Element("Id", MessageText(creditor.identifier));
  xml.Start("SchmeNm");
  xml.Element("Prtry", "SEPA");
  xml.End();
  xml.End();  // Othr
  xml.End();  // PrvtId
  xml.End();  // Id
  xml.End();  // CdtrSchmeId
}

void WriteDebit(platform::xml::Writer& xml, const C19Debit& debit) {
  xml.Start("DrctDbtTxInf");
  xml.Start("PmtId");
  xml.Element("EndToEndId", MessageText(debit.reference));
  xml.End();
  xml.Start("InstdAmt");
  xml.Attribute("Ccy", "EUR");
  xml.Text(EurosText(debit.cents));
  xml.End();
  xml.Start("DrctDbtTx");
  xml.Start("MndtRltdInf");
  xml.Element("MndtId", MessageText(debit.mandate));
  xml.Element("DtOfSgntr", IsoDate(debit.mandate_date));
  xml.End();
  xml.End();
  WriteNoAgent(xml, "DbtrAgt");
  xml.Start("Dbtr");
  xml.Element("Nm", MessageText(debit.debtor_name));
  xml.End();
  WriteIban(xml, "DbtrAcct", debit.debtor_iban);
  if (!debit.concept_text.empty()) {
    xml.Start("RmtInf");
    xml.Element("Ustrd", MessageText(debit.concept_text));
    xml.End();
  }
  xml.End();  // DrctDbtTxInf
}

void WritePaymentEnd(platform::xml::Writer& xml) { xml.End(); }

void WriteMessageEnd(platform::xml::Writer& xml) {
  xml.End();  // CstmrDrctDbtInitn
  xml.End();  // Document
}

}  // namespace remit
