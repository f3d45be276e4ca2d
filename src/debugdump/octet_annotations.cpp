#include "debugdump/octet_annotations.h"

#include <string_view>

#include "common/text_format.h"

namespace orvalis {
namespace {

constexpr std::string_view kMargin = "            ";  // twelve blanks: the offset field's width

// The bit pictures of all octets: "bbbb bbbb", bit 8 first.
struct OctetPictures {
  char Text[256][9];
  constexpr OctetPictures() : Text() {
    for (int octet = 0; octet < 256; ++octet) {
      for (int column = 0; column < 9; ++column) {
        const int bit = column < 4 ? 7 - column : 8 - column;
        Text[octet][column] = column == 4 ? ' ' : ((octet >> bit) & 1) != 0 ? '1' : '0';
      }
    }
  }
};
constexpr OctetPictures kOctetPictures;

// Appends a nine-character bit picture (four bits, a blank, four bits): the positions from
// `first` (0 = bit 8) to the end show the bits of value, the others keep the picture's characters.
void AppendBitPicture(TextBuffer& line, std::string_view picture, int first, uint8_t value) {
  const std::size_t start = line.size();
  line.append(kOctetPictures.Text[value], 9);
  for (int column = 0; column < first; ++column) line[start + column] = picture[column];
}

TextBuffer& StartLine(TextBuffer& line) {
  line.assign(kMargin);
  return line;
}

void FinishLine(WalkContext& walk, const TextBuffer& line) { AppendToRecord(walk, line); }

// "%010lu: bbbb bbbb = %02Xh" with the offset `at` and the octet.
[[gnu::always_inline]] inline void DumpOctetLineAt(WalkContext& walk, TextBuffer& line, uint64_t at, uint8_t octet) {
  line.clear();
  AppendZeroPadded(line, at, 10);
  line.append(": ");
  AppendBitPicture(line, "0000 0000", 0, octet);
  line.append(" = ");
  AppendHexOctet(line, octet);
  line.append("h\n");
  FinishLine(walk, line);
}

}  // namespace

void DumpOctetLine(WalkContext& walk, TextBuffer& line, uint8_t octet) {
  DumpOctetLineAt(walk, line, walk.Input.Position(), octet);
}

void DumpSplitOctet(WalkContext& walk, TextBuffer& line, uint64_t at, uint8_t octet, std::string_view high,
                    std::string_view low) {
  DumpOctetLineAt(walk, line, at, octet);
  for (const bool first : {true, false}) {
    StartLine(line);
    const std::size_t start = line.size();
    line.append(kOctetPictures.Text[octet], 9);
    for (std::size_t column = 0; column < 9; ++column) {
      if (column != 4 && (column < 3) != first) line[start + column] = '.';
    }
    line.push_back(' ');
    line.append(first ? high : low);
    line.push_back('\n');
    FinishLine(walk, line);
  }
}

void DumpShortTagId(WalkContext& walk, TextBuffer& line, int tagId) {
  StartLine(line);
  AppendBitPicture(line, "...0 0000", 3, static_cast<uint8_t>(tagId));
  line.append(" TagId=");
  AppendDecimal(line, static_cast<int64_t>(tagId));
  line.push_back('\n');
  FinishLine(walk, line);
}

void DumpTagIdOctet(WalkContext& walk, TextBuffer& line, bool final, int value) {
  StartLine(line);
  if (final) {
    line.append("**** ****   TagId=");
    AppendDecimal(line, static_cast<int64_t>(value));
    line.push_back('\n');
  } else if ((value & 0x80) != 0) {
    AppendBitPicture(line, "1... ....", 1, static_cast<uint8_t>(value));
    line.append(" - last octet of the identifier octets\n");
  } else {
    AppendBitPicture(line, "0... ....", 1, static_cast<uint8_t>(value));
    line.append(" - not last octet of the identifier octets\n");
  }
  FinishLine(walk, line);
}

void DumpTagNumberOctets(WalkContext& walk, TextBuffer& line, const ByteCursor& at, const TagNumberOctets& octets) {
  StartLine(line);
  line.append("...1 1111 Tag number in the subsequent octets\n");
  FinishLine(walk, line);
  for (int i = 0; i < octets.Octets; ++i) {
    uint8_t octet = 0;
    at.Peek(static_cast<uint64_t>(i), octet);
    DumpOctetLineAt(walk, line, at.Position() + static_cast<uint64_t>(i), octet);
    StartLine(line);
    line.append((octet & kMoreTagNumberOctets) != 0 ? "1... .... More octets of the tag number follow\n"
                                                    : "0... .... Last octet of the tag number\n");
    FinishLine(walk, line);
    StartLine(line);
    AppendBitPicture(line, ".000 0000", 1, octet);
    line.append(" Tag number bits=");
    AppendDecimal(line, static_cast<int64_t>(octet & 0x7F));
    line.push_back('\n');
    FinishLine(walk, line);
  }
  if (octets.Read == HeaderRead::kRead) DumpTagIdOctet(walk, line, true, octets.TagId);
}

void DumpShortLength(WalkContext& walk, TextBuffer& line, int length) {
  StartLine(line);
  AppendBitPicture(line, ".000 0000", 1, static_cast<uint8_t>(length));
  line.append(" Short form of definite Length. Length=");
  AppendDecimal(line, static_cast<int64_t>(length));
  line.push_back('\n');
  FinishLine(walk, line);
}

void DumpLongLengthHeader(WalkContext& walk, TextBuffer& line, uint8_t octet, int count) {
  StartLine(line);
  AppendBitPicture(line, "1000 0000", 1, octet);
  line.append(" Long form of definite Length. Number of bytes in length=");
  AppendDecimal(line, static_cast<int64_t>(count));
  line.push_back('\n');
  FinishLine(walk, line);
}

void DumpLengthOctet(WalkContext& walk, TextBuffer& line, uint8_t octet) {
  StartLine(line);
  AppendBitPicture(line, "0000 0000", 0, octet);
  line.append(" = ");
  AppendHexOctet(line, octet);
  line.append("h - one of N bytes of long form of definite Length\n");
  FinishLine(walk, line);
}

}  // namespace orvalis
