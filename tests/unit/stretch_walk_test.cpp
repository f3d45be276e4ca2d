// A walk shared by two threads must give the output file, the console, the status and the record
// count of the walk in order, byte for byte, on regular files (where it takes every stretch over)
// and on files where the scan and the walk part ways (where it goes on in order).
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

std::unique_ptr<TBranch> Dictionary() {
  return SampleDictionary({
      "3.LongTagName=Trailer:\\t", "3.Type=HexNumber",
      // records two levels down, which the scan does not count
      "4.TagName=file", "4.LongTagName=File\\n", "4.2.TagName=block", "4.2.LongTagName=Block\\n",
      "4.2.1.TagName=record", "4.2.1.LongTagName=Record",
  });
}

Bytes Call(uint8_t value) { return Tlv({0xA1}, Tlv({0x80}, {value})); }

// Top-level elements of every kind the scan follows: records and blocks, definite and indefinite,
// long-form lengths, primitive elements between records, unknown tags (messages), and with seed 0
// a record whose name is refused for its length (a message in the middle of a record's text).
std::vector<Bytes> Elements(uint8_t seed) {
  const std::size_t nameLength = seed == 0 ? 2100 : 150;
  return {
      Tlv({0xA1}, Cat({Tlv({0x80}, {seed}), Tlv({0x9F, 0x21}, {'A', 'l', 'i', 'c', 'e'})})),
      Indefinite(0xA1, Cat({Tlv({0x80}, {0x06}), Indefinite(0xA2, Tlv({0x83}, {0x04, 0x12, 0x34}))})),
      Tlv({0xA2}, Cat({Call(7), Call(seed), Tlv({0x85}, {0x01})})),
      Indefinite(0xA2, Cat({Call(9), Call(10)})),
      Tlv({0x83}, {0xBE, 0xEF}),
      Tlv({0xA1}, Tlv({0x9F, 0x21}, Repeat(nameLength, 'x'))),
      Tlv({0x86}, {0x00}),
      Tlv({0xA1}, Tlv({0x80}, {0x01, 0x02, 0x03})),
  };
}

// Rounds of the elements; round 0 has the refused name, too long for stretches below 300 octets
// (an element eight stretches long ends the sharing).
Bytes RegularFile(int rounds, int firstRound = 0) {
  Bytes file;
  for (int round = firstRound; round < firstRound + rounds; ++round) {
    for (const Bytes& element : Elements(static_cast<uint8_t>(round))) file = Cat({file, element});
  }
  return file;
}

void ExpectSameAsInOrder(TBranch& root, const Bytes& file, uint64_t stretchSize,
                         StretchWalkReport* report = nullptr, const WalkSettings& settings = {}) {
  const WalkResult inOrder = RunWalk(root, file, settings);
  const WalkResult shared = RunWalk(root, file, settings, kOutputBlockSize, stretchSize, report);
  EXPECT_EQ(shared.Status, inOrder.Status);
  EXPECT_EQ(shared.Records, inOrder.Records);
  EXPECT_EQ(shared.Output, inOrder.Output);
  EXPECT_EQ(shared.Console, inOrder.Console);
}

TEST(StretchWalk, TakesOverEveryStretchOfARegularFile) {
  auto root = Dictionary();
  for (uint64_t stretchSize : {24, 100, 300, 1000}) {
    SCOPED_TRACE("stretch size " + std::to_string(stretchSize));
    const Bytes file = RegularFile(40, stretchSize < 300 ? 1 : 0);
    StretchWalkReport report;
    ExpectSameAsInOrder(*root, file, stretchSize, &report);
    EXPECT_FALSE(report.WentOnInOrder);
    EXPECT_GE(report.TakenOver, file.size() / (stretchSize + 200));
    EXPECT_GE(report.TakenOver, 2u);
  }
  const Bytes file = RegularFile(40);
  const WalkResult shared = RunWalk(*root, file, {}, kOutputBlockSize, 300);
  EXPECT_EQ(shared.Records, 40u * 8);
  for (const char* message : {"Error: tag 2.5. not found", "Error: tag 6. not found",
                              "Error: length of current record more than 2048 bytes.\n", "% completed\r"}) {
    EXPECT_NE(shared.Console.find(message), std::string::npos) << message;
  }
}

