// Settling what interrupted generations left in the output directory
// (journal.h): the part of the generation that both the start-up recovery
// and every group run, inside a transaction of the record manager so that
// no generation is writing meanwhile.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "remit/generation.h"

namespace remit {

// Where the receipts of a journal are in TrasBanc.
enum class Presence {
  kNone,     // all gone: the group committed
  kAll,      // all there: it did not
  kSome,     // some of each: not one group's commit
  kUnknown,  // TrasBanc could not be read
};
Presence ReceiptsInTrasBanc(const std::vector<std::string>& keys);

// For every temporary file of the output directory that no live process
// holds: a whole file with a whole journal whose receipts are all gone
// from TrasBanc is put under its own name and listed in the work list
// (recorded in result, its message added to tell); any other is removed
// with its journal. A journal without its file goes too. Nothing is
// touched when TrasBanc cannot be read.
void SettleLeftovers(GenerationResult& result, std::vector<std::string>& tell);

// The draw of new file names: Hooks.file_name, or random characters from
// a generator seeded from the clock now.
std::function<std::string()> FileNameDraw();

// The texts the generation shows, in the operator's language.
std::string GeneratedFileText(const std::string& path);

}  // namespace remit
