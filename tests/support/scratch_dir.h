// A directory of its own for one test, and the few file operations the tests
// need on host paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qdeb::testing {

// Made with mkdtemp under TMPDIR (else /tmp) and named by its real path,
// symbolic links resolved; removed with everything in it, read-only folders
// included, when the object goes. A test fails when it cannot be made.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view tag = "qdeb");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The host path, without a trailing "/".
  const std::string& path() const { return path_; }
  // The host path of a name inside ("" gives the directory with a "/").
  std::string Host(std::string_view relative = {}) const;
  // The program path of a name inside on drive C:, which is the host root
  // when KITDRIVES does not say otherwise: "C:\tmp\qdeb_x\relative".
  std::string Dos(std::string_view relative = {}) const;

  // A file inside with these bytes, its folders made as needed.
  void Put(std::string_view relative, std::string_view bytes) const;
  // The bytes of a file inside; empty when it cannot be read.
  std::string Get(std::string_view relative) const;
  bool Exists(std::string_view relative) const;
  // A folder inside, with the folders above it.
  void MakeDir(std::string_view relative) const;
  // Removes a file or folder inside, with everything in it.
  void Remove(std::string_view relative) const;
  // The names in a folder inside ("" the directory itself), sorted.
  std::vector<std::string> Names(std::string_view relative = {}) const;

 private:
  std::string path_;
};

// The same on any host path.
std::string ReadHostFile(const std::string& path);
// False when the file cannot be written; folders are not made.
bool WriteHostFile(const std::string& path, std::string_view bytes);
void MakeHostDirs(const std::string& path);
// Removes the path and everything below it, without following links.
void RemoveHostTree(const std::string& path);
// "C:" and the host path with "\" for "/".
std::string DosPathOf(std::string_view host_path);

}  // namespace qdeb::testing
