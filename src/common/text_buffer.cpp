#include "common/text_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace orvalis {

void TextBuffer::Grow(std::size_t more) {
  std::size_t capacity = capacity_ < 256 ? 256 : capacity_;
  while (capacity - size_ < more) capacity *= 2;
  std::unique_ptr<char[]> grown(new char[capacity]);
  if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

void TextBuffer::WrotePastRoom(std::size_t n) const {
  std::fprintf(stderr, "orvalis: a text of %zu characters ended at %zu, past the room it was given\n", size_, n);
  std::abort();
}

std::ostream& operator<<(std::ostream& out, const TextBuffer& text) { return out << text.view(); }

}  // namespace orvalis
