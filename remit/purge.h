// The purge of old remittance files after a file with debits is made.
#pragma once

#include <string>

namespace remit {

// Deletes from directory (a program path ending in "\") every file named
// "CSB19*.*", "Q19*.*", "*.Q19", "*.E19" or "*.XML" whose date is before
// work_date (packed) minus 6 months. A file whose date cannot be read is
// kept, and so is every file of a generation in progress (".tmp", ".key").
// Nothing is deleted without a readable work date.
void PurgeOldFiles(const std::string& directory, const std::string& work_date);

}  // namespace remit
