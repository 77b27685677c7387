// Sectioned settings files ("Sessio.ini", "VelaTerm.ini", "Vela.ini" ...):
// lines key=value under [section] headers, ";" starts a comment, CR LF line
// ends. Both operations open, scan and close the file on every call;
// IniSnapshot reads it once for a run of look-ups.
//
// Paths are program paths (code page 850, "C:\KIT\Vela.ini" or a relative
// name). Section and key names compare trimmed and upper-cased with
// util::UpperCase.
#pragma once

#include <string>
#include <string_view>

#include "env/status.h"

namespace env {

// The value of the first entry named key in the first section named
// section; empty when the file cannot be read, the section or key is
// missing or the value is empty. A value enclosed in double quotes (first
// and last character) loses them.
std::string ReadIniValue(const std::string& path, const std::string& section,
                         const std::string& key);

// A settings file read once, for a run of look-ups (the settings read at
// start-up): each Value is what ReadIniValue gives on the file as it was
// when the snapshot was taken, without opening it again. A file that cannot
// be read answers empty values.
class IniSnapshot {
 public:
  explicit IniSnapshot(const std::string& path);
  std::string Value(const std::string& section, const std::string& key) const;

 private:
  std::string text_;
};

// Sets (value not empty), removes (value empty) one key, removes a whole
// section (key empty) or every non-blank line (section empty). The file is
// rewritten through a temporary file in the same directory that replaces it
// in one step; on any failure the file stays as it was, and the Status says
// what failed. Creates the file when missing.
Status WriteIniValue(const std::string& path, const std::string& section,
                     const std::string& key, const std::string& value);

// Replaces the whole file (created when missing) by text, through a
// temporary file in the same directory as WriteIniValue does, in the
// writer's turn of the file. False, with the file as it was, on any failure.
bool WriteWholeFile(const std::string& path, const std::string& text);

// The rewrite of WriteIniValue on a file's text in memory: the new text,
// every line ended by CR LF. Costs time in proportion to the text's size.
std::string RewriteIniText(std::string_view text, const std::string& section,
                           const std::string& key, const std::string& value);

}  // namespace env
