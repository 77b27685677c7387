// The record manager's single entry point, in the classic calling form.
// Each record file is an SQLite database at the file's path, or, for a
// name that begins with "pg:", a table on a PostgreSQL server (server.h);
// see recman.md beside this header for how files, keys, locks and
// transactions are kept.
#pragma once

#include <cstddef>
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
  // Deletes the current record (as delete 4 does, with its statuses) and
  // returns the next one on the cursor's key, as get next 6 would: 9 after
  // the delete when there is none. Takes no lock bias.
  kDeleteGetNext = 64,
};

constexpr int kPositionBlockSize = 128;

// The creation buffer (create 14, stat 15): a 16-byte file block, one
// 16-byte block per key segment, then the alternate collating sequences.
// Key segment flags.
constexpr uint16_t kKeyDuplicates = 0x01;
constexpr uint16_t kKeyModifiable = 0x02;
constexpr uint16_t kKeyBinary = 0x04;
constexpr uint16_t kKeyNullAll = 0x08;
constexpr uint16_t kKeySegmented = 0x10;
constexpr uint16_t kKeyAlternate = 0x20;
constexpr uint16_t kKeyDescending = 0x40;
constexpr uint16_t kKeyRepeatingDuplicates = 0x80;
constexpr uint16_t kKeyExtendedType = 0x100;
constexpr uint16_t kKeyNullAny = 0x200;
constexpr uint16_t kKeyCaseInsensitive = 0x400;

// Extended key types this record manager sorts.
enum KeyType : uint8_t {
  kTypeString = 0,
  kTypeInteger = 1,
  kTypeFloat = 2,
  kTypeDate = 3,
  kTypeTime = 4,
  kTypeLogical = 7,
  kTypeLString = 10,
  kTypeZString = 11,
  kTypeUnsignedBinary = 14,
  kTypeAutoIncrement = 15,
};

constexpr uint16_t kFileVariableLength = 0x01;
// A scratch file (this record manager's own flag): its contents are thrown
// away at every start of its owner, so it is created and written without a
// single sync (synchronous=OFF on every connection). A crash of the machine
// may leave it damaged; nothing else changes.
constexpr uint16_t kFileScratch = 0x8000;

constexpr size_t kFileSpecSize = 16;
constexpr size_t kKeySpecSize = 16;
constexpr size_t kAlternateSize = 265;  // 0xAC, 8-byte name, 256-byte table
constexpr uint8_t kAlternateSignature = 0xAC;
constexpr size_t kMaxKeyLength = 255;
constexpr size_t kMaxKeys = 119;

}  // namespace platform::recman

// position_block: 128 bytes owned by the caller, one per open file.
// data_length: in, the size of data_buffer; out, the bytes returned.
// key_length: the size of key_buffer (255 at most).
// Returns the status: 0 success, otherwise the classic codes.
int16_t BTRCALL(uint16_t operation, void* position_block, void* data_buffer,
                uint32_t* data_length, void* key_buffer, uint8_t key_length,
                int8_t key_number);
