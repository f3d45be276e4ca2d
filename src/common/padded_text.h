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

  // The kinds of octet a text holds, as one bit each: what a format that escapes or quotes some
  // of them asks of a text (decode/writers/record_text.h), so that a text that needs nothing is
  // copied whole.
  enum OctetKind : uint8_t {
    kControl = 1,     // below 0x20 (a tab, a line end among them)
    kLineEnd = 2,     // a carriage return or a line feed
    kQuote = 4,       // a quotation mark
    kBackslash = 8,   // a reverse solidus
    kComma = 16,
    kHigh = 32,       // above 0x7F
    kDelete = 64,     // 0x7F
  };
  static constexpr uint8_t KindsOf(char c) {
    const auto octet = static_cast<uint8_t>(c);
    return static_cast<uint8_t>((octet < 0x20 ? kControl : 0) | (octet == '\r' || octet == '\n' ? kLineEnd : 0) |
                                (octet == '"' ? kQuote : 0) | (octet == '\\' ? kBackslash : 0) |
                                (octet == ',' ? kComma : 0) | (octet >= 0x80 ? kHigh : 0) | (octet == 0x7F ? kDelete : 0));
  }

  explicit PaddedText(std::string_view text)
      : data_(new char[text.size() + kPadding]()), size_(text.size()), kinds_(0) {
    if (size_ != 0) std::memcpy(data_.get(), text.data(), size_);
    for (char c : text) kinds_ = static_cast<uint8_t>(kinds_ | KindsOf(c));
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
  // The kinds of octet the text holds (OctetKind bits).
  uint8_t Kinds() const { return kinds_; }
  operator std::string_view() const { return view(); }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_;
  uint8_t kinds_;
};

// Writes the text where `to` points, which has room for PaddedText::kPadding characters more than
// the text, and returns the end of the text. A text of up to kPadding characters goes over in one
// move of kPadding characters, whatever its length.
[[gnu::always_inline]] inline char* PutPadded(char* to, const PaddedText& text) {
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
