// Whole walks, run as the driver runs them: damaged input (every cut, every flipped byte), lengths
// and nestings at their extremes, and the walk shared by two threads, which must give the output
// file, the console, the status and the record count of the walk in order, byte for byte. Each
// walk must end and read nothing outside the input (the sanitizers watch).
#include <algorithm>
#include <cstdio>
#include <tuple>

#include "debugdump/debug_walker.h"
#include "decode/walk/resync.h"
#include "decode/writers/text_writer.h"
#include "format_tally.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

// The sample dictionary with fields that CSV gives columns (callType, name, sub.digits: once each).
std::unique_ptr<TBranch> Dictionary() {
  return SampleDictionary({
      "1.0.TagName=callType", "1.33.TagName=name", "1.2.TagName=sub", "1.2.3.TagName=digits",
      "2.1.0.TagName=callType", "3.TagName=trailer",
      "3.LongTagName=Trailer:\\t", "3.Type=HexNumber",
      // records two levels down, which the stretch scan does not count
      "4.TagName=file", "4.LongTagName=File\\n", "4.2.TagName=block", "4.2.LongTagName=Block\\n",
      "4.2.1.TagName=record", "4.2.1.LongTagName=Record",
  });
}

Bytes Call(uint8_t value) { return Tlv({0xA1}, Tlv({0x80}, {value})); }

// Eight records in top-level elements of every kind: records and blocks, definite and indefinite,
// long-form lengths, primitive elements between records, unknown tags (messages), a record whose
// call type comes twice (a value without a CSV column), and in round 0 a record whose name is
// refused for its length (a message in the middle of a record's text).
Bytes RegularFile(int rounds, int firstRound = 0, std::vector<std::size_t>* ends = nullptr) {
  Bytes file;
  for (int round = firstRound; round < firstRound + rounds; ++round) {
    const uint8_t seed = static_cast<uint8_t>(round);
    for (const Bytes& element : {
             Tlv({0xA1}, Cat({Tlv({0x80}, {seed}), Tlv({0x9F, 0x21}, {'A', 'l', 'i', 'c', 'e'})})),
             Indefinite(0xA1, Cat({Tlv({0x80}, {0x06}), Indefinite(0xA2, Tlv({0x83}, {0x04, 0x12, 0x34}))})),
             Tlv({0xA2}, Cat({Call(7), Call(seed), Tlv({0x85}, {0x01})})),
             Indefinite(0xA2, Cat({Call(9), Call(10)})),
             Tlv({0x83}, {0xBE, 0xEF}),
             Tlv({0xA1}, Tlv({0x9F, 0x21}, Repeat(round == 0 ? 2100 : 150, 'x'))),
             Tlv({0x86}, {0x00}),
             Tlv({0xA1}, Cat({Tlv({0x80}, {0x01, 0x02, 0x03}), Tlv({0x80}, {seed})})),
         }) {
      file = Cat({file, element});
      if (ends != nullptr) ends->push_back(file.size());
    }
  }
  return file;
}

// The counts of the run's summary.
auto SummaryCounts(const WalkCounts& counts) {
  return std::make_tuple(counts.TagsNotFound, counts.RefusedPieces, counts.RecordsCompleted, counts.FillerOctets,
                         counts.FillerRuns, counts.Damages, counts.DamagesAt, counts.ValuesNotInCsv,
                         counts.ValuesWithoutColumn, counts.PastHolder, counts.Frames.Read, counts.Frames.NotBer,
                         counts.Frames.LengthsDisagreeing);
}

// The values without a column, field by field: "key:values@upTo ...".
std::string FieldsText(const FieldCounts& counts) {
  std::string text;
  for (const FieldCount& count : counts.Entries()) {
    text += std::to_string(count.Field) + ":" + std::to_string(count.Values) + "@" + std::to_string(count.UpTo) + " ";
  }
  return text;
}

// Walks the input in order, and shared by two threads in stretches of that size, in every format
// that -x names; both ways must agree in output, console, status, records and every
// count of the summary. Returns the readable text's walk in order (and its shared walk's report).
WalkResult WalkBothWays(TBranch& root, const Bytes& input, uint64_t stretchSize,
                        StretchWalkReport* report = nullptr, const WalkSettings& settings = {}) {
  WalkResult text;
  for (const OutputFormatRow& row : NamedOutputFormats()) {
    const std::string_view format = row.Name;
    SCOPED_TRACE(format);
    WalkSettings each = settings;
    each.Format = format;
    StretchWalkReport told;
    const WalkResult inOrder = RunWalk(root, input, each);
    const WalkResult shared = RunWalk(root, input, each, kOutputBlockSize, stretchSize, &told);
    EXPECT_EQ(shared.Status, inOrder.Status);
    EXPECT_EQ(shared.Records, inOrder.Records);
    EXPECT_EQ(shared.Output, inOrder.Output);
    EXPECT_EQ(shared.Console, inOrder.Console);
    EXPECT_EQ(shared.TagsNotFoundInRecord, inOrder.TagsNotFoundInRecord);
    EXPECT_TRUE(SummaryCounts(shared.Counts) == SummaryCounts(inOrder.Counts))
        << "values without a column " << shared.Counts.ValuesWithoutColumn << " shared, "
        << inOrder.Counts.ValuesWithoutColumn << " in order; values not in the CSV " << shared.Counts.ValuesNotInCsv
        << " shared, " << inOrder.Counts.ValuesNotInCsv << " in order";
    EXPECT_EQ(FieldsText(shared.FieldsWithoutColumn), FieldsText(inOrder.FieldsWithoutColumn));
    if (row.Default) {
      text = inOrder;
      if (report != nullptr) *report = told;
    }
  }
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A cut at the end of a top-level element is a shorter valid file; any other cut stops the walk
// with the end-of-input message, once. Either way the output is the full run's output up to some
// point, and holds every element that ended before the cut. A flipped byte ends the walk with
// status 0, or -1 after one of the stop messages.
TEST(WalkProperties, EveryCutAndEveryFlippedByte) {
  auto root = Dictionary();
  std::vector<std::size_t> ends = {0};
  const Bytes file = RegularFile(2, 1, &ends);
  const Bytes longForm = {0x9F, 0x21, 0x81, 0x96};  // the 150-octet name has a long-form length
  ASSERT_NE(std::search(file.begin(), file.end(), longForm.begin(), longForm.end()), file.end());
  const WalkResult full[2] = {RunWalk(*root, file), RunWalk(*root, file, Debug())};
  ASSERT_EQ(full[0].Records, 16u);
  std::string complete[2];  // the output of the last cut at an element's end
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const Bytes input(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
    const bool atEnd = std::find(ends.begin(), ends.end(), cut) != ends.end();
    for (int debug : {0, 1}) {
      const WalkResult result = debug ? RunWalk(*root, input, Debug()) : WalkBothWays(*root, input, 24);
      EXPECT_EQ(result.Status, atEnd ? 0 : -1);
      const std::size_t message = result.Console.find(kEndOfInput);
      EXPECT_EQ(message != std::string::npos, !atEnd);
      EXPECT_EQ(result.Console.find(kEndOfInput, message + 1), std::string::npos);  // once at most
      EXPECT_TRUE(StartsWith(full[debug].Output, result.Output));
      EXPECT_TRUE(StartsWith(result.Output, complete[debug]));
      if (atEnd) complete[debug] = result.Output;
    }
  }
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (uint8_t mask : {0xFF, 0x80, 0x20, 0x1F, 0x01}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes damaged = file;
      damaged[at] ^= mask;
      for (int debug : {0, 1}) {
        const WalkResult result = debug ? RunWalk(*root, damaged, Debug()) : WalkBothWays(*root, damaged, 24);
        EXPECT_TRUE(result.Status == 0 ||
                    (result.Status == -1 && (result.Console.find(kEndOfInput) != std::string::npos ||
                                             result.Console.find("NonConstructed tag with undefinite length") !=
                                                 std::string::npos ||
                                             result.Console.find("Tag Identifier is too long") != std::string::npos)));
      }
    }
  }
}

