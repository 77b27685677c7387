// Cross-check against python-stdnum, an independent and well-kept
// implementation of the same identifiers: many generated IBANs of every
// country of our table, Spanish account codes and creditor identifiers go
// through our functions and through bank/stdnum_check.py, and the verdicts
// and completed check digits must agree wherever both define the same
// thing. Where our rules legitimately differ, the comparison is narrowed
// and the reason stands beside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bank/iban.h"
#include "tests/support/random.h"

namespace bank {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string Hex(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Requests to the script, one a line, answered in order.
class Stdnum {
 public:
  size_t Ask(const std::string& kind, std::string_view text) {
    requests_ += kind + " " + Hex(text) + "\n";
    return count_++;
  }

  bool Run(std::vector<std::string>& answers) {
    const std::string dir = ::testing::TempDir();
    const std::string path = dir + "/bank_stdnum_requests.txt";
    std::ofstream(path, std::ios::binary) << requests_;
    const std::string command = std::string(kPython) + " " + QDEB_SOURCE_DIR +
                                "/bank/stdnum_check.py " + path;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    std::string output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int status = pclose(pipe);
    std::remove(path.c_str());
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) answers.push_back(line);
    return status == 0 && answers.size() == count_;
  }

 private:
  std::string requests_;
  size_t count_ = 0;
};

bool StdnumPresent() {
  std::string command = std::string(kPython) +
                        " -c 'import stdnum.iban, stdnum.es.ccc, stdnum.eu.at_02' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// Our layout as stdnum writes its classes: n, a, and c for letter or digit.
std::string Classes(std::string_view layout) {
  std::string out;
  for (size_t g = 0; g + 3 <= layout.size(); g += 3) {
    int count = (layout[g] - '0') * 10 + (layout[g + 1] - '0');
    out.append(static_cast<size_t>(count), layout[g + 2] == 'x' ? 'c' : layout[g + 2]);
  }
  return out;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}
  unsigned Below(unsigned n) { return random_.Below(n); }
  char Digit() { return static_cast<char>('0' + Below(10)); }
  char Letter() { return static_cast<char>('A' + Below(26)); }

  std::string Bban(std::string_view layout) {
    std::string out;
    for (char kind : Classes(layout)) {
      out += kind == 'n' ? Digit() : kind == 'a' ? Letter() : Below(3) ? Digit() : Letter();
    }
    return out;
  }

 private:
  qdeb::testing::Random random_;
};

// Completed with our own "00" completion; stdnum judges the result anyway.
std::string Completed(std::string_view country, const std::string& bban) {
  std::string iban = std::string(country) + "00" + bban;
  CheckIban(iban);
  return iban;
}

// A BBAN whose national check digits are right, so that valid IBANs of the
// five countries with national checks occur often enough.
std::string NationallyValid(std::string_view country, std::string bban, Generator& gen) {
  const int length = static_cast<int>(bban.size());
  for (int attempt = 0; attempt < 400; ++attempt) {
    if (NationalCheck(country, bban, length, 0) == 0) return bban;
    if (country == "ES") {
      bban.replace(8, 2, SpanishControlDigits(bban));
    } else {
      size_t last = bban.size() - 1 - gen.Below(2);
      bban[last] = gen.Digit();
      if (gen.Below(3) == 0) bban[last - 2] = gen.Digit();
    }
  }
  return bban;
}

std::vector<std::string> Variants(const std::string& valid, Generator& gen) {
  std::vector<std::string> out = {valid};
  for (int i = 0; i < 4; ++i) {  // one digit changed
    std::string changed = valid;
    size_t p = 2 + gen.Below(static_cast<unsigned>(valid.size() - 2));
    if (changed[p] >= '0' && changed[p] <= '9') {
      changed[p] = static_cast<char>('0' + (changed[p] - '0' + 1 + gen.Below(9)) % 10);
    } else {
      changed[p] = changed[p] == 'Z' ? 'A' : static_cast<char>(changed[p] + 1);
    }
    out.push_back(changed);
  }
  for (int i = 0; i < 3; ++i) {  // neighbours swapped
    std::string swapped = valid;
    size_t p = 2 + gen.Below(static_cast<unsigned>(valid.size() - 3));
    std::swap(swapped[p], swapped[p + 1]);
    out.push_back(swapped);
  }
  out.push_back(valid.substr(0, valid.size() - 1));  // wrong lengths
  out.push_back(valid + gen.Digit());
  out.push_back(valid.substr(0, 4) + valid.substr(5));
  std::string lower = valid;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  out.push_back(lower);
  std::string grouped = valid.substr(0, 4);
  for (size_t p = 4; p < valid.size(); p += 4) grouped += " " + valid.substr(p, 4);
  out.push_back(grouped);
  std::string dashed = valid.substr(0, 4) + "-" + valid.substr(4, 3) + "." + valid.substr(7);
  out.push_back(dashed);
  std::string odd = valid.substr(0, 6) + std::string(1, '\0') + "\xFF/" + "\xA4" +
                    valid.substr(6) + "\t ";
  out.push_back(odd);
  out.push_back(valid.substr(0, 2) + "00" + valid.substr(4));  // to be completed
  out.push_back(valid.substr(0, 2) + (gen.Below(2) ? "01" : "99") + valid.substr(4));
  out.push_back(valid.substr(0, 2) + "A" + valid.substr(3));
  return out;
}

struct IbanCase {
  std::string original;
  std::string checked;  // our text after CheckIban
  int16_t result;
  size_t answer;
  size_t belgian_answer;
};

TEST(StdnumCrossCheck, IbansAccountsAndCreditorIdentifiers) {
  if (!StdnumPresent()) GTEST_SKIP() << "python3-stdnum is not installed";
  Stdnum stdnum;
  Generator gen(19143);
  const size_t layouts_answer = stdnum.Ask("layouts", "");

  std::vector<IbanCase> ibans;
  for (const IbanLayout& layout : IbanLayoutTable) {
    for (int base = 0; base < 8; ++base) {
      std::string bban = gen.Bban(layout.bban);
      if (base % 2 == 0) bban = NationallyValid(layout.country, bban, gen);
      for (const std::string& candidate : Variants(Completed(layout.country, bban), gen)) {
        IbanCase c{candidate, candidate, 0, 0, 0};
        c.result = CheckIban(c.checked);
        // Steps before normalisation leave the text as it was.
        c.answer = stdnum.Ask("iban", TrimRight(c.checked));
        if (layout.country == "BE") c.belgian_answer = stdnum.Ask("be", c.checked.substr(4, 10));
        ibans.push_back(c);
      }
    }
  }
  for (const char* unknown : {"XX82000000001", "US12345678901234", "ZZ00ABC"}) {
    IbanCase c{unknown, unknown, 0, 0, 0};
    c.result = CheckIban(c.checked);
    c.answer = stdnum.Ask("iban", c.checked);
    ibans.push_back(c);
  }

  struct CccCase {
    std::string ccc;
    int16_t result;
    size_t answer;
  };
  std::vector<CccCase> accounts;
  for (int i = 0; i < 400; ++i) {
    std::string ccc;
    for (int d = 0; d < 20; ++d) ccc += gen.Digit();
    if (i % 2 == 0) ccc.replace(8, 2, SpanishControlDigits(ccc));
    if (i % 8 == 1) ccc.replace(0, 8, "00000000");
    std::string iban = "ES00" + ccc;
    accounts.push_back({ccc, CheckIban(iban), stdnum.Ask("ccc", ccc)});
  }

  struct CreditorCase {
    std::string nif;
    std::string completed;
    size_t answer;
  };
  std::vector<CreditorCase> creditors;
  for (int i = 0; i < 300; ++i) {
    std::string nif;
    switch (i % 3) {
      case 0:  // a person: eight digits and a letter
        for (int d = 0; d < 8; ++d) nif += gen.Digit();
        nif += gen.Letter();
        break;
      case 1:  // a company: a letter and eight digits
        nif += gen.Letter();
        for (int d = 0; d < 8; ++d) nif += gen.Digit();
        break;
      default:  // a foreigner, in lower case now and then
        nif += static_cast<char>(gen.Below(2) ? 'X' : 'y');
        for (int d = 0; d < 7; ++d) nif += gen.Digit();
        nif += static_cast<char>(gen.Below(2) ? gen.Letter() : 'k');
    }
    std::string id = "ES00" + nif;
    CheckIban(id);  // the result is not used for identifiers
    // Written with a creditor suffix after the check digits.
    std::string written = id.substr(0, 4) + "000" + id.substr(4);
    creditors.push_back({nif, id, stdnum.Ask("ci", written)});
  }

  std::vector<std::string> answers;
  ASSERT_TRUE(stdnum.Run(answers)) << "the stdnum script failed";

  // Our country table agrees with stdnum's registry, class by class, for
  // every one of our countries (EE and FI group their digits differently).
  std::map<std::string, std::string> registry;
  std::stringstream entries(answers[layouts_answer]);
  std::string entry;
  while (entries >> entry) registry[entry.substr(0, 2)] = entry.substr(3);
  for (const IbanLayout& layout : IbanLayoutTable) {
    EXPECT_EQ(Classes(layout.bban), registry[std::string(layout.country)]) << layout.country;
  }

  const std::set<std::string> national_only_ours = {"FR", "PT", "NL"};
  int compared_verdicts = 0;
  for (const IbanCase& c : ibans) {
    const std::vector<std::string> a = Fields(answers[c.answer]);
    ASSERT_EQ(a.size(), 6u) << answers[c.answer];
    const std::string compact = a[0];
    const bool matches = a[1] == "1", mod = a[2] == "1", plain_valid = a[4] == "1",
               full_valid = a[5] == "1";
    const std::string country = Upper(c.original.substr(0, 2));
    const std::string label = "input " + Hex(c.original) + " ours " + c.checked;

    if (FindIbanLayout(country) == nullptr) {
      EXPECT_EQ(c.result, 1) << label;
      EXPECT_FALSE(full_valid) << label;
      continue;
    }
    // stdnum does not insist on digits in positions 3 and 4; we do.
    if (c.result == 2 && !(c.original[2] >= '0' && c.original[2] <= '9' &&
                           c.original[3] >= '0' && c.original[3] <= '9')) {
      continue;
    }
    const std::string bban = TrimRight(c.checked.substr(4));
    if (bban.find_first_not_of('0') == std::string::npos) continue;  // no account: ours is 0

    // Separators: stdnum's compact form removes blanks, hyphens and dots
    // and upper-cases; ours removes every separator and keeps the case.
    EXPECT_EQ(Upper(TrimRight(c.checked)), compact) << label;
    EXPECT_EQ(MatchesLayout(FindIbanLayout(country)->bban, bban), matches) << label;

    const std::string given = c.original.substr(2, 2);
    if (given == "00") {
      EXPECT_EQ(c.checked.substr(2, 2), a[3]) << label;
      EXPECT_TRUE(mod) << label;
    } else if (given == "01" || given == "99") {
      // 01 and 99 satisfy mod 97 like 98 and 02, but IBAN check digits run
      // from 02 to 98 only: ours refuses them.
      EXPECT_EQ(c.result, 2) << label;
      continue;
    } else {
      EXPECT_EQ(c.result == 2, !mod) << label;
    }

    if (country == "BE") {
      // stdnum also wants the bank in its registry of Belgian banks, and
      // never takes 00 for a remainder of 0; ours keeps taking it.
      const std::string belgian = answers[c.belgian_answer];
      if (belgian == "97" && bban.size() == 12 && bban.substr(10) == "00") continue;
      bool national_ok = bban.size() >= 12 && bban.substr(10, 2) == belgian;
      EXPECT_EQ(c.result == 0, plain_valid && national_ok) << label;
    } else if (country == "NO") {
      // stdnum checks Norwegian account numbers; ours has no such check.
      EXPECT_EQ(c.result == 0, plain_valid) << label;
    } else if (national_only_ours.count(country)) {
      // National checks stdnum lacks: ours can only be stricter.
      if (c.result == 0) {
        EXPECT_TRUE(plain_valid) << label;
      }
      if (matches && mod) {
        EXPECT_TRUE(c.result == 0 || c.result == -1) << label;
      }
    } else {
      EXPECT_EQ(c.result == 0, full_valid) << label;  // ES with its CCC check
    }
    ++compared_verdicts;
  }
  EXPECT_GT(compared_verdicts, 35 * 8 * 10);

  int valid_accounts = 0;
  for (const CccCase& c : accounts) {
    const std::vector<std::string> a = Fields(answers[c.answer]);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(SpanishControlDigits(c.ccc), a[0]) << c.ccc;
    if (c.ccc.find_first_not_of('0') == std::string::npos) continue;
    EXPECT_EQ(c.result == 0, a[1] == "1") << c.ccc;
    EXPECT_TRUE(c.result == 0 || c.result == -1) << c.ccc;
    valid_accounts += c.result == 0;
  }
  EXPECT_GT(valid_accounts, 150);

  for (const CreditorCase& c : creditors) {
    const std::vector<std::string> a = Fields(answers[c.answer]);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(c.completed.substr(2, 2), a[0]) << c.nif;
    EXPECT_EQ(a[1], "1") << c.nif;
    EXPECT_EQ(c.completed.substr(4), c.nif);
  }
}

}  // namespace
}  // namespace bank
