// Value texts of every type, the address layouts of both modes, and the filter step.
#include "decode/value_decoders.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

struct Decoded {
  std::string Record, Console;  // what was appended to the record; standard output
  bool Passes = true;
  uint32_t Seen = 0;
};

// Decodes the content in a fresh record, for a tag 1 declared by the parameter lines given.
Decoded Decode(const std::vector<std::string>& params, const Bytes& content, bool debug = false,
               const char* filter = nullptr) {
  TBranch root(nullptr);
  ApplyTagsLine(root, "1.LongTagName=unused");
  for (const std::string& param : params) ApplyTagsLine(root, "1." + param);
  TItem& item = root.First->Item;
  if (filter != nullptr) item.FilterValue = filter;
  std::unique_ptr<uint8_t[]> image(new uint8_t[content.size()]);  // exact size: no read beyond it
  std::copy(content.begin(), content.end(), image.get());
  WalkSettings settings;
  settings.DebugMode = debug;
  WalkContext walk(settings, image.get(), content.size(), root, nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(DecodeValue(walk, item, content.size()), 0);
  Decoded out{walk.State.RecordBuffer, testing::internal::GetCapturedStdout(), walk.State.RecordPasses,
              walk.State.FilteredTagsSeen};
  EXPECT_EQ(walk.Input.Position(), 0u);
  return out;
}

struct ValueRow {
  std::vector<std::string> params;
  Bytes content;
  std::string text;
};

void CheckRows(const std::vector<ValueRow>& rows, bool debug = false) {
  for (const ValueRow& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.params) + " " + testing::PrintToString(row.content));
    Decoded out = Decode(row.params, row.content, debug);
    EXPECT_EQ(out.Record, row.text);
    EXPECT_EQ(out.Console, "");
  }
}

TEST(ValueTexts, DatesStringsAndNumbers) {
  const std::vector<std::string> date = {"Type=DateTime"}, str = {"Type=String"}, hex = {"Type=HexNumber"},
                                 dec = {"Type=DecNumber"}, dur = {"Type=Duration"}, line = {"Type=LineCode"};
  CheckRows({
      {date, {0x06, 0x04, 0x23, 0x09, 0x57, 0x05, 0x12}, "23.04.2006 09:57:05:12\n"},
      {date, {0x1A, 0x04, 0x23, 0x09, 0x57, 0x05, 0x12}, "23.04.20110 09:57:05:12\n"},
      {date, {0x06, 0x04, 0x23, 0x09, 0x57, 0x05, 0x12, 0x99}, "23.04.2006 09:57:05:12\n"},
      {date, {0x06, 0x0C, 0x3F, 0xFF, 0x00, 0x01, 0xA0}, "315.012.2006 1515:00:01:100\n"},
      {date, {0x06, 0x04, 0x23, 0x09, 0x57, 0x05},
       " error: length of DateTime type tag is less than 7 bytes!!!\n"},
      {str, {0x41, 0x42, 0x43, 0x00, 0x00}, "ABC\n"},
      {str, {0x41, 0x00, 0x42}, "A\n"},
      {str, {0x00, 0x41}, "\n"},
      {str, {0x20, 0x7E, 0x09, 0x0A, 0xFF}, " ~\t\n\xFF\n"},
      {hex, {0x01, 0xAB}, "01AB\n"},
      {hex, {0x0A, 0xFF, 0x30}, "0AFF30\n"},
      {dec, {0xFF}, "255\n"},
      {dec, {0x00}, "0\n"},
      {dec, {0x01, 0x02}, "18\n"},
      {dec, {0x01, 0x00}, "16\n"},
      {dec, {0x00, 0x10}, "16\n"},
      {dec, {0xFF, 0xFF}, "4335\n"},
      {dec, {0x01, 0x02, 0x03}, " error: length of DecNumber type tag is more than 2 bytes!!!\n"},
      {dur, {0x8C, 0xA0}, "00:06:00\n"},
      {dur, {0x63}, "00:00:00\n"},
      {dur, {0x05, 0x7E, 0x40}, "01:00:00\n"},
      {dur, {0x02, 0x25, 0x51, 0x00}, "100:00:00\n"},
      {dur, {0xFF, 0xFF, 0xFF, 0xFF}, "11930:27:52\n"},
      {dur, {0x17, 0x6F}, "00:00:59\n"},                  // 5999 hundredths: not rounded up
      {dur, {0x01, 0x00, 0x00, 0x17, 0x70}, "00:01:00\n"},  // only the last four bytes count
      {line, {0x12}, "12/\n"},
      {line, {0x12, 0x34}, "1234/\n"},
      {line, {0x12, 0x34, 0x56, 0x78}, "1234/5678\n"},
      {line, {0x0A, 0xBC, 0xDE}, "0ABC/DE\n"},
      {{}, {0x05}, "\n"},
  });
}