// Top-level elements of a sample file with the text that each adds to the output.
struct Element { Bytes bytes; std::string text; };
std::vector<Element> SampleElements() {
  return {
      {Tlv({0xA1}, Cat({Tlv({0x80}, {0x05}), Tlv({0x9F, 0x21}, {'A', 'l', 'i', 'c', 'e'})})),
       "Record 1\nCall type:\t5\nName:\tAlice\n"},
      {Indefinite(0xA1, Cat({Tlv({0x80}, {0x06}), Indefinite(0xA2, Tlv({0x83}, {0x04, 0x12, 0x34}))})),
       "Record 2\nCall type:\t6\nSub\nDigits:\tNature of Addr.\t\tinternational number\n\t\t\t\taddress digits.\t\t1234\n"},
      {Tlv({0xA2}, Cat({Call(7), Call(8)})), "Block\nRecord 3\nCall type:\t7\nRecord 4\nCall type:\t8\n"},
      {Indefinite(0xA2, Call(9)), "Block\nRecord 5\nCall type:\t9\n"},
      {Tlv({0xA1}, Tlv({0x9F, 0x21}, Repeat(150, 'x'))), "Record 6\nName:\t" + std::string(150, 'x') + "\n"},
      {Tlv({0xA1}, Tlv({0x80}, {0x01, 0x02})), "Record 7\nCall type:\t18\n"},
  };
}

