// The process-wide settings of the session, resolved once at start-up by
// LoadSessionSettings from the environment ("KITROOT", "KITEXE", "KITTMP",
// "KITTERM") and the files "Sessio.ini", "VelaTerm.ini" and "Vela.ini".
// Everyone else only reads them. Texts are code page 850.
//
// Directory settings are prefixes: a file name is appended directly
// (env::session.WorkDir + "Sessio.ini").
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace env {

// Colour roles 0..4 of the screen, console colours 0..15.
struct ColourPair {
  int16_t foreground = 0;
  int16_t background = 0;
};

// The session's shared settings, read once at start-up from the environment
// and the session files and read by every layer above: one session per
// process. Back to start by ResetSession.
struct Session {
  std::string RootDir{};      // "KITROOT" as is (expected to end in "\")
  std::string ExeDir{};       // "KITEXE" as is
  std::string WorkDir{};      // "KITTMP" + separator, else session.TerminalDir
  std::string TerminalDir{};  // [Terminal] Dir of Sessio.ini, else "KITTERM"
  // The database server's libpq connection string (UTF-8), empty for none:
  // "KITDB", else [BaseDades] Servidor of session.RootDir + "Vela.ini"
  // without its password (database_server.h).
  std::string DatabaseServer{};

  std::string MenuTitle{};     // " " + [Menu] Titol + " "
  std::string MenuName{};      // [Menu] NomMenu
  std::string MenuCode{};      // [Menu] Menu
  std::string MenuChain{};     // [Menu] ChnMenu
  std::string OperatorName{};  // [Menu] Operador
  int16_t OperatorType{};      // [Menu] KitTipOper, numeric value

  // Colour roles 0..4 of the screen, console colours 0..15 (ColourPair).
  std::array<ColourPair, 5> ColourTable{};

  std::string WorkDate{};      // [Sistema] Data packed two digits a byte
  std::string OutputDevice{};  // [Sistema] Sortida
  std::string LanguageCode{};  // 3 characters: "CAT", "SPA", "GLG", "OCI"
  std::string HostMode{};      // 3 characters: "CGI", "WIN" or "DOS"

  // Names the language file; taken from the program identifier at the first
  // translation when still empty.
  std::string LanguageFileId{};
  // From [Usuari] of session.RootDir + "Vela.ini" at the first FormatDate while
  // empty: "DatCaracter" (1 character, default "/") and "DatOrdre"
  // (3 characters of "D", "M", "A", default "DMA").
  std::string DateSeparator{};
  std::string DateOrder{};
};
extern Session session;

// Fills every setting above and selects the default currency pair; the
// first call also loads the installation data (installation.h). Never
// fails; missing variables, files or keys give empty texts or 0. Calling it
// again gives the same result for the same environment and files.
void LoadSessionSettings();

}  // namespace env
