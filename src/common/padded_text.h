// A dictionary text (a tag's long name, a mnemonic) that may be read a fixed number of characters
// past its end, where zeros lie, so that the walk copies a short one in whole words with no branch
// on its length.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace orvalis {

class PaddedText {
 public:
  static constexpr std::size_t kPadding = 32;

  explicit PaddedText(std::string_view text)
      : data_(new char[text.size() + kPadding]()), size_(text.size()), plain_(true) {
    if (size_ != 0) std::memcpy(data_.get(), text.data(), size_);
    for (char c : text) plain_ = plain_ && PlainOctet(c);
  }
  PaddedText(const PaddedText& other) : PaddedText(other.view()) {}
  PaddedText& operator=(const PaddedText& other) {
    if (this != &other) *this = PaddedText(other.view());
    return *this;
  }
  PaddedText(PaddedText&&) noexcept = default;
  PaddedText& operator=(PaddedText&&) noexcept = default;

  // Valid for size() + kPadding characters.
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  std::string_view view() const { return std::string_view(data_.get(), size_); }
  // Printable ASCII without quotation marks, reverse solidi or commas: a text that JSON and CSV
  // take as it is (the record formats check at compile time that they escape none of these).
  bool Plain() const { return plain_; }
  static constexpr bool PlainOctet(char c) { return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\' && c != ','; }
  operator std::string_view() const { return view(); }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_;
  bool plain_;
};

// Writes the text where `to` points, which has room for PaddedText::kPadding characters more than
// the text, and returns the end of the text. A text of up to kPadding characters goes over in one
// move of kPadding characters, whatever its length.
inline char* PutPadded(char* to, const PaddedText& text) {
  if (text.size() <= PaddedText::kPadding) {
    std::memcpy(to, text.data(), PaddedText::kPadding);
  } else {
    std::memcpy(to, text.data(), text.size());
  }
  return to + text.size();
}

inline bool operator==(const PaddedText& a, std::string_view b) { return a.view() == b; }
inline bool operator!=(const PaddedText& a, std::string_view b) { return a.view() != b; }
std::ostream& operator<<(std::ostream& out, const PaddedText& text);

}  // namespace orvalis
