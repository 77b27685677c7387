// The process-wide settings of the session, resolved once at start-up by
// LoadSessionSettings from the environment ("KITROOT", "KITEXE", "KITTMP",
// "KITTERM") and the files "Sessio.ini", "VelaTerm.ini" and "Vela.ini".
// Everyone else only reads them. Texts are code page 850.
//
// Directory settings are prefixes: a file name is appended directly
// (env::WorkDir + "Sessio.ini").
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace env {

extern std::string RootDir;      // "KITROOT" as is (expected to end in "\")
extern std::string ExeDir;       // "KITEXE" as is
extern std::string WorkDir;      // "KITTMP" + separator, else TerminalDir
extern std::string TerminalDir;  // [Terminal] Dir of Sessio.ini, else "KITTERM"

extern std::string MenuTitle;     // " " + [Menu] Titol + " "
extern std::string MenuName;      // [Menu] NomMenu
extern std::string MenuCode;      // [Menu] Menu
extern std::string MenuChain;     // [Menu] ChnMenu
extern std::string OperatorName;  // [Menu] Operador
extern int16_t OperatorType;      // [Menu] KitTipOper, numeric value

// Colour roles 0..4 of the screen, console colours 0..15.
struct ColourPair {
  int16_t foreground = 0;
  int16_t background = 0;
};
extern std::array<ColourPair, 5> ColourTable;

extern std::string WorkDate;      // [Sistema] Data packed two digits a byte
extern std::string OutputDevice;  // [Sistema] Sortida
extern std::string LanguageCode;  // 3 characters: "CAT", "SPA", "GLG", "OCI"
extern std::string HostMode;      // 3 characters: "CGI", "WIN" or "DOS"

// Fills every setting above and selects the default currency pair; the
// first call also loads the installation data (installation.h). Never
// fails; missing variables, files or keys give empty texts or 0. Calling it
// again gives the same result for the same environment and files.
void LoadSessionSettings();

}  // namespace env
