#include "remit/sepa_conversion.h"

#include <cstdio>
#include <optional>

#include "env/file_error.h"
#include "env/ini.h"
#include "env/language.h"
#include "env/session.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/process/clock.h"
#include "remit/c19_records.h"
#include "remit/sepa_message_ids.h"
#include "remit/sepa_usage.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace remit {

namespace fs = platform::fs;

namespace {

constexpr char kSection[] = "ConversioXML";
// Lines read at a time: a few hundred kilobytes, whatever the file's size.
constexpr int64_t kLinesPerRead = 512;
// Bytes of the message written (and checked) at a time.
constexpr size_t kBytesPerWrite = 256 * 1024;

// The lines of an open file, read a slice at a time as they are asked for
// in order.
class LineReader {
 public:
  LineReader(fs::File& file, int64_t line_length) : file_(file), line_length_(line_length) {}
  // The line at 0-based index (the file's last may be short); false when
  // nothing of it can be read.
  bool Line(int64_t index, std::string_view* line) {
    if (index < first_ || index >= first_ + count_) {
      buffer_.resize(static_cast<size_t>(line_length_ * kLinesPerRead));
      const int64_t got = file_.ReadAt(index * line_length_, buffer_.data(), buffer_.size());
      if (got <= 0) return false;
      buffer_.resize(static_cast<size_t>(got));
      first_ = index;
      count_ = (got + line_length_ - 1) / line_length_;
    }
    *line = std::string_view(buffer_).substr(static_cast<size_t>((index - first_) * line_length_),
                                             static_cast<size_t>(line_length_));
    return true;
  }

 private:
  fs::File& file_;
  int64_t line_length_;
  std::string buffer_;
  int64_t first_ = 0;
  int64_t count_ = 0;
};

ConversionReport Fault(ConversionReport report, ConversionStatus status, int64_t record,
                       std::string reason) {
  report.status = status;
  report.record = record;
  report.reason = std::move(reason);
  return report;
}

std::string ReadFault() {
  const std::string text = env::LastFileErrorText();
  return text.empty() ? util::Cp850("no es pot llegir el fitxer") : text;
}

// The message of the plan written to the sink, each part told to the
// usage check as it is written; false when the writer or the file failed,
// or a usage rule is broken (then check.failed()).
bool WriteMessage(LineReader& lines, const C19Plan& plan, PainVersion version,
                  const std::string& created, const platform::xml::Sink& sink,
                  UsageCheck& check, int64_t* payment_blocks) {
  platform::xml::Writer xml(sink, true);
  MessageHeader header;
  header.version = version;
  header.message_id = plan.presenter.file_identifier;
  header.created = created;
  header.debits = plan.debits;
  header.cents = plan.cents;
  header.presenter_name = plan.presenter.name;
  header.presenter_id = plan.presenter.identifier;
  if (!check.Header(header)) return false;
  WriteMessageStart(xml, header);
  int64_t n = 0;
  for (const C19Block& block : plan.blocks) {
    for (const C19Group& group : block.groups) {
      PaymentBlock payment;
      payment.id = PaymentBlockId(plan.presenter.file_identifier, ++n);
      payment.creditor = &block.creditor;
      payment.group = &group;
      if (!check.BlockStart(payment, block.first_record + 1)) return false;
      WritePaymentStart(xml, payment);
      // Every debit of the block of this group, in the file's order.
      for (int64_t i = block.first_record + 1; i < block.end_record; ++i) {
        std::string_view line;
        if (!lines.Line(i, &line)) return false;
        C19Debit debit;
        // Read well in the first reading: otherwise the file changed since.
        if (!ReadDebit(line.substr(0, kRecordLength), &debit).ok()) return false;
        if (debit.sequence_type == group.sequence_type && debit.purpose == group.purpose) {
          if (!check.Debit(debit, i + 1)) return false;
          WriteDebit(xml, debit);
        }
      }
      if (!check.BlockEnd(group, block.end_record + 1)) return false;
      WritePaymentEnd(xml);
    }
  }
  if (!check.MessageEnd(plan.records)) return false;
  WriteMessageEnd(xml);
  *payment_blocks = n;
  return xml.Finish();
}

ConversionReport SchemaFault(const ConversionReport& report, const std::string& schema,
                             const std::string& why) {
  return Fault(report, ConversionStatus::kRefusedBySchema, 0,
               util::Cp850("el missatge no compleix l'esquema ") + util::Utf8ToCp850(schema) +
                   ": " + util::Utf8ToCp850(why));
}

bool Exists(const std::string& host_path) {
  fs::DirEntry entry;
  return fs::StatEntry(host_path, &entry) && (entry.attributes & fs::kDirectory) == 0;
}

}  // namespace

