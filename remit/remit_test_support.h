// A scratch installation for the generation's tests: a root with the record
// dictionaries of the installation template, TrasBanc and TRemeses open,
// the installation data of a presenter, a work directory, a fixed clock and
// file names drawn from a known sequence.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "db/records.h"
#include "env/installation.h"
#include "env/session.h"
#include "files/locks.h"
#include "platform/fs/paths.h"
#include "remit/generation.h"
#include "remit/test_helpers/receipt_fixture.h"
#include "util/dates.h"

namespace remit::testing {

class GenerationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qdeb_remit_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    host_ = std::filesystem::canonical(pattern).string();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::create_directories(host_ + "/root/ddf");
    std::filesystem::create_directories(host_ + "/root/DADES");
    std::filesystem::create_directories(host_ + "/work");
    for (const char* name : {"TrasBanc.xdf", "TRemeses.xdf"}) {
      std::filesystem::copy_file(std::string(QDEB_SOURCE_DIR) + "/install/ddf/" + name,
                                 host_ + "/root/ddf/" + name);
    }
    Put("root/Vela.ini",
        "[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\nDada7=B12345678\r\n");
    std::filesystem::current_path(host_ + "/root");
    env::RootDir = platform::fs::ProgramPath(host_ + "/root") + "\\";
    env::WorkDir = platform::fs::ProgramPath(host_ + "/work") + "\\";
    env::WorkDate = util::PackDigits("20260115");
    env::LanguageCode = "CAT";
    env::MenuName = "MENU";
    env::LoadInstallationData();
    ASSERT_EQ(OpenGenerationFiles(&trasbanc_, &remeses_), 0);
    Hooks.file_name = [this] { return "AAAAAAA" + std::to_string(++names_); };
    Hooks.clock = [] {
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
    CollectionDate = util::PackDigits("20260201");
    RangeFrom = util::PackDigits("0001");
    RangeTo = util::PackDigits("0004");
    ReturnMenu = "MENU";
  }

  void TearDown() override {
    int16_t status = 0;
    db::CloseAllRecordFiles(status);
    Hooks = {};
    files::Hooks = {};
    db::Hooks = {};
    std::filesystem::current_path(old_cwd_);
    std::error_code ec;
    std::filesystem::remove_all(host_, ec);
  }

  void Put(const std::string& relative, const std::string& bytes) const {
    std::ofstream(host_ + "/" + relative, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& relative) const {
    std::ifstream in(host_ + "/" + relative, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  std::string Csb(const std::string& name) const { return "root/CSB/" + name; }
  // The names in the output directory.
  std::set<std::string> OutputNames() const {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(host_ + "/root/CSB", ec)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  // The program path of a file in the output directory.
  std::string OutputPath(const std::string& name) const {
    return platform::fs::ProgramPath(host_ + "/root/CSB") + "\\" + name;
  }

  static void Add(const RemittanceFields& r) { ASSERT_EQ(Insert(kRemesesFile, r.Record()), 0); }
  static void Add(const ReceiptFields& r) { ASSERT_EQ(Insert(kTrasBancFile, r.Record()), 0); }
  // Whether a receipt is still in TrasBanc.
  static bool Waiting(const ReceiptFields& r) {
    int16_t status = 0;
    db::GetByKey(kTrasBancFile, 0, r.Record().substr(0, 11), 0, status);
    return status == 0;
  }

  std::string host_;
  std::filesystem::path old_cwd_;
  std::string trasbanc_;
  std::string remeses_;
  int names_ = 0;
};

}  // namespace remit::testing
