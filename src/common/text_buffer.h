// A growable text buffer with inline appends: the record's text and the pieces formatted for it.
// It keeps its room between uses, so a walk allocates only while its longest record grows.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace orvalis {

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
  // Cuts the text back to n characters (n not above size()).
  void truncate(std::size_t n) { size_ = n; }
  void reserve(std::size_t n) {
    if (n > capacity_) Grow(n - size_);
  }

  void append(const char* text, std::size_t n) {
    if (n > capacity_ - size_) Grow(n);
    if (n != 0) std::memcpy(data_.get() + size_, text, n);
    size_ += n;
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  void append(std::size_t count, char c) {
    if (count > capacity_ - size_) Grow(count);
    std::memset(data_.get() + size_, c, count);
    size_ += count;
  }
  void push_back(char c) {
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

  std::string_view view() const { return std::string_view(data_.get(), size_); }
  operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(view()); }

 private:
  // Makes room for at least `more` further characters, doubling the room.
  void Grow(std::size_t more);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

inline bool operator==(const TextBuffer& a, std::string_view b) { return a.view() == b; }
inline bool operator!=(const TextBuffer& a, std::string_view b) { return a.view() != b; }
std::ostream& operator<<(std::ostream& out, const TextBuffer& text);

}  // namespace orvalis
