#include "remit/catalogue.h"

#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "db/records.h"
#include "env/file_error.h"
#include "env/language.h"
#include "env/session.h"
#include "files/drives.h"
#include "files/listing.h"
#include "files/paths.h"
#include "platform/fs/drives.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/remittance_summary.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace remit {

namespace fs = platform::fs;

namespace {

constexpr int16_t kDirectoryAttribute = 0x10;
constexpr int16_t kPlainFileAttribute = 0x20;
constexpr std::string_view kListingName = "DIR.TMP";
constexpr std::string_view kColumnPicture = "Z,ZZZ,ZZZ,ZZ9";
constexpr size_t kInvertedDateWidth = 8;

// listings.ListAttributes as it was, back on every way out.
class ListAttributesKept {
 public:
  explicit ListAttributesKept(int16_t wanted) : saved_(files::listings.ListAttributes) {
    files::listings.ListAttributes = wanted;
  }
  ~ListAttributesKept() { files::listings.ListAttributes = saved_; }
  ListAttributesKept(const ListAttributesKept&) = delete;
  ListAttributesKept& operator=(const ListAttributesKept&) = delete;

 private:
  int16_t saved_;
};

// The line of the record just handled, on the row inside the frame of the
// three-row search window, blank-padded so that no longer line before it
// shows through (the operator's window keeps a directory of thousands of
// files from being slowed by the screen).
class Progress {
 public:
  Progress(Operator& op, size_t width) : op_(op), width_(width) {}

  void Show(const std::string& line) {
    std::string shown = line.substr(0, std::min(line.size(), width_));
    shown.resize(width_, ' ');
    op_.Progress(1, shown);
  }

