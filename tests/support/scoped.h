// Environment variables and the working directory changed for one test and
// put back afterwards.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace qdeb::testing {

// Sets or clears variables for the life of the object, then puts back what
// each was before its first change.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const std::string& name, const std::string& value) { Set(name, value); }
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value);
  void Clear(const std::string& name);

 private:
  void Save(const std::string& name);
  std::map<std::string, std::optional<std::string>> saved_;
};

// Remembers the working directory and goes back to it when the object goes;
// given a directory, goes there first (a test fails when it cannot).
class ScopedWorkingDirectory {
 public:
  ScopedWorkingDirectory();
  explicit ScopedWorkingDirectory(const std::string& dir);
  ~ScopedWorkingDirectory();
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  // Moves to dir; a test fails when it cannot.
  static void ChangeTo(const std::string& dir);

 private:
  std::string previous_;
};

}  // namespace qdeb::testing
