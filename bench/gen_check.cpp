// orvalis-gen-check: checks a generated billing file against a tag dictionary, strictly.
//
// It shares no code with the generator: it reads Tags.cfg itself and walks the file octet by
// octet. Every element must be declared at its path, be constructed exactly when the dictionary
// declares sub-tags there, and fill its parent exactly; every value must be well formed for its
// type and every mnemonic key must be in its table. It also counts the encoding variants met, so
// that a test can ask that each of them occurs.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: orvalis-gen-check [--layout top|blocks|mixed] [--require-variety] TAGS_CFG FILE\n"
    "Checks that FILE is well-formed against the dictionary TAGS_CFG and prints what it holds.\n"
    "  --layout L          also check where the records stand (top level, blocks or both)\n"
    "  --require-variety   fail unless every value type and every encoding variant occurs\n";

// ---------------------------------------------------------------------------------------------
// The dictionary, keyed by dotted path ("1.9.0").

constexpr const char* kTypeNames[] = {"",
                                      "DateTime",
                                      "String",
                                      "Number",
                                      "HexNumber",
                                      "DecNumber",
                                      "ValFromIndexedArr",
                                      "ValFromNonIndexedArr",
                                      "Duration",
                                      "LineCode",
                                      "ReceivedDigits"};
constexpr int kTypeCount = 11;

struct Entry {
  std::string tag_name;
  int type = 0;
  std::vector<std::string> indexed;   // IndArr names by position
  std::map<long, std::string> keyed;  // NonIndArr names by key (first one wins)
  bool has_children = false;
};

using Dictionary = std::map<std::string, Entry>;

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

void ApplyParameter(Entry& entry, const std::string& name, const std::string& value,
                    const std::string& line) {
  if (name == "TagName") {
    entry.tag_name = value;
  } else if (name == "Type") {
    entry.type = 0;
    for (int code = 1; code < kTypeCount; ++code) {
      if (value == kTypeNames[code]) entry.type = code;
    }
    if (entry.type == 0) throw std::runtime_error("unknown type in: " + line);
  } else if (name == "IndArr") {
    entry.indexed = Split(value, ",");
  } else if (name == "NonIndArr") {
    for (const std::string& piece : Split(value, ";")) {
      if (piece.empty()) continue;
      size_t comma = piece.find(',');
      if (comma == std::string::npos || comma == 0 ||
          piece.find_first_not_of("0123456789") < comma) {
        throw std::runtime_error("bad NonIndArr entry in: " + line);
      }
      entry.keyed.emplace(std::stol(piece.substr(0, comma)), piece.substr(comma + 1));
    }
  } else if (name != "LongTagName" && name != "Occurs") {  // Occurs: CSV columns only
    throw std::runtime_error("unknown parameter in: " + line);
  }
}

// Strict reading: every line ends in CR LF, every path is made of decimal numbers.
Dictionary ReadDictionary(const std::string& text) {
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    throw std::runtime_error("the dictionary does not end in CR LF");
  }
  Dictionary dict;
  for (const std::string& line : Split(text, "\r\n")) {
    if (line.empty() || line[0] == '#') continue;
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
      throw std::runtime_error("stray line feed or carriage return in: " + line);
    }
    size_t eq = line.find('=');
    size_t dot = line.rfind('.', eq);
    if (eq == std::string::npos || dot == std::string::npos) {
      throw std::runtime_error("not a path.Parameter=Value line: " + line);
    }
    std::string path = line.substr(0, dot);
    for (const std::string& number : Split(path, ".")) {
      if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        throw std::runtime_error("bad path in: " + line);
      }
    }
    ApplyParameter(dict[path], line.substr(dot + 1, eq - dot - 1), line.substr(eq + 1), line);
    for (size_t at = path.find('.'); at != std::string::npos; at = path.find('.', at + 1)) {
      dict[path.substr(0, at)].has_children = true;
    }
  }
  return dict;
}

