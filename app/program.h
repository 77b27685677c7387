// The program: start-up, the main loop over the main form and its three
// operations, and the end.
#pragma once

#include <cstdint>
#include <string>

#include "env/status.h"
#include "remit/generation.h"

namespace app {

inline constexpr char kProgramId[] = "QDEBCONV";
inline constexpr int16_t kUSortFile = 146;

// Forms of the form file.
inline constexpr int16_t kMainForm = 1;
inline constexpr int16_t kGenerationForm = 2;
inline constexpr int16_t kCopyForm = 3;
inline constexpr int16_t kReportForm = 4;
inline constexpr int16_t kConfirmForm = 5;

// The operator's choices on the forms, kept while the program runs: a form
// accepted now fills what a later form and the operation read. One per run.
struct ProgramChoices {
  // The choices of the forms, copied in when a form is accepted.
  std::string Operation{};       // form 1: "G", "T" or the report's letter
  std::string SourceDrive{};     // form 3: "C:"
  std::string SourceDirectory{}; // form 3: "\KIT\CSB\"
  std::string SourceFile{};      // form 3
  std::string TargetDrive{};     // form 3: "A:"
  std::string ReportOutput{};    // form 4: "P" screen, "I" printer
  std::string ReportDrive{};     // form 4: "A:"
  // Form 2: the collection date and the range of remittances; the program
  // adds the menu to return to when it asks for the generation.
  remit::GenerationRequest GenerationSelection{};

  // Remittance numbers of three digits (and the range to "999") instead of
  // two: the presenter identifier is the office's fixed one.
  bool WideRange{};
};
extern ProgramChoices program_choices;

// The whole program; the exit status.
int Main();

// The steps of the start-up that the tests run one by one. Each gives ok,
// or why the program cannot go on: the form file missing (kNotFound),
// unreadable (kFileError) or damaged (kBadData), with its path in the
// words; a record file that cannot be opened, in the words the operator is
// told (db::RecordStatus).
env::Status LoadFormFile();
void SetFormDefaults();
env::Status OpenRecordFiles();

// The main loop: returns when the operator leaves the main form.
void RunMainLoop();

// Back to the start-up state (for tests).
void ResetProgram();

}  // namespace app
