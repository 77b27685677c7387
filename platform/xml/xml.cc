#include "platform/xml/xml.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlschemas.h>

#include <algorithm>
#include <string>
#include <vector>

namespace platform::xml {

namespace {

void Quiet(void*, const char*, ...) {}
void QuietStructured(void*, xmlErrorPtr) {}

// libxml2 tells its troubles on the standard error stream unless told
// otherwise; the caller gets them as results instead, and the screen stays
// the program's.
class QuietErrors {
 public:
  QuietErrors()
      : generic_(xmlGenericError),
        generic_context_(xmlGenericErrorContext),
        structured_(xmlStructuredError),
        structured_context_(xmlStructuredErrorContext) {
    xmlSetGenericErrorFunc(nullptr, Quiet);
    xmlSetStructuredErrorFunc(nullptr, QuietStructured);
  }
  ~QuietErrors() {
    xmlSetGenericErrorFunc(generic_context_, generic_);
    xmlSetStructuredErrorFunc(structured_context_, structured_);
  }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  xmlGenericErrorFunc generic_;
  void* generic_context_;
  xmlStructuredErrorFunc structured_;
  void* structured_context_;
};

}  // namespace

// The writer lays the document out itself, as libxml2's writer did (the
// same bytes: declaration, two blanks a level, empty elements as "<x/>"),
// for a fraction of its cost per element; what it writes is read back by
// libxml2's parser wherever it is checked.
struct Writer::State {
  Sink sink;
  bool indent = false;
  std::string out;                 // written, not yet handed to the sink
  std::vector<std::string> open;   // the elements open, outermost first
  std::vector<bool> holds_elements;  // whether each holds an element (its end on a line of its own)
  bool tag_open = false;           // "<name" written: attributes may follow
  bool failed = false;
  bool finished = false;

  // Hands the bytes to the sink once there are enough of them, or at the end.
  void Flush(bool all) {
    if (failed || out.empty() || (!all && out.size() < kFlushBytes)) return;
    if (!sink(out)) failed = true;
    out.clear();
  }
  void CloseTag() {
    if (!tag_open) return;
    out += '>';
    tag_open = false;
  }
  void NewLine(size_t depth) {
    if (!indent) return;
    out += '\n';
    out.append(2 * depth, ' ');
  }
  // Text of an element or an attribute: UTF-8 with no character XML 1.0
  // forbids, the markup characters escaped; false otherwise.
  bool Escaped(std::string_view text, bool attribute) {
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x80) {
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || c > 0xF4 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
          if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        out.append(text.substr(i, length));
        i += length - 1;
        continue;
      }
      switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#13;"; break;
        case '\n': out += attribute ? "&#10;" : "\n"; break;
        case '\t': out += attribute ? "&#9;" : "\t"; break;
        default:
          if (c < 0x20) return false;
          out += static_cast<char>(c);
      }
    }
    return true;
  }
  static constexpr size_t kFlushBytes = 64 * 1024;
};

Writer::Writer(Sink sink, bool indent) : state_(std::make_unique<State>()) {
  state_->sink = std::move(sink);
  state_->indent = indent;
}

Writer::~Writer() = default;

void Writer::StartDocument() {
  if (state_->failed) return;
  state_->out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
}

void Writer::Start(std::string_view name) {
  State& s = *state_;
  if (s.failed || s.finished) return;
  s.CloseTag();
  if (!s.open.empty()) {
    s.holds_elements.back() = true;
    s.NewLine(s.open.size());
  }
  s.out += '<';
  s.out += name;
  s.open.emplace_back(name);
  s.holds_elements.push_back(false);
  s.tag_open = true;
}

void Writer::Attribute(std::string_view name, std::string_view value) {
  State& s = *state_;
  if (s.failed) return;
  if (!s.tag_open) {
    s.failed = true;  // an attribute after the element's content
    return;
  }
  s.out += ' ';
  s.out += name;
  s.out += "=\"";
  if (!s.Escaped(value, true)) s.failed = true;
  s.out += '"';
}

