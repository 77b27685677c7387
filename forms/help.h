// Help pages: F1 in a form shows the page of the menu, a text file of
// "AJUDA\" (under the current directory, the root) whose lines are records
// as long as the console is wide, in a window the operator scrolls; or,
// on a Windows host, the HTML page through the family's document opener.
#pragma once

#include <string>
#include <string_view>

namespace ui::forms {

// The topic of the general help, the family's menu program.
inline constexpr std::string_view kGeneralHelpTopic = "QQLAUNCH";

// Style characters inside a page's line, each toggling the look of what
// follows: highlighted, underlined, reverse. They take no cell.
inline constexpr char kHighlightStyle = 30;
inline constexpr char kUnderlineStyle = 31;
inline constexpr char kReverseStyle = 16;

// Shows the page "AJUDA\" + topic + ".HLP" until Escape: Up and Down
// scroll a line, PgUp and PgDn a page, Home and End go to either end, F1
// shows the general help on top. A missing page shows an empty window; a
// file whose length is not a multiple of the record length loses its last,
// partial record. With the host mode "WIN" the command interpreter of
// "COMSPEC" runs "QOPENR AJUDA\" + topic + ".HTM" instead.
void ShowHelp(const std::string& topic);

}  // namespace ui::forms
