// Text held outside memory: a temporary file that takes text appended to it, gives it back in
// blocks, or drops it. The walk keeps a record's undecided text there once it grows past a few
// MiB (a record under a filter that could still pass), so that memory stays bounded whatever
// the record holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "common/text_buffer.h"

namespace orvalis {

class SpilledText {
 public:
  SpilledText() = default;
  SpilledText(const SpilledText&) = delete;
  SpilledText& operator=(const SpilledText&) = delete;
  ~SpilledText();

  bool empty() const { return size_ == 0; }
  uint64_t size() const { return size_; }

  // Appends the text. False, with nothing taken, when no temporary file can be had: the caller
  // keeps the text itself. A write that fails later is noted and told by TakeBack.
  bool Append(std::string_view text);

  // Gives the text back from its beginning, in blocks of about `blockSize` characters, each put in
  // `block` and handed to `take(block)`, and empties the store. Returns 0, or the error number
  // (errno) of the first write or read that failed, in which case some of the text is missing.
  template <typename Take>
  int TakeBack(TextBuffer& block, std::size_t blockSize, Take&& take) {
    int error = Rewind();
    for (uint64_t left = size_; error == 0 && left > 0;) {
      const std::size_t piece = left < blockSize ? static_cast<std::size_t>(left) : blockSize;
      block.clear();
      error = ReadInto(block.extend(piece), piece);
      if (error == 0) take(block);
      left -= piece;
    }
    Drop();
    return error;
  }

  // Forgets the text.
  void Drop();

 private:
  int Rewind();
  int ReadInto(char* to, std::size_t n);

  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  int error_ = 0;  // errno of the first failed write since the store was last emptied
};

}  // namespace orvalis
