// The octets of a file of CDRs: the file header and the CDR headers read field by field from
// hand-written vectors, and an input told to be such a file by its structure.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decode/frames/cdr_frames.h"

namespace orvalis {
namespace {

using Bytes = std::vector<uint8_t>;

// Octets from hexadecimal digits; blanks are passed over.
Bytes Hex(std::string_view text) {
  Bytes octets;
  std::string digits;
  for (char c : text) {
    if (c != ' ') digits.push_back(c);
  }
  for (std::size_t at = 0; at + 1 < digits.size(); at += 2) {
    octets.push_back(static_cast<uint8_t>(std::stoul(digits.substr(at, 2), nullptr, 16)));
  }
  return octets;
}

std::string Text(void (*append)(TextBuffer&, uint8_t), uint8_t octet) {
  TextBuffer out;
  append(out, octet);
  return std::string(out.view());
}

// A file header of release 9 (identifier 6), each field a value of its own: file length 64,
// header length 54, high release 9 version 3 (C3), low release 8 version 2 (A2), opened
// --05-06T12:34+02:00 (53322880: month 0101, day 00110, hour 01100, minute 100010, sign 1, offset
// hours 00010, minutes 000000), last append --05-06T13:05+02:00 (53345880), 2 CDRs, sequence
// number 42, closure reason 129, node FFFFFFFF and 2001:db8::1, lost CDR indicator 81, a filter of
// one octet AB, an extension of one octet CD.
const char kRelease9[] =
    "00000040 00000036 C3 A2 53322880 53345880 00000002 0000002A 81"
    "FFFFFFFF 20010DB8000000000000000000000001 81 0001AB 0001CD";

// A file header of releases 17 and 12 (identifiers 7, extensions 07 and 02), opened
// --12-31T23:59-05:30 (CFDFB15E: 1100 11111 10111 111011 0 00101 011110), its last append 00000000
// (no month: out of range), the number of CDRs FFFFFFFF, closure reason 5, a node address of
// zeros, lost CDR indicator FF.
const char kRelease17[] =
    "00000036 00000036 E1 E0 CFDFB15E 00000000 FFFFFFFF 00000000 05"
    "0000000000000000000000000000000000000000 FF 0000 0000 07 02";

TEST(CdrFileHeader, EachFieldFromItsOctets) {
  const Bytes octets = Hex(kRelease9);
  CdrFileHeader header;
  ASSERT_TRUE(ReadCdrFileHeader(ByteCursor(octets.data(), octets.size()), header));
  EXPECT_EQ(header.FileLength, 64u);
  EXPECT_EQ(header.HeaderLength, 54u);
  EXPECT_EQ(header.HighReleaseNumber(), 9u);
  EXPECT_EQ(header.HighVersion, 3u);
  EXPECT_EQ(header.LowReleaseNumber(), 8u);
  EXPECT_EQ(header.LowVersion, 2u);
  EXPECT_EQ(header.CdrCount, 2u);
  EXPECT_EQ(header.SequenceNumber, 42u);
  EXPECT_EQ(header.ClosureReason, 129u);
  EXPECT_TRUE(ClosedOnFault(header.ClosureReason));
  EXPECT_EQ(header.LostCdrs, 0x81u);
  ASSERT_EQ(header.FilterLength, 1u);
  EXPECT_EQ(header.Filter[0], 0xABu);
  ASSERT_EQ(header.ExtensionLength, 1u);
  EXPECT_EQ(header.Extension[0], 0xCDu);
  TextBuffer text;
  ASSERT_TRUE(AppendCdrTime(text, header.Opened));
  text.push_back(' ');
  ASSERT_TRUE(AppendCdrTime(text, header.LastAppend));
  text.push_back(' ');
  ASSERT_TRUE(AppendNodeAddress(text, header.NodeAddress));
  EXPECT_EQ(text.view(), "--05-06T12:34+02:00 --05-06T13:05+02:00 2001:db8::1");

  const Bytes extended = Hex(kRelease17);
  ASSERT_TRUE(ReadCdrFileHeader(ByteCursor(extended.data(), extended.size()), header));
  EXPECT_EQ(header.HighReleaseNumber(), 17u);
  EXPECT_EQ(header.HighVersion, 1u);
  EXPECT_EQ(header.LowReleaseNumber(), 12u);
  EXPECT_EQ(header.CdrCount, kCdrCountNotGiven);
  EXPECT_FALSE(ClosedOnFault(header.ClosureReason));
  EXPECT_STREQ(ClosureReasonName(header.ClosureReason), "change of CDR versions");
  text.clear();
  ASSERT_TRUE(AppendCdrTime(text, header.Opened));
  EXPECT_EQ(text.view(), "--12-31T23:59-05:30");
  EXPECT_FALSE(AppendCdrTime(text, header.LastAppend));
  EXPECT_FALSE(AppendNodeAddress(text, header.NodeAddress));
  EXPECT_EQ(text.view(), "--12-31T23:59-05:30");
}

// What does not read as a file header: each row changes one field of kRelease9 or kRelease17.
TEST(CdrFileHeader, FieldsThatDoNotFitAreNoHeader) {
  struct Row {
    const char* what;
    const char* base;
    std::size_t at;   // the octet changed
    uint8_t octet;    // its new value
    bool reads;
  };
  const Row rows[] = {
      {"as written", kRelease9, 0, 0x00, true},
      {"header length 51", kRelease9, 7, 0x33, false},
      {"header length 52: the filter and extension left outside", kRelease9, 7, 0x34, false},
      {"header length beyond the octets", kRelease9, 7, 0x37, false},
      {"closure reason 5", kRelease9, 26, 5, true},
      {"closure reason 6", kRelease9, 26, 6, false},
      {"closure reason 127", kRelease9, 26, 127, false},
      {"closure reason 128", kRelease9, 26, 128, true},
      {"closure reason 131", kRelease9, 26, 131, true},
      {"closure reason 132", kRelease9, 26, 132, false},
      {"a filter of two octets", kRelease9, 49, 0x02, false},
      {"an extension of zero octets", kRelease9, 52, 0x00, false},
      {"a high release identifier 7 without its extension", kRelease9, 8, 0xE3, false},
      {"a low release identifier 7 without its extension", kRelease9, 9, 0xE2, false},
      {"release 17 as written", kRelease17, 0, 0x00, true},
      {"release 17 with the low identifier 6: an octet too many", kRelease17, 9, 0xC0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes octets = Hex(row.base);
    if (row.at != 0) octets[row.at] = row.octet;
    CdrFileHeader header;
    EXPECT_EQ(ReadCdrFileHeader(ByteCursor(octets.data(), octets.size()), header), row.reads);
  }
  const Bytes octets = Hex(kRelease9);
  CdrFileHeader header;
  EXPECT_FALSE(ReadCdrFileHeader(ByteCursor(octets.data(), 51), header));
}

// Closure reasons 129 to 131 say that the node closed the file on a fault; 128, the others do not.
TEST(CdrFileHeader, ClosedOnAFault) {
  for (const uint8_t reason : {0, 5, 128, 129, 130, 131}) {
    EXPECT_EQ(ClosedOnFault(reason), reason >= 129) << int(reason);
  }
}

TEST(CdrFileHeader, LostCdrIndicator) {
  struct Row {
    uint8_t indicator;
    const char* text;
  };
  const Row rows[] = {{0x00, "none"},          {0x05, "at least 5"},   {0x7F, "at least 127"}, {0x80, "at least 1"},
                      {0x81, "exactly 1"},     {0xFE, "exactly 126"},  {0xFF, "at least 127"}};
  for (const Row& row : rows) EXPECT_EQ(Text(AppendLostCdrs, row.indicator), row.text) << int(row.indicator);
}

TEST(CdrFileHeader, NodeAddressAsRfc5952Writes) {
  struct Row {
    const char* octets;
    const char* text;  // null: no text
  };
  const Row rows[] = {
      {"FFFFFFFF 20010DB8000000000000000000000001", "2001:db8::1"},
      {"FFFFFFFF 00000000000000000000FFFFC0000201", "::ffff:192.0.2.1"},
      {"FFFFFFFF 00000000000000000000000000000000", "::"},
      {"FFFFFFFF 00010000000000010000000000000001", "1:0:0:1::1"},
      {"FFFFFFFF 00010000000000010000000000010001", "1::1:0:0:1:1"},
      {"FFFFFFFF 00010000000100010001000100010001", "1:0:1:1:1:1:1:1"},
      {"FFFFFFFF FE800000000000000000000000000000", "fe80::"},
      {"FFFFFF00 20010DB8000000000000000000000001", nullptr},
      {"FFFFFFFF FFFFFFFFFFFFFFFFFFFFFFFF C0A80101", "192.168.1.1"},
      {"FFFFFFFF FFFFFFFFFFFFFFFFFFFFFFFF 00000000", "0.0.0.0"},
      {"FFFFFFFF FFFFFFFFFFFFFFFFFFFFFF00 C0A80101", "ffff:ffff:ffff:ffff:ffff:ff00:c0a8:101"},
      {"00000000 000000000000000000000000C0000201", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.octets);
    const Bytes octets = Hex(row.octets);
    std::array<uint8_t, 20> address{};
    std::copy(octets.begin(), octets.end(), address.begin());
    TextBuffer text;
    EXPECT_EQ(AppendNodeAddress(text, address), row.text != nullptr);
    EXPECT_EQ(text.view(), row.text != nullptr ? row.text : "");
  }
}

TEST(CdrHeader, FromItsOctets) {
  struct Row {
    const char* octets;
    bool reads;
    uint16_t length;
    uint32_t release;
    uint8_t version, format, tsNumber, size;
  };
  const Row rows[] = {
      {"000A C3 25", true, 10, 9, 3, 1, 5, 4},
      {"0100 E3 45 07", true, 256, 17, 3, 2, 5, 5},
      {"FFFF 1F 9F", true, 65535, 3, 31, 4, 31, 4},
      {"000A E3", false, 0, 0, 0, 0, 0, 0},
      {"000A E3 25", false, 0, 0, 0, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.octets);
    const Bytes octets = Hex(row.octets);
    ByteCursor at(octets.data(), octets.size());
    CdrHeader header;
    ASSERT_EQ(ReadCdrHeader(at, header), row.reads);
    EXPECT_EQ(at.Position(), row.reads ? row.size : 0u);
    if (!row.reads) continue;
    EXPECT_EQ(header.Length, row.length);
    EXPECT_EQ(header.ReleaseNumber(), row.release);
    EXPECT_EQ(header.Version, row.version);
    EXPECT_EQ(header.Format, row.format);
    EXPECT_EQ(header.TsNumber, row.tsNumber);
  }
}

// A file header of 52 octets (no filter, extension or release extensions) of the given file length.
std::string Header52(uint32_t fileLength) {
  char length[9];
  std::snprintf(length, sizeof length, "%08X", fileLength);
  return std::string(length) +
         "00000034 C3 C3 53322880 53345880 00000002 0000002A 00 FFFFFFFF 20010DB8000000000000000000000001 00 0000 0000";
}

const std::string kPlainLikeHeader = "84 34 1234 00000034 80 01 " + std::string(32, '0') + " 00 " + std::string(40, 'F') +
                                     " 00 00000000 0005 A1038001 07";

TEST(CdrFrames, ToldByTheirStructure) {
  // Two CDRs of release 9 (C3), BER (format 1, TS number 5: 25): records A1 03 80 01 07 and
  // A1 80 80 01 08 00 00 (an indefinite length).
  const std::string cdrs = "0005 C3 25 A1038001 07 0007 C3 25 A1808001080000";
  const uint32_t whole = 52 + 9 + 11;
  struct Row {
    const char* what;
    std::string octets;
    Framing framing;
    uint64_t leading;
    bool cdr, missing;
    uint64_t start, end;
  };
  const Row rows[] = {
      {"a file of CDRs", Header52(whole) + cdrs, Framing::kRecognise, 0, true, false, 52, 0},
      {"octets after its file length", Header52(whole) + cdrs + "000000", Framing::kRecognise, 0, true, false, 52, whole},
      {"cut short in its second CDR", Header52(whole) + cdrs.substr(0, cdrs.size() - 6), Framing::kRecognise, 0, true,
       false, 52, 0},
      {"a file length of 0 bounds nothing", Header52(0) + cdrs, Framing::kRecognise, 0, true, false, 52, 0},
      {"a file length of the header alone bounds nothing", Header52(52) + cdrs, Framing::kRecognise, 0, true, false,
       52, 0},
      {"a header alone of the file length", Header52(52), Framing::kRecognise, 0, true, false, 52, 0},
      {"a header alone of a longer file length", Header52(60), Framing::kRecognise, 0, false, false, 0, 0},
      {"the first record one octet longer than its CDR", Header52(whole) + "0004 C3 25 A1038001 07", Framing::kRecognise,
       0, false, false, 0, 0},
      {"the first record one octet shorter than its CDR", Header52(whole) + "0006 C3 25 A1038001 07 00",
       Framing::kRecognise, 0, false, false, 0, 0},
      {"the first record in PER", Header52(whole) + "0005 C3 45 A1038001 07", Framing::kRecognise, 0, false, false, 0,
       0},
      {"the first record in PER, Framing=3gpp", Header52(whole) + "0005 C3 45 A1038001 07", Framing::kAlways, 0, true,
       false, 52, 0},
      {"Framing=none", Header52(whole) + cdrs, Framing::kNever, 0, false, false, 0, 0},
      // A plain BER file: a primitive element of 52 octets whose value, from octet 2 on, reads as a
      // file header of 52 octets (header length 00000034, closure reason 00, no filter, no
      // extension), then a record: what would be the first CDR header (0005 A1 03) gives format 0.
      {"a plain file whose first octets read as a file header", kPlainLikeHeader, Framing::kRecognise, 0, false, false,
       0, 0},
      {"the same file, Framing=3gpp", kPlainLikeHeader, Framing::kAlways, 0, true, false, 52, 0},
      {"Framing=3gpp, no header", "A1038001 07", Framing::kAlways, 0, false, true, 0, 0},
      {"LeadingOctets=3", Header52(whole) + cdrs, Framing::kRecognise, 3, false, false, 3, 0},
      {"LeadingOctets beyond the input", "A1038001 07", Framing::kAlways, 9, false, false, 5, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const Bytes octets = Hex(row.octets);
    CdrFileHeader header;
    bool missing = true;
    const InputFrames frames = FramesOf(octets.data(), octets.size(), row.framing, row.leading, header, missing);
    EXPECT_EQ(frames.Cdr, row.cdr);
    EXPECT_EQ(missing, row.missing);
    EXPECT_EQ(frames.Start, row.start);
    EXPECT_EQ(frames.End, row.end);
  }
}

}  // namespace
}  // namespace orvalis
