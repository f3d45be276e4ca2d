// Whole walks over damaged input: every cut of a valid file, every flipped byte, and lengths and
// nestings at their extremes. Each walk must end, read nothing outside the input (the sanitizers
// watch) and keep the text of what came before the damage; with Resync, the text of what comes
// after it too, from the earliest place a record reads cleanly.
#include <algorithm>

#include "decode/resync.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

// Top-level elements of the sample file with the text that each adds to the output.
struct Element { Bytes bytes; std::string text; };
std::vector<Element> SampleElements() {
  auto call = [](uint8_t v) { return Tlv({0xA1}, Tlv({0x80}, {v})); };
  return {
      {Tlv({0xA1}, Cat({Tlv({0x80}, {0x05}), Tlv({0x9F, 0x21}, {'A', 'l', 'i', 'c', 'e'})})),
       "Record 1\nCall type:\t5\nName:\tAlice\n"},
      {Indefinite(0xA1, Cat({Tlv({0x80}, {0x06}), Indefinite(0xA2, Tlv({0x83}, {0x04, 0x12, 0x34}))})),
       "Record 2\nCall type:\t6\nSub\nDigits:\tNature of Addr.\t\tinternational number\n\t\t\t\taddress digits.\t\t1234\n"},
      {Tlv({0xA2}, Cat({call(7), call(8)})), "Block\nRecord 3\nCall type:\t7\nRecord 4\nCall type:\t8\n"},
      {Indefinite(0xA2, call(9)), "Block\nRecord 5\nCall type:\t9\n"},
      {Tlv({0xA1}, Tlv({0x9F, 0x21}, Repeat(150, 'x'))), "Record 6\nName:\t" + std::string(150, 'x') + "\n"},
      {Tlv({0xA1}, Tlv({0x80}, {0x01, 0x02})), "Record 7\nCall type:\t18\n"},
  };
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The stop messages of a walk; a walk that returns -1 has printed one of them.
bool HasStopMessage(const std::string& console) {
  for (const char* message : {"Error: unexpected end of input file.\n\n", "NonConstructed tag with undefinite length",
                              "Error: something is wrong. Tag Identifier is too long.\n\n"}) {
    if (console.find(message) != std::string::npos) return true;
  }
  return false;
}

// Cuts the sample at every offset. A cut at the end of a top-level element is a shorter valid
// file; any other cut stops the walk with the end-of-input message. Either way the output is the
// full run's output up to some point, and holds every element that ended before the cut.
void CheckEveryCut(bool debug) {
  auto root = SampleDictionary();
  WalkSettings settings;
  settings.DebugMode = debug;
  Bytes file;
  std::vector<std::size_t> ends;
  std::string expected;
  for (const Element& element : SampleElements()) {
    file = Cat({file, element.bytes});
    ends.push_back(file.size());
    expected += element.text;
  }
  const Bytes longForm = {0x9F, 0x21, 0x81, 0x96};  // the 150-octet name has a long-form length
  ASSERT_NE(std::search(file.begin(), file.end(), longForm.begin(), longForm.end()), file.end());
  const WalkResult full = RunWalk(*root, file, settings);
  ASSERT_EQ(full.Status, 0);
  ASSERT_EQ(full.Records, 7u);
  if (!debug) {
    ASSERT_EQ(full.Output, expected);
  }

  std::string complete;  // the output of the last cut at an element's end
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const WalkResult result = RunWalk(*root, Bytes(file.begin(), file.begin() + cut), settings);
    const bool atEnd = cut == 0 || std::find(ends.begin(), ends.end(), cut) != ends.end();
    EXPECT_EQ(result.Status, atEnd ? 0 : -1);
    const std::size_t message = result.Console.find(kEndOfInput);
    EXPECT_EQ(message != std::string::npos, !atEnd);
    if (message != std::string::npos) {
      EXPECT_EQ(result.Console.find(kEndOfInput, message + 1), std::string::npos);
    }
    EXPECT_TRUE(StartsWith(full.Output, result.Output));
    EXPECT_TRUE(StartsWith(result.Output, complete));
    if (atEnd) complete = result.Output;
  }
}

TEST(WalkProperties, EveryCutEndsConsistently) { CheckEveryCut(false); }

TEST(WalkProperties, EveryCutEndsConsistentlyInDebugMode) { CheckEveryCut(true); }

