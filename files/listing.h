// Which entries exist, their removal, and directory listings kept in list
// files of the temporary directory, which may be nested.
#pragma once

#include "env/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// The open listings of the run and the attributes they select: a listing
// outlives the call that begins it until EndListing. Back to start by
// ResetFilesState.
struct Listings {
  // Attribute bits of the entries FileExists and StartListing select: 0x20
  // plain files, 0x10 directories, 0x08 the volume label; 0x02 and 0x04
  // hidden and system entries too (which are left out otherwise). Read-only
  // (0x01) hides nothing: a read-only file is selected as a plain one.
  // Without any of 0x08, 0x10 and 0x20, 0x20 is added (and kept). Set by the
  // callers; plain files when never set.
  int16_t ListAttributes = 0x20;

  // The open list files (host paths), the most recent first, each followed by "|".
  std::string ListingStack{};
};
extern Listings listings;

// The temporary directory of the list files: "TEMP", else "TMPDIR", else
// "/tmp", each only when that directory exists (host path).
std::string TempDirectory();

// True when an entry matching the path or mask (wildcards "*" and "?") is
// selected by listings.ListAttributes.
bool FileExists(std::string_view path);

// Deletes the file (every matching plain file for a mask); when that fails,
// takes the path as a directory, deletes the files in it and removes it.
// Ok, or the failure of the last removal tried (for a mask, of the last
// file). A trailing separator is ignored ("C:\KIT\OLD\" is the directory
// OLD). A path naming a drive or its root, or an empty one, is never
// emptied: kRefused.
env::Status RemoveEntry(std::string_view path);

// Lists the entries of directory + mask that ListAttributes selects,
// upper-cased, into a new list file pushed on ListingStack. The failure,
// with its path, when the directory could not be read (or the list file not
// written): an empty listing then is no empty directory. EndListing is due
// either way.
env::Status StartListing(std::string_view path);
// The next name of the most recent listing; true (and an empty name) when
// there is none left.
bool NextListed(std::string& name);
// Deletes the most recent list file and pops it from listings.ListingStack.
void EndListing();

}  // namespace files
