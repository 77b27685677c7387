// A message for the operator of the spool's programs, who leaves with a key.
#pragma once

#include <string_view>

namespace spool {

// Shows the text in a message panel, followed by the words that ask for a
// key, and waits for one. Where the panel cannot be opened (its window file
// lives in the work directory, which may be what is missing) the text is
// written straight on the screen instead, so the operator still reads why.
void TellAndWait(std::string_view text);

}  // namespace spool