// The text without its record lines ("Record 3"), whose numbers move when a damage loses or
// makes a record, and without the markers of records read in doubt after damage.
std::string WithoutRecordLines(const std::string& text) {
  std::string kept;
  for (std::size_t begin = 0, end; begin < text.size(); begin = end) {
    end = std::min(text.find('\n', begin), text.size() - 1) + 1;
    if (text.compare(begin, 7, "Record ") != 0 && text.compare(begin, 20, "*** read after the d") != 0) {
      kept.append(text, begin, end - begin);
    }
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
    std::vector<std::size_t> begins, ends;
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

// Every record that a format marks is marked in every format: with Resync, after a byte flipped
// anywhere and after octets deleted or repeated anywhere, each record's CSV errors cell holds the
// marks that follow the record's text, and the JSON damage lines are the text's markers.
TEST(WalkProperties, EveryFormatMarksTheRecordsOfDamage) {
  auto root = SampleDictionary();
  Bytes file;
  for (int copy = 0; copy < 2; ++copy) {
    for (const Element& element : SampleElements()) file = Cat({file, element.bytes});
  }
  std::vector<Bytes> damaged;
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (uint8_t mask : {0xFF, 0x80, 0x01}) {
      damaged.push_back(file);
      damaged.back()[at] ^= mask;
    }
    for (std::size_t size : {3, 11}) {
      const auto from = file.begin() + static_cast<std::ptrdiff_t>(at);
      const auto to = file.begin() + static_cast<std::ptrdiff_t>(std::min(at + size, file.size()));
      damaged.push_back(Cat({Bytes(file.begin(), from), Bytes(to, file.end())}));
      damaged.push_back(Cat({Bytes(file.begin(), to), Bytes(from, file.end())}));
    }
  }
  std::size_t doubts = 0;
  std::size_t afterRecords = 0;
  for (std::size_t k = 0; k < damaged.size(); ++k) {
    SCOPED_TRACE("damaged file " + std::to_string(k));
    WalkSettings settings;
    settings.Resync = true;
    const std::string text = RunWalk(*root, damaged[k], settings).Output;
    settings.Format = "jsonl";
    const std::string json = RunWalk(*root, damaged[k], settings).Output;
    settings.Format = "csv";
    const std::string csv = RunWalk(*root, damaged[k], settings).Output;
    Marks marks = MarksOf(TextTally(text));
    EXPECT_EQ(MarksOf(JsonLinesTally(json)), marks);
    marks.erase(0);
    ASSERT_EQ(MarksOf(CsvTally(csv)), marks) << text << csv;
    doubts += std::count(csv.begin(), csv.end(), '"') != 0;
    afterRecords += csv.find("after the record") != std::string::npos;
  }
  EXPECT_GT(doubts, 10u);  // both kinds of mark are among them
  EXPECT_GT(afterRecords, 10u);
}


// Where the walk goes on after damage: the earliest candidate from the search's first octet.
TEST(WalkProperties, ResumePointIsTheEarliestCleanCandidate) {
  auto root = SampleDictionary({"3.LongTagName=Trailer\\n", "3.Type=HexNumber", "1.2.0.LongTagName=Code:\\t"});
  // Records of tag 1 nested in one another down to depth 20, the deepest the walk reads.
  std::string path = "1";
  for (int depth = 1; depth <= kMaxDepth; ++depth) ApplyTagsLine(*root, (path += ".1") + ".LongTagName=Nested");
  auto nested = [](int levels) {  // levels of tag 1, the innermost primitive
    Bytes input = {0x81, 0x01, 0x05};
    for (int i = 1; i < levels; ++i) input = Tlv({0xA1}, input);
    return input;
  };
  const TLeaf* block = root->FindById(2);
  const Bytes call = Call(5);
  Bytes manyElements;  // more nested elements than a check reads
  for (uint32_t i = 0; i <= kCheckedElements; ++i) manyElements.insert(manyElements.end(), {0x81, 0x00});
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
      {"an empty record", Cat({{0x05}, {0xA1, 0x00}, call}), false, false, 3, false},
      {"an empty record of indefinite length", Cat({{0xA1, 0x80, 0x00, 0x00}, call}), false, false, 4, false},
      {"an empty top-level element that is not a record", Cat({{0x07}, Tlv({0xA3}, {}), call}), false, false, 3,
       false},
      {"a top-level element that is not a record", Cat({{0x07}, Tlv({0xA2}, call), call}), false, false,
       1, false},
      {"nothing", {0xA1, 0x10, 0x80}, false, false, 3, false},
      {"nested 21 levels deep (depths 0 to 20)", Cat({{0x05}, nested(21)}), false, false, 1, false},
      {"nested 22 levels deep: the record inside it", Cat({{0x05}, nested(22)}), false, false, 3, false},
      // the nested element of indefinite length is read on past the record's end of two octets,
      // until the check has read as many headers as it may: taken on the strength of those
      {"a nested element read past the record's end until the check stops",
       Cat({{0x05, 0xA1, 0x02, 0xA1, 0x80}, manyElements, {0x00, 0x00}}), false, false, 1, false},
      // identifier octet 00 in contents of definite length, which the walk calls damage
      {"00 00 in a record's contents", Cat({{0x05}, Tlv({0xA1}, {0x80, 0x01, 0x05, 0x00, 0x00}), call}), false,
       false, 8, false},
      {"00 00 in a nested element's contents",
       Cat({{0x05}, Tlv({0xA1}, Tlv({0xA2}, {0x83, 0x01, 0x05, 0x00, 0x00})), call}), false, false, 10, false},
      {"00 00 ending a nested element of indefinite length",
       Cat({{0x05}, Tlv({0xA1}, Indefinite(0xA2, Tlv({0x83}, {0x05}))), call}), false, false, 1, false},
      {"80 00, an empty element of tag 0", Cat({{0x05}, Tlv({0xA1}, {0x80, 0x00}), call}), false, false, 1, false},
      {"00 01 05 in contents of indefinite length", Cat({{0x05}, Indefinite(0xA1, {0x00, 0x01, 0x05}), call}), false,
       false, 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ByteCursor input(row.input.data(), row.input.size());
    const ResumePoint point = FindResumePoint(input, *root, row.inBlock ? block : nullptr, 0, row.skipFiller,
                                              IdentifierRule::kOneSubsequentOctet);
    EXPECT_EQ(point.At, row.at);
    EXPECT_EQ(point.Block, row.foundInBlock ? block : nullptr);
  }
}

// The candidates after damage are found by class and tag number as the walk finds them (a branch
// that names classes declares a sub-tag of one class only), identifier octets are read by the
// rule given, and the contents of an element kept whole are not checked against the dictionary.
TEST(WalkProperties, ResumePointByClassAndPastContentsKeptWhole) {
  auto root = BuildDictionary({"c1.TagName=record", "c1.c0.TagName=callType", "c1.a0.TagName=code",
                               "c1.c2.TagName=z", "c1.5.Type=Opaque", "c2.TagName=block", "c2.a1.TagName=record",
                               "c2.a1.c0.TagName=x", "c2.c1.TagName=notRecord", "c2.c1.c0.TagName=y",
                               "200.TagName=record", "200.0.TagName=w"});
  const TLeaf* block = root->FindDeclared(2, TagClass::kContext);
  ASSERT_NE(block, nullptr);
  struct Row {
    const char* what;
    Bytes input;
    bool inBlock;  // the damage lay in block c2
    std::size_t at;
    bool foundInBlock;
    IdentifierRule rule = IdentifierRule::kAnyLength;
  };
  const Row rows[] = {
      {"[0] in a record", {0x05, 0xA1, 0x03, 0x80, 0x01, 0x05}, false, 1, false},
      {"[APPLICATION 0] in a record", {0x05, 0xA1, 0x03, 0x40, 0x01, 0x05}, false, 1, false},
      {"a universal 2, which no sub-tag declares", {0x05, 0xA1, 0x03, 0x02, 0x01, 0x05, 0xA1, 0x03, 0x82, 0x01, 0x05},
       false, 6, false},
      {"contents kept whole", {0x05, 0xA1, 0x08, 0xA5, 0x80, 0x9F, 0x21, 0x01, 0x07, 0x00, 0x00}, false, 1, false},
      {"[APPLICATION 1], a record of the damaged block", {0x05, 0x61, 0x03, 0x80, 0x01, 0x05}, true, 1, true},
      {"[1], no record of the block, a record at the top level", {0x05, 0xA1, 0x03, 0x80, 0x01, 0x05}, true, 1,
       false},
      {"[200] in two subsequent octets", {0x05, 0xBF, 0x81, 0x48, 0x03, 0x80, 0x01, 0x05}, false, 1, false},
      {"[200] read as files were always read: [1] of length 48", {0x05, 0xBF, 0x81, 0x48, 0x03, 0x80, 0x01, 0x05},
       false, 8, false, IdentifierRule::kOneSubsequentOctet},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ByteCursor input(row.input.data(), row.input.size());
    const ResumePoint point = FindResumePoint(input, *root, row.inBlock ? block : nullptr, 0, false, row.rule);
    EXPECT_EQ(point.At, row.at);
    EXPECT_EQ(point.Block, row.foundInBlock ? block : nullptr);
  }
}

// The hint lines of a console, each with its line feed.
std::string HintsOf(const std::string& console) {
  std::string hints;
  for (std::size_t at = console.find("Hint: "); at != std::string::npos; at = console.find("Hint: ", at + 1)) {
    if (at == 0 || console[at - 1] == '\n') hints += console.substr(at, console.find('\n', at) + 1 - at);
  }
  return hints;
}

// The hints after the message of damage that stops the walk, whose element begins at `at`: the
// element runs past the end of the file of `size` octets, or other damage.
std::string CutShortHint(uint64_t at, uint64_t size) {
  return "Hint: the element at offset " + std::to_string(at) + " runs past the end of the file (" +
         std::to_string(size) + (size == 1 ? " octet" : " octets") +
         "), which may be cut short; Resync=true in the main configuration file keeps what is there\n";
}
std::string DamageHint(uint64_t at) {
  return "Hint: the walk stopped at damage at offset " + std::to_string(at) +
         "; Resync=true in the main configuration file goes on at the next record that reads\n";
}

// The identifier octets as files were always read (one subsequent octet, its bit 8 not looked at)
// and of any length (seven bits an octet up to one whose bit 8 is clear, at most three, the first
// not 80): what reads, the tag number, and how far the cursor moves.
TEST(IdentifierOctets, OfOneSubsequentOctetAndOfAnyLength) {
  constexpr IdentifierRule kOne = IdentifierRule::kOneSubsequentOctet;
  constexpr IdentifierRule kAny = IdentifierRule::kAnyLength;
  struct Row {
    Bytes octets;
    IdentifierRule rule;
    HeaderRead read;
    int32_t tagId;        // when it reads
    uint64_t identifier;  // the octets it moved past when it reads
  };
  const Row rows[] = {
      {{0x85, 0x01}, kAny, HeaderRead::kRead, 5, 1},
      {{0x9E}, kAny, HeaderRead::kRead, 30, 1},
      // as files were always read: one subsequent octet, whatever its bit 8 says
      {{0x9F, 0x45}, kOne, HeaderRead::kRead, 69, 2},
      {{0x9F, 0xC5, 0x01}, kOne, HeaderRead::kRead, 69, 2},
      {{0x9F, 0x80}, kOne, HeaderRead::kRead, 0, 2},
      {{0x9F, 0x81, 0x22}, kOne, HeaderRead::kRead, 1, 2},
      {{0x1F}, kOne, HeaderRead::kInputEnded, 0, 0},
      // of any length: one, two and three subsequent octets
      {{0x9F, 0x45}, kAny, HeaderRead::kRead, 69, 2},
      {{0x9F, 0x05}, kAny, HeaderRead::kRead, 5, 2},
      {{0x7F, 0x81, 0x22, 0x03}, kAny, HeaderRead::kRead, 162, 3},
      {{0xBF, 0x81, 0x48}, kAny, HeaderRead::kRead, 200, 3},
      {{0x9F, 0x81, 0x80, 0x00}, kAny, HeaderRead::kRead, 16384, 4},
      {{0x9F, 0xFF, 0xFF, 0x7F}, kAny, HeaderRead::kRead, 2097151, 4},
      // a fourth subsequent octet would follow: above 2097151
      {{0x9F, 0x81, 0x80, 0x80, 0x00}, kAny, HeaderRead::kTagNumberTooLarge, 0, 0},
      {{0x9F, 0xFF, 0xFF, 0xFF, 0x7F}, kAny, HeaderRead::kTagNumberTooLarge, 0, 0},
      // a leading zero
      {{0x9F, 0x80, 0x01}, kAny, HeaderRead::kTagNumberPadded, 0, 0},
      {{0x9F, 0x80}, kAny, HeaderRead::kTagNumberPadded, 0, 0},
      // the input ends inside
      {{0x1F}, kAny, HeaderRead::kInputEnded, 0, 0},
      {{0x9F, 0x81}, kAny, HeaderRead::kInputEnded, 0, 0},
      {{0x9F, 0x81, 0x80}, kAny, HeaderRead::kInputEnded, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.octets) + (row.rule == kAny ? " of any length" : " as always"));
    ByteCursor at(row.octets.data(), row.octets.size());
    ElementIdentifier id;
    ASSERT_EQ(ReadIdentifierOctets(at, id, row.rule), row.read);
    if (row.read != HeaderRead::kRead) continue;
    EXPECT_EQ(id.TagId, row.tagId);
    EXPECT_EQ(id.FirstOctet, row.octets[0]);
    EXPECT_EQ(at.Position(), row.identifier);
  }
}

