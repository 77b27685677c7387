// The two ways of keeping record files behind BTRCALL: SQLite databases on
// this host (the default), or tables on a PostgreSQL server for names that
// begin with "pg:". Each position block belongs to the back end that
// opened it; transactions span both.
#pragma once

#include <cstdint>
#include <string>

#include "platform/recman/call.h"
#include "platform/recman/keyspec.h"

namespace platform::recman {

class Backend {
 public:
  virtual ~Backend() = default;
  // Whether the position block is one this back end has open.
  virtual bool Owns(void* block) = 0;
  // Create (14) of the file name (without the "pg:").
  virtual int16_t Create(const std::string& name, const FileLayout& layout, bool overwrite) = 0;
  // Open (0) of the file name into c.block, in the mode of c.key_number
  // (already checked: exclusive for -4, read-only for -2).
  virtual int16_t Open(ops::Call& c, const std::string& name, bool exclusive, bool read_only) = 0;
  // Every other operation on a block this back end owns.
  virtual int16_t OnBlock(ops::Call& c) = 0;
  // Begin (19), end (20) and abort (21): the dispatcher checks 37 and 39.
  virtual int16_t Begin() = 0;
  virtual int16_t End() = 0;
  virtual void Abort() = 0;
  // Reset (28): rolls back, releases every lock, closes every file.
  virtual void Reset() = 0;
  // In a child after fork: forgets what the parent had open, untouched.
  virtual void AfterFork() = 0;
};

Backend& SqliteBackend();
Backend& ServerBackend();

}  // namespace platform::recman