// ---------------------------------------------------------------------------------------------
// What the walk met.

struct Tally {
  uint64_t elements = 0;
  uint64_t records_top = 0;
  uint64_t records_in_blocks = 0;
  uint64_t blocks = 0;
  uint64_t indefinite = 0;
  uint64_t long_form = 0;    // definite lengths written in the long form
  uint64_t non_minimal = 0;  // long forms with more octets than the length needs
  uint64_t high_tags = 0;    // tag numbers 31..127 in a subsequent identifier octet
  uint64_t by_type[kTypeCount] = {};
  uint64_t duration_widths[5] = {};  // by content length 1..4
  uint64_t dec_widths[3] = {};       // DecNumber by content length 1..2
  uint64_t odd_addresses = 0, even_addresses = 0;
  uint64_t repeated = 0;     // elements after the first of their tag within their parent
  uint64_t most_of_one = 0;  // the most elements of one tag within one parent
};

class CheckError : public std::runtime_error {
 public:
  CheckError(uint64_t offset, const std::string& path, const std::string& what)
      : std::runtime_error("offset " + std::to_string(offset) + ", tag " + path + ": " + what) {}
};

// ---------------------------------------------------------------------------------------------
// The walk.

class Walker {
 public:
  Walker(const Dictionary& dict, const std::vector<uint8_t>& data) : dict_(dict), data_(data) {}

  void WalkFile() {
    while (pos_ < data_.size()) WalkElement(data_.size(), "", nullptr);
  }
  const Tally& tally() const { return tally_; }

 private:
  struct Header {
    uint64_t start;
    bool constructed;
    unsigned tag;
    bool indefinite;
    uint64_t length;
  };

  [[noreturn]] void Fail(const std::string& path, const std::string& what) const {
    throw CheckError(pos_, path.empty() ? "(top)" : path, what);
  }

  uint8_t Octet(uint64_t end, const std::string& path) {
    if (pos_ >= end) Fail(path, "element runs past its parent or the file");
    return data_[pos_++];
  }

  Header ReadHeader(uint64_t end, const std::string& parent_path) {
    Header h{pos_, false, 0, false, 0};
    uint8_t first = Octet(end, parent_path);
    if ((first & 0xC0) == 0x00) Fail(parent_path, "universal class identifier");
    h.constructed = (first & 0x20) != 0;
    h.tag = first & 0x1F;
    if (h.tag == 31) {
      uint8_t next = Octet(end, parent_path);
      if (next & 0x80) Fail(parent_path, "tag number longer than one subsequent octet");
      h.tag = next;
      if (h.tag < 31) Fail(parent_path, "tag number below 31 in the high form");
      ++tally_.high_tags;
    }
    uint8_t l = Octet(end, parent_path);
    if (l == 0x80) {
      h.indefinite = true;
    } else if (l < 0x80) {
      h.length = l;
    } else {
      unsigned n = l & 0x7F;
      if (n > 8) Fail(parent_path, "long-form length of more than 8 octets");
      for (unsigned i = 0; i < n; ++i) h.length = h.length << 8 | Octet(end, parent_path);
      ++tally_.long_form;
      if (h.length < 0x80 || (n > 1 && (h.length >> (8 * (n - 1))) == 0)) ++tally_.non_minimal;
    }
    return h;
  }