TEST(WalkProperties, ExtremeLengthsAndNestings) {
  auto nested = [](int levels) {  // levels of indefinite length around a primitive element
    Bytes input = {0x81, 0x00};
    for (int i = 1; i < levels; ++i) input = Indefinite(0xA1, input);
    return input;
  };
  struct Row { const char* name; Bytes input; int status; std::string message; std::string hint; bool anyLength = false; };
  const Row rows[] = {
      {"127 length octets, length 0", Cat({{0x81, 0xFF}, Repeat(127, 0x00)}), 0, "", ""},
      {"127 length octets, length 1", Cat({{0x81, 0xFF}, Repeat(126, 0x00), {0x01, 'A'}}), 0, "", ""},
      {"127 length octets of FF", Cat({{0x81, 0xFF}, Repeat(127, 0xFF)}), -1, "end of input", DamageHint(0)},
      {"length octets cut short", Cat({{0x81, 0xFF}, Repeat(100, 0x00)}), -1, "end of input", CutShortHint(0, 102)},
      {"84 FF FF FF FF", {0x81, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, -1, "end of input", CutShortHint(0, 7)},
      {"eight octets of FF", Cat({{0x81, 0x88}, Repeat(8, 0xFF)}), -1, "end of input", CutShortHint(0, 10)},
      {"nine octets, too large for 64 bits", Cat({{0x81, 0x89, 0x01}, Repeat(8, 0x00)}), -1, "end of input",
       DamageHint(0)},
      {"nine octets, leading zeros", Cat({{0x81, 0x89}, Repeat(8, 0x00), {0x05}, Repeat(5, 'a')}), 0, "", ""},
      {"short length past the end", {0x81, 0x05, 0x41}, -1, "end of input", CutShortHint(0, 3)},
      {"indefinite element cut before its end", {0xA1, 0x80, 0x81, 0x00, 0x00}, -1, "end of input",
       CutShortHint(0, 5)},
      {"high tag number cut", {0x9F}, -1, "end of input", CutShortHint(0, 1)},
      {"21 levels (depths 0 to 20)", nested(21), 0, "", ""},
      {"22 levels", nested(22), -1, "too long", DamageHint(42)},
      {"30000 nested indefinite levels", nested(30000), -1, "too long", DamageHint(42)},
      // identifier octets of any length: a tag number above 2097151, or one beginning with 80,
      // stops the walk with its own message; one ended by the input's end is the input cut short
      {"tag number above 2097151", {0xA1, 0x05, 0x9F, 0xFF, 0xFF, 0xFF, 0x7F}, -1, "above 2097151", DamageHint(2),
       true},
      {"tag number beginning with 80", {0xA1, 0x04, 0x9F, 0x80, 0x01, 0x00}, -1, "begins with 80", DamageHint(2),
       true},
      {"tag number cut", {0xA1, 0x03, 0x9F, 0x81, 0x80}, -1, "end of input", CutShortHint(2, 5), true},
      {"tag number of three octets", {0xA1, 0x05, 0x9F, 0xFF, 0xFF, 0x7F, 0x00}, 0, "", "", true},
  };
  for (const Row& row : rows) {
    for (WalkSettings settings : {WalkSettings{}, Debug()}) {
      SCOPED_TRACE(std::string(row.name) + (settings.DebugMode ? " (debug)" : ""));
      if (row.anyLength) settings.Identifiers = IdentifierRule::kAnyLength;
      TBranch root(nullptr);
      root.Types = ValueTypes::Names();
      const WalkResult result = RunWalk(root, row.input, settings);
      EXPECT_EQ(result.Status, row.status);
      EXPECT_EQ(result.Console.find(kEndOfInput) != std::string::npos, row.message == "end of input");
      EXPECT_EQ(result.Console.find("Error: something is wrong. Tag Identifier is too long.\n\n") != std::string::npos,
                row.message == "too long");
      EXPECT_EQ(result.Console.find("Error: something is wrong. Tag number is above 2097151.\n\n") != std::string::npos,
                row.message == "above 2097151");
      EXPECT_EQ(result.Console.find("Error: something is wrong. Tag number begins with a subsequent octet 80.\n\n") !=
                    std::string::npos,
                row.message == "begins with 80");
      EXPECT_EQ(HintsOf(result.Console), row.hint);
    }
  }
}

// The readable text's writer with the common element read by the general step.
class StepByStepTextWriter : public TextWriter {
 public:
  static constexpr bool kTakesCommonElementsAtOnce = false;
  using TextWriter::TextWriter;
};
std::unique_ptr<FormatWalk> StepByStepTextWalk(WalkContext& walk) {
  return std::make_unique<WalkOf<StepByStepTextWriter, NoSetup>>(walk, std::make_shared<const NoSetup>());
}

// The common element taken at once reads as the general step reads it: the same output, console,
// status and records, on a file flipped byte by byte, plain, under a range, with Resync and with
// identifier octets of any length; and on a file of empty values, which a type may take (Null,
// Characters) or not (Integer).
TEST(CommonElement, TakenAtOnceReadsAsTheGeneralStep) {
  auto regular = Dictionary();
  auto modules = BuildDictionary({"1.TagName=record", "1.LongTagName=Record", "1.0.LongTagName=Count:", "1.0.Type=Integer",
                                  "1.3.LongTagName=Flag:", "1.3.Type=Null", "1.6.LongTagName=Text:",
                                  "1.6.Type=Characters"});
  const Bytes empties = Cat({Tlv({0xA1}, Cat({Tlv({0x83}, {}), Tlv({0x86}, {}), Tlv({0x80}, {}), Tlv({0x86}, {'A'}),
                                              Tlv({0x80}, {0x05}), Tlv({0x83}, {0x00})})),
                             Tlv({0xA1}, Tlv({0x83}, {}))});
  WalkSettings mended;
  mended.SkipFiller = true;
  mended.Resync = true;
  WalkSettings anyLength;
  anyLength.Identifiers = IdentifierRule::kAnyLength;
  for (const auto& [root, file] : {std::pair<TBranch*, Bytes>{regular.get(), RegularFile(2, 1)},
                                   std::pair<TBranch*, Bytes>{modules.get(), empties}}) {
    for (const WalkSettings& settings : {WalkSettings{}, Range(2, 5), mended, anyLength}) {
      for (std::size_t at = 0; at < file.size(); ++at) {
        for (uint8_t mask : {0x00, 0x01, 0x20, 0x80}) {
          if (mask == 0x00 && at > 0) continue;  // the file unchanged, once
          SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
          Bytes flipped = file;
          flipped[at] ^= mask;
          const WalkResult atOnce = RunWalk(*root, flipped, settings, kOutputBlockSize, 0, nullptr, TextWalk);
          const WalkResult stepped =
              RunWalk(*root, flipped, settings, kOutputBlockSize, 0, nullptr, StepByStepTextWalk);
          ASSERT_EQ(atOnce.Output, stepped.Output);
          ASSERT_EQ(atOnce.Console, stepped.Console);
          ASSERT_EQ(atOnce.Status, stepped.Status);
          ASSERT_EQ(atOnce.Records, stepped.Records);
        }
      }
    }
  }
}

// A stretch's counts join those of the walk before it: the first damage stays the earlier one's,
// and the stretch's damages are noted after the walk's.
TEST(WalkCounts, FirstDamageIsTheEarliest) {
  struct Row {
    uint64_t damages, firstAt, aheadDamages, aheadFirstAt, firstAfter;
  };
  const Row rows[] = {{0, 0, 1, 500, 500}, {2, 100, 1, 500, 100}, {1, 100, 0, 0, 100}, {0, 0, 0, 0, 0},
                      {9, 100, 2, 500, 100}, {10, 100, 1, 500, 100}};
  for (const Row& row : rows) {
    WalkCounts counts;
    counts.Damages = row.damages;
    counts.DamagesAt[0] = row.firstAt;
    WalkCounts ahead;
    ahead.Damages = row.aheadDamages;
    ahead.DamagesAt[0] = row.aheadFirstAt;
    ahead.DamagesAt[1] = row.aheadFirstAt + 1;
    counts.Add(ahead);
    EXPECT_EQ(counts.FirstDamageAt(), row.firstAfter) << row.damages << " " << row.aheadDamages;
    EXPECT_EQ(counts.Damages, row.damages + row.aheadDamages);
    if (row.aheadDamages != 0 && row.damages < WalkCounts::kDamagesNoted) {
      EXPECT_EQ(counts.DamagesAt[row.damages], row.aheadFirstAt) << row.damages;
    }
    if (row.damages + 1 >= WalkCounts::kDamagesNoted) {
      EXPECT_EQ(counts.DamagesAt[WalkCounts::kDamagesNoted - 1], row.damages < WalkCounts::kDamagesNoted ? row.aheadFirstAt : 0u)
          << "noted within bounds";
    }
  }
}

TEST(StretchWalk, TakesOverEveryStretchOfARegularFile) {
  auto root = Dictionary();
  for (uint64_t stretchSize : {24, 100, 300, 1000}) {
    SCOPED_TRACE("stretch size " + std::to_string(stretchSize));
    // Round 0's refused name is too long for stretches below 300 octets (an element eight
    // stretches long ends the sharing).
    const Bytes file = RegularFile(40, stretchSize < 300 ? 1 : 0);
    StretchWalkReport report;
    const WalkResult result = WalkBothWays(*root, file, stretchSize, &report);
    EXPECT_FALSE(report.WentOnInOrder);
    EXPECT_GE(report.TakenOver, std::max<uint64_t>(2, file.size() / (stretchSize + 200)));
    EXPECT_EQ(result.Records, 40u * 8);
    for (const char* message : {"Error: tag 2.5. not found", "Error: tag 6. not found", "% completed\r"})
      EXPECT_NE(result.Console.find(message), std::string::npos) << message;
    if (stretchSize >= 300) {
      EXPECT_NE(result.Console.find("Error: length of current record more than 2048 bytes.\n"), std::string::npos);
    }
  }
}

TEST(StretchWalk, GoesOnInOrderWhereTheScanCannotFollow) {
  auto root = Dictionary();
  const Bytes regular = RegularFile(6, 1);
  const Bytes nineLengthOctets = {0x83, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0xAB, 0xCD};
  struct Row {
    const char* what;
    Bytes file;
    bool inOrder = true;
  };
  const Row rows[] = {
      // the scan counts no record two levels down: the count it expects after them is wrong
      {"records two levels down", Cat({regular, Tlv({0xA4}, Tlv({0xA2}, Cat({Call(1), Call(2)}))), regular})},
      // a length in nine octets, which the walk reads and the scan does not
      {"nine length octets", Cat({regular, nineLengthOctets, regular})},
      // the scan passes over a top-level element that is neither a record nor a block at once,
      // without reading the nine length octets inside it
      {"nine length octets inside an element passed over", Cat({regular, Tlv({0xA3}, nineLengthOctets), regular}),
       false},
      {"a long element", Cat({regular, Tlv({0xA2}, Cat({Call(1), Tlv({0x85}, Repeat(3000, 0))})), regular})},
      // a primitive element of indefinite length stops the walk
      {"a stop", Cat({regular, {0x83, 0x80, 0x01, 0x00, 0x00}, regular})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StretchWalkReport report;
    WalkBothWays(*root, row.file, 64, &report);
    EXPECT_GE(report.TakenOver, 2u);
    EXPECT_EQ(report.WentOnInOrder, row.inOrder);
  }
}

// A record of two octets whose nested element runs two octets past it is read as its length says
// and counted once, alike by the shared walk (whose stretch walked ahead counts it) and in order.
TEST(StretchWalk, CountsAnElementPastItsHolderOnce) {
  auto root = Dictionary();
  const Bytes regular = RegularFile(6, 1);
  StretchWalkReport report;
  const WalkResult result = WalkBothWays(*root, Cat({regular, {0xA1, 0x02, 0x80, 0x02, 0x05, 0x06}, regular}), 64,
                                         &report);
  EXPECT_EQ(result.PastHolder, 1u);
  EXPECT_GE(report.TakenOver, 2u);
}

// Records and blocks told apart by their class at the top level and in a block, an element whose
// contents are kept whole, a tag number in two subsequent octets and a tag not found before a
// sibling: the scan counts records as the walk finds them, and every stretch is taken over.
TEST(StretchWalk, ClassesLongTagNumbersAndContentsKeptWholeAlike) {
  auto root = BuildDictionary({"c1.TagName=record", "c1.LongTagName=Record", "c1.0.TagName=callType",
                               "c1.0.Type=DecNumber", "c1.5.TagName=extension", "c1.5.LongTagName=Extension:\\t",
                               "c1.5.Type=Opaque", "c1.200.TagName=charge", "c1.200.Type=DecNumber",
                               "a1.TagName=note", "a1.LongTagName=Note\\n", "a1.0.TagName=text", "a1.0.Type=HexNumber",
                               "c2.TagName=block", "c2.LongTagName=Block\\n", "c2.c1.TagName=record",
                               "c2.c1.LongTagName=Record", "c2.c1.0.TagName=callType", "c2.c1.0.Type=DecNumber",
                               "c2.a1.TagName=blockNote", "c2.a1.LongTagName=Block note", "c2.a1.0.TagName=text"});
  WalkSettings settings;
  settings.Identifiers = IdentifierRule::kAnyLength;
  Bytes file;
  for (int round = 0; round < 200; ++round) {
    const uint8_t n = static_cast<uint8_t>(round);
    file = Cat({file, Tlv({0xA1}, Cat({{0x80, 0x01, n, 0xC7, 0x01, 0x01}, Indefinite(0xA5, Cat({{0x9F, 0x21, 0x01, 0x07}, {0xA1, 0x00}})),
                                        {0x9F, 0x81, 0x48, 0x01, n}})),
                Tlv({0x61}, {0x80, 0x01, n}), Tlv({0xA2}, Cat({Call(n), Tlv({0x61}, {0x80, 0x02, n, n})}))});
  }
  StretchWalkReport report;
  const WalkResult result = WalkBothWays(*root, file, 64, &report, settings);
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, 2u);
  EXPECT_EQ(result.Records, 400u);
  EXPECT_NE(result.Console.find("Error: tag c1.7. not found"), std::string::npos);
  EXPECT_NE(result.Output.find("Extension:\t9F210107A100\n"), std::string::npos);
}

// A stretch whose text or messages outgrow what a stretch walked ahead may hold (a run of zeros,
// tags not found, or of empty elements with long names, is many times its size in text) is left
// to the walk in order, which writes as it goes: the same bytes, and no stop.
TEST(StretchWalk, AStretchOfOutgrownTextIsWalkedInOrder) {
  auto root = Dictionary();
  ApplyTagsLine(*root, "5.LongTagName=" + std::string(300, 'n'));
  Bytes regular = RegularFile(1, 1);
  while (regular.size() < (256 << 10)) regular = Cat({regular, regular});
  Bytes names;
  for (int i = 0; i < (80 << 10); ++i) names.insert(names.end(), {0x85, 0x00});
  for (const Bytes& outgrowing : {Repeat(160 << 10, 0x00), names}) {
    StretchWalkReport report;
    const WalkResult result = WalkBothWays(*root, Cat({regular, outgrowing, regular}), 64 << 10, &report);
    EXPECT_EQ(result.Status, 0);
    EXPECT_TRUE(report.WentOnInOrder);
    EXPECT_GE(report.TakenOver, 2u);
  }
}

// With SkipFiller and Resync: a file padded after every element keeps both threads to its end (the
// scan passes over filler as the walk does), and with a byte flipped anywhere, where the walk
// goes on after damage, the shared walk writes the walk in order's bytes.
TEST(StretchWalk, PaddedAndDamagedFilesWithSkipFillerAndResync) {
  auto root = Dictionary();
  WalkSettings settings;
  settings.SkipFiller = true;
  settings.Resync = true;
  std::vector<std::size_t> ends = {0};
  const Bytes file = RegularFile(12, 1, &ends);
  Bytes padded;
  for (std::size_t k = 1; k < ends.size(); ++k) {
    padded.insert(padded.end(), file.begin() + static_cast<std::ptrdiff_t>(ends[k - 1]),
                  file.begin() + static_cast<std::ptrdiff_t>(ends[k]));
    padded = Cat({padded, Repeat(k % 7, k % 2 == 0 ? 0x00 : 0xFF)});
  }
  StretchWalkReport report;
  WalkBothWays(*root, padded, 100, &report, settings);
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, padded.size() / 300);
  const Bytes start(padded.begin(), padded.begin() + 400);
  for (std::size_t at = 0; at < start.size(); ++at) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes damaged = start;
      damaged[at] ^= mask;
      WalkBothWays(*root, damaged, 24, nullptr, settings);
    }
  }
}

