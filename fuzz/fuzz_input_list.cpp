// libFuzzer target: the list of inputs (-l). The bytes are a list, read as the program reads it,
// as they are and after lines that put the edge of the reader's blocks of 64 KiB inside it, so
// that its lines cross the edge. The names read, the fault and its line must be
// those of a plain reading of the lines, block by block: a line's NUL octet or a name longer than
// the longest file name is met in the first block that shows it, a NUL first within a block.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "driver/command_line.h"
#include "driver/input_list.h"

namespace {

using orvalis::ListRead;

constexpr std::size_t kBlock = 1 << 16;  // the reader's block

struct ListOf {
  ListRead Read = ListRead::kRead;
  std::vector<std::string> Names;
  std::size_t Line = 0;  // of a long name or a NUL octet
};

ListOf Expected(std::string_view list) {
  ListOf expected;
  std::size_t line = 1;
  for (std::size_t start = 0; start < list.size() || start == 0;) {
    std::size_t end = list.find('\n', start);
    const bool ended = end != std::string_view::npos;
    if (!ended) end = list.size();
    // The pieces of the line in each block, in order.
    for (std::size_t at = start; at < end || at == start;) {
      const std::size_t blockEnd = (at / kBlock + 1) * kBlock;
      const std::size_t pieceEnd = end < blockEnd ? end : blockEnd;
      if (list.substr(at, pieceEnd - at).find('\0') != std::string_view::npos) {
        expected.Read = ListRead::kNulOctet;
      } else if (pieceEnd - start > orvalis::kMaxFileNameLength + 1) {
        expected.Read = ListRead::kLongName;
      }
      if (expected.Read != ListRead::kRead) {
        expected.Line = line;
        return expected;
      }
      if (pieceEnd == end) break;
      at = pieceEnd;
    }
    std::string_view name = list.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
    if (name.size() > orvalis::kMaxFileNameLength) {
      expected.Read = ListRead::kLongName;
      expected.Line = line;
      return expected;
    }
    if (!name.empty()) {
      if (expected.Names.size() == orvalis::kMaxListedNames) {
        expected.Read = ListRead::kTooManyNames;
        return expected;
      }
      expected.Names.emplace_back(name);
    }
    if (!ended) break;
    start = end + 1;
    ++line;
    if (start == list.size()) break;
  }
  return expected;
}

void CheckList(const std::string& list) {
  std::FILE* file = list.empty() ? std::tmpfile() : fmemopen(const_cast<char*>(list.data()), list.size(), "rb");
  if (file == nullptr) std::abort();
  ListOf read;
  read.Read = orvalis::ReadInputList(file, read.Names, read.Line);
  std::fclose(file);
  const ListOf expected = Expected(list);
  if (read.Read != expected.Read || read.Names != expected.Names) std::abort();
  if ((read.Read == ListRead::kNulOctet || read.Read == ListRead::kLongName) && read.Line != expected.Line) std::abort();
}

// Names of 199 octets and their line ends, up to `size` octets, the last name shorter.
std::string NamesBefore(std::size_t size) {
  std::string names;
  while (names.size() < size) {
    const std::size_t line = size - names.size() < 200 ? size - names.size() : 200;
    names.append(line - 1, 'p');
    names.push_back('\n');
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  CheckList(list);
  if (size == 0 || size > kBlock) return 0;
  // The list after lines that end where the reader's second block begins `into` octets of it: in
  // its middle, and where its first octet says.
  for (const std::size_t into : {size / 2, std::size_t{data[0]} % (size + 1)}) {
    CheckList(NamesBefore(kBlock - into) + list);
  }
  return 0;
}