 private:
  Operator& op_;
  size_t width_;
};

std::string Padded(std::string_view text, size_t width) {
  std::string padded(text.substr(0, width));
  padded.resize(width, ' ');
  return padded;
}

std::string CataloguePath() { return env::session.WorkDir + "USort"; }

// Key and line into the buffer registered for the catalogue, and the insert;
// the record manager's status. Whether two records of one key are both kept
// is the file's own rule.
int16_t Insert(const std::string& key, const std::string& line) {
  std::string* buffer = db::RecordBuffer(kCatalogueFile);
  if (buffer == nullptr) return platform::recman::kFileNotOpen;
  std::string record = util::BlankRecord(catalogue_record::kLayout);
  util::PutField(record, catalogue_record::kKey, key);
  util::PutField(record, catalogue_record::kLine, line);
  *buffer = std::move(record);
  int16_t status = 0;
  db::InsertRecord(kCatalogueFile, status);
  return status;
}

// The first refusal of the record file, into the report.
void Refused(CatalogueReport& report, int16_t status) {
  if (report.status.ok()) report.status = db::RecordStatus(CataloguePath(), status);
}

struct Entry {
  std::string key;
  std::string line;
};

// The records of one operation are gathered first and inserted together in
// one transaction: one commit instead of one per record (for a directory of
// thousands of files, a moment instead of a long wait), and the files the
// transaction holds, shared with the other terminals, are held only for the
// inserts, never while directories are walked or files read. Inside a
// transaction the caller already holds, the records simply join it.
void InsertAll(const std::vector<Entry>& entries, CatalogueReport& report) {
  if (entries.empty() || db::RecordBuffer(kCatalogueFile) == nullptr) return;
  int16_t status = 0;
  db::BeginTransaction(status);
  const bool began = status == 0;
  for (const Entry& entry : entries) {
    status = Insert(entry.key, entry.line);
    if (status == 0) {
      ++report.added;
    } else if (status != platform::recman::kDuplicateKey) {
      Refused(report, status);
    }
  }
  if (!began) return;
  db::EndTransaction(status);
  if (status != 0) Refused(report, status);
}

// The directories already catalogued in this walk, by what they are on the
// disk rather than by the path that reached them.
using Visited = std::set<std::pair<uint64_t, uint64_t>>;

struct Walk {
  std::string drive_dir;  // where the drive's folder really is ("" when unknown)
  Visited visited;
  std::vector<std::string> failures;
};

// Whether the directory, its links resolved, lies in the drive's folder: a
// link to a folder elsewhere (the host's root through /proc/self/root, a
// colleague's home) would show the drive holding what it does not. Links
// that stay inside the drive are followed.
bool InsideDrive(const std::string& host_dir, const std::string& drive_dir) {
  if (drive_dir.empty() || drive_dir == "/") return true;
  const std::string resolved = fs::ResolvedPath(host_dir);
  return resolved == drive_dir || resolved.starts_with(drive_dir + "/");
}

// The failure platform/fs noted for the directory, in the operator's words.
std::string FailureText(const std::string& directory) {
  const std::string text = env::LastFileErrorText();
  if (!text.empty() && !fs::LastFileError().host_path.empty()) return text;
  return env::TranslateText(util::Cp850("NO ES POT LLEGIR LA CARPETA")) + " " + directory;
}

void CatalogueTree(const std::string& directory, Walk& walk, Progress& progress,
                   std::vector<Entry>& entries) {
  // "D" and the path must fit in the key: a longer path could be neither
  // shown nor picked, nor could anything under it.
  if (directory.size() + 1 > kCatalogueKeyWidth) return;
  const std::string host = fs::HostPath(directory);
  uint64_t device = 0;
  uint64_t inode = 0;
  // A directory gone since its parent was listed is not catalogued.
  if (!fs::EntryIdentity(host, &device, &inode)) return;
  if (!InsideDrive(host, walk.drive_dir)) return;
  if (!walk.visited.insert({device, inode}).second) return;
  // /proc and its kind hold nothing of the office, and never end.
  if (fs::IsKernelFileSystem(host)) return;
  const std::string line = directory.size() > 2 ? directory.substr(2) : std::string();
  entries.push_back({"D" + directory, line});
  progress.Show(line);
  // The names first, then the walk below them: the listings nest, but one
  // open per level is all a deep tree needs.
  std::vector<std::string> names;
  fs::ClearFileError();
  // A directory that cannot be read is told, not shown as an empty one.
  if (!files::StartListing(directory + "*.*").ok()) walk.failures.push_back(FailureText(directory));
  std::string name;
  while (!files::NextListed(name)) {
    if (name[0] != '.') names.push_back(name);
  }
  files::EndListing();
  for (const std::string& sub : names) CatalogueTree(directory + sub + "\\", walk, progress, entries);
}

std::string InvertedDate(const std::string& yyyymmdd) {
  int64_t date = 0;
  for (char c : yyyymmdd) date = date * 10 + (c - '0');
  std::string text = std::to_string(99999999 - date);
  return std::string(kInvertedDateWidth - text.size(), '0') + text;
}

// The name is cut a blank before the date: written whole under the columns,
// a long name would show through between them (a date shorter than its
// column, the blank before the total), and cut at the date it would run
// into it ("SEPA_202702011/2/2027").
std::string FileLine(const std::string& name, const RemittanceSummary& summary) {
  namespace f = file_line;
  std::string line = util::BlankRecord(f::kLayout);
  util::PutField(line, f::kName, name);
  if (!summary.date.empty()) util::PutField(line, f::kDate, env::FormatDate(util::PackDigits(summary.date), 0, "DMA"));
  if (summary.cents >= 0) {
    util::PutField(line, f::kTotal, util::FormatAmount(kColumnPicture, static_cast<double>(summary.cents)));
  }
  if (summary.debits >= 0) {
    util::PutField(line, f::kDebits, util::FormatNumber(kColumnPicture, static_cast<double>(summary.debits)));
  }
  return line;
}

// "DIR.TMP" in the work directory: the plain files of the directory that
// match the pattern, one name per line. False, with what failed in the
// operator's words in *failure, when the directory cannot be read or the
// listing cannot be written.
bool WriteListing(const std::string& host_listing, const std::string& directory,
                  const std::string& pattern, std::string* failure) {
  std::string content;
  {
    ListAttributesKept plain_files(kPlainFileAttribute);
    fs::ClearFileError();
    const bool listed = files::StartListing(directory + pattern).ok();
    std::string name;
    while (!files::NextListed(name)) content += name + "\r\n";
    files::EndListing();
    if (!listed) {
      *failure = FailureText(directory);
      return false;
    }
  }
  fs::RemoveFile(host_listing);
  if (fs::AppendToFile(host_listing, content) == 0) return true;
  *failure = env::LastFileErrorText();
  return false;
}

std::vector<std::string> ReadListing(const std::string& host_listing) {
  std::string content;
  std::vector<std::string> names;
  if (fs::ReadWholeFile(host_listing, &content) != 0) return names;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string name = content.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

}  // namespace

CatalogueReport CatalogueDrives(Operator& op) {
  CatalogueReport report;
  Progress progress(op, 15);
  std::vector<Entry> entries;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string text;
    const std::string key = std::string("U") + letter + files::DescribeDrive(letter, text);
    if (util::Trim(std::string_view(key).substr(2)).empty()) continue;
    entries.push_back({key, text});
    progress.Show(Padded(text, kCatalogueLineWidth));
  }
  InsertAll(entries, report);
  return report;
}

