#include "remit/verification.h"

#include <cstdint>
#include <algorithm>
#include <string>

#include "env/file_error.h"
#include "env/language.h"
#include "files/drives.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/screen.h"
#include "remit/verification_check.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/numbers.h"

namespace remit {

namespace {

// Volumes are read in blocks of whole records: a set of a hundred thousand
// records should not cost a read each.
constexpr size_t kBlock = 4096 * kCsb19RecordLength;

std::string VolumeNumber(int32_t volume) {
  std::string digits = std::to_string(volume);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

// Asks for the volume until its file is on the drive and opens; false when
// the operator gives up with Escape.
bool OpenVolume(std::string_view drive, int32_t volume, platform::fs::File& file,
                std::string& path) {
  path = std::string(drive) + "\\backup." + VolumeNumber(volume);
  for (;;) {
    const int16_t key =
        ui::TellOperator(env::TranslateText(util::Cp850("INSERIU CÒPIA DE SEGURETAT NÚMERO ")) +
                         std::to_string(volume) + env::TranslateText(util::Cp850(" A ")) +
                         std::string(drive));
    if (key == 27) return false;
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
    ui::TellOperator(env::LastFileErrorText());
  }
}

class SetReader {
 public:
  explicit SetReader(ProgressWindow& window) : window_(window) {}

  // Checks the records of one volume; the start of a record cut by the
  // volume's end waits for the next volume. False when a read failed.
  bool ReadVolume(platform::fs::File& file, const std::string& path) {
    window_.ShowAt(47, util::UpperCase(path));
    const int64_t size = file.Size();
    int64_t position = 0;
    std::string block;
    for (;;) {
      block.resize(kBlock);
      const int64_t got = file.ReadAt(position, block.data(), block.size());
      if (got < 0) return false;
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
          Check(record, size - position + static_cast<int64_t>(block.size() - used));
        }
      }
      while (block.size() - used >= kCsb19RecordLength) {
        used += kCsb19RecordLength;
        Check(std::string_view(block).substr(used - kCsb19RecordLength, kCsb19RecordLength),
              size - position + static_cast<int64_t>(block.size() - used));
      }
      carry_.append(block, used, std::string::npos);
      if (got == 0) return true;
    }
  }

  bool finished() const { return checker_.finished(); }

 private:
  void Check(std::string_view record, int64_t bytes_left) {
    window_.ShowAt(64, util::FormatNumber("Z,ZZZ,ZZZ,ZZ9", static_cast<double>(bytes_left)));
    ++records_read_;
    checker_.Check(record, records_read_);
  }

  ProgressWindow& window_;
  RecordChecker checker_;
  std::string carry_;
  double records_read_ = 0;
};

}  // namespace

VerificationEnd VerifyReceiptDiskette(std::string_view drive) {
  ProgressWindow window;
  window.Open(env::TranslateText(util::Cp850(" VERIFICANT ")), 1);
  SetReader reader(window);
  VerificationEnd end = VerificationEnd::kRead;
  for (int32_t volume = 1; !reader.finished(); ++volume) {
    platform::fs::File file;
    std::string path;
    if (!OpenVolume(drive, volume, file, path)) {
      end = VerificationEnd::kCancelled;
      break;
    }
    if (!reader.ReadVolume(file, path)) {
      ui::TellOperator(env::LastFileErrorText());
      end = VerificationEnd::kFailed;
      break;
    }
  }
  window.Close();
  return end;
}

}  // namespace remit
