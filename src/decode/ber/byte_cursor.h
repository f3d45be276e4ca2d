// The read position over the input image. Every read of the input goes through it, and every
// read checks first what is left, so no walk can read outside the input. The end that reads stop
// at is the input's end, or for a cursor over an element's contents (Contents) the end of that
// element.
#pragma once

#include <cstdint>

namespace orvalis {

class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, uint64_t size) : data_(data), size_(size), end_(size) {}

  bool AtEnd() const { return pos_ >= end_; }
  uint64_t Left() const { return end_ - pos_; }
  uint64_t Position() const { return pos_; }
  // The whole input's size, also for a cursor over an element's contents.
  uint64_t Size() const { return size_; }
  // Where reads stop: the input's end, or the end of the element whose contents this cursor reads.
  uint64_t End() const { return end_; }
  // True when reads stop at the end of an element holding the read position, before the input's.
  bool HolderEnds() const { return end_ < size_; }
  // A cursor over the next n octets (at most what is left), the contents of an element: it reads
  // from the read position and stops at their end. This cursor does not move (see CatchUp).
  ByteCursor Contents(uint64_t n) const {
    ByteCursor contents = *this;
    contents.end_ = pos_ + (n < Left() ? n : Left());
    return contents;
  }
  // Moves to where `contents`, a cursor this one made with Contents, stands.
  void CatchUp(const ByteCursor& contents) { pos_ = contents.pos_; }
  // Moves the read position to `position`, forward or back, up to the cursor's end; false, without
  // moving, past it.
  bool MoveTo(uint64_t position) {
    if (position > end_) return false;
    pos_ = position;
    return true;
  }

  // Reads one octet and moves past it; false at the end of the input.
  bool ReadOctet(uint8_t& out) {
    if (AtEnd()) return false;
    out = data_[pos_++];
    return true;
  }
  // The octet `ahead` places after the read position, without moving; false past the input's end.
  bool Peek(uint64_t ahead, uint8_t& out) const {
    if (ahead >= Left()) return false;
    out = data_[pos_ + ahead];
    return true;
  }
  // True when the end-of-contents octets (two zero octets) stand at the read position.
  bool AtEndOfContents() const { return Left() >= 2 && data_[pos_] == 0 && data_[pos_ + 1] == 0; }
  // Moves forward by n octets; false, without moving, when fewer are left.
  bool Skip(uint64_t n) {
    if (n > Left()) return false;
    pos_ += n;
    return true;
  }
  // The octets from the read position on; valid for Left() octets.
  const uint8_t* Here() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  uint64_t size_;
  uint64_t end_;
  uint64_t pos_ = 0;
};

}  // namespace orvalis
