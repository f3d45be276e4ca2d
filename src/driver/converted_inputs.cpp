#include "driver/converted_inputs.h"

#include <unordered_map>

#include "common/text_format.h"

namespace orvalis {
namespace {

// The deepest nesting of arrays and objects passed over inside a line.
constexpr int kMaxDepth = 64;

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A reader of one JSON text that moves only on success.
class JsonText {
 public:
  explicit JsonText(std::string_view text) : text_(text) {}

  bool AtEnd() {
    SkipSpace();
    return pos_ == text_.size();
  }

  bool Take(char c) {
    SkipSpace();
    if (pos_ == text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  bool Peek(char c) {
    SkipSpace();
    return pos_ < text_.size() && text_[pos_] == c;
  }

  // A string, its escapes decoded into UTF-8 (into `out` unless it is null).
  bool ReadString(std::string* out) {
    if (!Take('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        if (out != nullptr) out->push_back(c);
        continue;
      }
      if (pos_ == text_.size()) return false;
      const char e = text_[pos_++];
      uint32_t code = 0;
      switch (e) {
        case '"': case '\\': case '/': code = static_cast<unsigned char>(e); break;
        case 'b': code = '\b'; break;
        case 'f': code = '\f'; break;
        case 'n': code = '\n'; break;
        case 'r': code = '\r'; break;
        case 't': code = '\t'; break;
        case 'u':
          if (!ReadCodePoint(code)) return false;
          break;
        default: return false;
      }
      if (out != nullptr) AppendUtf8(*out, code);
    }
    return false;
  }

  // A number without sign, fraction or exponent that fits in 64 bits.
  bool ReadCount(uint64_t& value) {
    SkipSpace();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    const std::string_view digits = text_.substr(start, pos_ - start);
    return ParseDigits(digits, UINT64_MAX, value) && !(digits.size() > 1 && digits[0] == '0') && !NumberGoesOn();
  }

  // Any value, passed over.
  bool SkipValue(int depth = 0) {
    SkipSpace();
    if (pos_ == text_.size() || depth > kMaxDepth) return false;
    const char c = text_[pos_];
    if (c == '"') return ReadString(nullptr);
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++pos_;
      if (Take(close)) return true;
      do {
        if (c == '{' && (!ReadString(nullptr) || !Take(':'))) return false;
        if (!SkipValue(depth + 1)) return false;
      } while (Take(','));
      return Take(close);
    }
    if (SkipWord("true") || SkipWord("false") || SkipWord("null")) return true;
    return SkipNumber();
  }

 private:
  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n')) ++pos_;
  }

  bool SkipWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool NumberGoesOn() const {
    return pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E');
  }

  bool SkipNumber() {
    const std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    const std::size_t digits = pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) break;
      ++pos_;
    }
    return pos_ > digits && pos_ > start;
  }

  bool ReadHex4(uint32_t& value) {
    if (text_.size() - pos_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = HexDigit(text_[pos_++]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }

  // The code point of \uXXXX (the "\u" read), a surrogate pair joined.
  bool ReadCodePoint(uint32_t& code) {
    if (!ReadHex4(code)) return false;
    if (code < 0xD800 || code > 0xDFFF) return true;
    if (code > 0xDBFF || text_.substr(pos_, 2) != "\\u") return false;
    pos_ += 2;
    uint32_t low = 0;
    if (!ReadHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    return true;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// The octets that a text of hexadecimal digit pairs stands for. False for any other text.
bool DecodeHex(std::string_view hex, std::string& octets) {
  if (hex.size() % 2 != 0) return false;
  octets.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int pair = 0;
    for (std::size_t j = i; j < i + 2; ++j) {
      const int digit = HexDigit(hex[j]);
      if (digit < 0) return false;
      pair = pair * 16 + digit;
    }
    octets.push_back(static_cast<char>(pair));
  }
  return true;
}

// Hands each line of the file, without its line end, to take(line); a line longer than
// kMaxConvertedLine stops the reading. Holds one line at a time.
template <typename Take>
ConvertedRead ForEachLine(std::FILE* file, std::size_t& number, Take&& take) {
  std::string line;
  char block[64 * 1024];
  number = 0;
  for (;;) {
    const std::size_t got = std::fread(block, 1, sizeof block, file);
    for (std::size_t i = 0; i < got; ++i) {
      if (block[i] != '\n') {
        if (line.size() == kMaxConvertedLine) {
          ++number;
          return ConvertedRead::kLongLine;
        }
        line.push_back(block[i]);
        continue;
      }
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!take(std::string_view(line))) return ConvertedRead::kBadLine;
      line.clear();
    }
    if (got < sizeof block) break;
  }
  if (std::ferror(file)) return ConvertedRead::kUnreadable;
  if (line.empty()) return ConvertedRead::kRead;
  ++number;  // a last line without its line feed
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return take(std::string_view(line)) ? ConvertedRead::kRead : ConvertedRead::kBadLine;
}

}  // namespace

bool ReadConvertedLine(std::string_view line, ConvertedLine& read) {
  read = ConvertedLine{};
  JsonText json(line);
  if (!json.Take('{')) return false;
  bool hexNamed = false;
  std::string key;
  std::string hex;
  if (!json.Take('}')) {
    do {
      key.clear();
      if (!json.ReadString(&key) || !json.Take(':')) return false;
      if (key == "input" && json.Peek('"')) {
        std::string input;
        if (!json.ReadString(&input)) return false;
        if (!hexNamed) read.Input = std::move(input);
        read.Named = true;
      } else if (key == "inputHex" && json.Peek('"')) {
        hex.clear();
        if (!json.ReadString(&hex) || !DecodeHex(hex, read.Input)) return false;
        read.Named = hexNamed = true;
      } else if (key == "size" && !json.Peek('"')) {
        if (!json.ReadCount(read.Size)) return false;
        read.Sized = true;
      } else if (key == "end" && json.Peek('"')) {
        std::string end;
        if (!json.ReadString(&end)) return false;
        read.Completed = end.compare(0, 9, "completed") == 0;
      } else if (!json.SkipValue()) {
        return false;
      }
    } while (json.Take(','));
    if (!json.Take('}')) return false;
  }
  return json.AtEnd();
}

ConvertedRead FindConvertedInputs(std::FILE* file, const std::vector<std::string>& names,
                                  const std::vector<int64_t>& sizes, std::vector<bool>& converted,
                                  std::size_t& line) {
  converted.assign(names.size(), false);
  std::unordered_multimap<std::string_view, std::size_t> wanted;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (sizes[i] >= 0) wanted.emplace(names[i], i);
  }
  ConvertedLine read;
  return ForEachLine(file, line, [&](std::string_view text) {
    if (text.find_first_not_of(" \t") == std::string_view::npos) return true;
    if (!ReadConvertedLine(text, read)) return false;
    if (!read.Completed || !read.Named || !read.Sized) return true;
    const auto [first, last] = wanted.equal_range(read.Input);
    for (auto it = first; it != last; ++it) {
      if (static_cast<uint64_t>(sizes[it->second]) == read.Size) converted[it->second] = true;
    }
    return true;
  });
}

}  // namespace orvalis
