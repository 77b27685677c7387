// Apart from util/text.cc so that only programs asking for the computer's
// name need the file-system layer of the platform.
#include "platform/fs/host.h"
#include "util/text.h"

namespace util {

std::string ComputerName() { return ComputerNameFrom(platform::fs::HostName()); }

}  // namespace util
