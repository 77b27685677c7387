#include "env/file_error.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "env/session.h"
#include "env/test_dir.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/cp850.h"

namespace env {
namespace {

namespace fs = platform::fs;

TEST(FileErrorTest, WhatWhereAndWhyInTheOperatorsWords) {
  session.LanguageCode = "CAT";
  testing::TestDir dir;
  const std::string program_dir = fs::ProgramPath(dir.Dir());
  fs::ClearFileError();
  EXPECT_EQ(LastFileErrorText(), "");

  // Failures met for real: a folder read as a file, a missing file removed.
  std::string content;
  EXPECT_NE(fs::ReadWholeFile(dir.Dir(), &content), 0);
  EXPECT_EQ(LastFileErrorText(), util::Cp850("NO ES POT LLEGIR ") + fs::ProgramPath(dir.Dir()) +
                                     util::Cp850(": ÉS UNA CARPETA"));
  EXPECT_NE(fs::RemoveFile(dir.File("R0.E19")), 0);
  EXPECT_EQ(LastFileErrorText(),
            "NO ES POT ESBORRAR " + fs::ProgramPath(dir.File("R0.E19")) + ": NO EXISTEIX");

  // A device is no file to write.
  fs::File full;
  EXPECT_NE(full.Open("/dev/full", fs::File::kReadWrite, false), 0);
  EXPECT_EQ(LastFileErrorText(), util::Cp850("NO ES POT OBRIR C:\\dev\\full: NO ÉS UN FITXER"));

  // The others a generation or a backup meets, and a reason without words
  // of our own, which keeps the system's.
  struct Case {
    fs::FileOperation operation;
    int host_errno;
    std::string ends;
  };
  for (const Case& c : {Case{fs::FileOperation::kWrite, ENOSPC, ": DISC PLE"},
                        Case{fs::FileOperation::kWrite, EFBIG, ": FITXER MASSA GRAN"},
                        Case{fs::FileOperation::kFlush, EIO, ": ERROR DEL SUPORT"},
                        Case{fs::FileOperation::kCreate, EROFS, ": UNITAT PROTEGIDA CONTRA ESCRIPTURA"},
                        Case{fs::FileOperation::kReplace, ELOOP, ": Too many levels of symbolic links"}}) {
    fs::NoteFileError(c.operation, dir.File("R0.E19"), c.host_errno);
    const std::string text = LastFileErrorText();
    EXPECT_NE(text.find(program_dir), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(util::Cp850(c.ends))) << text;
  }
}

TEST(FileErrorTest, AFailedTranslationDoesNotChangeTheFailureTold) {
  testing::TestDir dir;
  const std::string saved_root = session.RootDir;
  const std::string saved_language = session.LanguageCode;
  // A language whose file cannot even be created: each translation fails.
  session.RootDir = dir.Dir() + "NO_SUCH_FOLDER/";
  session.LanguageCode = "SPA";
  fs::NoteFileError(fs::FileOperation::kWrite, dir.File("R0.E19"), EFBIG);
  const std::string text = LastFileErrorText();
  session.RootDir = saved_root;
  session.LanguageCode = saved_language;
  EXPECT_EQ(text, "NO ES POT ESCRIURE " + fs::ProgramPath(dir.File("R0.E19")) + ": FITXER MASSA GRAN");
}

}  // namespace
}  // namespace env
