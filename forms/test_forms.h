// The form file the form tests share.
#pragma once

namespace ui::forms::testing {

// Form 1: three fields in a window, field 2 with a trailing area.
// Form 2: no window; its field 2 is display only.
// Form 3: one field, continued by form 4 (two fields).
// Form 5: a blank-entry field, a hidden one, one with browse list 1.
// Form 6: nothing to enter.
inline constexpr char kTestForms[] =
    "' Forms of the engine's tests\r\n"
    "'   row, column, label, length, width, trailing, flags, type, list, help\r\n"
    "6, 3\r\n"
    "\"d,1b,4800,5000,4900,5100,3c00,3e00,3b00\", 3, 0, 5, 10, 12, 60\r\n"
    "1, 2, \"Nom: \", 10, 0, 0, 0, 0, 0, \"\"\r\n"
    "2, 2, \"Data, dia: \", 8, 0, 4, 8, 11, 0, Type the date\r\n"
    "3, 2, Ok:, 1, 0, 0, 0, 0, 0, \"|S,Si|N,No\"\r\n"
    "\"d,1b,4800,5000\", 3, 0, 0, 0, 0, 0\r\n"
    "3, 1, \"A \", 4, 0, 0, 0, 0, 0, \"\"\r\n"
    "4, 1, \"B \", 4, 0, 0, 4, 0, 0, \"\"\r\n"
    "5, 1, \"C \", 4, 0, 0, 0, 0, 0, \"\"\r\n"
    "\"d,1b,4800,5000,4900,5100,3c00\", 1, 4, 3, 3, 9, 40\r\n"
    "2, 2, \"Page 1: \", 5, 0, 0, 0, 0, 0, \"\"\r\n"
    "\"d,1b,4800,5000,4900,5100\", 2, 0, 4, 4, 10, 41\r\n"
    "2, 2, \"Page 2a: \", 5, 0, 0, 0, 0, 0, \"\"\r\n"
    "3, 2, \"Page 2b: \", 5, 0, 0, 0, 0, 0, \"\"\r\n"
    "\"d,1b,4800,5000,3e00\", 3, 0, 6, 20, 11, 70\r\n"
    "1, 2, \"Blank: \", 6, 0, 0, 1, 0, 0, \"\"\r\n"
    "2, 2, \"Secret: \", 6, 0, 3, 2, 0, 0, \"\"\r\n"
    "3, 2, \"Picked: \", 6, 0, 0, 0, 0, 1, \"\"\r\n"
    "\"d,1b\", 1, 0, 0, 0, 0, 0\r\n"
    "1, 1, \"Notice\", 0, 0, 0, 4, 0, 0, \"\"\r\n"
    "1\r\n"
    "1, 2, 3, 4, 5, 6, 7, \"Remittances\", 8\r\n";

}  // namespace ui::forms::testing
