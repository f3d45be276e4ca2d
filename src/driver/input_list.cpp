#include "driver/input_list.h"

#include <cerrno>
#include <new>

#include "driver/command_line.h"

namespace orvalis {

bool SplitInputList(std::string_view text, std::vector<std::string>& names, std::size_t& badLine) {
  std::size_t line = 0;
  while (!text.empty()) {
    ++line;
    const std::size_t end = text.find('\n');
    std::string_view name = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
    if (name.empty()) continue;
    if (name.size() > kMaxFileNameLength) {
      badLine = line;
      return false;
    }
    names.emplace_back(name);
  }
  return true;
}

bool ReadInputList(std::FILE* list, std::string& text) {
  char block[1 << 16];
  try {
    for (;;) {
      const std::size_t got = std::fread(block, 1, sizeof block, list);
      text.append(block, got);
      if (got < sizeof block) return std::ferror(list) == 0;
    }
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return false;
  }
}

}  // namespace orvalis