TEST(ValueTexts, Mnemonics) {
  const std::vector<std::string> ind = {"Type=ValFromIndexedArr", "IndArr=Zero,One,,Three"};
  const std::vector<std::string> non = {"Type=ValFromNonIndexedArr",
                                        "NonIndArr=1,Local;2,National;21,Twenty-one;2,Dup;16,Sixteen;7,"};
  const std::string notFound = " - Mnemonics not found\n";
  CheckRows({
      {ind, {0x00}, "Zero\n"},
      {ind, {0x02}, "(null)\n"},
      {ind, {0x03}, "Three\n"},
      {ind, {0x00, 0x03}, "Three\n"},
      {ind, {0x04}, "4" + notFound},
      {ind, {0x01, 0x00}, "16" + notFound},
      {ind, {0x01, 0x02, 0x03}, " error: length length of ValFromIndexedArr type tag is more than 2 bytes!!!\n"},
      {{"Type=ValFromIndexedArr"}, {0x02}, "2" + notFound},
      {non, {0x01}, "Local\n"},
      {non, {0x02}, "National\n"},
      {non, {0x01, 0x05}, "Twenty-one\n"},
      {non, {0x01, 0x00}, "Sixteen\n"},
      {non, {0x07}, "(null)\n"},
      {non, {0x01, 0x06}, "22" + notFound},
      {non, {0x00}, "0" + notFound},
      {non, {0x01, 0x02, 0x03}, " error: length of ValFromNonIndexedArr type tag is more than 2 bytes!!!\n"},
      {{"Type=ValFromNonIndexedArr"}, {0x01, 0x05}, "21" + notFound},
  });
}

// Dictionary texts go over in whole words up to 32 characters and by length beyond: names and
// mnemonics on both sides of that size come out whole and alone.
TEST(ValueTexts, DictionaryTextsOfEverySize) {
  std::string entries;
  std::vector<std::string> texts;
  for (std::size_t size : {1, 7, 8, 15, 16, 17, 31, 32, 33, 64, 200}) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char>('a' + (size + i) % 26));
    texts.push_back(text);
    entries += (entries.empty() ? "" : ",") + text;
  }
  auto root = BuildDictionary({"1.TagName=record", "1.LongTagName=R"});
  Bytes file;
  std::string expected;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string tag = std::to_string(i + 1);
    ApplyTagsLine(*root, "1." + tag + ".LongTagName=" + texts[texts.size() - 1 - i]);
    ApplyTagsLine(*root, "1." + tag + ".Type=ValFromIndexedArr");
    ApplyTagsLine(*root, "1." + tag + ".IndArr=" + entries);
    file = Cat({file, Tlv({static_cast<uint8_t>(0x80 + i + 1)}, {static_cast<uint8_t>(i)})});
    expected += texts[texts.size() - 1 - i] + texts[i] + "\n";
  }
  const WalkResult result = RunWalk(*root, Tlv({0xA1}, file));
  EXPECT_EQ(result.Output, "R 1\n" + expected);
}

const std::string kIsdn = "ISDN(Telephony) Number Plan (ITU-T Recommendation E.164)";

