// Splitting the text of a configuration file into lines.
//
// The three text files of the program (the main configuration, the filter file and Tags.cfg)
// share one line rule: lines end at each carriage-return and line-feed pair, a lone carriage
// return or line feed is an ordinary character, and the last line needs no line end. A text that
// holds no CR LF pair at all was written with line feeds alone: there each line feed ends a line.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvalis {

// What ends the lines of a text: CR LF, or LF in a text that holds no CR LF at all.
inline std::string_view LineEndOf(std::string_view text) {
  return text.find("\r\n") == std::string_view::npos ? std::string_view("\n") : std::string_view("\r\n");
}

// Calls visit(line) for every line of text, in order, empty lines included.
// Text that ends in its line end has no empty line after it.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  const std::string_view lineEnd = LineEndOf(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(lineEnd, start);
    if (end == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, end - start));
    start = end + lineEnd.size();
  }
}

// The room of a line buffer: a longer line is refused by the readers.
constexpr std::size_t kMaxLineLength = 2047;

// True when the reader skips the line: empty, or a comment ("#" in the first column).
inline bool IsSkippedLine(std::string_view line) { return line.empty() || line.front() == '#'; }

}  // namespace orvalis
