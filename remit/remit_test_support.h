// A scratch installation for the generation's tests: a root with the record
// dictionaries of the installation template, TrasBanc and TRemeses open,
// the installation data of a presenter, a work directory, a fixed clock and
// file names drawn from a known sequence. Every test starts and ends with
// the whole program's state reset.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "db/records.h"
#include "env/installation.h"
#include "env/session.h"
#include "remit/generation.h"
#include "remit/test_helpers/recording_operator.h"
#include "remit/test_helpers/receipt_fixture.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/dates.h"

namespace remit::testing {

class GenerationTest : public qdeb::testing::FreshStateTest {
 protected:
  GenerationTest() : dir_("qdeb_remit"), cwd_(Root(dir_)) {}
  // Every record file closed before the directory goes.
  ~GenerationTest() override { qdeb::testing::ResetAllState(); }

  void SetUp() override {
    for (const char* name : {"TrasBanc.xdf", "TRemeses.xdf", "TGenerat.xdf"}) {
      dir_.Put(std::string("root/ddf/") + name,
               qdeb::testing::ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/install/ddf/" + name));
    }
    dir_.MakeDir("root/DADES");
    dir_.MakeDir("work");
    Put("root/Vela.ini", "[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\nDada7=B12345678\r\n");
    env::session.RootDir = dir_.Dos("root") + "\\";
    env::session.WorkDir = dir_.Dos("work") + "\\";
    env::session.WorkDate = util::PackDigits("20260115");
    env::session.LanguageCode = "CAT";
    env::session.MenuName = "MENU";
    env::LoadInstallationData();
    ASSERT_EQ(OpenGenerationFiles(&trasbanc_, &remeses_), 0);
    request_.file_name = [this] { return "AAAAAAA" + std::to_string(++names_); };
    request_.clock = [] {
      platform::LocalTime t;
      t.year = 2026;
      t.month = 1;
      t.day = 15;
      t.hour = 12;
      t.minute = 34;
      t.second = 56;
      t.hundredths = 78;
      return t;
    };
    request_.collection_date = util::PackDigits("20260201");
    request_.range_from = util::PackDigits("0001");
    request_.range_to = util::PackDigits("0004");
    request_.return_menu = "MENU";
  }

  // The generation and the recovery of the request above, told to op_.
  GenerationReport Generate() { return GenerateCuaderno19(request_, op_); }
  GenerationReport Recover() {
    return RecoverInterruptedGeneration({request_.return_menu, request_.file_name}, op_);
  }

  void Put(const std::string& relative, const std::string& bytes) const { dir_.Put(relative, bytes); }
  std::string Get(const std::string& relative) const { return dir_.Get(relative); }
  std::string Host(const std::string& relative) const { return dir_.Host(relative); }
  static std::string Csb(const std::string& name) { return "root/CSB/" + name; }
  // The names in the output directory.
  std::set<std::string> OutputNames() const {
    const std::vector<std::string> names = dir_.Names("root/CSB");
    return std::set<std::string>(names.begin(), names.end());
  }
  // The program path of a file in the output directory.
  std::string OutputPath(const std::string& name) const { return dir_.Dos("root/CSB/" + name); }

  static void Add(const RemittanceFields& r) { ASSERT_EQ(Insert(kRemesesFile, r.Record()), 0); }
  static void Add(const ReceiptFields& r) { ASSERT_EQ(Insert(kTrasBancFile, r.Record()), 0); }
  // Whether a receipt is still in TrasBanc.
  static bool Waiting(const ReceiptFields& r) {
    int16_t status = 0;
    db::GetByKey(kTrasBancFile, 0, r.Record().substr(0, 11), 0, status);
    return status == 0;
  }

  static std::string Root(const qdeb::testing::ScratchDir& dir) {
    dir.MakeDir("root");
    return dir.Host("root");
  }

  qdeb::testing::ScratchDir dir_;
  qdeb::testing::ScopedWorkingDirectory cwd_;
  std::string trasbanc_;
  std::string remeses_;
  int names_ = 0;
  GenerationRequest request_;
  RecordingOperator op_;
};

}  // namespace remit::testing
