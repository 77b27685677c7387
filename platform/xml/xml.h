// XML documents written element by element through libxml2's streaming
// writer, in UTF-8, and checked against an XML schema (XSD). A document is
// never held whole: the writer hands its bytes to the caller's sink as it
// goes, and the check reads the document file as a stream.
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

}  // namespace platform::xml