  // Walks one element that must end by `end`; `parent` is the enclosing element's entry.
  // Returns its tag number.
  unsigned WalkElement(uint64_t end, const std::string& parent_path, const Entry* parent) {
    if (++depth_ > 21) Fail(parent_path, "nesting deeper than 21 levels");
    Header h = ReadHeader(end, parent_path);
    std::string path =
        parent_path.empty() ? std::to_string(h.tag) : parent_path + "." + std::to_string(h.tag);
    auto found = dict_.find(path);
    if (found == dict_.end()) Fail(path, "not declared in the dictionary");
    const Entry& entry = found->second;
    ++tally_.elements;
    if (h.constructed != entry.has_children) {
      Fail(path, h.constructed ? "constructed, but no sub-tags are declared"
                               : "primitive, but sub-tags are declared");
    }
    CheckPlace(path, entry, parent, h);
    if (h.indefinite) {
      if (!h.constructed) Fail(path, "primitive element of indefinite length");
      ++tally_.indefinite;
      WalkIndefinite(end, path, entry);
    } else {
      if (h.length > end - pos_) Fail(path, "length runs past its parent or the file");
      uint64_t content_end = pos_ + h.length;
      if (h.constructed) {
        WalkDefinite(content_end, path, entry);
      } else {
        CheckValue(path, entry, &data_[pos_], h.length);
        pos_ = content_end;
      }
    }
    --depth_;
    return h.tag;
  }

  void WalkDefinite(uint64_t content_end, const std::string& path, const Entry& entry) {
    BeginChildren(entry);
    std::map<unsigned, uint64_t> by_tag;
    while (pos_ < content_end) CountTag(entry, WalkElement(content_end, path, &entry), by_tag);
    EndChildren(path, entry);
  }

  void WalkIndefinite(uint64_t end, const std::string& path, const Entry& entry) {
    BeginChildren(entry);
    std::map<unsigned, uint64_t> by_tag;
    for (;;) {
      if (end - pos_ >= 2 && data_[pos_] == 0 && data_[pos_ + 1] == 0) {
        pos_ += 2;
        break;
      }
      if (pos_ >= end) Fail(path, "no end-of-contents octets");
      CountTag(entry, WalkElement(end, path, &entry), by_tag);
    }
    EndChildren(path, entry);
  }

  // Elements of one tag within one parent: the second and later are repeats (not the records
  // of a block).
  void CountTag(const Entry& parent, unsigned tag, std::map<unsigned, uint64_t>& by_tag) {
    if (parent.tag_name == "block") return;
    uint64_t seen = ++by_tag[tag];
    if (seen > 1) ++tally_.repeated;
    if (seen > tally_.most_of_one) tally_.most_of_one = seen;
  }

  // Records stand at the top level or directly inside a block; blocks only at the top level
  // and with a definite length, holding nothing but records.
  void CheckPlace(const std::string& path, const Entry& entry, const Entry* parent,
                  const Header& h) {
    bool parent_is_block = parent != nullptr && parent->tag_name == "block";
    if (entry.tag_name == "record") {
      if (parent == nullptr)
        ++tally_.records_top;
      else if (parent_is_block)
        ++tally_.records_in_blocks;
      else
        Fail(path, "record neither at the top level nor in a block");
    } else if (parent_is_block) {
      Fail(path, "a block holds something other than a record");
    }
    if (entry.tag_name == "block") {
      if (parent != nullptr) Fail(path, "block below the top level");
      if (h.indefinite) Fail(path, "block of indefinite length");
      ++tally_.blocks;
    }
  }

  // Every record holds exactly one calling number (a filter on it selects records).
  void BeginChildren(const Entry& entry) {
    if (entry.tag_name == "record") calling_numbers_ = 0;
  }
  void EndChildren(const std::string& path, const Entry& entry) {
    if (entry.tag_name == "record" && calling_numbers_ != 1) {
      Fail(path, "record with " + std::to_string(calling_numbers_) + " calling numbers");
    }
  }

  void CheckValue(const std::string& path, const Entry& entry, const uint8_t* v, uint64_t n);
  void CheckAddress(const std::string& path, const uint8_t* digits, uint64_t n, bool odd,
                    uint8_t highest_digit);

  const Dictionary& dict_;
  const std::vector<uint8_t>& data_;
  uint64_t pos_ = 0;
  int depth_ = 0;
  int calling_numbers_ = 0;
  Tally tally_;
};