TEST(AddressTexts, NormalLayout) {
  const std::vector<std::string> num = {"Type=Number", "TagName=A"}, rd = {"Type=ReceivedDigits"};
  auto number = [](const std::string& nature, const std::string& plan, const std::string& digits) {
    return "Nature of Addr.\t\t" + nature + "\n\t\t\t\tnumbering plan ind.\t" + plan +
           "\n\t\t\t\taddress digits\t\t" + digits + "\n";
  };
  auto received = [](const std::string& nature, const std::string& digits) {
    return "Nature of Addr.\t\t" + nature + "\n\t\t\t\taddress digits.\t\t" + digits + "\n";
  };
  CheckRows({
      {num, {0x83, 0x10, 0x21, 0x43, 0x65}, number("national (significant) number", kIsdn, "21436")},
      {num, {0x03, 0x10, 0x21, 0x43, 0x65}, number("national (significant) number", kIsdn, "214365")},
      {num, {0x05, 0x10, 0x12}, number("5", kIsdn, "12")},
      {num, {0x04, 0x9F, 0x12}, number("international number", kIsdn, "12")},
      {num, {0x83, 0x10}, number("national (significant) number", kIsdn, "")},
      {num, {0x00, 0x30}, number("spare", "data numbering plan (ITU-T Recommendation  X.121)", "")},
      {num, {0x01, 0x40}, number("subscriber number", "telex numbering plan (ITU-T Recommendation  F.69)", "")},
      {num, {0x02, 0x50, 0xAB, 0xCD, 0xEF}, number("unknown", "reserved for national use", "*#abcS")},
      {num, {0x7F, 0x60}, number("127", "reserved for national use", "")},
      {num, {0x80, 0x70}, number("spare", "spare", "")},
      {num, {0x83}, " error: length of Number type tag is less than 2 bytes!!!\n"},
      {rd, {0x04, 0xAB, 0xCD, 0xEF}, received("international number", "*#abcS")},
      {rd, {0x84, 0xAB, 0xCD, 0xEF}, received("international number", "*#abc")},
      {rd, {0x82}, received("unknown", "")},
      {rd, {0x85, 0x90}, received("5", "9")},
  });
}

TEST(AddressTexts, DebugLayout) {
  const std::string nineteen(19, ' '), twentyTwo(22, ' ');
  auto number = [&](const std::string& name, const std::string& natureCode, const std::string& nature,
                    const std::string& planCode, const std::string& plan, const std::string& digits) {
    return name + "\n" + nineteen + natureCode + " Nature of Addr.=" + nature + "\n" + nineteen + planCode +
           " numbering plan ind.=" + plan + "\n" + twentyTwo + "address digits=" + digits + "\n";
  };
  CheckRows({
      {{"Type=Number", "TagName=A"}, {0x83, 0x10, 0x21, 0x43, 0x65},
       number("A", "03", "national (significant) number", "10", kIsdn, "21436")},
      {{"Type=Number"}, {0x05, 0x10, 0x12}, number("(null)", "05", "5", "10", kIsdn, "12")},
      {{"Type=Number", "TagName=N"}, {0xFF, 0xF0}, number("N", "7F", "127", "70", "spare", "")},
      {{"Type=Number"}, {0x83}, " error: length of Number type tag is less than 2 bytes!!!\n"},
      {{"Type=ReceivedDigits", "TagName=RD"}, {0x04, 0xAB, 0xCD, 0xEF},
       "RD\n**** **** Nature of Addr.=international number\n**** **** numbering plan ind.=*#abcS\n"},
      {{"Type=ReceivedDigits"}, {0x87, 0x12},
       "(null)\n**** **** Nature of Addr.=7\n**** **** numbering plan ind.=1\n"},
      {{"Type=DecNumber", "TagName=D"}, {0xFF}, "255\n"},
  }, true);
}

