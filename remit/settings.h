// What the generation reads from the installation besides the records: the
// output directory, the e-invoice link settings of "Ftp.ini" and the XML
// version of each bank from "VERXML.MAP", all under env::session.RootDir.
#pragma once

#include <string>
#include <string_view>

namespace remit {

// The link address used when "Ftp.ini" names none.
inline constexpr std::string_view kDefaultLinkPrefix = "https://rebuts.example/efactura/";

// session.RootDir + "CSB\", normalised (drive, ":", the path, "\").
std::string OutputDirectory();

// Key "Rebuts" of section "Publicar" in "Ftp.ini": false only for "N".
bool PublishLinks();
// Key "Enllac" of section "Publicar" in "Ftp.ini", trimmed; the default
// address when it is absent or blank.
std::string LinkPrefix();

// The banks' XML versions: one byte per entity code, the byte at offset E
// being the version of entity E ("2", "3" or "4").
class XmlVersionMap {
 public:
  // Reads session.RootDir + "VERXML.MAP"; a missing or unreadable map is empty.
  void Load();
  // "2", "3" or "4" from the map; "4" for anything else, and when the map
  // is missing, empty or too short for the entity.
  char VersionOf(int entity) const;

 private:
  std::string bytes_;
};

}  // namespace remit