bool IsBcd(uint8_t octet) { return (octet >> 4) <= 9 && (octet & 0x0F) <= 9; }
int FromBcd(uint8_t octet) { return (octet >> 4) * 10 + (octet & 0x0F); }

void Walker::CheckAddress(const std::string& path, const uint8_t* digits, uint64_t n, bool odd,
                          uint8_t highest_digit) {
  if (n == 0) Fail(path, "address without digits");
  for (uint64_t i = 0; i < n; ++i) {
    bool filler = odd && i == n - 1;
    if ((digits[i] >> 4) > highest_digit || (!filler && (digits[i] & 0x0F) > highest_digit)) {
      Fail(path, "address digit out of range");
    }
  }
  if (odd && (digits[n - 1] & 0x0F) != 0) Fail(path, "odd address without a zero filler");
  ++(odd ? tally_.odd_addresses : tally_.even_addresses);
}

void Walker::CheckValue(const std::string& path, const Entry& e, const uint8_t* v, uint64_t n) {
  if (n == 0) Fail(path, "empty value");
  if (e.type == 0) Fail(path, "value of a tag without a type");
  ++tally_.by_type[e.type];
  if (e.tag_name == "callingNumber") ++calling_numbers_;
  switch (e.type) {
    case 1:  // DateTime
      if (n != 7) Fail(path, "date and time of other than 7 octets");
      for (uint64_t i = 0; i < 7; ++i) {
        if (!IsBcd(v[i])) Fail(path, "date and time octet that is not BCD");
      }
      if (FromBcd(v[1]) < 1 || FromBcd(v[1]) > 12 || FromBcd(v[2]) < 1 || FromBcd(v[2]) > 31 ||
          FromBcd(v[3]) > 23 || FromBcd(v[4]) > 59 || FromBcd(v[5]) > 59) {
        Fail(path, "impossible date or time");
      }
      break;
    case 2: {  // String: printable text, then nothing but zero padding
      uint64_t text = 0;
      while (text < n && v[text] != 0) {
        if (v[text] < 0x20 || v[text] > 0x7E) Fail(path, "string octet that is not printable");
        ++text;
      }
      if (text == 0) Fail(path, "empty string");
      for (uint64_t i = text; i < n; ++i) {
        if (v[i] != 0) Fail(path, "string padding that is not zero");
      }
      break;
    }
    case 3:  // Number
      if (n < 3) Fail(path, "number shorter than 3 octets");
      CheckAddress(path, v + 2, n - 2, (v[0] & 0x80) != 0, 9);
      break;
    case 10:  // ReceivedDigits: '*' and '#' allowed
      if (n < 2) Fail(path, "received digits shorter than 2 octets");
      CheckAddress(path, v + 1, n - 1, (v[0] & 0x80) != 0, 11);
      break;
    case 4:  // HexNumber
    case 9:  // LineCode
      break;
    case 5:  // DecNumber
      if (n > 2) Fail(path, "decimal number of more than 2 octets");
      ++tally_.dec_widths[n];
      break;
    case 6:  // ValFromIndexedArr
      if (n != 1) Fail(path, "indexed mnemonic of other than 1 octet");
      if (v[0] >= e.indexed.size() || e.indexed[v[0]].empty()) {
        Fail(path, "index " + std::to_string(v[0]) + " has no name in IndArr");
      }
      break;
    case 7:  // ValFromNonIndexedArr
      if (n != 1) Fail(path, "keyed mnemonic of other than 1 octet");
      if (e.keyed.count(v[0]) == 0 || e.keyed.at(v[0]).empty()) {
        Fail(path, "key " + std::to_string(v[0]) + " has no name in NonIndArr");
      }
      break;
    case 8:  // Duration
      if (n > 4) Fail(path, "duration of more than 4 octets");
      ++tally_.duration_widths[n];
      break;
  }
}

// ---------------------------------------------------------------------------------------------

