#include "tools/kitscr/viewer.h"

#include <gtest/gtest.h>

#include <string>

#include "util/cp850.h"

namespace kitscr {
namespace {

// A report line wider than the screen, seen through ten columns: the page
// goes on ("»" at the edge), and no number is shown cut, where it would
// read as another.
TEST(VisiblePart, ShowsThatTheLineGoesOnAndCutsNoNumber) {
  const std::string more = util::Cp850("»");
  const struct {
    const char* what;
    std::string line;
    int left;
    std::string shown;
  } cases[] = {
      {"a line that fits", "TOT 1.200", 0, "TOT 1.200 "},
      {"a line that ends at the edge", "ABCD 1.200", 0, "ABCD 1.200"},
      {"a number cut by the edge", "TOTAL   1.200 X", 0, "TOTAL    " + more},
      {"a number the mark would cover", "TOTAL 1.200 X", 0, "TOTAL    " + more},
      {"a number that ends before the mark", "TOT 1.200 X", 0, "TOT 1.200" + more},
      {"a word under the mark", "TOTAL DEL MES", 0, "TOTAL DEL" + more},
      {"a number cut by the left edge", "AB 1.200 CD", 4, "     CD   "},
      {"a line seen from a blank", "0123456789 1.200", 10, " 1.200    "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(VisiblePart(c.line, c.left, 10), c.shown);
  }
}

}  // namespace
}  // namespace kitscr
