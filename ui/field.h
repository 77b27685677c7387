// Entry of one field of text on the screen: insert and overwrite typing,
// word movement, clipboard copy and paste, multi-row fields, hidden fields
// (ui::keyboard.MaskCharacter) and choice fields (ui::keyboard.ChoiceList).
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Edits text in place at (row, column) of the current window (0 means the
// cursor's row or column), width characters per row (0: one row for the
// whole text). The text's length never changes. position is the 1-based
// cursor position within the text, on entry and on return; key is the key
// that ended the entry, after the key set's translation, or a click
// elsewhere as its ClickCode, -(100 x column + row) in absolute screen
// coordinates (IsClickCode tells it from a key).
void EditField(int16_t row, int16_t column, int16_t width, std::string& text,
               int16_t& position, int16_t& key);

}  // namespace ui