void Writer::Text(std::string_view text) {
  State& s = *state_;
  if (s.failed) return;
  if (s.open.empty()) {
    s.failed = true;
    return;
  }
  s.CloseTag();
  if (!s.Escaped(text, false)) s.failed = true;
}

void Writer::End() {
  State& s = *state_;
  if (s.failed) return;
  if (s.open.empty()) {
    s.failed = true;
    return;
  }
  if (s.tag_open) {
    s.out += "/>";
    s.tag_open = false;
  } else {
    if (s.holds_elements.back()) s.NewLine(s.open.size() - 1);
    s.out += "</";
    s.out += s.open.back();
    s.out += '>';
  }
  s.open.pop_back();
  s.holds_elements.pop_back();
  if (s.open.empty() && s.indent) s.out += '\n';
  s.Flush(false);
}

void Writer::Element(std::string_view name, std::string_view text) {
  if (state_->failed) return;
  Start(name);
  State& s = *state_;
  // "<x></x>" for an empty text, as the writer always wrote it.
  s.CloseTag();
  Text(text);
  End();
}

bool Writer::Finish() {
  State& s = *state_;
  if (s.failed || s.finished) return !s.failed;
  while (!s.open.empty() && !s.failed) End();
  s.finished = true;
  s.Flush(true);
  return !s.failed;
}

namespace {

struct FirstError {
  std::string text;
  // The parser of a document checked as it streams, whose place the
  // validator's faults lack.
  xmlParserCtxtPtr parser = nullptr;
};

void KeepFirstError(void* context, xmlErrorPtr error) {
  auto* first = static_cast<FirstError*>(context);
  if (!first->text.empty() || error == nullptr) return;
  std::string message = error->message != nullptr ? error->message : "unknown fault";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  int line = error->line;
  if (line == 0 && first->parser != nullptr) line = xmlSAX2GetLineNumber(first->parser);
  first->text = "line " + std::to_string(line) + ": " + message;
}

// Schemas and documents are read from the disk only, never from the network.
class NoNetwork {
 public:
  NoNetwork() : previous_(xmlGetExternalEntityLoader()) {
    xmlSetExternalEntityLoader(xmlNoNetExternalEntityLoader);
  }
  ~NoNetwork() { xmlSetExternalEntityLoader(previous_); }
  NoNetwork(const NoNetwork&) = delete;
  NoNetwork& operator=(const NoNetwork&) = delete;

 private:
  xmlExternalEntityLoader previous_;
};

// The schema read, or null with *why.
xmlSchemaPtr ReadSchema(const std::string& host_schema, std::string* why) {
  FirstError first;
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(host_schema.c_str());
  if (parser == nullptr) {
    *why = host_schema + ": cannot be read";
    return nullptr;
  }
  xmlSchemaSetParserStructuredErrors(parser, KeepFirstError, &first);
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (schema == nullptr) *why = host_schema + ": " + (first.text.empty() ? "not a schema" : first.text);
  return schema;
}

}  // namespace

Validation ValidateFile(const std::string& host_schema, const std::string& host_document,
                        std::string* why) {
  QuietErrors quiet;
  NoNetwork no_network;
  FirstError first;
  xmlSchemaPtr schema = ReadSchema(host_schema, why);
  if (schema == nullptr) return Validation::kSchemaUnusable;
  Validation result = Validation::kValid;
  xmlSchemaValidCtxtPtr check = xmlSchemaNewValidCtxt(schema);
  if (check == nullptr) {
    *why = host_schema + ": cannot be used";
    result = Validation::kSchemaUnusable;
  } else {
    xmlSchemaSetValidStructuredErrors(check, KeepFirstError, &first);
    const int outcome = xmlSchemaValidateFile(check, host_document.c_str(), XML_PARSE_NONET);
    if (outcome > 0) {
      *why = first.text.empty() ? "does not follow the schema" : first.text;
      result = Validation::kInvalid;
    } else if (outcome < 0) {
      *why = first.text.empty() ? host_document + ": cannot be read" : first.text;
      result = Validation::kDocumentUnreadable;
    }
    xmlSchemaFreeValidCtxt(check);
  }
  xmlSchemaFree(schema);
  return result;
}