ConversionSettings LoadConversionSettings() {
  const std::string file = env::session.RootDir + "Vela.ini";
  ConversionSettings settings;
  settings.version_2 = env::ReadIniValue(file, kSection, "Versio2");
  settings.version_3 = env::ReadIniValue(file, kSection, "Versio3");
  settings.version_4 = env::ReadIniValue(file, kSection, "Versio4");
  std::string folder(util::Trim(env::ReadIniValue(file, kSection, "Esquemes")));
  if (!folder.empty()) {
    const bool absolute = folder[0] == '\\' || folder[0] == '/' ||
                          (folder.size() > 1 && folder[1] == ':');
    if (!absolute) folder = env::session.RootDir + folder;
    settings.schema_folder = fs::HostPath(folder);
    if (!settings.schema_folder.ends_with('/')) settings.schema_folder += '/';
  }
  settings.id_record = MessageIdRecordPath();
  return settings;
}

std::string XmlPathFor(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? path.substr(0, dot) : path) + ".XML";
}

std::string CreationTimeNow() {
  const platform::LocalTime now = platform::LocalNow();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return text;
}

namespace {

// Each creditor of the plan with the message's id on the message's day.
std::vector<MessageIdUse> IdUses(const C19Plan& plan, const std::string& created,
                                 const std::string& message) {
  std::vector<MessageIdUse> uses;
  for (const C19Block& block : plan.blocks) {
    uses.push_back({created.substr(0, 10), block.creditor.identifier,
                    plan.presenter.file_identifier, message});
  }
  return uses;
}

// The message id's refusal: the id of the 01 record, and the message
// (its host path) of another file that has it today.
std::string IdUsedWords(const C19Plan& plan, const std::string& other_message) {
  return UsageRuleWords(UsageRule::kMessageId) + ": MsgId \"" + plan.presenter.file_identifier +
         "\"" +
         env::TranslateText(util::Cp850(" ja és d'un altre missatge d'avui del mateix creditor: ")) +
         util::Utf8ToCp850(other_message);
}

ConversionReport ConvertFile(const ConversionRequest& request) {
  const std::string& host_path = request.host_path;
  const ConversionSettings& settings = request.settings;
  const std::string& created = request.created;
  ConversionReport report;
  report.xml_path = XmlPathFor(host_path);
  if (report.xml_path == host_path) {
    return Fault(report, ConversionStatus::kBadRecords, 0,
                 util::Cp850("el fitxer ja té l'extensió .XML: no és un fitxer del quadern 19.14"));
  }
  fs::ClearFileError();
  fs::File file;
  if (file.Open(host_path, fs::File::kRead, false) != 0) {
    return Fault(report, ConversionStatus::kNotRead, 0, ReadFault());
  }
  const int64_t size = file.Size();
  std::string head(kRecordLineLength, '\0');
  const int64_t got = size < 0 ? -1 : file.ReadAt(0, head.data(), head.size());
  if (got < 0) return Fault(report, ConversionStatus::kNotRead, 0, ReadFault());
  head.resize(static_cast<size_t>(got));

  // First reading: every record checked, the totals added up.
  int64_t line_length = 0, line_count = 0, record = 0;
  const env::Status lines_read = C19Lines(head, size, &line_length, &line_count, &record);
  if (!lines_read.ok()) return Fault(report, ConversionStatus::kBadRecords, record, lines_read.words());
  LineReader lines(file, line_length);
  C19Scan scan(line_length);
  for (int64_t i = 0; i < line_count; ++i) {
    std::string_view line;
    if (!lines.Line(i, &line)) return Fault(report, ConversionStatus::kNotRead, i + 1, ReadFault());
    if (!scan.Take(line)) break;
  }
  if (!scan.Finish()) {
    return Fault(report, ConversionStatus::kBadRecords, scan.fault_record(), scan.fault().words());
  }
  const C19Plan& plan = scan.plan();
  report.version = VersionForCharacter(plan.presenter.xml_version, settings.version_2,
                                       settings.version_3, settings.version_4);
  for (const C19Block& block : plan.blocks) {
    for (const C19Group& group : block.groups) {
      if (!VersionTakesSequenceType(report.version, group.sequence_type)) {
        return Fault(report, ConversionStatus::kBadRecords, block.first_record + 1,
                     util::Cp850("el tipus d'adeudament ") + group.sequence_type +
                         util::Cp850(" no existeix al missatge ") +
                         std::string(PainName(report.version)));
      }
    }
  }
  report.debits = plan.debits;
  report.cents = plan.cents;
  const std::vector<MessageIdUse> uses = IdUses(plan, created, report.xml_path);
  if (!settings.id_record.empty()) {
    env::StatusOr<std::string> used_by = MessageIdUsedBy(settings.id_record, uses);
    if (!used_by.ok()) {
      return Fault(report, ConversionStatus::kNotWritten, 0, used_by.status().Text());
    }
    if (!used_by->empty()) {
      return Fault(report, ConversionStatus::kRefusedByRules, 1, IdUsedWords(plan, *used_by));
    }
  }
  if (request.after_first_reading) request.after_first_reading();

  // Second reading: the message, into a temporary file held with no sharing.
  const std::string temporary = report.xml_path + ".tmp";
  fs::File out;
  if (out.Open(temporary, fs::File::kReadWriteCreate, true) != 0) {
    return Fault(report, ConversionStatus::kNotWritten, 0, env::LastFileErrorText());
  }
  // A copy a killed run left is written over from the start.
  if (!out.Truncate(0)) {
    const std::string why = env::LastFileErrorText();
    out.Close();
    fs::RemoveFile(temporary);
    return Fault(report, ConversionStatus::kNotWritten, 0, why);
  }
  // The schema of its version, when the office keeps one, has the last
  // word; it reads the message as it is written, not back from the disk.
  std::optional<platform::xml::StreamCheck> schema_check;
  std::string schema;
  if (!settings.schema_folder.empty()) {
    schema = settings.schema_folder + std::string(PainName(report.version)) + ".xsd";
    if (Exists(schema)) {
      std::string why;
      schema_check.emplace();
      if (schema_check->Start(schema, &why) != platform::xml::Validation::kValid) {
        out.Close();
        fs::RemoveFile(temporary);
        return SchemaFault(report, schema, why);
      }
    } else {
      report.unchecked_why =
          env::TranslateText(util::Cp850("sense validar amb l'esquema: no hi ha ")) +
          util::Utf8ToCp850(schema);
    }
  }
  // The writer's small pieces are gathered into large ones: fewer writes,
  // and the schema's parser takes a large piece at a fraction of the cost.
  int64_t offset = 0;
  bool schema_refused = false;
  std::string pending;
  const auto put_pending = [&]() {
    if (!out.WriteAt(offset, pending.data(), pending.size())) return false;
    offset += static_cast<int64_t>(pending.size());
    // A message its schema refuses is not written on.
    if (schema_check && !schema_check->Feed(pending)) schema_refused = true;
    pending.clear();
    return !schema_refused;
  };
  const platform::xml::Sink sink = [&](std::string_view bytes) {
    pending.append(bytes);
    return pending.size() < kBytesPerWrite || put_pending();
  };
  fs::ClearFileError();
  UsageCheck check;
  // The second reading reads the file anew, not the slice the first one
  // kept: what the message says is what the file says now.
  LineReader again(file, line_length);
  const bool written = WriteMessage(again, plan, report.version, created, sink, check,
                                    &report.payment_blocks) &&
                       put_pending() && out.Sync();
  out.Close();
  if (check.failed()) {
    fs::RemoveFile(temporary);
    return Fault(report, ConversionStatus::kRefusedByRules, check.record(), check.words());
  }
  // A message its schema refused mid-way says so; one the disk refused
  // says that; a whole one gets the schema's last word at its end.
  if (schema_check && (written || schema_refused)) {
    std::string why;
    if (schema_check->Finish(&why) != platform::xml::Validation::kValid) {
      fs::RemoveFile(temporary);
      return SchemaFault(report, schema, why);
    }
    report.checked = true;
  }
  if (!written) {
    std::string why = env::LastFileErrorText();
    if (why.empty()) why = util::Cp850("no es pot escriure ") + util::Utf8ToCp850(temporary);
    fs::RemoveFile(temporary);
    return Fault(report, ConversionStatus::kNotWritten, 0, why);
  }

  // The id is kept before the message is in place: a message the record
  // cannot keep is not sent.
  if (!settings.id_record.empty()) {
    const env::Status recorded = RecordMessageIds(settings.id_record, uses);
    if (!recorded.ok()) {
      fs::RemoveFile(temporary);
      return Fault(report, ConversionStatus::kNotWritten, 0, recorded.Text());
    }
  }
  fs::ClearFileError();
  if (fs::ReplaceFile(temporary, report.xml_path) != 0) {
    const std::string why = env::LastFileErrorText();
    fs::RemoveFile(temporary);
    return Fault(report, ConversionStatus::kNotWritten, 0, why);
  }
  report.status = ConversionStatus::kConverted;
  return report;
}

// The kind of failure a conversion's end is.
env::Code CodeOf(ConversionStatus status) {
  switch (status) {
    case ConversionStatus::kConverted: return env::Code::kOk;
    case ConversionStatus::kNotRead:
    case ConversionStatus::kNotWritten: return env::Code::kFileError;
    case ConversionStatus::kBadRecords:
    case ConversionStatus::kRefusedBySchema:
    case ConversionStatus::kRefusedByRules: return env::Code::kBadData;
  }
  return env::Code::kFileError;
}

}  // namespace

ConversionReport ConvertToSepaXml(const ConversionRequest& request) {
  ConversionReport report = ConvertFile(request);
  if (report.status != ConversionStatus::kConverted) {
    report.failure = env::Status(CodeOf(report.status), report.reason, fs::ProgramPath(request.host_path));
  }
  return report;
}

}  // namespace remit
