#include "platform/xml/xml.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scratch_dir.h"

namespace platform::xml {
namespace {

constexpr char kSchema[] = R"(<?xml version="1.0"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" targetNamespace="urn:t" xmlns="urn:t"
           elementFormDefault="qualified">
  <xs:element name="Doc">
    <xs:complexType><xs:sequence>
      <xs:element name="Amt" type="xs:decimal" maxOccurs="unbounded"/>
    </xs:sequence></xs:complexType>
  </xs:element>
</xs:schema>
)";

std::string Document(const std::string& amount) {
  std::string out;
  Writer xml([&](std::string_view bytes) { out.append(bytes); return true; }, false);
  xml.StartDocument();
  xml.Start("Doc");
  xml.Attribute("xmlns", "urn:t");
  xml.Element("Amt", amount);
  xml.End();
  EXPECT_TRUE(xml.Finish());
  return out;
}

TEST(XmlWriter, EscapesTextAndStopsWhenTheSinkRefuses) {
  EXPECT_NE(Document("1 < 2 & 3").find("<Amt>1 &lt; 2 &amp; 3</Amt>"), std::string::npos);
  // The layout the messages have always had: two blanks a level, text on
  // the line of its element, an empty element closed in its tag.
  std::string out;
  Writer nested([&](std::string_view bytes) { out.append(bytes); return true; }, true);
  nested.StartDocument();
  nested.Start("A");
  nested.Attribute("k", "\"x\" & y");
  nested.Start("B");
  nested.Element("C", "\xc3\x80");  // UTF-8 passes as it is
  nested.Start("D");
  nested.End();
  ASSERT_TRUE(nested.Finish());
  EXPECT_EQ(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<A k=\"&quot;x&quot; &amp; y\">\n"
                 "  <B>\n    <C>\xc3\x80</C>\n    <D/>\n  </B>\n</A>\n");
  // Text that is not UTF-8, or holds a control character, fails the document.
  for (const char* bad : {"\xc3(", "\x80", "a\x01b"}) {
    Writer xml([](std::string_view) { return true; }, false);
    xml.Start("Doc");
    xml.Element("T", bad);
    EXPECT_FALSE(xml.Finish()) << bad;
  }
  // A disk that fills up halfway: the writer says so at the end.
  size_t taken = 0;
  Writer xml([&](std::string_view bytes) { taken += bytes.size(); return taken < 100; }, true);
  xml.StartDocument();
  xml.Start("Doc");
  for (int i = 0; i < 5000; ++i) xml.Element("Amt", "12.34");
  xml.End();
  EXPECT_FALSE(xml.Finish());
}

TEST(XmlValidation, TellsValidInvalidAndUnusableApart) {
  qdeb::testing::ScratchDir dir("xml");
  dir.Put("t.xsd", kSchema);
  dir.Put("not.xsd", "<nothing/>");
  dir.Put("good.xml", Document("12.34"));
  dir.Put("bad.xml", Document("12,34"));
  std::string why;
  EXPECT_EQ(ValidateFile(dir.Host("t.xsd"), dir.Host("good.xml"), &why), Validation::kValid) << why;
  EXPECT_EQ(ValidateFile(dir.Host("t.xsd"), dir.Host("bad.xml"), &why), Validation::kInvalid);
  EXPECT_NE(why.find("line "), std::string::npos) << why;
  EXPECT_NE(why.find("12,34"), std::string::npos) << why;
  EXPECT_EQ(ValidateFile(dir.Host("not.xsd"), dir.Host("good.xml"), &why), Validation::kSchemaUnusable);
  EXPECT_EQ(ValidateFile(dir.Host("gone.xsd"), dir.Host("good.xml"), &why), Validation::kSchemaUnusable);
  EXPECT_NE(ValidateFile(dir.Host("t.xsd"), dir.Host("gone.xml"), &why), Validation::kValid);
}

// The same check as the document streams out, in pieces as a writer hands
// them over: valid, invalid with its line, cut short, and no schema.
TEST(XmlValidation, ChecksADocumentAsItStreams) {
  qdeb::testing::ScratchDir dir("xml");
  dir.Put("t.xsd", kSchema);
  dir.Put("not.xsd", "<nothing/>");
  auto check = [&](const std::string& schema, const std::string& document, std::string* why) {
    StreamCheck stream;
    const Validation started = stream.Start(dir.Host(schema), why);
    if (started != Validation::kValid) return started;
    for (size_t at = 0; at < document.size(); at += 7) stream.Feed(document.substr(at, 7));
    return stream.Finish(why);
  };
  std::string why;
  EXPECT_EQ(check("t.xsd", Document("12.34"), &why), Validation::kValid) << why;
  EXPECT_EQ(check("t.xsd", Document("12,34"), &why), Validation::kInvalid);
  EXPECT_NE(why.find("line 2"), std::string::npos) << why;
  EXPECT_NE(why.find("12,34"), std::string::npos) << why;
  const std::string good = Document("12.34");
  EXPECT_EQ(check("t.xsd", good.substr(0, good.size() - 8), &why), Validation::kInvalid);
  EXPECT_EQ(check("t.xsd", "<Doc xmlns=\"urn:t\"></Doc>", &why), Validation::kInvalid) << why;
  EXPECT_EQ(check("not.xsd", good, &why), Validation::kSchemaUnusable);
}

}  // namespace
}  // namespace platform::xml
