#include "driver/input_list.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <string_view>

#include "driver/command_line.h"

namespace orvalis {
namespace {

// Takes the line read whole (`line`, without its LF) as a name, unless it is empty. Clears it.
ListRead TakeName(std::string& line, std::vector<std::string>& names) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxFileNameLength) return ListRead::kLongName;
  if (!line.empty()) {
    if (names.size() == kMaxListedNames) return ListRead::kTooManyNames;
    names.push_back(line);
  }
  line.clear();
  return ListRead::kRead;
}

// Takes the octets of one block, line by line, into `line` (the line under way) and `names`.
ListRead TakeBlock(std::string_view octets, std::string& line, std::size_t& lineNumber,
                   std::vector<std::string>& names) {
  while (!octets.empty()) {
    const std::size_t end = octets.find('\n');
    const std::string_view piece = octets.substr(0, end);
    if (piece.find('\0') != std::string_view::npos) return ListRead::kNulOctet;
    // A name and the CR of its line end: anything longer names too long a file, whatever follows.
    if (line.size() + piece.size() > kMaxFileNameLength + 1) return ListRead::kLongName;
    line.append(piece);
    if (end == std::string_view::npos) break;
    octets.remove_prefix(end + 1);
    const ListRead taken = TakeName(line, names);
    if (taken != ListRead::kRead) return taken;
    ++lineNumber;
  }
  return ListRead::kRead;
}

}  // namespace

ListRead ReadInputList(std::FILE* list, std::vector<std::string>& names, std::size_t& line) {
  char block[1 << 16];
  uint64_t octets = 0;
  line = 1;
  try {
    std::string under;  // the line under way, as far as it has been read
    for (;;) {
      const std::size_t got = std::fread(block, 1, sizeof block, list);
      const std::size_t within = static_cast<std::size_t>(std::min<uint64_t>(got, kMaxListOctets - octets));
      octets += within;
      const ListRead taken = TakeBlock(std::string_view(block, within), under, line, names);
      if (taken != ListRead::kRead) return taken;
      if (within < got) return ListRead::kTooLarge;
      if (got < sizeof block) {
        if (std::ferror(list)) return ListRead::kUnreadable;
        return TakeName(under, names);
      }
    }
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return ListRead::kUnreadable;
  }
}

}  // namespace orvalis
