// The installation's decimal and thousands characters, from the root
// settings file.
#pragma once

namespace env {

// Reads "DecCaracter" and "MilCaracter" of section "Usuari" in RootDir +
// "Vela.ini" into util::DecimalChar and util::ThousandsChar, once per run
// (util::ForgetSeparators makes the next call read again). A missing key, a
// blank or a control character gives "'" and "." respectively.
// LoadSessionSettings calls it.
void LoadSeparators();

}  // namespace env
