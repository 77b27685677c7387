// The backup of the files of a directory to numbered removable volumes
// (diskettes or any target folder) in the DOS 3.3 BACKUP format: on each
// volume "BACKUP.nnn", the file parts end to end, and "CONTROL.nnn", which
// says which part of which file lies where (backup_layout.h). A file that
// does not fit goes on on the next volume, which the operator is asked for.
#pragma once

#include "env/status.h"

#include <string_view>

namespace files {

// How a backup ended, and the volumes it took.
struct [[nodiscard]] BackupReport {
  // Ok: every matching file is in the set. kNotFound: no file matched (or
  // the folder could not be read, in the words of its failure): nothing
  // written, and the operator was told where. kCancelled: the operator pressed Escape at a prompt. Any
  // other: a file could not be opened, read or written; a panel said which
  // and why.
  env::Status status;
  // The number of the last volume opened (0: none): the set's size when
  // completed; when cancelled, the set lacks the volume after it.
  int volumes = 0;
};

// Backs up the files of source_directory (ending with "\") matching mask to
// target (a drive or folder prefix such as "A:\"), with the label (at most
// 127 characters; empty for the main program's copies) in every volume's
// header. Volume 1 must be in the drive when it is called: it is checked
// without a prompt. A volume is taken when it is empty or holds the
// same-numbered volume of a set of the same label, which is overwritten.
// The operator follows it in a window at the foot of the screen and is
// told of every refusal and failure in a panel. Only a set whose every
// part was written ends with the last-volume flag; one cut short by a
// failure or by Escape leaves its last volume saying that more follow.
BackupReport BackupToVolumes(std::string_view source_directory, std::string_view mask,
                             std::string_view target, std::string_view label);

}  // namespace files