std::string ReadFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("can not open ") + name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PrintTally(const Tally& t) {
  std::printf("elements %llu, records %llu (top level %llu, in blocks %llu), blocks %llu\n",
              static_cast<unsigned long long>(t.elements),
              static_cast<unsigned long long>(t.records_top + t.records_in_blocks),
              static_cast<unsigned long long>(t.records_top),
              static_cast<unsigned long long>(t.records_in_blocks),
              static_cast<unsigned long long>(t.blocks));
  std::printf(
      "indefinite %llu, long-form lengths %llu (longer than needed %llu), "
      "tags above 30 %llu\n",
      static_cast<unsigned long long>(t.indefinite), static_cast<unsigned long long>(t.long_form),
      static_cast<unsigned long long>(t.non_minimal), static_cast<unsigned long long>(t.high_tags));
  std::printf("repeated %llu, at most %llu of one tag in one element\n",
              static_cast<unsigned long long>(t.repeated),
              static_cast<unsigned long long>(t.most_of_one));
  std::printf("values:");
  for (int type = 1; type < kTypeCount; ++type) {
    std::printf(" %s %llu", kTypeNames[type], static_cast<unsigned long long>(t.by_type[type]));
  }
  std::printf("\n");
}

// The variants that a reader must cope with and that a generated file of some size holds.
std::vector<std::string> MissingVariety(const Tally& t) {
  std::vector<std::string> missing;
  for (int type = 1; type < kTypeCount; ++type) {
    if (t.by_type[type] == 0) missing.push_back(std::string("type ") + kTypeNames[type]);
  }
  if (t.indefinite == 0) missing.push_back("indefinite lengths");
  if (t.long_form == 0) missing.push_back("long-form lengths");
  if (t.non_minimal == 0) missing.push_back("long forms longer than needed");
  if (t.high_tags == 0) missing.push_back("tags above 30");
  for (int width = 1; width <= 4; ++width) {
    if (t.duration_widths[width] == 0) {
      missing.push_back("durations of " + std::to_string(width) + " octets");
    }
  }
  if (t.dec_widths[1] == 0 || t.dec_widths[2] == 0) missing.push_back("DecNumber widths");
  if (t.odd_addresses == 0 || t.even_addresses == 0) missing.push_back("odd and even addresses");
  return missing;
}

}  // namespace

int main(int argc, char** argv) {
  std::string layout;
  bool require_variety = false;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--layout") == 0 && i + 1 < argc) {
      layout = argv[++i];
    } else if (std::strcmp(argv[i], "--require-variety") == 0) {
      require_variety = true;
    } else if (argv[i][0] == '-') {
      std::fputs(kUsage, stderr);
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2 ||
      (!layout.empty() && layout != "top" && layout != "blocks" && layout != "mixed")) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  try {
    Dictionary dict = ReadDictionary(ReadFile(files[0]));
    std::string text = ReadFile(files[1]);
    std::vector<uint8_t> data(text.begin(), text.end());
    text.clear();
    Walker walker(dict, data);
    walker.WalkFile();
    const Tally& t = walker.tally();
    PrintTally(t);

    std::vector<std::string> faults;
    if (t.records_top + t.records_in_blocks == 0) faults.push_back("no records");
    if (layout == "top" && t.blocks != 0) faults.push_back("blocks in a top-level layout");
    if (layout == "blocks" && t.records_top != 0) faults.push_back("records outside blocks");
    if (layout == "mixed" && (t.blocks == 0 || t.records_top == 0)) {
      faults.push_back("a mixed layout without both blocks and top-level records");
    }
    if (require_variety) {
      for (const std::string& m : MissingVariety(t)) faults.push_back("never met: " + m);
    }
    std::fflush(stdout);
    for (const std::string& f : faults) std::fprintf(stderr, "%s: %s\n", files[1], f.c_str());
    if (!faults.empty()) return 1;
    std::printf("%s: OK\n", files[1]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", files[1], e.what());
    return 1;
  }
}
