// Lock tables and their holders kept on the database server (recman.md,
// "Lock tables on a server"), for an office whose terminals share one
// server: a holder is alive exactly while its session holds its number's
// advisory lock, so a crashed terminal frees its holder at once and no
// clock is trusted. The slots of a table are rows (table name, slot
// number, the slot's bytes); a table is visited by one process at a time.
//
// All of it runs on a connection of its own, apart from the record files'
// connection: a slot written is seen by the others whatever transaction
// the record files are in.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform::recman::lock_server {

// The libpq connection string of the server; a different one drops the
// connection made for the one before (and with it the holder's claim).
void Use(const std::string& conninfo);

enum class Outcome { kDone, kBusy, kFailed };

// Claims number as this process's holder: kDone when it is held from now
// on (or was already), kBusy when another live session holds it, kFailed
// when the server could not be reached (Error() says why). The number held
// before, if another, is let go.
Outcome ClaimHolder(int32_t number);
// The number this process holds on a connection not known to be lost (0 none).
int32_t HeldHolder();
// The holders alive now, this process's among them. False on failure.
bool LiveHolders(std::set<int32_t>* holders);

// Takes the turn of table (kBusy while another process has it).
Outcome BeginVisit(const std::string& table);
// The slots of table, each slot_size bytes, in slot order (a slot never
// written reads blank). Needs no turn: a look only.
bool ReadSlots(const std::string& table, size_t slot_size, std::string* bytes);
// Writes one slot during the visit. It is sent with the first write 20 ms
// or more after the last sending, and always before the turn is given
// back; a look from elsewhere meanwhile may see the slot as it was. False when this write
// or one before it in the visit failed (Error() says why).
bool WriteSlot(const std::string& table, int64_t slot, std::string_view bytes);
// Sends the slots written, waits for the server to have them, and gives
// the turn back.
void EndVisit(const std::string& table);
// The tables with any slot, by name.
bool Tables(std::vector<std::string>* names);

// Why the last call that failed failed, in the server's or libpq's words,
// never with a password.
std::string Error();

}  // namespace platform::recman::lock_server
