// The debug dump: the octet explanation lines and whole debug-mode walks.
#include "debugdump/octet_annotations.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

std::string Margin(const std::string& text) { return std::string(12, ' ') + text + "\n"; }

TEST(OctetAnnotations, ExampleLines) {
  const uint8_t data[8] = {};
  TBranch root(nullptr);
  WalkContext walk(WalkSettings{}, data, sizeof data, root, nullptr);
  walk.Input.Skip(5);
  DumpOctetLine(walk, 0xA1);
  DumpShortTagId(walk, 30);
  DumpTagIdOctet(walk, false, 0x45);
  DumpTagIdOctet(walk, true, 69);
  DumpShortLength(walk, 5);
  DumpLongLengthHeader(walk, 0x82, 2);
  DumpLengthOctet(walk, 0x01);
  EXPECT_EQ(walk.State.RecordBuffer,
            "0000000005: 1010 0001 = A1h\n"
            "            ...1 1110 TagId=30\n"
            "            0100 0101 - not last octet of the identifier octets\n"
            "            **** ****   TagId=69\n"
            "            .000 0101 Short form of definite Length. Length=5\n"
            "            1000 0010 Long form of definite Length. Number of bytes in length=2\n"
            "            0000 0001 = 01h - one of N bytes of long form of definite Length\n");
}

TEST(OctetAnnotations, BitPicturesAtTheirLimits) {
  const uint8_t data[1] = {};
  TBranch root(nullptr);
  WalkContext walk(WalkSettings{}, data, 1, root, nullptr);
  DumpOctetLine(walk, 0x00);
  DumpOctetLine(walk, 0xFF);
  DumpShortTagId(walk, 0);
  DumpShortTagId(walk, 17);
  DumpShortLength(walk, 0);
  DumpShortLength(walk, 127);
  DumpLongLengthHeader(walk, 0xFF, 127);
  DumpTagIdOctet(walk, false, 0x7F);
  DumpTagIdOctet(walk, false, 0xC5);
  DumpLengthOctet(walk, 0xA5);
  EXPECT_EQ(walk.State.RecordBuffer,
            "0000000000: 0000 0000 = 00h\n"
            "0000000000: 1111 1111 = FFh\n"
            "            ...0 0000 TagId=0\n"
            "            ...1 0001 TagId=17\n"
            "            .000 0000 Short form of definite Length. Length=0\n"
            "            .111 1111 Short form of definite Length. Length=127\n"
            "            1111 1111 Long form of definite Length. Number of bytes in length=127\n"
            "            0111 1111 - not last octet of the identifier octets\n"
            "            1100 0101 - last octet of the identifier octets\n"
            "            1010 0101 = A5h - one of N bytes of long form of definite Length\n");
  std::string line = "x";
  const uint8_t octets[] = {0x0A, 0xFF, 0x30};
  AppendHexDigits(line, octets, 3);
  AppendHexDigits(line, octets, 0);
  EXPECT_EQ(line, "x0AFF30");
}

// Identifier lines of an element (offset line, class, encoding, tag number, full tag string).
std::string IdLines(const char* offsetLine, const char* classLine, bool constructed, const char* tagLine,
                    const char* path) {
  return std::string(offsetLine) + "\n" + Margin(classLine) +
         Margin(constructed ? "..1. .... Encoding = Constructed" : "..0. .... Encoding = Primitive") +
         Margin(tagLine) + Margin(std::string("**** **** Full tag string is ") + path);
}
std::string ShortLengthLines(const char* offsetLine, const char* lengthLine) {
  return std::string(offsetLine) + "\n" + Margin("0... .... Definite form of length") + Margin(lengthLine);
}
const char* const kApplication = "01.. .... Class of tag = Application";
const char* const kContext = "10.. .... Class of tag = Context-specific";

std::unique_ptr<TBranch> CallDictionary() {
  return BuildDictionary({"1.TagName=record", "1.LongTagName=Call", "1.2.TagName=Cause", "1.2.Type=DecNumber",
                          "1.3.TagName=Box", "1.3.4.TagName=In"});
}

