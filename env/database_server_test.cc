#include "env/database_server.h"

#include <gtest/gtest.h>

#include <string>

namespace env {
namespace {

// Both of libpq's forms, quoted values with blanks and escaped quotes, a
// key that merely ends in "password", and nothing to take out.
TEST(WithoutPasswordTest, TakesOutEveryPasswordAndKeepsTheRest) {
  const struct {
    const char* given;
    const char* shown;
  } cases[] = {
      {"host=db port=5432 password=secret dbname=kit", "host=db port=5432 dbname=kit"},
      {"password = 'a \\' b secret' host=db", "host=db"},
      {"host=db passfile=/home/u/.pgpass", "host=db passfile=/home/u/.pgpass"},
      {"host='/tmp/my dir' user=u", "host='/tmp/my dir' user=u"},
      {"postgresql://u:secret@db:5432/kit", "postgresql://u@db:5432/kit"},
      {"postgres://db/kit?user=u&password=secret&sslmode=off", "postgres://db/kit?user=u&sslmode=off"},
      {"postgresql://u@db/kit", "postgresql://u@db/kit"},
      {"", ""},
  };
  for (const auto& c : cases) {
    const std::string shown = WithoutPassword(c.given);
    EXPECT_EQ(shown, c.shown) << c.given;
    EXPECT_EQ(shown.find("secret"), std::string::npos) << c.given;
  }
}

}  // namespace
}  // namespace env
