// Where the record files named "pg:NAME" live: a PostgreSQL server the
// process reaches through libpq. See recman.md for how they are kept.
#pragma once

#include <cstdint>
#include <string>

namespace platform::recman {

// The libpq connection string for "pg:" files ("host=... dbname=...
// sslmode=..."); empty takes libpq's defaults from the environment
// (PGHOST, PGPORT, PGUSER, PGDATABASE, PGSSLMODE, PGPASSFILE ...). The
// password comes from ~/.pgpass or the environment, never from here. Takes
// effect at the next connection: the current one, if any, is kept until it
// is lost or the process resets the record manager with no file open.
void SetServer(std::string conninfo);

// Why the last failed call on a "pg:" file failed, in the server's or
// libpq's words (empty when nothing has failed). Never holds a password.
std::string LastServerError();

}  // namespace platform::recman

namespace platform::recman {

// Removes every record file on the server whose name begins with prefix
// (its table and its entry in the catalogue). The files must not be open.
// Returns the status (20 when the server cannot be reached).
int16_t DropServerFiles(const std::string& prefix);

}  // namespace platform::recman
