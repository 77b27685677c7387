// Everything of the field editor's state that a form field or a browse list
// changes, so that it can be put back exactly, whatever the caller had set
// up (even a key set it had saved in the single save slot).
#pragma once

#include <cstdint>
#include <string>

#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace ui::forms {

struct EditorState {
  std::string codes, translations, saved_codes, saved_translations, choices;
  bool saved = false;
  int16_t mask = 0;
};

inline EditorState TakeEditorState() {
  return {keyboard.KeySetCodes,      keyboard.KeySetTranslations,
          keyboard.SavedKeySetCodes, keyboard.SavedKeySetTranslations,
          keyboard.ChoiceList,       keyboard.KeySetSaved,
          keyboard.MaskCharacter};
}

inline void PutEditorState(const EditorState& state) {
  keyboard.KeySetCodes = state.codes;
  keyboard.KeySetTranslations = state.translations;
  keyboard.SavedKeySetCodes = state.saved_codes;
  keyboard.SavedKeySetTranslations = state.saved_translations;
  keyboard.ChoiceList = state.choices;
  keyboard.KeySetSaved = state.saved;
  keyboard.MaskCharacter = state.mask;
}

// A pop-up over a field being edited (the calculator, the calendar): its
// own key set and the normal colour, the cursor hidden; at the end the
// field's key set goes back exactly (a field of a form has its caller's set
// in the single save slot, which "+" and "-" would take and give back in
// its stead), and so do the colour and the cursor.
class PopupScope {
 public:
  PopupScope(std::string_view codes, std::string_view translations)
      : caller_(TakeEditorState()), cursor_(platform::console::CursorVisible()) {
    SetKeySet(codes, translations);
    SetColour("+n");
    platform::console::SetCursorShape(false, platform::console::CursorSize());
  }
  ~PopupScope() {
    platform::console::SetCursorShape(cursor_, platform::console::CursorSize());
    SetColour("-");
    SetKeySet("-", "");
    PutEditorState(caller_);
  }
  PopupScope(const PopupScope&) = delete;
  PopupScope& operator=(const PopupScope&) = delete;

 private:
  EditorState caller_;
  bool cursor_;
};

}  // namespace ui::forms