CatalogueReport CatalogueDirectories(const CatalogueRequest& request, Operator& op) {
  CatalogueReport report;
  std::vector<Entry> entries;
  Walk walk;
  const std::string& directory = request.directory;
  if (const std::optional<fs::Drive> drive = fs::FindDrive(directory.empty() ? ' ' : directory[0])) {
    walk.drive_dir = fs::ResolvedPath(drive->host_dir);
  }
  {
    ListAttributesKept directories(kDirectoryAttribute);
    Progress progress(op, 64);
    CatalogueTree(request.directory, walk, progress, entries);
  }
  report.failures = std::move(walk.failures);
  InsertAll(entries, report);
  return report;
}

CatalogueReport CatalogueRemittanceFiles(const CatalogueRequest& request, Operator& op) {
  const std::string& directory = request.directory;
  const std::string& pattern = request.pattern;
  CatalogueReport report;
  const std::string host_listing = fs::HostPath(env::session.WorkDir + std::string(kListingName));
  std::string failure;
  if (host_listing.empty()) {
    report.failures.push_back(env::TranslateText(util::Cp850("NO ES POT CREAR")) + " " +
                              env::session.WorkDir + std::string(kListingName));
    return report;
  }
  if (!WriteListing(host_listing, directory, pattern, &failure)) {
    report.failures.push_back(failure);
    return report;
  }
  const std::vector<std::string> names = ReadListing(host_listing);
  fs::RemoveFile(host_listing);
  Progress progress(op, 12);
  std::vector<Entry> entries;
  for (const std::string& listed : names) {
    const std::string name = files::PathPart(listed, 4 + 8);
    RemittanceSummary summary;
    if (!SummariseRemittanceFile(fs::HostPath(directory + name), &summary)) continue;
    const std::string key = "F" + directory + InvertedDate(summary.date) + name;
    const std::string line = FileLine(name, summary);
    const std::string record = Padded(key, kCatalogueKeyWidth);
    if (key.size() > kCatalogueKeyWidth || CataloguedFileName(record) != name) {
      report.unpickable.push_back(directory + name);
      continue;
    }
    entries.push_back({key, line});
    progress.Show(line);
  }
  InsertAll(entries, report);
  return report;
}

std::string CataloguedFileName(const std::string& record) {
  const std::string_view key = std::string_view(record).substr(0, kCatalogueKeyWidth);
  if (key.empty() || key[0] != 'F') return {};
  const size_t separator = key.find_last_of("\\/");
  if (separator == std::string_view::npos || key.size() < separator + 1 + kInvertedDateWidth) return {};
  return std::string(util::TrimRight(key.substr(separator + 1 + kInvertedDateWidth)));
}

}  // namespace remit
