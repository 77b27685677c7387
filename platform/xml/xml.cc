#include "platform/xml/xml.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <string>

namespace platform::xml {

namespace {

const xmlChar* Chars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

int WriteToSink(void* context, const char* buffer, int length) {
  auto* sink = static_cast<Sink*>(context);
  if (length < 0 || !(*sink)(std::string_view(buffer, static_cast<size_t>(length)))) return -1;
  return length;
}

int CloseSink(void*) { return 0; }

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

struct Writer::State {
  QuietErrors quiet;
  Sink sink;
  xmlTextWriterPtr writer = nullptr;
  bool failed = false;
  bool finished = false;
  // Reused for every name and text, which libxml2 wants ended by a zero.
  std::string name, value;

  void Check(int result) {
    if (result < 0) failed = true;
  }
};

Writer::Writer(Sink sink, bool indent) : state_(std::make_unique<State>()) {
  state_->sink = std::move(sink);
  xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(WriteToSink, CloseSink, &state_->sink, nullptr);
  if (buffer != nullptr) state_->writer = xmlNewTextWriter(buffer);  // owns the buffer now
  if (state_->writer == nullptr) {
    if (buffer != nullptr) xmlOutputBufferClose(buffer);
    state_->failed = true;
    return;
  }
  if (indent) {
    xmlTextWriterSetIndent(state_->writer, 1);
    xmlTextWriterSetIndentString(state_->writer, reinterpret_cast<const xmlChar*>("  "));
  }
}

Writer::~Writer() {
  if (state_->writer != nullptr) xmlFreeTextWriter(state_->writer);
}

void Writer::StartDocument() {
  if (state_->failed) return;
  state_->Check(xmlTextWriterStartDocument(state_->writer, "1.0", "UTF-8", nullptr));
}

void Writer::Start(std::string_view name) {
  if (state_->failed) return;
  state_->name.assign(name);
  state_->Check(xmlTextWriterStartElement(state_->writer, Chars(state_->name)));
}

void Writer::Attribute(std::string_view name, std::string_view value) {
  if (state_->failed) return;
  state_->name.assign(name);
  state_->value.assign(value);
  state_->Check(xmlTextWriterWriteAttribute(state_->writer, Chars(state_->name), Chars(state_->value)));
}

void Writer::Text(std::string_view text) {
  if (state_->failed) return;
  state_->value.assign(text);
  state_->Check(xmlTextWriterWriteString(state_->writer, Chars(state_->value)));
}

void Writer::End() {
  if (state_->failed) return;
  state_->Check(xmlTextWriterEndElement(state_->writer));
}

void Writer::Element(std::string_view name, std::string_view text) {
  if (state_->failed) return;
  state_->name.assign(name);
  state_->value.assign(text);
  state_->Check(xmlTextWriterWriteElement(state_->writer, Chars(state_->name), Chars(state_->value)));
}

bool Writer::Finish() {
  if (state_->failed || state_->finished) return !state_->failed;
  state_->finished = true;
  state_->Check(xmlTextWriterEndDocument(state_->writer));
  if (!state_->failed) state_->Check(xmlTextWriterFlush(state_->writer));
  return !state_->failed;
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