TEST(DebugWalker, WorkedExample) {
  WalkResult result = RunWalk(*CallDictionary(), {0x61, 0x80, 0x82, 0x01, 0x05, 0x00, 0x00}, Debug());
  EXPECT_EQ(result.Output,
            "0000000000: 0110 0001 = 61h\n"
            "            01.. .... Class of tag = Application\n"
            "            ..1. .... Encoding = Constructed\n"
            "            ...0 0001 TagId=1\n"
            "            **** **** Full tag string is 1.\n"
            "Call 1\n"
            "0000000001: 1000 0000 = 80h\n"
            "            1000 0000 Indefinite form of length\n"
            "\n"
            "0000000002: 1000 0010 = 82h\n"
            "            10.. .... Class of tag = Context-specific\n"
            "            ..0. .... Encoding = Primitive\n"
            "            ...0 0010 TagId=2\n"
            "            **** **** Full tag string is 1.2.\n"
            "            **** **** Tag name: Cause\n"
            "0000000003: 0000 0001 = 01h\n"
            "            0... .... Definite form of length\n"
            "            .000 0001 Short form of definite Length. Length=1\n"
            "0000000004: HEX contents of tag body: 05\n"
            "            Decoded value of a tag: 5\n"
            "\n"
            "            0000 0000 = 00h - The first byte of 'End-of-contents octets'\n"
            "            0000 0000 = 00h - The second byte of 'End-of-contents octets'. End of tag.\n"
            "\n");
  EXPECT_EQ(result.Console, " 14% completed\r 42% completed\r");
  EXPECT_EQ(result.Status, 0);
}

TEST(DebugWalker, HighTagNumberLongLengthAndUnknownTag) {
  TBranch root(nullptr);
  WalkResult result = RunWalk(root, Cat({{0x9F, 0xC5, 0x82, 0x01, 0x2C}, Repeat(300, 0x00)}), Debug());
  EXPECT_EQ(result.Output,
            "0000000000: 1001 1111 = 9Fh\n" + Margin(kContext) + Margin("..0. .... Encoding = Primitive") +
                Margin("0100 0101 - not last octet of the identifier octets") + Margin("**** ****   TagId=69") +
                Margin("**** **** Full tag string is 69.") + NotFoundLine("69.") +
                "0000000002: 1000 0010 = 82h\n" + Margin("0... .... Definite form of length") +
                Margin("1000 0010 Long form of definite Length. Number of bytes in length=2") +
                Margin("0000 0001 = 01h - one of N bytes of long form of definite Length") +
                Margin("0010 1100 = 2Ch - one of N bytes of long form of definite Length") +
                Margin("**** **** Length of tag = 300") + "\n" + "\n");
  EXPECT_EQ(result.Status, 0);
}

// A record item without a long name, constructed and primitive elements of length 0, and the
// return to the record's branch after a constructed element.
TEST(DebugWalker, EmptyElementsAndNamelessRecord) {
  auto root = BuildDictionary({"1.TagName=record", "1.2.TagName=Cause", "1.3.TagName=Box", "1.3.4.TagName=In"});
  WalkResult result = RunWalk(*root, {0x61, 0x04, 0xA3, 0x00, 0x82, 0x00}, Debug());
  EXPECT_EQ(result.Output,
            IdLines("0000000000: 0110 0001 = 61h", kApplication, true, "...0 0001 TagId=1", "1.") + "(null) 1\n" +
                ShortLengthLines("0000000001: 0000 0100 = 04h", ".000 0100 Short form of definite Length. Length=4") +
                "\n" + IdLines("0000000002: 1010 0011 = A3h", kContext, true, "...0 0011 TagId=3", "1.3.") +
                Margin("**** **** Tag name: Box") +
                ShortLengthLines("0000000003: 0000 0000 = 00h", ".000 0000 Short form of definite Length. Length=0") +
                IdLines("0000000004: 1000 0010 = 82h", kContext, false, "...0 0010 TagId=2", "1.2.") +
                Margin("**** **** Tag name: Cause") +
                ShortLengthLines("0000000005: 0000 0000 = 00h", ".000 0000 Short form of definite Length. Length=0"));
  EXPECT_EQ(result.Console.find("Error"), std::string::npos);
}

