// SEPA XML direct-debit initiations (pain.008, any version) read with
// libxml2's streaming reader, so that a large message is never held whole.
// Elements are matched by their local name, whatever the namespace.
#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <string>
#include <vector>

#include "remit/remittance_summary.h"

namespace remit::summary_detail {

namespace fs = platform::fs;

namespace {

// The reader takes its bytes through the program's own file access.
struct Source {
  fs::File* file;
  int64_t offset = 0;
};

int ReadSource(void* context, char* buffer, int length) {
  auto* source = static_cast<Source*>(context);
  const int64_t got = source->file->ReadAt(source->offset, buffer, static_cast<size_t>(length));
  if (got < 0) return -1;
  source->offset += got;
  return static_cast<int>(got);
}

int CloseSource(void*) { return 0; }

void IgnoreError(void*, xmlErrorPtr) {}

// No entity of any document is ever fetched, from the network or the disk.
xmlParserInputPtr RefuseEntity(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

class EntityLoaderRefused {
 public:
  EntityLoaderRefused() : previous_(xmlGetExternalEntityLoader()) { xmlSetExternalEntityLoader(RefuseEntity); }
  ~EntityLoaderRefused() { xmlSetExternalEntityLoader(previous_); }
  EntityLoaderRefused(const EntityLoaderRefused&) = delete;
  EntityLoaderRefused& operator=(const EntityLoaderRefused&) = delete;

 private:
  xmlExternalEntityLoader previous_;
};

// Values are a few characters; a longer text is garbage, kept short.
constexpr size_t kTextLimit = 64;
// Far beyond any real remittance; a sum past it is garbage, not an overflow.
constexpr int64_t kMaxTotal = 999'999'999'999'999'999;

class Walk {
 public:
  void Start(const std::string& name) {
    if (name == "CstmrDrctDbtInitn") ++initiations_;
    if (initiations_ > 0 && name == "PmtInf") ++blocks_;
    if (initiations_ > 0 && name == "DrctDbtTxInf" && Parent() == "PmtInf") ++transactions_;
    path_.push_back(name);
    text_.clear();
  }
  void Text(const char* text) {
    if (text_.size() > kTextLimit) return;
    text_.append(text);
    if (text_.size() > kTextLimit) text_.resize(kTextLimit + 1);
  }
  void End() {
    if (path_.empty()) return;
    const std::string name = path_.back();
    path_.pop_back();
    if (initiations_ > 0) Value(name, Trimmed());
    if (name == "CstmrDrctDbtInitn") --initiations_;
    text_.clear();
  }

  bool IsInitiation() const { return seen_initiation_; }
  // The transactions are the truth: the group header's NbOfTxs and CtrlSum
  // are what the sender meant them to add up to, so where they agree the
  // figures are the same, and where they disagree (or are absent, or hold
  // garbage) the file is listed with what its debits really hold. One
  // amount that is not a number leaves the total blank.
  void Summarise(RemittanceSummary* summary) const {
    summary->date = date_;
    summary->debits = transactions_;
    summary->cents = amounts_valid_ ? sum_ : -1;
  }
  void NoteInitiation() {
    if (initiations_ > 0) seen_initiation_ = true;
  }

 private:
  std::string Parent() const { return path_.empty() ? std::string() : path_.back(); }
  std::string Trimmed() const {
    const size_t first = text_.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text_.substr(first, text_.find_last_not_of(" \t\r\n") - first + 1);
  }
  // name has just closed; path_ holds its ancestors.
  void Value(const std::string& name, const std::string& text) {
    const std::string parent = Parent();
    if (blocks_ == 1 && !date_taken_ && IsCollectionDate(name, parent)) {
      date_taken_ = true;
      date_ = IsoDateDigits(text);
    } else if (parent == "DrctDbtTxInf" && name == "InstdAmt") {
      int64_t cents = 0;
      if (ParseCents(text, &cents) && cents <= kMaxTotal - sum_) {
        sum_ += cents;
      } else {
        amounts_valid_ = false;
      }
    }
  }
  // ReqdColltnDt of the payment block, or its Dt (pain.008.001.08 on).
  bool IsCollectionDate(const std::string& name, const std::string& parent) const {
    if (name == "ReqdColltnDt" && parent == "PmtInf") return !Trimmed().empty();
    return name == "Dt" && parent == "ReqdColltnDt" && path_.size() >= 2 &&
           path_[path_.size() - 2] == "PmtInf";
  }

  std::vector<std::string> path_;
  std::string text_;
  int initiations_ = 0;
  bool seen_initiation_ = false;
  int64_t blocks_ = 0;
  int64_t transactions_ = 0;
  int64_t sum_ = 0;
  bool amounts_valid_ = true;
  bool date_taken_ = false;
  std::string date_;
};

}  // namespace

// Refused: anything not well formed, and any document with a document type
// declaration (a direct-debit message has none; a declared entity is never
// fetched nor expanded, and the document is not read on).
bool SummariseSepaXml(fs::File& file, RemittanceSummary* summary) {
  EntityLoaderRefused no_entities;
  Source source{&file};
  xmlTextReaderPtr reader = xmlReaderForIO(ReadSource, CloseSource, &source, nullptr, nullptr,
                                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (reader == nullptr) return false;
  xmlTextReaderSetStructuredErrorHandler(reader, IgnoreError, nullptr);
  Walk walk;
  int result = 0;
  bool refused = false;
  while (!refused && (result = xmlTextReaderRead(reader)) == 1) {
    switch (xmlTextReaderNodeType(reader)) {
      case XML_READER_TYPE_ELEMENT: {
        const xmlChar* name = xmlTextReaderConstLocalName(reader);
        walk.Start(name == nullptr ? std::string() : reinterpret_cast<const char*>(name));
        walk.NoteInitiation();
        if (xmlTextReaderIsEmptyElement(reader) == 1) walk.End();
        break;
      }
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE: {
        const xmlChar* value = xmlTextReaderConstValue(reader);
        if (value != nullptr) walk.Text(reinterpret_cast<const char*>(value));
        break;
      }
      case XML_READER_TYPE_END_ELEMENT:
        walk.End();
        break;
      case XML_READER_TYPE_DOCUMENT_TYPE:
      case XML_READER_TYPE_ENTITY_REFERENCE:
        refused = true;
        break;
      default:
        break;
    }
  }
  xmlFreeTextReader(reader);
  if (refused || result != 0 || !walk.IsInitiation()) return false;
  walk.Summarise(summary);
  return true;
}

}  // namespace remit::summary_detail
