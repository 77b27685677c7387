// The program's hooks into the form engine: drawing the forms, showing and
// checking field values by field type, and copying an accepted form into
// the program's choices and the generation's selection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// Field types (attribute 6 of a field).
inline constexpr int16_t kDateField = 11;
inline constexpr int16_t kRemittanceField = 12;
inline constexpr int16_t kDriveField = 21;
inline constexpr int16_t kDirectoryField = 22;

void OnFormOpen(int16_t form);
void ShowFieldValue(int16_t form, int16_t field);
// True when the entry is accepted (stored and shown again); false refused.
bool CheckFieldValue(int16_t& form, std::string& text, int16_t& field, int16_t& key);
// True to leave the form, false to stay in it.
bool OnFormAccept(int16_t& form, int16_t& key);

// The text a field shows for a value: a choice list's text for its code,
// a date in day-month-year form, a remittance number with its creditor's
// name, a drive with its colon; the value itself otherwise.
std::string FieldDisplay(int16_t form, int16_t field);

// Puts text into a field's value, blank-padded or cut to its length.
void StoreFieldValue(int16_t form, int16_t field, std::string_view text);

// Fills ui::forms::Hooks with the hooks above.
void InstallFormHooks();


}  // namespace app
