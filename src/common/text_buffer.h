// A growable text buffer with inline appends: the record's text and the pieces formatted for it.
// It keeps its room between uses, so a walk allocates only while its longest record grows.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "common/padded_text.h"

namespace orvalis {

// Copies n characters between buffers that do not overlap. The short texts that make up most of a
// record (names, values, line feeds) are copied in a few moves, without a call. (GCC cannot see
// that the moves stay inside the n characters when it inlines this into a caller with a small
// array, and warns without cause.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
[[gnu::always_inline]] inline void CopyText(char* to, const char* from, std::size_t n) {
  if (n <= 16) {
    if (n >= 8) {
      char head[8], tail[8];
      std::memcpy(head, from, 8);
      std::memcpy(tail, from + n - 8, 8);
      std::memcpy(to, head, 8);
      std::memcpy(to + n - 8, tail, 8);
    } else if (n >= 4) {
      char head[4], tail[4];
      std::memcpy(head, from, 4);
      std::memcpy(tail, from + n - 4, 4);
      std::memcpy(to, head, 4);
      std::memcpy(to + n - 4, tail, 4);
    } else if (n != 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  } else if (n <= 32) {
    char head[16], tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(to, head, 16);
    std::memcpy(to + n - 16, tail, 16);
  } else {
    std::memcpy(to, from, n);
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return data_.get(); }
  char& operator[](std::size_t at) { return data_[at]; }
  char back() const { return data_[size_ - 1]; }

  void clear() { size_ = 0; }
  void pop_back() { --size_; }
  // Cuts the text back to n characters (n not above size()). A writer given room by extend ends
  // its text so: a build with assertions stops at an n above size(), a writer that wrote past
  // the room it asked for.
  void truncate(std::size_t n) {
#ifndef NDEBUG
    if (n > size_) WrotePastRoom(n);
#endif
    size_ = n;
  }
  void reserve(std::size_t n) {
    if (n > capacity_) Grow(n - size_);
  }

  void append(const char* text, std::size_t n) {
    if (n > capacity_ - size_) Grow(n);
    CopyText(data_.get() + size_, text, n);
    size_ += n;
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  // A short dictionary text goes over in one move (see PutPadded).
  [[gnu::always_inline]] void append(const PaddedText& text) {
    if (text.size() + PaddedText::kPadding > capacity_ - size_) Grow(text.size() + PaddedText::kPadding);
    PutPadded(data_.get() + size_, text);
    size_ += text.size();
  }
  void append(std::size_t count, char c) {
    if (count > capacity_ - size_) Grow(count);
    std::memset(data_.get() + size_, c, count);
    size_ += count;
  }
  [[gnu::always_inline]] void push_back(char c) {
    if (size_ == capacity_) Grow(1);
    data_[size_++] = c;
  }
  // Makes the text n characters longer and returns where the new characters go; the caller writes
  // all n of them (or truncates back).
  char* extend(std::size_t n) {
    if (n > capacity_ - size_) Grow(n);
    char* at = data_.get() + size_;
    size_ += n;
    return at;
  }
  void assign(std::string_view text) {
    size_ = 0;
    append(text);
  }

  void swap(TextBuffer& other) {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  std::size_t capacity() const { return capacity_; }
  std::string_view view() const { return std::string_view(data_.get(), size_); }
  operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(view()); }

 private:
  // Makes room for at least `more` further characters, doubling the room.
  void Grow(std::size_t more);
  // Says that the text was cut "back" to `n`, past its end, and stops the program.
  [[noreturn]] void WrotePastRoom(std::size_t n) const;

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

inline bool operator==(const TextBuffer& a, std::string_view b) { return a.view() == b; }
inline bool operator!=(const TextBuffer& a, std::string_view b) { return a.view() != b; }
std::ostream& operator<<(std::ostream& out, const TextBuffer& text);

}  // namespace orvalis
