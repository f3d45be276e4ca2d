// The input files of one run named in a list file (-l), one name a line, as `find` prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvalis {

// A list holds at most this many names and octets. A name takes at most 255 characters and its
// line end, so 100000 names fit in 26 MB of list; the names then take about as much memory, which
// keeps a list within the 32 MiB that a run may take beside its input.
constexpr std::size_t kMaxListedNames = 100000;
constexpr uint64_t kMaxListOctets = uint64_t{32} << 20;

// What reading a list found: the list read to its end, or the first fault met.
enum class ListRead {
  kRead,
  kUnreadable,    // a read failed or the names could not be held (errno set)
  kLongName,      // a line names a file of more than kMaxFileNameLength characters
  kNulOctet,      // a line holds a NUL octet (a list written by find -print0)
  kTooManyNames,  // more than kMaxListedNames names
  kTooLarge,      // more than kMaxListOctets octets
};

// Reads an open list (a file or a stream) into `names`, one a line: lines end in LF or CR LF,
// empty lines are skipped. Each fault is found as the list is read, so that reading stops at
// once (a NUL octet at the first block of /dev/zero, the name past the bound of a list that never
// ends). `line` is the line (from 1) of a long name or of a NUL octet.
ListRead ReadInputList(std::FILE* list, std::vector<std::string>& names, std::size_t& line);

}  // namespace orvalis
