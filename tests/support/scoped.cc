#include "tests/support/scoped.h"

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace qdeb::testing {

ScopedEnvironment::~ScopedEnvironment() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  Save(name);
  setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Clear(const std::string& name) {
  Save(name);
  unsetenv(name.c_str());
}

void ScopedEnvironment::Save(const std::string& name) {
  if (saved_.count(name) != 0) return;
  const char* value = getenv(name.c_str());
  saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

ScopedWorkingDirectory::ScopedWorkingDirectory() {
  char dir[PATH_MAX];
  if (getcwd(dir, sizeof dir) != nullptr) previous_ = dir;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& dir) : ScopedWorkingDirectory() {
  ChangeTo(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
  if (!previous_.empty() && chdir(previous_.c_str()) != 0) {
    ADD_FAILURE() << "cannot go back to " << previous_ << ": " << std::strerror(errno);
  }
}

void ScopedWorkingDirectory::ChangeTo(const std::string& dir) {
  if (chdir(dir.c_str()) != 0) {
    ADD_FAILURE() << "cannot change to " << dir << ": " << std::strerror(errno);
  }
}

}  // namespace qdeb::testing
