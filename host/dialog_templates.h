#pragma once
// The dialog templates CreateDialogParamW makes windows from, as the host
// keeps them: registered from a module's resources (or by a test), read by
// the window layer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// A static text of a template; one that notifies (SS_NOTIFY) sends its
// dialog WM_COMMAND with its id in the low word (STN_CLICKED, 0, in the
// high word) when clicked.
struct DialogControlTemplate {
  int id = -1;
  std::u16string text;
  bool notifies = false;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

// What a dialog template holds that the stand-in uses. Dialog units become
// pixels as Windows computes them for the templates' font, MS Sans Serif
// 8 pt at 96 dpi: its base units are 6 x 13 pixels (average character width
// and height), a horizontal unit is a quarter of the first and a vertical
// unit an eighth of the second, rounded to the nearest pixel (MulDiv); so
// 800 x 525 units make a client area of 1200 x 853 pixels.
struct DialogTemplate {
  std::u16string title;
  int widthDialogUnits = 0;
  int heightDialogUnits = 0;
  std::uint32_t style = 0;  // WS_VISIBLE (0x10000000) shows it at once
  std::vector<DialogControlTemplate> controls;
};

void registerDialogTemplate(int templateId, DialogTemplate dialog);
std::optional<DialogTemplate> dialogTemplate(int templateId);

}  // namespace host