// Flips bits of one byte at every offset, in both modes: the walk ends, reads only inside the
// input, and stops only with one of its stop messages.
TEST(WalkProperties, EveryFlippedByteIsSurvived) {
  auto root = SampleDictionary();
  Bytes file;
  for (const Element& element : SampleElements()) file = Cat({file, element.bytes});
  for (bool debug : {false, true}) {
    for (uint8_t mask : {0xFF, 0x80, 0x20, 0x1F, 0x01}) {
      for (std::size_t at = 0; at < file.size(); ++at) {
        SCOPED_TRACE("mask " + std::to_string(mask) + " at " + std::to_string(at) + (debug ? " debug" : ""));
        Bytes damaged = file;
        damaged[at] ^= mask;
        const WalkResult result = RunWalk(*root, damaged, debug ? Debug() : WalkSettings{});
        EXPECT_TRUE(result.Status == 0 || (result.Status == -1 && HasStopMessage(result.Console)));
      }
    }
  }
}

// The text without its record lines ("Record 3"), whose numbers move when a damage loses or
// makes a record.
std::string WithoutRecordLines(const std::string& text) {
  std::string kept;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end + 1;
    if (text.compare(begin, 7, "Record ") != 0) kept.append(text, begin, end - begin);
    begin = end;
  }
  return kept;
}

// The furthest offset the walk went on at after damage, from its console lines; 0 without damage.
std::size_t LastResumeOffset(const std::string& console) {
  static const std::string kGoesOn = "the walk goes on at offset ";
  std::size_t last = 0;
  for (std::size_t at = console.find(kGoesOn); at != std::string::npos; at = console.find(kGoesOn, at + 1)) {
    last = std::max<std::size_t>(last, std::stoul(console.substr(at + kGoesOn.size())));
  }
  return last;
}

// With Resync, a byte flipped anywhere costs at most the element it lies in and the one after it,
// and what a length made larger swallows up to where its damage shows: the walk reaches the end,
// and the text of every other element is in the output in order (every element that ends before
// the flipped byte, or begins after the next one and not before where the walk last went on after
// damage). Filler between the elements changes nothing with SkipFiller.
TEST(WalkProperties, FlippedByteWithResyncCostsNothingOutsideTheDamage) {
  auto root = SampleDictionary();
  const std::vector<Element> elements = SampleElements();
  for (bool padded : {false, true}) {
    Bytes file;
    std::vector<std::size_t> begins;
    std::vector<std::size_t> ends;
    for (const Element& element : elements) {
      begins.push_back(file.size());
      file = Cat({file, element.bytes});
      ends.push_back(file.size());
      if (padded) file = Cat({file, Repeat(3, 0xFF)});
    }
    WalkSettings settings;
    settings.Resync = true;
    settings.SkipFiller = padded;
    for (uint8_t mask : {0xFF, 0x80, 0x20, 0x1F, 0x01}) {
      for (std::size_t at = 0; at < file.size(); ++at) {
        SCOPED_TRACE("mask " + std::to_string(mask) + " at " + std::to_string(at) + (padded ? " padded" : ""));
        Bytes damaged = file;
        damaged[at] ^= mask;
        const WalkResult result = RunWalk(*root, damaged, settings);
        EXPECT_EQ(result.Status, 0);
        const std::size_t resumed = LastResumeOffset(result.Console);
        const auto next = std::upper_bound(begins.begin(), begins.end(), at);
        const std::size_t nextBegin = next == begins.end() ? file.size() : *next;
        const std::string output = WithoutRecordLines(result.Output);
        std::size_t from = 0;
        for (std::size_t k = 0; k < elements.size(); ++k) {
          if (ends[k] > at && (begins[k] < resumed || begins[k] <= nextBegin)) continue;
          const std::size_t found = output.find(WithoutRecordLines(elements[k].text), from);
          EXPECT_NE(found, std::string::npos) << "element " << k << " lost";
          if (found != std::string::npos) from = found;
        }
      }
    }
  }
}

