// The SEPA core direct-debit initiation message (pain.008) made of a
// Cuaderno 19.14 file: which message version a file asks for, the fields
// as the message writes them (amounts, dates, identifiers), and the message
// itself written part by part through an XML writer, so that a file of any
// size is converted with the memory of one debit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xml/xml.h"
#include "remit/c19_reader.h"

namespace remit {

// The three versions of the 2009 rulebooks and the 2019 one (pain.008.001.08),
// which the rulebooks have used since November 2023.
enum class PainVersion { k00100102, k00300302, k00100104, k00100108 };

// "pain.008.001.02" ...
std::string_view PainName(PainVersion version);
// The version of a name ("pain.008.003.02", any case, blanks around);
// false for a version this converter does not write.
bool PainFromName(std::string_view name, PainVersion* version);

// The message of a file whose 01 record carries the version character: "2"
// and "4" (and anything else, read as "4") pain.008.001.02, "3"
// pain.008.003.02, unless the office's setting for that character names
// another version (setting_2 .. setting_4; empty keeps the default).
PainVersion VersionForCharacter(char character, std::string_view setting_2,
                                std::string_view setting_3, std::string_view setting_4);

// Cents as euros with two decimals: 1 -> "0.01", 123456 -> "1234.56".
std::string EurosText(int64_t cents);
// "20261208" -> "2026-12-08".
std::string IsoDate(std::string_view digits);
// The identifier of the n-th payment block (from 1) of a message: the
// message's identifier cut so that "-" and n fit in 35 characters.
std::string PaymentBlockId(std::string_view message_id, int64_t n);
// Whether the version knows the sequence type (RPRE came with 001.04).
bool VersionTakesSequenceType(PainVersion version, std::string_view sequence_type);
// Code page 850 text as UTF-8 (what the converter writes is plain ASCII
// after the SEPA filter; anything else is carried over as its character).
std::string MessageText(std::string_view cp850);

// The parts of the message, in the order they are written.
struct MessageHeader {
  PainVersion version = PainVersion::k00100102;
  std::string message_id;
  std::string created;  // "2026-12-08T15:23:36"
  int64_t debits = 0;
  int64_t cents = 0;
  std::string presenter_name;
  std::string presenter_id;
};
void WriteMessageStart(platform::xml::Writer& xml, const MessageHeader& header);

struct PaymentBlock {
  std::string id;
  const C19Creditor* creditor = nullptr;
  const C19Group* group = nullptr;
  std::string local_instrument = "CORE";
};
void WritePaymentStart(platform::xml::Writer& xml, const PaymentBlock& block);
void WriteDebit(platform::xml::Writer& xml, const C19Debit& debit);
void WritePaymentEnd(platform::xml::Writer& xml);
void WriteMessageEnd(platform::xml::Writer& xml);

}  // namespace remit
