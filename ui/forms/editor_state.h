// Everything of the field editor's state that a form field or a browse list
// changes, so that it can be put back exactly, whatever the caller had set
// up (even a key set it had saved in the single save slot).
#pragma once

#include <cstdint>
#include <string>

#include "ui/keys.h"

namespace ui::forms {

struct EditorState {
  std::string codes, translations, saved_codes, saved_translations, choices;
  bool saved = false;
  int16_t mask = 0;
};

inline EditorState TakeEditorState() {
  return {KeySetCodes, KeySetTranslations, SavedKeySetCodes, SavedKeySetTranslations,
          ChoiceList,  KeySetSaved,        MaskCharacter};
}

inline void PutEditorState(const EditorState& state) {
  KeySetCodes = state.codes;
  KeySetTranslations = state.translations;
  SavedKeySetCodes = state.saved_codes;
  SavedKeySetTranslations = state.saved_translations;
  ChoiceList = state.choices;
  KeySetSaved = state.saved;
  MaskCharacter = state.mask;
}

}  // namespace ui::forms
