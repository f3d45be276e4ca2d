// Only new inputs (SkipConverted, --skip-converted): the manifest of earlier runs read before the
// run, and the inputs it tells as converted whole left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// The longest line of such a manifest that is read (a manifest line holds at most 64 KiB of the
// fields outside records, and its other members fit in far less).
constexpr std::size_t kMaxConvertedLine = 1024 * 1024;

// What one manifest line tells of its input: the name as the run was given it (decoded from
// "inputHex" when the line has it), the size of the input as read, and whether its conversion
// completed (an "end" that begins with "completed").
struct ConvertedLine {
  std::string Input;
  uint64_t Size = 0;
  bool Named = false;  // the line names its input (a run that did not start has "input":null)
  bool Sized = false;
  bool Completed = false;
};

// Reads the members "input", "inputHex", "size" and "end" of one manifest line, a JSON object;
// the other members are passed over whatever they hold. False when the line is not a JSON object.
bool ReadConvertedLine(std::string_view line, ConvertedLine& read);

enum class ConvertedRead { kRead, kLongLine, kBadLine, kUnreadable };

// The inputs to leave out: for each of `names` (whose sizes `sizes` holds, -1 for one that is not
// a regular file, which is never left out), true in `converted` when a line of the manifest `file`
// names it byte for byte, with the same size, as completed. Empty lines are passed over. On a line
// that is too long or not a manifest line, stops with its number in `line`.
ConvertedRead FindConvertedInputs(std::FILE* file, const std::vector<std::string>& names,
                                  const std::vector<int64_t>& sizes, std::vector<bool>& converted,
                                  std::size_t& line);

}  // namespace orvalis
