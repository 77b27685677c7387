// XML documents written element by element, in UTF-8, and checked against
// an XML schema (XSD) with libxml2. A document is never held whole: the
// writer hands its bytes to the caller's sink as it goes, and the check
// reads the document file as a stream, or takes the bytes as they are
// written (StreamCheck).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform::xml {

// Receives the document's bytes in order; false stops the writing.
using Sink = std::function<bool(std::string_view bytes)>;

class Writer {
 public:
  // indent: one element a line, nested ones indented.
  Writer(Sink sink, bool indent);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Each call does nothing once a call has failed (the sink refused, text
  // that is not UTF-8 ...); Finish tells.
  void StartDocument();
  void Start(std::string_view name);
  void Attribute(std::string_view name, std::string_view value);
  // Text inside the innermost element open, escaped.
  void Text(std::string_view text);
  // Closes the innermost element open.
  void End();
  // <name>text</name>, the text escaped.
  void Element(std::string_view name, std::string_view text);
  // Closes every element open and hands over what is still buffered. True
  // when every call succeeded and every byte reached the sink.
  bool Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

enum class Validation {
  kValid,
  kInvalid,           // the document breaks the schema: *why says where and how
  kSchemaUnusable,    // the schema cannot be read or is no schema
  kDocumentUnreadable,
};

// Checks the document file against the schema file (host paths). Nothing is
// fetched from the network. *why gets the first fault: "line N: ...".
Validation ValidateFile(const std::string& host_schema, const std::string& host_document,
                        std::string* why);

// Checks a document against a schema as its bytes are written, without
// reading it back nor keeping it: the bytes go through libxml2's push
// parser, whose events the schema's validator takes on their way
// (xmlSchemaSAXPlug). Feed it what the writer hands its sink.
class StreamCheck {
 public:
  StreamCheck();
  ~StreamCheck();
  StreamCheck(const StreamCheck&) = delete;
  StreamCheck& operator=(const StreamCheck&) = delete;

  // Reads the schema (a host path); kSchemaUnusable, with *why, when it
  // cannot be read or is no schema.
  Validation Start(const std::string& host_schema, std::string* why);
  // The document's next bytes; false once it is known to fail (Finish says how).
  bool Feed(std::string_view bytes);
  // After the last bytes: kValid, or kInvalid / kDocumentUnreadable with
  // the first fault in *why ("line N: ...").
  Validation Finish(std::string* why);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::xml
