#include "remit/verification.h"

#include <cstdint>
#include <algorithm>
#include <string>

#include "env/file_error.h"
#include "env/language.h"
#include "files/drives.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/verification_check.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/numbers.h"

namespace remit {

namespace {

// Volumes are read in blocks of whole records: a set of a hundred thousand
// records should not cost a read each.
constexpr size_t kBlock = 4096 * kCsb19RecordLength;
// A volume that is not a remittance at all (a disk of zeros, another file)
// gives an error line per record: every so many of them in one volume the
// operator is asked whether to go on, rather than filling the spool with
// millions of lines.
constexpr int64_t kErrorsBeforeAsking = 1000;

enum class VolumeRead { kEnd, kFailed, kStopped };

std::string VolumeNumber(int32_t volume) {
  std::string digits = std::to_string(volume);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

// Asks for the volume until its file is on the drive and opens; false when
// the operator gives up with Escape.
bool OpenVolume(Operator& op, std::string_view drive, int32_t volume, platform::fs::File& file,
                std::string& path) {
  path = std::string(drive) + "\\backup." + VolumeNumber(volume);
  for (;;) {
    if (!op.Ask(env::TranslateText(util::Cp850("INSERIU CÒPIA DE SEGURETAT NÚMERO ")) +
                std::to_string(volume) + env::TranslateText(util::Cp850(" A ")) + std::string(drive))) {
      return false;
    }
    if (!files::DrivePresent(drive)) continue;
    // Whatever its attributes, a plain file there is the volume. Anything
    // else of that name (a folder, a pipe, which the open never waits on)
    // or a file that cannot be read is told with its reason, rather than
    // asking for the same volume without a word; only a name with nothing
    // there asks again.
    platform::fs::ClearFileError();
    const int error = file.Open(platform::fs::HostPath(path), platform::fs::File::kRead, false);
    if (error == 0) return true;
    if (error == platform::fs::kErrorFileNotFound || error == platform::fs::kErrorPathNotFound) continue;
    op.Tell(env::LastFileErrorText());
  }
}

class SetReader {
 public:
  explicit SetReader(Operator& op) : op_(op) {}

  // Checks the records of one volume; the start of a record cut by the
  // volume's end waits for the next volume.
  VolumeRead ReadVolume(platform::fs::File& file, const std::string& path) {
    op_.Progress(47, util::UpperCase(path));
    const int64_t size = file.Size();
    volume_errors_from_ = checker_.error_lines();
    next_question_ = volume_errors_from_ + kErrorsBeforeAsking;
    int64_t position = 0;
    std::string block;
    for (;;) {
      block.resize(kBlock);
      const int64_t got = file.ReadAt(position, block.data(), block.size());
      if (got < 0) return VolumeRead::kFailed;
      position += got;
      block.resize(static_cast<size_t>(got));
      size_t used = 0;
      if (!carry_.empty()) {
        const size_t take = std::min(kCsb19RecordLength - carry_.size(), block.size());
        carry_.append(block, 0, take);
        used = take;
        if (carry_.size() == kCsb19RecordLength) {
          const std::string record = std::move(carry_);
          carry_.clear();
          if (!Check(record, size - position + static_cast<int64_t>(block.size() - used))) {
            return VolumeRead::kStopped;
          }
        }
      }
      while (block.size() - used >= kCsb19RecordLength) {
        used += kCsb19RecordLength;
        if (!Check(std::string_view(block).substr(used - kCsb19RecordLength, kCsb19RecordLength),
                   size - position + static_cast<int64_t>(block.size() - used))) {
          return VolumeRead::kStopped;
        }
      }
      carry_.append(block, used, std::string::npos);
      if (got == 0) return VolumeRead::kEnd;
    }
  }

  bool finished() const { return checker_.finished(); }
  int64_t records_read() const { return static_cast<int64_t>(records_read_); }

 private:
  // False when the operator stopped the verification after it.
  bool Check(std::string_view record, int64_t bytes_left) {
    op_.Progress(64, util::FormatNumber("Z,ZZZ,ZZZ,ZZ9", static_cast<double>(bytes_left)));
    ++records_read_;
    checker_.Check(record, records_read_);
    if (checker_.error_lines() < next_question_) return true;
    next_question_ = checker_.error_lines() + kErrorsBeforeAsking;
    if (AskToGoOn()) return true;
    constexpr auto kLength = static_cast<int64_t>(kCsb19RecordLength);
    const int64_t records_left = (bytes_left + kLength - 1) / kLength;  // a cut one counts
    checker_.report().StoppedLine(records_left, !checker_.finished());
    return false;
  }

  // Escape stops, as at the volume prompts; any other key goes on.
  bool AskToGoOn() {
    const double errors = static_cast<double>(checker_.error_lines() - volume_errors_from_);
    return op_.Ask(env::TranslateText(util::Cp850("JA HI HA ")) +
                   std::string(util::Trim(util::FormatNumber("Z,ZZZ,ZZZ,ZZ9", errors))) +
                   env::TranslateText(util::Cp850(" ERRORS EN AQUEST VOLUM. CONTINUAR? (Esc: ATURAR)")));
  }

  Operator& op_;
  RecordChecker checker_;
  std::string carry_;
  double records_read_ = 0;
  int64_t volume_errors_from_ = 0;                // error lines before this volume
  int64_t next_question_ = kErrorsBeforeAsking;  // error lines at which to ask
};

}  // namespace

VerificationRunReport VerifyReceiptDiskette(const VerificationRequest& request, Operator& op) {
  op.OpenProgress(env::TranslateText(util::Cp850(" VERIFICANT ")), 1);
  SetReader reader(op);
  VerificationRunReport report;
  for (int32_t volume = 1; !reader.finished(); ++volume) {
    platform::fs::File file;
    std::string path;
    if (!OpenVolume(op, request.drive, volume, file, path)) {
      report.end = VerificationEnd::kCancelled;
      break;
    }
    report.volumes = volume;
    const VolumeRead read = reader.ReadVolume(file, path);
    if (read == VolumeRead::kStopped) {
      report.end = VerificationEnd::kCancelled;
      break;
    }
    if (read == VolumeRead::kFailed) {
      // A copy: wording the failure may note another.
      const platform::fs::FileError error = platform::fs::LastFileError();
      const std::string text = env::FileErrorText(error);
      const env::Status noted = env::FileStatus(error);
      report.status = noted.ok() ? env::Status(env::Code::kFileError, text, path) : noted;
      op.Tell(text);
      report.end = VerificationEnd::kFailed;
      break;
    }
  }
  report.records = reader.records_read();
  op.CloseProgress();
  return report;
}

}  // namespace remit
