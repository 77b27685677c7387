// The record manager's single entry point, in the classic calling form.
// Each record file is an SQLite database at the file's path; see
// recman.md beside this header for how files, keys, locks and
// transactions are kept.
#pragma once

#include <cstdint>

namespace platform::recman {

// Operation codes (a lock bias of +100, +200, +300 or +400 may be added to
// the reads).
enum Operation : uint16_t {
  kOpen = 0,
  kClose = 1,
  kInsert = 2,
  kUpdate = 3,
  kDelete = 4,
  kGetEqual = 5,
  kGetNext = 6,
  kGetPrevious = 7,
  kGetGreater = 8,
  kGetGreaterOrEqual = 9,
  kGetLess = 10,
  kGetLessOrEqual = 11,
  kGetFirst = 12,
  kGetLast = 13,
  kCreate = 14,
  kStat = 15,
  kBeginTransaction = 19,
  kEndTransaction = 20,
  kAbortTransaction = 21,
  kGetPosition = 22,
  kGetDirect = 23,
  kUnlock = 27,
  kReset = 28,
};

constexpr int kPositionBlockSize = 128;

}  // namespace platform::recman

// position_block: 128 bytes owned by the caller, one per open file.
// data_length: in, the size of data_buffer; out, the bytes returned.
// key_length: the size of key_buffer (255 at most).
// Returns the status: 0 success, otherwise the classic codes.
int16_t BTRCALL(uint16_t operation, void* position_block, void* data_buffer,
                uint32_t* data_length, void* key_buffer, uint8_t key_length,
                int8_t key_number);
