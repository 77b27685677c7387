// The program's hooks into the browse lists: the line of each list's
// record, the pick put into its form field, and the catalogue level a list
// shows made ready before it opens.
#pragma once

#include <cstdint>
#include <string>

#include "env/status.h"

namespace app {

// Lists of the form file.
inline constexpr int16_t kRemittanceList = 1;
inline constexpr int16_t kDriveList = 2;
inline constexpr int16_t kDirectoryList = 3;
inline constexpr int16_t kFileList = 4;

std::string ListLine(int16_t list);
void OnListPick(int16_t& list, int16_t& form, int16_t& field);
env::Status FillCatalogueLevel(int16_t list, std::string& start_key, std::string& key_prefix);

// Before the copy and report forms: the drives catalogued when the catalogue
// has none yet, and the removable and fixed drives offered as the choices of
// the destination and report drive fields (the first of them chosen).
void PrepareCatalogue();

// Fills ui::forms::Hooks with the hooks above and F4's list.
void InstallListHooks();

}  // namespace app
