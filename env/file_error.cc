#include "env/file_error.h"

#include "env/language.h"
#include "platform/fs/paths.h"
#include "util/cp850.h"

namespace env {
namespace {

using platform::fs::FileFailure;
using platform::fs::FileOperation;

const char* OperationWords(FileOperation operation) {
  switch (operation) {
    case FileOperation::kNone: break;
    case FileOperation::kOpen: return "NO ES POT OBRIR";
    case FileOperation::kCreate: return "NO ES POT CREAR";
    case FileOperation::kRead: return "NO ES POT LLEGIR";
    case FileOperation::kWrite: return "NO ES POT ESCRIURE";
    case FileOperation::kFlush: return "NO ES POT DESAR AL DISC";
    case FileOperation::kResize: return "NO ES POT CANVIAR LA MIDA DE";
    case FileOperation::kReplace: return "NO ES POT REEMPLAÇAR";
    case FileOperation::kRemove: return "NO ES POT ESBORRAR";
    case FileOperation::kMakeDirectory: return "NO ES POT CREAR LA CARPETA";
    case FileOperation::kList: return "NO ES POT LLEGIR LA CARPETA";
  }
  return "";
}

// Empty for a failure that has no words of its own: the system's are used.
const char* FailureWords(FileFailure failure) {
  switch (failure) {
    case FileFailure::kNone:
    case FileFailure::kOther: break;
    case FileFailure::kNotFound: return "NO EXISTEIX";
    case FileFailure::kDenied: return "ACCÉS DENEGAT";
    case FileFailure::kReadOnlyMedium: return "UNITAT PROTEGIDA CONTRA ESCRIPTURA";
    case FileFailure::kNoSpace: return "DISC PLE";
    case FileFailure::kTooLarge: return "FITXER MASSA GRAN";
    case FileFailure::kIsDirectory: return "ÉS UNA CARPETA";
    case FileFailure::kNotRegular: return "NO ÉS UN FITXER";
    case FileFailure::kNotDirectory: return "NO ÉS UNA CARPETA";
    case FileFailure::kLink: return "ÉS UN ENLLAÇ A UN ALTRE LLOC";
    case FileFailure::kExists: return "JA EXISTEIX";
    case FileFailure::kBusy: return "EN ÚS PER UN ALTRE PROGRAMA";
    case FileFailure::kBadName: return "NOM NO VÀLID";
    case FileFailure::kInputOutput: return "ERROR DEL SUPORT";
  }
  return "";
}

}  // namespace

std::string FileErrorText(const platform::fs::FileError& error) {
  if (error.operation == FileOperation::kNone) return {};
  std::string text = TranslateText(util::Cp850(OperationWords(error.operation))) + " " +
                     platform::fs::ProgramPath(error.host_path);
  const std::string failure = FailureWords(error.failure);
  const std::string reason =
      failure.empty() ? util::Utf8ToCp850(error.reason) : TranslateText(util::Cp850(failure));
  if (!reason.empty()) text += ": " + reason;
  return text;
}

std::string LastFileErrorText() {
  // A copy: the translation may open the language file, and a failure
  // there would overwrite the failure being told while it is worded.
  const platform::fs::FileError error = platform::fs::LastFileError();
  return FileErrorText(error);
}

}  // namespace env