// With SkipFiller, 0x00 where a top-level element would begin is filler though the dictionary
// declares top-level tag 0: a file of more than 1 MiB padded with 0x00 after every element reads
// as the file unpadded, shared by two threads to its end (the scan asks what is filler as the
// walk does), and with Resync a damage amid the padding is gone past alike both ways.
TEST(StretchWalk, ZeroPaddingIsFillerThoughTagZeroIsDeclared) {
  auto root = Dictionary();
  ApplyTagsLine(*root, "0.TagName=zero");
  std::vector<std::size_t> ends = {0};
  const Bytes part = RegularFile(8, 1, &ends);
  Bytes file;
  Bytes padded;
  while (padded.size() < (1u << 20)) {
    file.insert(file.end(), part.begin(), part.end());
    for (std::size_t k = 1; k < ends.size(); ++k) {
      padded.insert(padded.end(), part.begin() + static_cast<std::ptrdiff_t>(ends[k - 1]),
                    part.begin() + static_cast<std::ptrdiff_t>(ends[k]));
      padded.resize(padded.size() + 1 + k % 5, 0x00);
    }
  }
  WalkSettings settings;
  settings.SkipFiller = true;
  StretchWalkReport report;
  const WalkResult result = WalkBothWays(*root, padded, kStretchSize, &report, settings);
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Output, RunWalk(*root, file).Output);
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, 8u);
  settings.Resync = true;
  Bytes damaged = padded;
  damaged[padded.size() / 2] ^= 0x80;
  EXPECT_EQ(WalkBothWays(*root, damaged, kStretchSize, nullptr, settings).Status, 0);
}

