// The process-wide settings of env/ back to what they are when the program
// starts, for tests and for a fresh start.
#pragma once

namespace env {

// Every setting of session.h empty (session.OperatorType 0, session.ColourTable all 0),
// session.LanguageFileId, session.DateSeparator, session.DateOrder and the program identifier
// empty, the installation data blank (texts of blanks, numbers 255) and not
// loaded, so that the next LoadSessionSettings loads it again.
void ResetSession();

namespace internal {
// The parts of ResetSession kept inside their own files.
void ForgetInstallationData();
void ForgetSessionLoaded();
}  // namespace internal

}  // namespace env