TEST(ValueTexts, LongValuesAreRefusedButStillFiltered) {
  Bytes content = Repeat(3000, 'a');
  content.push_back('Z');
  Decoded out = Decode({"Type=String"}, content, false, "aZ");
  EXPECT_EQ(out.Record, "");
  EXPECT_EQ(out.Console, "Error: length of current record more than 2048 bytes.\n");
  EXPECT_TRUE(out.Passes);
  EXPECT_EQ(out.Seen, 1u);
  // Hexadecimal digits go out one octet at a time, so a long HexNumber is never refused.
  out = Decode({"Type=HexNumber"}, Repeat(1500, 0xAB), false, "ABAB\n");
  EXPECT_EQ(out.Record.size(), 3001u);
  EXPECT_EQ(out.Console, "");
  EXPECT_TRUE(out.Passes);
}

// The text compared with the filter value: the whole line, the digit line of an address, a length
// message, "\n" for a tag without type.
TEST(FilterStep, ComparesTheValueTextOfEachType) {
  const Bytes number = {0x83, 0x10, 0x21, 0x43, 0x65};
  const std::tuple<std::vector<std::string>, Bytes, const char*, bool, bool> rows[] = {  // debug, passes
      {{"Type=HexNumber"}, {0x01, 0xAB}, "1AB", false, true},
      {{"Type=HexNumber"}, {0x01, 0xAB}, "01AB\n", false, true},
      {{"Type=HexNumber"}, {0x01, 0xAB}, "1ab", false, false},
      {{"Type=Number"}, number, "2143", false, true},
      {{"Type=Number"}, number, "national", false, false},
      {{"Type=Number"}, number, "E.164", true, false},
      {{"Type=Number"}, {0x83}, "less than 2 bytes", false, true},
      {{"Type=ReceivedDigits"}, {0x04, 0xAB}, "international", true, false},
      {{"Type=ReceivedDigits"}, {0x04, 0xAB}, "*#\n", true, true},
      {{"Type=DateTime"}, {0x06}, "less than 7", false, true},
      {{"Type=DecNumber"}, {0x01, 0x02, 0x03}, "more than 2 bytes", false, true},
      {{"Type=ValFromNonIndexedArr", "NonIndArr=1,Local"}, {0x05}, "5 - Mnemonics not found", false, true},
      {{"Type=ValFromIndexedArr", "IndArr=,B"}, {0x00}, "(null)", false, true},
      {{"Type=LineCode"}, {0x12, 0x34, 0x56}, "34/56", false, true},
      {{"Type=String"}, {0x41, 0x00, 0x43}, "C", false, false},
      {{"Type=String"}, {0x00}, "", false, true},
      {{}, {0x05}, "\n", false, true},
  };
  for (const auto& [params, content, filter, debug, passes] : rows) {
    SCOPED_TRACE(testing::PrintToString(params) + " " + testing::PrintToString(content) + " " + filter);
    Decoded out = Decode(params, content, debug, filter);
    EXPECT_EQ(out.Passes, passes);
    EXPECT_EQ(out.Seen, 1u);
  }
}

TEST(FilterStep, AFailedRecordStaysFailedAndEveryValueCounts) {
  auto root = BuildDictionary({"1.Type=DecNumber", "2.Type=DecNumber", "3.Type=DecNumber"});
  TItem& first = root->FindById(1)->Item;
  TItem& second = root->FindById(2)->Item;
  first.FilterValue = "8";
  second.FilterValue = "7";
  const uint8_t content[] = {0x07};
  WalkContext walk(WalkSettings{}, content, 1, *root, nullptr);
  DecodeValue(walk, root->FindById(3)->Item, 1);  // not filtered: not counted
  EXPECT_EQ(walk.State.FilteredTagsSeen, 0u);
  DecodeValue(walk, first, 1);
  EXPECT_FALSE(walk.State.RecordPasses);
  DecodeValue(walk, second, 1);  // matches, yet the record stays failed
  EXPECT_FALSE(walk.State.RecordPasses);
  EXPECT_EQ(walk.State.FilteredTagsSeen, 2u);
  EXPECT_EQ(walk.State.RecordBuffer, "7\n7\n7\n");
}

}  // namespace
}  // namespace orvalis::test