// Three records 61 03 82 01 0v. Outside the range a record keeps its identifier and length lines
// and loses its record line and contents; with a filter only the matching record's text is kept.
TEST(DebugWalker, RangeAndFilter) {
  const Bytes input = {0x61, 0x03, 0x82, 0x01, 0x01, 0x61, 0x03, 0x82, 0x01, 0x02, 0x61, 0x03, 0x82, 0x01, 0x03};
  auto recordLines = [](const char* idOffset, const char* lengthOffset) {
    return IdLines((std::string(idOffset) + ": 0110 0001 = 61h").c_str(), kApplication, true, "...0 0001 TagId=1",
                   "1.") +
           ShortLengthLines((std::string(lengthOffset) + ": 0000 0011 = 03h").c_str(),
                            ".000 0011 Short form of definite Length. Length=3");
  };
  const std::string third =
      IdLines("0000000012: 1000 0010 = 82h", kContext, false, "...0 0010 TagId=2", "1.2.") +
      Margin("**** **** Tag name: Cause") +
      ShortLengthLines("0000000013: 0000 0001 = 01h", ".000 0001 Short form of definite Length. Length=1") +
      "0000000014: HEX contents of tag body: 03\n            Decoded value of a tag: 3\n\n";
  std::string withCallLine = recordLines("0000000010", "0000000011");
  withCallLine.insert(withCallLine.find("0000000011"), "Call 3\n");

  WalkResult ranged = RunWalk(*CallDictionary(), input, Debug(Range(3, 3)));
  EXPECT_EQ(ranged.Output, recordLines("0000000000", "0000000001") + recordLines("0000000005", "0000000006") +
                               withCallLine + "\n" + third);

  auto root = CallDictionary();
  bool found = false;
  SetFilter(*root, "Cause", "3", found);
  WalkSettings filtered;
  filtered.FilterCount = 1;
  WalkResult result = RunWalk(*root, input, Debug(filtered));
  const std::string kept = withCallLine.substr(withCallLine.find("Call 3\n"));
  EXPECT_EQ(result.Output, kept + "\n" + third);
}

TEST(DebugWalker, HugeLongFormLengthStopsTheWalk) {
  TBranch root(nullptr);
  WalkResult result = RunWalk(root, {0x81, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, Debug());
  EXPECT_EQ(result.Status, -1);
  EXPECT_NE(result.Output.find(Margin("**** **** Length of tag = 4294967295") + "\n"), std::string::npos);
  EXPECT_NE(result.Console.find(kEndOfInput), std::string::npos);
}

// A contents line is shown whole whatever its length: 987 to 1000 octets make a line just longer
// than one piece that the record takes (it was once refused there with the "2048 bytes" message).
TEST(DebugWalker, ContentsLineOfAThousandOctetsIsShownWhole) {
  for (std::size_t octets : {986u, 987u, 1000u, 1001u}) {
    SCOPED_TRACE(octets);
    auto root = BuildDictionary({"1.TagName=x", "1.Type=HexNumber"});
    WalkResult result = RunWalk(*root, Tlv({0x81}, Repeat(octets, 0xAB)), Debug());
    std::string expected;
    for (std::size_t i = 0; i < octets; ++i) expected += "AB";
    EXPECT_NE(result.Output.find(": HEX contents of tag body: " + expected + "\n            Decoded value of a tag: " +
                                 expected + "\n\n"),
              std::string::npos);
    EXPECT_EQ(result.Console, "");
  }
}

// A short-form length greater than what is left stops the walk after the length lines, whether
// the tag is known (its contents must not be read past the input's end) or not (41 must not be
// walked as the next element).
TEST(DebugWalker, ShortLengthPastTheEndStopsTheWalk) {
  for (bool known : {false, true}) {
    SCOPED_TRACE(known);
    auto root = known ? BuildDictionary({"1.TagName=x", "1.Type=String"}) : std::make_unique<TBranch>(nullptr);
    WalkResult result = RunWalk(*root, {0x81, 0x05, 0x41}, Debug());
    EXPECT_EQ(result.Status, -1);
    const std::string lengthLines =
        ShortLengthLines("0000000001: 0000 0101 = 05h", ".000 0101 Short form of definite Length. Length=5");
    ASSERT_GE(result.Output.size(), lengthLines.size());
    EXPECT_EQ(result.Output.substr(result.Output.size() - lengthLines.size()), lengthLines);
    EXPECT_NE(result.Console.find(kEndOfInput), std::string::npos);
  }
}

}  // namespace
}  // namespace orvalis::test