// Where the walk goes on after damage: the earliest candidate from the search's first octet.
TEST(WalkProperties, ResumePointIsTheEarliestCleanCandidate) {
  auto root = SampleDictionary({"3.LongTagName=Trailer\\n", "3.Type=HexNumber"});
  const TLeaf* block = root->FindById(2);
  const Bytes call = Tlv({0xA1}, Tlv({0x80}, {0x05}));
  struct Row {
    const char* what;
    Bytes input;
    bool inBlock;      // the damage lay in block 2
    bool skipFiller;
    std::size_t at;    // the resume offset (the input's size: none)
    bool foundInBlock;
  };
  const Row rows[] = {
      {"a record", Cat({{0x05, 0x05}, call}), false, false, 2, false},
      {"a record of indefinite length ending the file", Cat({{0x05}, Indefinite(0xA1, Tlv({0x80}, {0x05}))}),
       false, false, 1, false},
      {"primitive: not a candidate", Cat({{0x81, 0x01, 0x05}, call}), false, false, 3, false},
      {"a nested tag not declared", Cat({Tlv({0xA1}, Tlv({0x84}, {0x05})), call}), false, false, 5, false},
      {"contents that end past the record", Cat({{0xA1, 0x04, 0x80, 0x01, 0x05, 0x80}, call}), false, false, 6, false},
      {"followed by an undeclared tag", Cat({call, {0x85, 0x00}, call}), false, false, 7, false},
      {"followed by filler, with SkipFiller", Cat({call, {0xFF, 0xFF}}), false, true, 0, false},
      {"followed by filler, without", Cat({call, {0xFF, 0xFF}, call}), false, false, 7, false},
      {"followed by end-of-contents: in a block only", Cat({call, {0x00, 0x00}}), false, false, 0, true},
      {"in the damaged block first", Cat({call, call}), true, false, 0, true},
      {"a top-level element that is not a record", Cat({{0x07}, Tlv({0xA3}, {}), call}), false, false, 1, false},
      {"nothing", {0xA1, 0x10, 0x80}, false, false, 3, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ByteCursor input(row.input.data(), row.input.size());
    const ResumePoint point = FindResumePoint(input, *root, row.inBlock ? block : nullptr, 0, row.skipFiller);
    EXPECT_EQ(point.At, row.at);
    EXPECT_EQ(point.Block, row.foundInBlock ? block : nullptr);
  }
}

TEST(WalkProperties, ExtremeLengthsAndNestings) {
  Bytes deep;
  for (int i = 0; i < 30000; ++i) deep.insert(deep.end(), {0xA1, 0x80});
  struct Row { const char* name; Bytes input; int status; std::string message; };
  const Row rows[] = {
      {"127 length octets, length 0", Cat({{0x81, 0xFF}, Repeat(127, 0x00)}), 0, ""},
      {"127 length octets, length 1", Cat({{0x81, 0xFF}, Repeat(126, 0x00), {0x01, 'A'}}), 0, ""},
      {"127 length octets of FF", Cat({{0x81, 0xFF}, Repeat(127, 0xFF)}), -1, "end of input"},
      {"length octets cut short", Cat({{0x81, 0xFF}, Repeat(100, 0x00)}), -1, "end of input"},
      {"84 FF FF FF FF", {0x81, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, -1, "end of input"},
      {"eight octets of FF", Cat({{0x81, 0x88}, Repeat(8, 0xFF)}), -1, "end of input"},
      {"nine octets, too large for 64 bits", Cat({{0x81, 0x89, 0x01}, Repeat(8, 0x00)}), -1, "end of input"},
      {"nine octets, leading zeros", Cat({{0x81, 0x89}, Repeat(8, 0x00), {0x05}, Repeat(5, 'a')}), 0, ""},
      {"indefinite element cut before its end", {0xA1, 0x80, 0x81, 0x00, 0x00}, -1, "end of input"},
      {"high tag number cut", {0x9F}, -1, "end of input"},
      {"30000 nested indefinite levels", deep, -1, "too long"},
  };
  for (const Row& row : rows) {
    for (bool debug : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (debug ? " (debug)" : ""));
      TBranch root(nullptr);
      WalkSettings settings;
      settings.DebugMode = debug;
      const WalkResult result = RunWalk(root, row.input, settings);
      EXPECT_EQ(result.Status, row.status);
      EXPECT_EQ(result.Console.find(kEndOfInput) != std::string::npos, row.message == "end of input");
      EXPECT_EQ(result.Console.find("Tag Identifier is too long") != std::string::npos,
                row.message == "too long");
    }
  }
}

}  // namespace
}  // namespace orvalis::test