TEST(StretchWalk, EveryCutAndEveryFlippedByteMatchTheWalkInOrder) {
  auto root = Dictionary();
  const Bytes file = RegularFile(3, 1);
  for (std::size_t cut = 0; cut <= file.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ExpectSameAsInOrder(*root, Bytes(file.begin(), file.begin() + cut), 24);
  }
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (uint8_t mask : {0x01, 0x20, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes damaged = file;
      damaged[at] ^= mask;
      ExpectSameAsInOrder(*root, damaged, 24);
    }
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
  Bytes padded;
  for (int round = 1; round < 30; ++round) {
    for (const Bytes& element : Elements(static_cast<uint8_t>(round))) {
      padded = Cat({padded, element, Repeat(round % 7, round % 2 == 0 ? 0x00 : 0xFF)});
    }
  }
  StretchWalkReport report;
  ExpectSameAsInOrder(*root, padded, 100, &report, settings);
  EXPECT_FALSE(report.WentOnInOrder);
  EXPECT_GE(report.TakenOver, padded.size() / 300);
  const Bytes file(padded.begin(), padded.begin() + 400);
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes damaged = file;
      damaged[at] ^= mask;
      ExpectSameAsInOrder(*root, damaged, 24, nullptr, settings);
    }
  }
}

TEST(StretchWalk, GoesOnInOrderWhereTheScanCannotFollow) {
  auto root = Dictionary();
  const Bytes regular = RegularFile(6, 1);
  struct Row {
    const char* what;
    Bytes file;
  } rows[] = {
      // the scan counts no record two levels down: the count it expects after them is wrong
      {"records two levels down", Cat({regular, Tlv({0xA4}, Tlv({0xA2}, Cat({Call(1), Call(2)}))), regular})},
      // a length in nine octets, which the walk reads and the scan does not
      {"nine length octets", Cat({regular, {0x83, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0xAB, 0xCD}, regular})},
      // an element many stretches long
      {"a long element", Cat({regular, Tlv({0xA2}, Cat({Call(1), Tlv({0x85}, Repeat(3000, 0))})), regular})},
      // a primitive element of indefinite length stops the walk
      {"a stop", Cat({regular, {0x83, 0x80, 0x01, 0x00, 0x00}, regular})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StretchWalkReport report;
    ExpectSameAsInOrder(*root, row.file, 64, &report);
    EXPECT_GE(report.TakenOver, 2u);
    EXPECT_TRUE(report.WentOnInOrder);
  }
}

TEST(StretchWalk, LeavesSmallInputsAndOtherModesToOneThread) {
  auto root = Dictionary();
  const Bytes file = RegularFile(2);
  WalkContext walk({}, file.data(), file.size(), *root, nullptr);
  walk.StretchSize = file.size() / 8;
  EXPECT_TRUE(CanWalkInStretches(walk));
  walk.StretchSize = file.size() / 8 + 1;
  EXPECT_FALSE(CanWalkInStretches(walk));
  walk.StretchSize = 0;
  EXPECT_FALSE(CanWalkInStretches(walk));
  for (const WalkSettings& settings : {Debug(), Range(1, 2)}) {
    WalkContext other(settings, file.data(), file.size(), *root, nullptr);
    other.StretchSize = 1;
    EXPECT_FALSE(CanWalkInStretches(other));
  }
  WalkSettings filtered;
  filtered.FilterCount = 1;
  WalkContext other(filtered, file.data(), file.size(), *root, nullptr);
  other.StretchSize = 1;
  EXPECT_FALSE(CanWalkInStretches(other));
}

}  // namespace
}  // namespace orvalis::test
