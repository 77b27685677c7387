// The record manager's statuses, by name: what BTRCALL returns and what the
// record layer (db/) and the record file utility pass on. 0 is success.
#pragma once

#include <cstdint>

namespace platform::recman {

inline constexpr int16_t kInvalidOperation = 1;
inline constexpr int16_t kIoError = 2;
inline constexpr int16_t kFileNotOpen = 3;
inline constexpr int16_t kKeyNotFound = 4;
inline constexpr int16_t kDuplicateKey = 5;
inline constexpr int16_t kInvalidKeyNumber = 6;
inline constexpr int16_t kKeyNumberChanged = 7;
inline constexpr int16_t kInvalidPositioning = 8;  // no current record
inline constexpr int16_t kEndOfFile = 9;
inline constexpr int16_t kModifiableKeyChanged = 10;
inline constexpr int16_t kFileNotFound = 12;
// The server of the "pg:" files cannot be reached (down, refused, wrong
// password): LastServerError() says why.
inline constexpr int16_t kServerUnavailable = 20;
inline constexpr int16_t kDiskFull = 18;
inline constexpr int16_t kKeyBufferTooShort = 21;
inline constexpr int16_t kDataBufferTooShort = 22;
inline constexpr int16_t kPageSizeError = 24;
inline constexpr int16_t kKeyCountError = 26;
inline constexpr int16_t kKeyPositionError = 27;
inline constexpr int16_t kRecordLengthError = 28;
inline constexpr int16_t kKeyLengthError = 29;
inline constexpr int16_t kNotARecordFile = 30;
inline constexpr int16_t kTransactionError = 36;
inline constexpr int16_t kTransactionActive = 37;
inline constexpr int16_t kNoTransaction = 39;
inline constexpr int16_t kInvalidRecordAddress = 43;
inline constexpr int16_t kAccessDenied = 46;
inline constexpr int16_t kInvalidCollatingSequence = 48;
inline constexpr int16_t kFileExists = 59;
inline constexpr int16_t kConflict = 80;  // the record changed since it was read
inline constexpr int16_t kLockError = 81;
inline constexpr int16_t kRecordInUse = 84;
inline constexpr int16_t kFileInUse = 85;
inline constexpr int16_t kIncompatibleMode = 88;
// The connection to the server was lost (server restarted, network cut):
// the server rolled back what was not committed and freed the locks; the
// file must be opened again.
inline constexpr int16_t kSessionLost = 95;

}  // namespace platform::recman
