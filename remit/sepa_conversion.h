// A Cuaderno 19.14 file converted into a SEPA core direct-debit message
// beside it (same name, extension ".XML"). The file is read twice, record
// by record: first every record is checked and the totals added up, then
// the message is written through a temporary file ("NAME.XML.tmp"), held
// to the banks' usage rules as it is written (sepa_usage.h), checked
// against the schema of its version when the office keeps one, its id kept
// in the installation's record (sepa_message_ids.h), and renamed into
// place only when whole and sound. A file that cannot be converted
// leaves no ".XML" behind, and an older message of that name stays as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "env/status.h"
#include "remit/sepa_message.h"

namespace remit {

// The office's settings of the conversion, section "ConversioXML" of
// "Vela.ini" in session.RootDir: "Versio2", "Versio3", "Versio4" name the message
// version of each version character of the 01 record ("pain.008.001.04" ...;
// empty or unknown keeps the default), "Esquemes" the folder holding the
// schemas as "pain.008.001.02.xsd" ... (a program path, relative ones under
// session.RootDir; empty: messages are not checked). The message ids
// put in place are kept in the installation's record of them
// (sepa_message_ids.h).
struct ConversionSettings {
  std::string version_2;
  std::string version_3;
  std::string version_4;
  std::string schema_folder;  // host path ending in "/", or empty
  std::string id_record;      // program path of the record of message ids; empty: not kept
};
ConversionSettings LoadConversionSettings();

enum class ConversionStatus {
  kConverted,
  kNotRead,          // the file cannot be opened or read
  kBadRecords,       // not a sound Cuaderno 19.14 file
  kNotWritten,       // the message cannot be written or put in place
  kRefusedBySchema,  // the message breaks its schema (or the schema is unusable)
  kRefusedByRules,   // the message would break a usage rule of the banks (sepa_usage.h)
};

struct ConversionReport {
  ConversionStatus status = ConversionStatus::kNotRead;
  std::string xml_path;     // host path of the message (written or not)
  int64_t record = 0;       // 1-based record of the fault, 0 for the whole file
  std::string reason;       // why, in words (code page 850)
  PainVersion version = PainVersion::k00100102;
  bool checked = false;     // the message was checked against its schema
  // Why it was not, when the office keeps schemas but not this version's
  // (translated words, code page 850); empty otherwise.
  std::string unchecked_why;
  int64_t debits = 0;
  int64_t cents = 0;
  int64_t payment_blocks = 0;
  // Unless converted: the end as a Status (kFileError for a file not read
  // or not written, kBadData for records or a message refused), the reason
  // as its words and the file's program path as its subject.
  env::Status failure;
};

// The message's path: the file's name with its extension replaced by
// ".XML" (added when it has none). Host and program paths alike.
std::string XmlPathFor(const std::string& path);

// What to convert: the file's host path, the office's settings, and the
// message's creation time ("2026-12-08T15:23:36").
struct ConversionRequest {
  std::string host_path;
  ConversionSettings settings;
  std::string created;
  // Called between the first reading (the records checked, the totals
  // added up) and the second (the message written), for a caller that
  // must act there; the tests change the file, as another program might.
  std::function<void()> after_first_reading;
};

ConversionReport ConvertToSepaXml(const ConversionRequest& request);

// The local time now as a message's creation time.
std::string CreationTimeNow();

}  // namespace remit
