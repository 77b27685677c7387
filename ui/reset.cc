#include "ui/reset.h"

#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

void ResetScreenAndKeys() {
  WindowDepth = WindowTop = WindowLeft = WindowBottom = WindowRight = 0;
  ColourIndex = 0;
  ColourStack.clear();
  TypeAheadBuffer.clear();
  KeySetCodes.clear();
  KeySetTranslations.clear();
  SavedKeySetCodes.clear();
  SavedKeySetTranslations.clear();
  KeySetSaved = false;
  MaskCharacter = 0;
  ChoiceList.clear();
  Mouse = MouseState::kNotInitialised;
  Hooks = {};
  internal::ForgetKeyReader();
}

}  // namespace ui
