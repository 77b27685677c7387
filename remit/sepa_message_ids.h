// The message ids the converter has put in place, per creditor and day,
// kept in a small file of the installation, so that no two messages of a
// creditor on one day share one: the bank takes the second for a copy of
// the first and turns it away. The id is the file identifier of the 01
// record, which the office's other programs match the message by, so a
// clash is refused rather than mended with an id of the converter's own.
// A file converted again (the same message, replaced) keeps its id.
//
// One line per creditor of a message: day, creditor identifier, message
// id, the message's path, separated by tabs; lines of earlier days are
// dropped whenever the file is written.
#pragma once

#include <string>
#include <vector>

#include "env/status.h"

namespace remit {

struct MessageIdUse {
  std::string day;       // "2026-12-08"
  std::string creditor;  // the creditor scheme identifier
  std::string id;        // MsgId
  std::string message;   // the message's path
};

// The record's program path in the installation: session.RootDir + "QXCONVRT.IDS".
std::string MessageIdRecordPath();

// The path of another message that used the id for one of the creditors
// on the day (empty when none), or the Status of a record that cannot be
// read. record_path is a program path.
env::StatusOr<std::string> MessageIdUsedBy(const std::string& record_path,
                                           const std::vector<MessageIdUse>& uses);

// Adds the uses (replacing those of the same message), through a whole-file
// write that leaves the record as it was on failure.
env::Status RecordMessageIds(const std::string& record_path, const std::vector<MessageIdUse>& uses);

}  // namespace remit