// With Resync, an identifier octet 00 in a block's contents is damage to the walk: the plan of
// stretches ends before that block, as before one the scan cannot follow, and the shared walk
// writes the walk in order's bytes. Without Resync those octets are elements and the plan goes on.
// Octets zeroed anywhere: the two walks agree.
TEST(StretchWalk, ZeroIdentifierInABlockEndsThePlanWithResync) {
  auto root = Dictionary();
  const Bytes regular = RegularFile(6, 1);
  const Bytes nineLengthOctets = {0x83, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0xAB, 0xCD};
  const Bytes zeros = Cat({regular, Tlv({0xA2}, Cat({Call(1), {0x00, 0x00}, Call(2)})), regular});
  const Bytes unfollowed = Cat({regular, Tlv({0xA2}, Cat({Call(1), nineLengthOctets, Call(2)})), regular});
  WalkSettings resync;
  resync.Resync = true;
  StretchWalkReport withZeros, notFollowed, withoutResync;
  const WalkResult result = WalkBothWays(*root, zeros, 64, &withZeros, resync);
  EXPECT_EQ(result.Counts.Damages, 1u);
  WalkBothWays(*root, unfollowed, 64, &notFollowed, resync);
  EXPECT_TRUE(withZeros.WentOnInOrder);
  EXPECT_GE(withZeros.TakenOver, 2u);
  EXPECT_EQ(withZeros.TakenOver, notFollowed.TakenOver);
  WalkBothWays(*root, zeros, 64, &withoutResync);
  EXPECT_FALSE(withoutResync.WentOnInOrder);

  const Bytes file = RegularFile(2, 1);
  for (std::size_t at = 0; at + 2 <= file.size(); ++at) {
    SCOPED_TRACE("zeroed at " + std::to_string(at));
    Bytes zeroed = file;
    zeroed[at] = zeroed[at + 1] = 0x00;
    WalkBothWays(*root, zeroed, 24, nullptr, resync);
  }
}

