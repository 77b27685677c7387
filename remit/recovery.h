// Settling what interrupted generations left in the output directory
// (journal.h) and the markers of committed groups (marker.h): the part of
// the generation that the start-up recovery runs, and every group before
// its own transaction, inside a transaction of the record manager so that
// no generation is writing meanwhile. That transaction never changes
// TrasBanc, so the markers it removes never share a commit with receipts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "remit/generation.h"

namespace remit {

// Where the receipts of a journal are in TrasBanc.
enum class Presence {
  kNone,     // all gone: the group committed
  kAll,      // all there: it did not
  kSome,     // some of each: not one group's commit
  kUnknown,  // TrasBanc could not be read
};
Presence ReceiptsInTrasBanc(const std::vector<std::string>& keys);

// What to do with a temporary file no live process holds, from what is
// known of it:
//   whole     the file is a whole Cuaderno 19.14 file and its journal a
//             finished one that counts as many receipts as the file's 99
//   marked    a marker of its name is committed in TGenerat
//   digest    the file's bytes have the marker's digest
//   receipts  where the journal's receipts are in TrasBanc (looked up only
//             for a whole file)
//   elsewhere its journal names another workstation
// Another workstation's files are left to its own start-up, whatever they
// hold: on a shared folder no lock of this host proves that workstation
// dead, and a live one may be putting its committed file in place or
// listing it right now (on this host the kernel's lock on the temporary
// file says it, and a file still held is never settled).
// A file is adopted only when this program committed it: marked, its bytes
// the ones marked, its receipts gone. A file without a marker never
// committed (the marker commits before the receipts' deletion), so when
// its receipts are all still there, or it is not even whole, it is the
// debris of an interrupted group. Anything else claims a commit that
// cannot be shown, and is set aside for the operator, never listed and
// never deleted.
enum class LeftoverAction {
  kLeave,          // TrasBanc cannot say: left for the next recovery
  kDiscard,        // removed with its journal
  kDiscardMarked,  // removed with its journal and its stale marker
  kAdopt,          // put under its own name and listed
  kSetAside,       // renamed out of every list's way and told
};
struct LeftoverFacts {
  bool whole = false;
  bool marked = false;
  bool digest = false;
  Presence receipts = Presence::kAll;
  bool elsewhere = false;
};
LeftoverAction DecideLeftover(const LeftoverFacts& facts);

// For every temporary file of the output directory that no live process
// holds, what DecideLeftover says. Then every marker left whose group is
// not in the work list: its file, when its bytes are the ones marked, is
// listed; a file that changed or is gone is told; another workstation's
// file, still to be listed by it, is told with its name. Last, a journal
// of this workstation's with neither its file nor its marker goes. Files listed (with the request's menu to return to) are
// recorded in result and their messages, like those of files set aside,
// added to tell. Nothing is touched when TrasBanc or the marker file cannot
// be read.
void SettleLeftovers(const RecoveryRequest& request, GenerationReport& result,
                     std::vector<std::string>& tell);

// Lists a committed, published file in the work list unless it holds it
// already; what failed when the list cannot take it (the caller then keeps
// its marker, so that the next recovery lists it).
env::Status ListCommitted(const std::string& path, const std::string& return_menu);

// The draw of new file names: the chosen one, or when it is empty random
// characters from a generator seeded from the clock now.
std::function<std::string()> FileNameDraw(const std::function<std::string()>& chosen);

// The texts the generation shows, in the operator's language.
std::string GeneratedFileText(const std::string& path);

}  // namespace remit