struct StreamCheck::State {
  QuietErrors quiet;
  NoNetwork no_network;
  FirstError first;
  xmlSchemaPtr schema = nullptr;
  xmlSchemaValidCtxtPtr valid = nullptr;
  // No handler of the caller's: the parser builds nothing, the plugged
  // validator sees every event.
  xmlSAXHandler sax{};
  xmlSAXHandlerPtr plugged_sax = nullptr;
  void* plugged_data = nullptr;
  xmlSchemaSAXPlugPtr plug = nullptr;
  xmlParserCtxtPtr parser = nullptr;
  bool failed = false;

  // The parser's own fault (the document is not well formed), once.
  void KeepParserError() {
    if (!first.text.empty()) return;
    const xmlError* error = xmlCtxtGetLastError(parser);
    if (error != nullptr && error->code != 0) {
      KeepFirstError(&first, const_cast<xmlErrorPtr>(error));
    } else {
      first.text = "line " + std::to_string(xmlSAX2GetLineNumber(parser)) + ": not well formed";
    }
  }
};

StreamCheck::StreamCheck() : state_(std::make_unique<State>()) {}

StreamCheck::~StreamCheck() {
  if (state_->parser != nullptr) {
    if (state_->parser->myDoc != nullptr) xmlFreeDoc(state_->parser->myDoc);
    xmlFreeParserCtxt(state_->parser);
  }
  if (state_->plug != nullptr) xmlSchemaSAXUnplug(state_->plug);
  if (state_->valid != nullptr) xmlSchemaFreeValidCtxt(state_->valid);
  if (state_->schema != nullptr) xmlSchemaFree(state_->schema);
}

Validation StreamCheck::Start(const std::string& host_schema, std::string* why) {
  State& s = *state_;
  s.schema = ReadSchema(host_schema, why);
  if (s.schema == nullptr) return Validation::kSchemaUnusable;
  s.valid = xmlSchemaNewValidCtxt(s.schema);
  if (s.valid != nullptr) {
    xmlSchemaSetValidStructuredErrors(s.valid, KeepFirstError, &s.first);
    s.sax.initialized = XML_SAX2_MAGIC;
    s.plugged_sax = &s.sax;
    s.plug = xmlSchemaSAXPlug(s.valid, &s.plugged_sax, &s.plugged_data);
  }
  if (s.plug != nullptr) {
    s.parser = xmlCreatePushParserCtxt(s.plugged_sax, s.plugged_data, nullptr, 0, nullptr);
  }
  if (s.parser == nullptr) {
    *why = host_schema + ": cannot be used";
    return Validation::kSchemaUnusable;
  }
  xmlCtxtUseOptions(s.parser, XML_PARSE_NONET);
  s.first.parser = s.parser;
  return Validation::kValid;
}

bool StreamCheck::Feed(std::string_view bytes) {
  State& s = *state_;
  if (s.failed || s.parser == nullptr) return false;
  // The parser takes an int's worth at a time.
  constexpr size_t kPiece = 1 << 30;
  for (size_t at = 0; at < bytes.size() && !s.failed; at += kPiece) {
    const size_t size = std::min(kPiece, bytes.size() - at);
    if (xmlParseChunk(s.parser, bytes.data() + at, static_cast<int>(size), 0) != 0) {
      s.KeepParserError();
      s.failed = true;
    }
  }
  if (!s.first.text.empty()) s.failed = true;
  return !s.failed;
}

Validation StreamCheck::Finish(std::string* why) {
  State& s = *state_;
  if (s.parser == nullptr) {
    *why = "no schema";
    return Validation::kSchemaUnusable;
  }
  if (!s.failed && xmlParseChunk(s.parser, nullptr, 0, 1) != 0) s.KeepParserError();
  if (!s.parser->wellFormed) s.KeepParserError();
  if (s.first.text.empty()) return Validation::kValid;
  *why = s.first.text;
  return Validation::kInvalid;
}

}  // namespace platform::xml
