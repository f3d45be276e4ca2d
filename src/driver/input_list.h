// The input files of one run named in a list file (-l), one name a line, as `find` prints them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// Splits a list's text into names: lines end in LF or CR LF, empty lines are skipped. False, with
// the number of the line (from 1), when a line names a file of more than kMaxFileNameLength
// characters; the names before it are kept.
bool SplitInputList(std::string_view text, std::vector<std::string>& names, std::size_t& badLine);

// Reads an open list (a file or a stream) to its end into `text`. False, with errno set, when it
// cannot be read or held.
bool ReadInputList(std::FILE* list, std::string& text);

}  // namespace orvalis
