#include "remit/purge.h"

#include <string_view>

#include "files/listing.h"
#include "files/paths.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/journal.h"
#include "util/basics.h"
#include "util/dates.h"

namespace remit {

namespace {

constexpr std::string_view kPatterns[] = {"CSB19*.*", "Q19*.*", "*.Q19", "*.E19", "*.XML"};
constexpr int32_t kKeptMonths = 6;

bool InProgress(const std::string& name) {
  const std::string upper = util::UpperCase(name);
  return upper.ends_with(util::UpperCase(kTemporarySuffix)) ||
         upper.ends_with(util::UpperCase(kJournalSuffix)) ||
         upper.find(util::UpperCase(kSetAsideSuffix)) != std::string::npos;
}

}  // namespace

void PurgeOldFiles(const std::string& directory, const std::string& work_date) {
  if (util::SplitDate(work_date).month == 0) return;  // no work date to count back from
  const std::string limit = util::UnpackDigits(util::DateAdd(work_date, -kKeptMonths, "M"));
  const int16_t saved_attributes = files::listings.ListAttributes;
  files::listings.ListAttributes = 0x20;  // plain files only
  for (std::string_view pattern : kPatterns) {
    // A folder that cannot be read has nothing to purge: the purge is a
    // tidying that never stops the program, and the catalogue tells it.
    static_cast<void>(files::StartListing(directory + std::string(pattern)));
    std::string name;
    while (!files::NextListed(name)) {
      // FileDatedBefore keeps a file whose date cannot be read.
      // One file by its own name: a name read back with a "?" for a byte
      // it could not show must not become a mask that takes others along.
      if (InProgress(name) || name.find_first_of("*?") != std::string::npos) continue;
      // A file somebody made read-only is kept, as a deletion on the
      // program's first platform would have refused it.
      const std::string host = platform::fs::HostPath(directory + name);
      platform::fs::DirEntry entry;
      if (!platform::fs::StatEntry(host, &entry) || (entry.attributes & platform::fs::kReadOnly)) continue;
      if (files::FileDatedBefore(directory + name, limit)) platform::fs::RemoveFile(host);
    }
    files::EndListing();
  }
  files::listings.ListAttributes = saved_attributes;
}

}  // namespace remit