// What a writer counts of the record under way (here CSV's values without a column, and the same
// by field) counts once, for the record it belongs to, when a stretch takes its turn: the walk in
// order's record ends at the stretch's first record start, or goes on through a stretch without
// one. Stretches of 24 octets: three records of 8 octets; records of 5, 5, 11 and 8 octets (the
// field's highest occurrence is not its last record's); a trailer alone.
TEST(StretchWalk, CountsOfTheRecordUnderWayAtATurnCountOnce) {
  auto root = Dictionary();
  const Bytes twice = Tlv({0xA1}, Cat({Tlv({0x80}, {1}), Tlv({0x80}, {2})}));  // a value without a column
  const Bytes once = Tlv({0xA1}, Tlv({0x80}, {1}));
  const Bytes thrice = Tlv({0xA1}, Cat({Tlv({0x80}, {1}), Tlv({0x80}, {2}), Tlv({0x80}, {3})}));
  const Bytes trailer = Tlv({0x83}, Repeat(40, 0xAB));
  struct Row { const char* what; Bytes part; uint64_t withoutColumn; uint32_t upTo; };
  const Row rows[] = {
      {"each stretch ends with the record", Cat({twice, twice, twice}), 3, 2},
      {"a stretch without a record start follows the record", Cat({once, once, thrice, twice, trailer}), 3, 3},
  };
  const uint64_t callType = root->FindById(1)->Child->FindById(0)->Serial;  // 1.0
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes file;
    for (int k = 0; k < 20; ++k) file = Cat({file, row.part});
    StretchWalkReport report;
    WalkBothWays(*root, file, 24, &report);
    EXPECT_GE(report.TakenOver, 8u);
    WalkSettings csv;
    csv.Format = "csv";
    const WalkResult result = RunWalk(*root, file, csv);
    EXPECT_EQ(result.Counts.ValuesWithoutColumn, 20 * row.withoutColumn);
    EXPECT_EQ(FieldsText(result.FieldsWithoutColumn),
              std::to_string(callType << 1) + ":" + std::to_string(20 * row.withoutColumn) + "@" +
                  std::to_string(row.upTo) + " ");
  }
}

// The messages of a shared walk go where those of the thread that started it go (the manifest's
// second walk sends them nowhere): those of the stretches that the helper thread walks, shown at
// their turn, and those of the walk in order that the helper goes on with after damage in its
// stretch (stretch 1 or 3 of 100 octets).
TEST(StretchWalk, MessagesGoWhereTheStartingThreadsGo) {
  auto root = Dictionary();
  std::vector<std::size_t> ends = {0};
  const Bytes file = RegularFile(20, 1, &ends);
  std::vector<std::size_t> stretchEnds = {0};  // as the plan cuts them
  for (std::size_t end : ends) {
    if (end - stretchEnds.back() >= 100) stretchEnds.push_back(end);
  }
  // A record of definite length in the stretch whose first nested element is 1.0: its tag made
  // primitive (`at` 0), damage with Resync; the 1.0's length made indefinite (`at` 3), a stop
  // inside the record that the plan of stretches passes over at once.
  const auto damagedIn = [&](std::size_t stretch, std::size_t at = 0, uint8_t octet = 0x81) {
    for (std::size_t k = 1; k < ends.size(); ++k) {
      const std::size_t begin = ends[k - 1];
      if (begin >= stretchEnds[stretch] && ends[k] <= stretchEnds[stretch + 1] && file[begin] == 0xA1 &&
          file[begin + 1] != 0x80 && file[begin + 2] == 0x80) {
        Bytes damaged = file;
        damaged[begin + at] = octet;
        return damaged;
      }
    }
    ADD_FAILURE() << "no record to damage in stretch " << stretch;
    return file;
  };
  WalkSettings resync;
  resync.Resync = true;
  struct Row { const char* what; Bytes file; WalkSettings settings; bool goesOnInOrder; const char* said; };
  const Row rows[] = {
      {"messages of stretches shown at their turn", file, {}, false, "Error: tag 6. not found"},
      {"damage in stretch 1", damagedIn(1), resync, true, "Error: input damaged"},
      {"damage in stretch 3", damagedIn(3), resync, true, "Error: input damaged"},
      // the hint after the stop comes with its message at the stretch's turn
      {"a stop in stretch 3", damagedIn(3, 3, 0x80), {}, false,
       "NonConstructed tag with undefinite length !!!!\nHint: the walk stopped at damage at offset "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ConsoleLog inOrderLog, sharedLog;
    WalkResult inOrder, shared;
    StretchWalkReport report;
    {
      const ConsoleToLog toLog(inOrderLog);
      inOrder = RunWalk(*root, row.file, row.settings);
    }
    {
      const ConsoleToLog toLog(sharedLog);
      shared = RunWalk(*root, row.file, row.settings, kOutputBlockSize, 100, &report);
    }
    EXPECT_EQ(shared.Console, "");
    EXPECT_EQ(sharedLog.Text, inOrderLog.Text);
    EXPECT_NE(inOrderLog.Text.find(row.said), std::string::npos) << inOrderLog.Text;
    EXPECT_EQ(shared.Output, inOrder.Output);
    EXPECT_GE(report.TakenOver, 1u);
    EXPECT_EQ(report.WentOnInOrder, row.goesOnInOrder);
  }
}

// Inputs shorter than eight stretches, the debug mode, a range and a filter are walked in order.
TEST(StretchWalk, LeavesSmallInputsAndOtherModesToOneThread) {
  auto root = Dictionary();
  const Bytes file = RegularFile(2);
  WalkSettings filtered;
  filtered.FilterCount = 1;
  const std::pair<WalkSettings, uint64_t> rows[] = {  // settings, stretch size; only the first shares
      {{}, file.size() / 8}, {{}, file.size() / 8 + 1}, {{}, 0}, {Debug(), 1}, {Range(1, 2), 1}, {filtered, 1}};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    WalkContext walk(rows[i].first, file.data(), file.size(), *root, nullptr);
    walk.StretchSize = rows[i].second;
    const std::unique_ptr<FormatWalk> format = rows[i].first.DebugMode ? DumpWalk(walk) : TextWalk(walk);
    EXPECT_EQ(CanWalkInStretches(*format), i == 0) << i;
  }
}

// ---- Files of CDRs ------------------------------------------------------------------------------

// A file header of 52 octets (its fields' octets are cdr_frames_test.cpp's matter) before CDRs.
const Bytes kFileHeader = Cat({{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x34, 0xC3, 0xC3}, Repeat(16, 0x00),
                               {0x00}, Repeat(20, 0xFF), {0x00, 0x00, 0x00, 0x00, 0x00}});

// A CDR of release 9 around `record`, its length `record`'s plus `longer`, of data record format
// `format` (1: BER).
Bytes Cdr(const Bytes& record, int longer = 0, uint8_t format = 1) {
  const std::size_t length = record.size() + static_cast<std::size_t>(longer);
  return Cat({{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0xC3,
               static_cast<uint8_t>(format << 5 | 5)},
              record});
}

WalkSettings Framed(WalkSettings settings = {}) {
  settings.Frames = {true, kFileHeader.size(), 0};
  return settings;
}

// Every top-level element of the regular file in a CDR of its own: the records and the text of
// the file without CDRs, walked alike by two threads and in order (the plan steps by CDRs), and
// with a byte flipped anywhere in its first CDRs, where the walk goes on after damage at a CDR.
TEST(CdrFrames, EachRecordBehindItsCdrReadsAsTheFileWithout) {
  auto root = Dictionary();
  std::vector<std::size_t> ends = {0};
  const Bytes plain = RegularFile(12, 1, &ends);
  Bytes file = kFileHeader;
  for (std::size_t k = 1; k < ends.size(); ++k) {
    file = Cat({file, Cdr(Bytes(plain.begin() + static_cast<std::ptrdiff_t>(ends[k - 1]),
                                plain.begin() + static_cast<std::ptrdiff_t>(ends[k])))});
  }
  StretchWalkReport report;
  const WalkResult framed = WalkBothWays(*root, file, 100, &report, Framed());
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, file.size() / 400);
  const WalkResult without = RunWalk(*root, plain);
  EXPECT_EQ(framed.Output, without.Output);
  EXPECT_EQ(framed.Records, without.Records);
  EXPECT_EQ(framed.Counts.Frames.Read, ends.size() - 1);
  WalkSettings resync = Framed();
  resync.Resync = true;
  for (std::size_t at = kFileHeader.size(); at < kFileHeader.size() + 150; ++at) {
    for (uint8_t mask : {0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes damaged = file;
      damaged[at] ^= mask;
      const WalkResult result = WalkBothWays(*root, damaged, 40, nullptr, resync);
      EXPECT_EQ(result.Status, 0);
    }
  }
}

