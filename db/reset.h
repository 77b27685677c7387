// The record layer back to what it is when the program starts, for tests and
// for a fresh start.
#pragma once

namespace db {

// Closes every file of the table through CloseRecordFile and empties the
// table (a slot whose close fails is emptied all the same), empties
// LockModeStack and puts back the message panel hooks of Screen. Record
// files opened outside the layer are the record manager's to reset.
void ResetRecordLayer();

}  // namespace db
