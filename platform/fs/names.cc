#include "platform/fs/names.h"

#include "util/basics.h"
#include "util/cp850.h"

namespace platform::fs {

std::string HostFileName(std::string_view program_name) {
  return util::Cp850ToUtf8(program_name);
}

std::string ProgramFileName(std::string_view host_name) {
  std::string name = util::Utf8ToCp850(host_name);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 32) c = '?';
  }
  return name;
}

std::string NameKey(std::string_view host_name) {
  return util::UpperCase(ProgramFileName(host_name));
}

bool HasWildcards(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

namespace {

// Both texts are already upper-cased. Iterative glob with one backtrack
// point for the last "*", so no mask can make the match slow.
bool Glob(std::string_view name, std::string_view mask) {
  size_t n = 0;
  size_t m = 0;
  size_t star = std::string_view::npos;
  size_t star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      star = m++;
      star_n = n;
    } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  // What is left of the mask may only be stars and trailing question marks.
  while (m < mask.size() && (mask[m] == '*' || mask[m] == '?')) ++m;
  return m == mask.size();
}


}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  std::string up_name = util::UpperCase(name);
  std::string up_mask = util::UpperCase(mask);
  if (up_mask.empty()) return false;
  if (up_mask == "*" || up_mask == "*.*") return true;
  if (up_mask.size() >= 2 && up_mask.ends_with(".*")) {
    std::string_view base_mask(up_mask.data(), up_mask.size() - 2);
    if (up_name.find('.') == std::string::npos && Glob(up_name, base_mask)) return true;
    return Glob(up_name, up_mask);
  }
  if (up_mask.back() == '.') {
    if (up_name.find('.') != std::string::npos) return false;
    up_mask.pop_back();
    return Glob(up_name, up_mask);
  }
  size_t mask_dot = up_mask.rfind('.');
  size_t name_dot = up_name.rfind('.');
  if (mask_dot != std::string::npos && name_dot != std::string::npos &&
      up_mask.find_first_of("*", mask_dot) == std::string::npos &&
      up_mask.substr(0, mask_dot).find('*') == std::string::npos) {
    // A mask without stars: base and extension are matched apart, so that
    // the trailing "?" of "AB??.TXT" may stop at the dot of "AB.TXT".
    return Glob(std::string_view(up_name).substr(0, name_dot),
                     std::string_view(up_mask).substr(0, mask_dot)) &&
           Glob(std::string_view(up_name).substr(name_dot + 1),
                     std::string_view(up_mask).substr(mask_dot + 1));
  }
  return Glob(up_name, up_mask);
}

}  // namespace platform::fs
