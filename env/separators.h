// The installation's decimal and thousands characters, from the root
// settings file.
#pragma once

namespace env {

// Reads "DecCaracter" and "MilCaracter" of section "Usuari" in session.RootDir +
// "Vela.ini" into util::number_format.DecimalChar and util::number_format.ThousandsChar, once per
// run (util::ForgetSeparators makes the next call read again). A missing key, a blank or a control
// character gives "'" and "." respectively. LoadSessionSettings calls it.
void LoadSeparators();

}  // namespace env
