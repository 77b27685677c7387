// The process-wide settings of util/ back to what they are when the program
// starts, for tests and for a fresh start.
#pragma once

namespace util {

// The separators back to "not loaded" ('\0'), no currency letters, text_state.FoldPlain
// 0 and an empty text_state.TextStack.
void ResetNumberAndTextState();

}  // namespace util
