// Pages of monospaced text as a PDF document, the printed form of a report
// when there is no printer to send it to (and what is sent when there is).
#pragma once

#include <string>
#include <vector>

namespace platform::pdf {

// One page: its lines from the top, UTF-8.
using TextPage = std::vector<std::string>;

// The pages as a PDF of A4 sheets, one sheet per page, in a monospaced
// font on a grid of rows x columns cells (the longest page and line, or
// more), so that every column of the text stays under the one above. The
// grid is fitted to the sheet: 12 points a line (6 lines an inch) while
// that fits, a font of at most 10 points. False, with cairo's reason in
// *error, when the document cannot be made.
bool TextPagesToPdf(const std::vector<TextPage>& pages, int rows, int columns, std::string* pdf,
                    std::string* error);

}  // namespace platform::pdf
