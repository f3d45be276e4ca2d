// The normal-mode walk: identifiers, lengths, nesting, lookups, records, range and filter.
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

std::unique_ptr<TBranch> CallDictionary() {
  return BuildDictionary({
      "1.TagName=record", "1.LongTagName=Record",
      "1.0.TagName=callType", "1.0.LongTagName=Call type:\\t", "1.0.Type=DecNumber",
      "1.2.TagName=sub", "1.2.LongTagName=Sub\\n", "1.2.3.LongTagName=Leaf:", "1.2.3.Type=HexNumber",
      "1.33.LongTagName=Hi:", "1.33.Type=String",
      "1.4.LongTagName=E:",   // constructed in the input, without sub-tags here
      "1.5.Type=DecNumber",   // a value without a name
      "2.TagName=block", "2.LongTagName=Block\\n",
      "2.1.TagName=record", "2.1.LongTagName=Record",
      "2.1.0.TagName=callType", "2.1.0.LongTagName=Call type:\\t", "2.1.0.Type=DecNumber",
      "3.LongTagName=Header:\\t", "3.Type=String",
  });
}

// A record (tag 1 at the top, or tag 2.1 in a block) holding one call type.
Bytes Rec(uint8_t callType) { return {0xA1, 0x03, 0x80, 0x01, callType}; }
std::string RecText(int number, int callType) {
  return "Record " + std::to_string(number) + "\nCall type:\t" + std::to_string(callType) + "\n";
}
Bytes Block(const Bytes& contents) { return Tlv({0xA2}, contents); }

std::string ConsoleNotFound(const std::string& path) {
  return "Error: tag " + path + " not found, please, add it to Tags.cfg or report about this error to "
         "billing-tools@example.org\n\n";
}

struct WalkRow {
  const char* name;
  Bytes input;
  WalkSettings settings;
  const char* filter;  // "callType" takes this value when not null
  std::string output;
  int status;
  uint32_t records;
  std::vector<std::string> consoleHas = {};
  std::vector<std::string> consoleLacks = {};
};

WalkSettings Normal() { return {}; }
WalkSettings Filtered() {
  WalkSettings settings;
  settings.FilterCount = 1;
  return settings;
}

