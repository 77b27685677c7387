#include "env/session.h"

#include <string>
#include <string_view>

#include "env/database_server.h"
#include "env/ini.h"
#include "env/installation.h"
#include "env/reset.h"
#include "env/run_facts.h"
#include "env/separators.h"
#include "platform/process/environment.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace env {

// Process-wide: the program's one session, loaded at start-up and read by
// every layer above.
Session session;

namespace internal {
// Process-wide: see run_facts.h.
RunFacts run_facts;
}  // namespace internal

namespace {

// Screen colours when the terminal file names none: bright white on black,
// grey on black, then black on grey.
constexpr std::string_view kDefaultColours = "15000700000700070007";

// Environment values arrive as UTF-8 and live on as code page 850.
std::string Variable(std::string_view name) {
  return util::Utf8ToCp850(platform::GetEnvironment(name));
}

// "C:" and "C:\TMP\" are left as they are; "/" counts as a separator too.
std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != ':' && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::string Fixed3(std::string text) {
  text.resize(3, ' ');
  return text;
}

// The numeric value of the two characters at offset; 0 beyond the end.
int16_t ColourAt(std::string_view text, std::string_view::size_type offset) {
  if (offset >= text.size()) return 0;
  return util::NumericValue16(text.substr(offset, 2));
}

void LoadColours(const IniSnapshot& terminal_file) {
  int32_t selection = util::NumericValue32(terminal_file.Value("Pantalla", "Seleccio"));
  std::string colours = terminal_file.Value("Pantalla", "Col" + std::to_string(selection));
  if (colours.empty()) colours = kDefaultColours;
  for (std::size_t i = 0; i < session.ColourTable.size(); ++i) {
    session.ColourTable[i].foreground = ColourAt(colours, 4 * i);
    session.ColourTable[i].background = ColourAt(colours, 4 * i + 2);
  }
}

std::string HostModeFromEnvironment() {
  if (!Variable("HTTP_USER_AGENT").empty() || !Variable("HTTP_ACCEPT").empty()) return "CGI";
  if (!Variable("WINDIR").empty() || !Variable("SYSTEMROOT").empty()) return "WIN";
  return "DOS";
}

}  // namespace

void LoadSessionSettings() {
  session.ColourTable = {};
  session.RootDir = Variable("KITROOT");
  session.ExeDir = Variable("KITEXE");
  session.WorkDir = WithSeparator(Variable("KITTMP"));

  // The session file is looked for in KITTMP alone, before the fall-back.
  // Each settings file is read once for all its entries.
  const IniSnapshot session_file(session.WorkDir + "Sessio.ini");
  session.MenuTitle = " " + session_file.Value("Menu", "Titol") + " ";
  session.MenuName = session_file.Value("Menu", "NomMenu");
  session.MenuCode = session_file.Value("Menu", "Menu");
  session.MenuChain = session_file.Value("Menu", "ChnMenu");
  session.OperatorName = session_file.Value("Menu", "Operador");
  session.OperatorType = util::NumericValue16(session_file.Value("Menu", "KitTipOper"));

  // TERM names the terminal type on this platform; the terminal directory
  // comes from KITTERM instead.
  session.TerminalDir = session_file.Value("Terminal", "Dir");
  if (session.TerminalDir.empty()) session.TerminalDir = Variable("KITTERM");
  session.TerminalDir = WithSeparator(session.TerminalDir);
  if (session.WorkDir.empty()) session.WorkDir = session.TerminalDir;

  util::SelectCurrency("a,E");

  const IniSnapshot terminal_file(session.WorkDir + "VelaTerm.ini");
  LoadColours(terminal_file);
  std::string date = terminal_file.Value("Sistema", "Data");
  session.WorkDate = date.empty() ? std::string() : util::PackDigits(date);
  session.OutputDevice = terminal_file.Value("Sistema", "Sortida");
  session.LanguageCode = Fixed3(terminal_file.Value("Sistema", "Idioma"));
  if (util::Trim(session.LanguageCode).empty()) {
    session.LanguageCode = Fixed3(ReadIniValue(session.RootDir + "Vela.ini", "Usuari", "Idioma"));
  }
  session.HostMode = HostModeFromEnvironment();
  session.DatabaseServer = DatabaseServerSetting(session.RootDir);
  LoadSeparators();

  if (!internal::run_facts.installation_loaded) {
    LoadInstallationData();
    internal::run_facts.installation_loaded = true;
  }
}

namespace internal {
void ForgetSessionLoaded() { run_facts.installation_loaded = false; }
}  // namespace internal

}  // namespace env
