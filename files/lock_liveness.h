// How a holder of locks in the lock tables proves it is alive.
//
// The stamps of the slots are local minutes, and the local time of two
// terminals differs with their time zones and jumps at the change to summer
// time: a stamp alone cannot tell a live holder from a dead one. So every
// holder on this host, while it runs, holds a lock of the kernel on the
// byte of its holder number in session.RootDir + "LOCKS\HOLDERS.LIV"; the kernel
// drops it when the process ends, however it ends. A slot of a holder on
// this host (its workstation name is this host's) is abandoned exactly when
// that byte is free; the 30-minute rule of the stamps is kept only for
// holders on other hosts. Two processes never share a holder number while
// both live.
#pragma once

#include "env/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// The workstation name of this host as slots hold it: the host name in
// code page 850, blank-padded or cut to 15.
std::string ThisStation();

// Claims number as this process's holder number: holds its byte and lets go
// of the one held before. True when the byte is held from now on, false when
// this process held it already. kInUse when another live process holds it
// (nothing changed); another failure when the holders file cannot be opened
// or the byte not locked (nothing is held, as LivenessHeld tells).
env::StatusOr<bool> ClaimHolderNumber(int32_t number);

// Whether this process holds the byte of lock_identity.LockHolder in the holders file of
// the current session.RootDir (as ClaimHolderNumber last found it).
bool LivenessHeld();

// On the server (a session with a database server) every holder claims its
// number there instead, on a connection of its own, and is alive exactly
// while that connection holds the claim, whatever its host: its slots are
// free as soon as its connection ends, and no stamp is looked at.
// The live holders are asked once a visit of a table: a visit forgets the
// answer of the one before.
void ForgetLiveHolders();

// Whether the lock of a slot is abandoned: on this host, when its holder
// no longer holds its byte (this process's own slots never are); on other
// hosts, when its stamp is more than 30 minutes before now.
// here: ThisStation(), asked once by the caller for all the slots of a visit.
bool LockAbandoned(std::string_view station, int32_t holder, int32_t stamp, int32_t now,
                   std::string_view here);

}  // namespace files