TEST(RecordWalker, WalksNamesAndSelectsRecords) {
  const std::string subtagMessage =
      "Error: there should be at least one subtag for tag 1.4. please correct tags configuration in Tags.cfg\n\n";
  const WalkRow rows[] = {
      {"two records", Cat({Rec(5), Rec(7)}), Normal(), nullptr, RecText(1, 5) + RecText(2, 7), 0, 2,
       {" 10% completed\r 60% completed\r"}},
      {"filter", Cat({Rec(5), Rec(7)}), Filtered(), "7", RecText(2, 7), 0, 2},
      {"range skips unseen", Cat({{0xA1, 0x03, 0x89, 0x01, 0x05}, Rec(7)}), Range(2, UINT32_MAX),
       nullptr, RecText(2, 7), 0, 2, {}, {"not found"}},
      {"identifier forms",
       Cat({{0xA1, 0x05, 0x9F, 0x21, 0x02, 'H', 'I'}, {0xA1, 0x05, 0x9F, 0xA1, 0x02, 'H', 'I'},
            {0x61, 0x03, 0x40, 0x01, 0x05}, {0xE1, 0x03, 0xC0, 0x01, 0x06}}),
       Normal(), nullptr, "Record 1\nHi:HI\nRecord 2\nHi:HI\n" + RecText(3, 5) + RecText(4, 6), 0, 4},
      {"long lengths",
       Cat({{0xA1, 0x81, 0xCC, 0x9F, 0x21, 0x81, 0xC8}, Repeat(200, 'a'),
            {0xA1, 0x82, 0x01, 0x32, 0x9F, 0x21, 0x83, 0x00, 0x01, 0x2C}, Repeat(300, 'b')}),
       Normal(), nullptr,
       "Record 1\nHi:" + std::string(200, 'a') + "\nRecord 2\nHi:" + std::string(300, 'b') + "\n", 0, 2},
      {"empty contents", {0xA1, 0x06, 0x80, 0x00, 0x85, 0x00, 0xA2, 0x00}, Normal(), nullptr,
       "Record 1\nCall type:\tSub\n", 0, 1},
      {"indefinite nesting",
       Cat({{0xA1, 0x80, 0x80, 0x01, 0x05, 0xA2, 0x80, 0x83, 0x01, 0xAB, 0x00, 0x00, 0x00, 0x00}, Rec(7)}),
       Normal(), nullptr, "Record 1\nCall type:\t5\nSub\nLeaf:AB\n" + RecText(2, 7), 0, 2},
      {"ascent to the enclosing branch", {0xA1, 0x08, 0xA2, 0x03, 0x83, 0x01, 0xAB, 0x85, 0x01, 0x09},
       Normal(), nullptr, "Record 1\nSub\nLeaf:AB\n9\n", 0, 1, {}, {"Error"}},
      {"two unknown tags, then back in the dictionary",
       {0xA1, 0x09, 0x89, 0x01, 0x00, 0x8A, 0x01, 0x00, 0x80, 0x01, 0x05}, Normal(), nullptr,
       "Record 1\n" + NotFoundLine("1.9.") + NotFoundLine("1.10.") + "Call type:\t5\n", 0, 1,
       {ConsoleNotFound("1.9.") + ConsoleNotFound("1.10.")}},
      {"unknown constructed tag", {0xA1, 0x08, 0xA9, 0x03, 0x80, 0x01, 0x05, 0x80, 0x01, 0x06}, Normal(), nullptr,
       "Record 1\n" + NotFoundLine("1.9.") + NotFoundLine("1.9.0.") + "Call type:\t6\n", 0, 1},
      {"unknown top-level tag between records", Cat({Rec(5), {0x87, 0x01, 0x00}, Rec(6)}), Normal(), nullptr,
       RecText(1, 5) + NotFoundLine("7.") + RecText(2, 6), 0, 2},
      {"leaf without sub-tags", {0xA1, 0x08, 0xA4, 0x03, 0x80, 0x01, 0x05, 0x80, 0x01, 0x06}, Normal(), nullptr,
       "Record 1\nE:" + NotFoundLine("1.4.0.") + "Call type:\t6\n", 0, 1, {subtagMessage}},
      {"text before the first record", Cat({{0x83, 0x02, 'H', 'I'}, Rec(5)}), Normal(), nullptr,
       "Header:\tHI\n" + RecText(1, 5), 0, 1},
      {"text before the first record, filtered", Cat({{0x83, 0x02, 'H', 'I'}, Rec(5)}), Filtered(), "5",
       RecText(1, 5), 0, 1},
      {"filtered tag missing or twice",
       Cat({{0xA1, 0x03, 0x85, 0x01, 0x07}, {0xA1, 0x06, 0x80, 0x01, 0x07, 0x80, 0x01, 0x07}, Rec(7)}),
       Filtered(), "7", RecText(3, 7), 0, 3},
      {"range 2..3 of five", Cat({Rec(1), Rec(2), Rec(3), {0xA1, 0x03, 0x89, 0x01, 0x04}, Rec(5)}),
       Range(2, 3), nullptr, RecText(2, 2) + RecText(3, 3), 0, 5, {}, {"not found"}},
      {"blocks that begin in a skipped record are walked",
       Cat({Block(Cat({Rec(1), Rec(2)})), Block(Cat({Rec(3), Rec(4)})), Block(Rec(5))}), Range(5, 5),
       nullptr, "Block\n" + RecText(5, 5), 0, 5},
      {"a block beside a skipped top-level record is walked: its records are counted",
       Cat({Rec(1), Block(Cat({Rec(8), Rec(9)})), Rec(2)}), Range(2, 2), nullptr, RecText(2, 8), 0, 4},
      {"an indefinite block is walked in a skipped record",
       Cat({Rec(1), Indefinite(0xA2, Cat({Rec(2), Rec(3)}))}), Range(2, 2), nullptr, RecText(2, 2), 0, 3},
      {"primitive of indefinite length", {0xA1, 0x80, 0x80, 0x80, 0x05, 0x00, 0x00, 0x00, 0x00}, Normal(),
       nullptr, "Record 1\nCall type:\t", -1, 1, {"Error:!!!! NonConstructed tag with undefinite length !!!!\n"}},
      {"truncated record", Cat({Rec(5), {0xA1, 0x03, 0x80, 0x01}}), Normal(), nullptr,
       RecText(1, 5) + "Record 2\n", -1, 2, {std::string(kEndOfInput)}},
  };
  for (const WalkRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto root = CallDictionary();
    if (row.filter != nullptr) {
      bool found = false;
      SetFilter(*root, "callType", row.filter, found);
      ASSERT_TRUE(found);
    }
    WalkResult result = RunWalk(*root, row.input, row.settings);
    EXPECT_EQ(result.Output, row.output);
    EXPECT_EQ(result.Status, row.status);
    EXPECT_EQ(result.Records, row.records);
    for (const std::string& text : row.consoleHas) EXPECT_NE(result.Console.find(text), std::string::npos) << text;
    for (const std::string& text : row.consoleLacks) EXPECT_EQ(result.Console.find(text), std::string::npos) << text;
  }
}

// 21 nested levels (depths 0 to 20) are walked; a 22nd stops the walk, in both modes.
TEST(RecordWalker, NestingLimit) {
  for (int levels : {21, 22}) {
    for (bool debug : {false, true}) {
      SCOPED_TRACE(std::to_string(levels) + (debug ? " debug" : ""));
      Bytes input = {0x81, 0x00};
      std::string deepest = "1.";
      for (int i = 1; i < levels; ++i, deepest += "1.") input = Indefinite(0xA1, input);
      TBranch root(nullptr);
      WalkResult result = RunWalk(root, input, debug ? Debug() : WalkSettings{});
      EXPECT_EQ(result.Status, levels == 21 ? 0 : -1);
      EXPECT_EQ(result.Console.find("Error: something is wrong. Tag Identifier is too long.\n\n") != std::string::npos,
                levels == 22);
      EXPECT_EQ(result.Output.find(NotFoundLine(deepest)) != std::string::npos, levels == 21);
    }
  }
}

}  // namespace
}  // namespace orvalis::test
