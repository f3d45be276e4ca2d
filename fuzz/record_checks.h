// Checks of the record formats for the fuzz targets: every JSON Lines line is one JSON object in
// valid UTF-8 (a small validator of RFC 8259), and every CSV row (RFC 4180) has as many fields
// as the header. Each aborts on the first fault.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_common.h"

namespace orvalis_fuzz {

class JsonCheck {
 public:
  explicit JsonCheck(std::string_view text) : text_(text) {}

  // True when the whole text is one JSON object.
  bool IsObject() {
    if (Peek() != '{' || !Value(0)) return false;
    return at_ == text_.size();
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const std::size_t start = at_;
    while (Peek() >= '0' && Peek() <= '9') ++at_;
    return at_ > start;
  }
  bool Number() {
    Take('-');
    if (Take('0')) {
      if (Peek() >= '0' && Peek() <= '9') return false;  // no leading zeros
    } else if (!Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if (Peek() == 'e' || Peek() == 'E') {
      ++at_;
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    return true;
  }
  // One UTF-8 character of two to four octets, the first at at_ (shortest form, no surrogates).
  bool Utf8() {
    const uint8_t first = static_cast<uint8_t>(text_[at_]);
    int more = first >= 0xF0 && first <= 0xF4 ? 3 : first >= 0xE0 ? 2 : first >= 0xC2 && first <= 0xDF ? 1 : -1;
    if (more < 0 || at_ + static_cast<std::size_t>(more) >= text_.size()) return false;
    uint32_t code = first & (0x3F >> more);
    for (int i = 1; i <= more; ++i) {
      const uint8_t next = static_cast<uint8_t>(text_[at_ + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at_ += static_cast<std::size_t>(more) + 1;
    return true;
  }
  bool String() {
    if (!Take('"')) return false;
    for (;;) {
      if (at_ >= text_.size()) return false;
      const uint8_t c = static_cast<uint8_t>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        if (!Utf8()) return false;
        continue;
      }
      ++at_;
      if (c != '\\') continue;
      const char e = Peek();
      ++at_;
      if (e == 'u') {
        for (int i = 0; i < 4; ++i) {
          const char h = Peek();
          if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F'))) return false;
          ++at_;
        }
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos || e == '\0') {
        return false;
      }
    }
  }
  bool Value(int depth) {
    if (depth > 64) return false;
    switch (Peek()) {
      case '{': {
        ++at_;
        if (Take('}')) return true;
        do {
          if (!String() || !Take(':') || !Value(depth + 1)) return false;
        } while (Take(','));
        return Take('}');
      }
      case '[': {
        ++at_;
        if (Take(']')) return true;
        do {
          if (!Value(depth + 1)) return false;
        } while (Take(','));
        return Take(']');
      }
      case '"': return String();
      case 't': return Word("true");
      case 'f': return Word("false");
      case 'n': return Word("null");
      default: return Number();
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// Every line (ended by a line feed) one JSON object.
inline void CheckJsonLines(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) std::abort();  // a line without its line feed
    if (!JsonCheck(text.substr(0, end)).IsObject()) std::abort();
    text.remove_prefix(end + 1);
  }
}

// A header row and rows of as many fields, each row ended by CR LF, quoted fields per RFC 4180.
inline void CheckCsv(std::string_view text) {
  // Valid UTF-8 throughout: a JSON string of the whole text must check.
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) {
      std::string quoted = "{\"\":\"";
      for (char d : text) quoted += static_cast<uint8_t>(d) < 0x20 || d == '"' || d == '\\' ? ' ' : d;
      if (!JsonCheck(quoted + "\"}").IsObject()) std::abort();
      break;
    }
  }
  long width = -1;
  std::size_t at = 0;
  while (at < text.size()) {
    long fields = 1;
    for (;;) {
      if (at < text.size() && text[at] == '"') {
        for (++at;; ++at) {
          if (at >= text.size()) std::abort();
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              ++at;
              continue;
            }
            ++at;
            break;
          }
        }
      } else {
        while (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n' && text[at] != '"') ++at;
      }
      if (at < text.size() && text[at] == ',') {
        ++at;
        ++fields;
        continue;
      }
      break;
    }
    if (text.substr(at, 2) != "\r\n") std::abort();
    at += 2;
    if (width < 0) width = fields;
    if (fields != width) std::abort();
  }
}

// The record formats of a whole walk: every JSON Lines line one JSON object (in either schema),
// every CSV row as wide as the header, and a walk shared by two threads writing the very bytes of a
// walk in order.
inline void CheckRecordFormats(orvalis::WalkSettings settings, const uint8_t* data, std::size_t size,
                               orvalis::TBranch& root) {
  settings.DebugMode = false;
  for (std::string_view format : {"jsonl", "jsonl2", "csv"}) {
    settings.Format = format.substr(0, 5) == "jsonl" ? "jsonl" : format;
    settings.JsonSchema = format == "jsonl2" ? 2 : 1;
    const std::string inOrder = WalkOutput(settings, data, size, root, 0);
    if (settings.Format == "jsonl") CheckJsonLines(inOrder);
    else CheckCsv(inOrder);
    if (!settings.RangeActive && settings.FilterCount == 0 && WalkOutput(settings, data, size, root, 7) != inOrder) {
      std::abort();
    }
  }
}

}  // namespace orvalis_fuzz