// A leading header passed over (LeadingOctets): the walk begins after it, shared by two threads,
// and reads as the file without it.
TEST(CdrFrames, ALeadingHeaderIsPassedOverAndTheWalkShared) {
  auto root = Dictionary();
  const Bytes plain = RegularFile(12, 1);
  WalkSettings settings;
  settings.Frames = {false, 3, 0};
  StretchWalkReport report;
  const WalkResult led = WalkBothWays(*root, Cat({{0xA1, 0x80, 0x00}, plain}), 100, &report, settings);
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, plain.size() / 400);
  EXPECT_EQ(led.Output, RunWalk(*root, plain).Output);
  const std::string dumped = "0000000000: 3 octets of a leading header passed over: A18000\n\n0000000003: ";
  EXPECT_EQ(RunWalk(*root, Cat({{0xA1, 0x80, 0x00}, plain}), Debug(settings)).Output.substr(0, dumped.size()), dumped);
}

// A CDR whose length is not its record's is damage: without Resync the walk stops at the CDR, with
// it the walk goes on at the next CDR; either way it is counted. A record of another format is
// passed over by its length and counted, and gets no record number.
TEST(CdrFrames, WhatTheCdrHeadersSay) {
  auto root = Dictionary();
  const Bytes first = Call(1);  // A1 03 80 01 01, 5 octets
  const Bytes last = Call(3);
  const Bytes indefinite = Indefinite(0xA1, Tlv({0x80}, {0x02}));  // 7 octets
  struct Row {
    const char* what;
    Bytes middle;
    bool resync;
    int status;
    uint32_t records;
    uint64_t read, notBer, disagreeing;
    const char* message;  // in the console, or null
  };
  const Row rows[] = {
      {"a record in PER", Cdr(Bytes{0xFF, 0x00, 0x12}, 0, 2), false, 0, 2, 3, 1, 0, nullptr},
      {"a CDR one octet longer than its record", Cdr(Call(2), 1), false, -1, 1, 2, 0, 1,
       "Error: the CDR at offset 61 gives a length of 6 octets, but its record at offset 65 has 5.\n\n"
       "Hint: the walk stopped at damage at offset 61; Resync=true in the main configuration file goes on at the "
       "next record that reads\n\n"},
      {"the same with Resync", Cdr(Call(2), 1), true, 0, 2, 3, 0, 1,
       "Error: input damaged at offset 61 (the CDR there gives a length that its record does not have): 9 octets "
       "skipped, the walk goes on at offset 70; last record completed: 1.\n\n"},
      {"a CDR one octet shorter than its record", Cdr(Call(2), -1), true, 0, 2, 3, 0, 1,
       "Error: input damaged at offset 61 (the CDR there gives a length that its record does not have)"},
      // the next CDR's header reads as a record's identifier 00 and length 05
      {"a CDR of 0 octets", Cdr(Bytes{}), false, -1, 1, 2, 0, 1,
       "Error: the CDR at offset 61 gives a length of 0 octets, but its record at offset 65 has 7.\n\n"},
      {"a CDR of 0 octets before a record of indefinite length", Cat({Cdr(Bytes{}), indefinite}), false, -1, 1, 2, 0, 1,
       "Error: the CDR at offset 61 gives a length of 0 octets, which its record does not have.\n\n"},
      {"a record of indefinite length that ends before its CDR", Cdr(Cat({indefinite, {0x00}})), false, -1, 2, 2, 0, 1,
       "Error: the CDR at offset 61 gives a length of 8 octets, but its record at offset 65 has 7.\n\n"},
      {"a record of indefinite length that fills its CDR", Cdr(indefinite), false, 0, 3, 3, 0, 0, nullptr},
      // the record is cut short at the CDR's end, and the walk goes on at the next CDR
      {"a record of indefinite length that runs past its CDR", Cdr(indefinite, -1), true, 0, 3, 3, 0, 0,
       "Error: input damaged at offset 65 (the element there runs past the end of the element that holds it): 7 "
       "octets skipped, the walk goes on at offset 72; last record completed: 1.\n\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WalkSettings settings = Framed();
    settings.Resync = row.resync;
    const Bytes file = Cat({kFileHeader, Cdr(first), row.middle, Cdr(last)});
    const WalkResult result = WalkBothWays(*root, file, 0, nullptr, settings);
    EXPECT_EQ(result.Status, row.status);
    EXPECT_EQ(result.Records, row.records);
    EXPECT_EQ(result.Counts.Frames.Read, row.read);
    EXPECT_EQ(result.Counts.Frames.NotBer, row.notBer);
    EXPECT_EQ(result.Counts.Frames.LengthsDisagreeing, row.disagreeing);
    if (row.message != nullptr) {
      EXPECT_NE(result.Console.find(row.message), std::string::npos) << result.Console;
    } else {
      EXPECT_EQ(result.Console.find("Error"), std::string::npos) << result.Console;
    }
  }
  // A file cut inside a CDR header, and inside the record of its last CDR.
  const Bytes whole = Cat({kFileHeader, Cdr(first), Cdr(last)});
  for (const std::size_t cut : {2u, 6u}) {
    SCOPED_TRACE("cut " + std::to_string(cut) + " octets before the end");
    const Bytes file(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
    const WalkResult result = WalkBothWays(*root, file, 0, nullptr, Framed());
    EXPECT_EQ(result.Status, -1);
    EXPECT_EQ(result.Records, cut == 2 ? 2u : 1u);  // the last record begun, or its CDR header cut
    EXPECT_NE(result.Console.find(kEndOfInput), std::string::npos);
  }
}

// The debug dump tells the CDR header of each record, and what it passes over.
TEST(CdrFrames, TheDumpTellsEachCdrHeader) {
  auto root = Dictionary();
  const Bytes file = Cat({kFileHeader, Cdr(Call(1)), Cdr(Bytes{0xFF, 0x00, 0x12}, 0, 7)});
  const WalkResult result = RunWalk(*root, file, Debug(Framed()));
  EXPECT_EQ(result.Status, 0);
  for (const char* line : {
           "0000000052: 0005 CDR length = 5\n"
           "0000000054: 1100 0011 = C3h\n"
           "            110. .... Release identifier = 6 (release 9)\n"
           "            ...0 0011 Version identifier = 3\n"
           "0000000055: 0010 0101 = 25h\n"
           "            001. .... Data record format = 1 (BER)\n"
           "            ...0 0101 TS number = 5\n\n"
           "0000000056: 1010 0001 = A1h\n",
           "0000000064: 1110 0101 = E5h\n"
           "            111. .... Data record format = 7\n"
           "            ...0 0101 TS number = 5\n\n"
           "0000000065: 3 octets of a record in format 7 passed over\n\n",
       }) {
    EXPECT_NE(result.Output.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace orvalis::test
