#include "debugdump/debug_walker.h"

#include <string_view>

#include "common/text_format.h"
#include "debugdump/dump_values.h"
#include "debugdump/octet_annotations.h"
#include "decode/writers/long_values.h"
#include "decode/writers/text_values.h"
#include "decode/walk/walk_steps.h"

namespace orvalis {
namespace {

constexpr std::string_view kClassLines[] = {
    "            00.. .... Class of tag = Universal\n",
    "            01.. .... Class of tag = Application\n",
    "            10.. .... Class of tag = Context-specific\n",
    "            11.. .... Class of tag = Private\n",
};
constexpr std::string_view kConstructedLine = "            ..1. .... Encoding = Constructed\n";
constexpr std::string_view kPrimitiveLine = "            ..0. .... Encoding = Primitive\n";
constexpr std::string_view kIndefiniteLine = "            1000 0000 Indefinite form of length\n\n";
constexpr std::string_view kDefiniteLine = "            0... .... Definite form of length\n";
constexpr std::string_view kEndOfContentsLines =
    "            0000 0000 = 00h - The first byte of 'End-of-contents octets'\n"
    "            0000 0000 = 00h - The second byte of 'End-of-contents octets'. End of tag.\n\n";

// Appends a line that may be longer than one piece may be, in pieces, so that nothing of it is
// refused.
void AppendWholeLine(WalkContext& walk, std::string_view line) {
  while (line.size() > kMaxPieceLength) {
    AppendToRecord(walk, line.substr(0, kMaxPieceLength));
    line.remove_prefix(kMaxPieceLength);
  }
  AppendToRecord(walk, line);
}

// Each identifier and length octet, as it is read: its offset and bits, and what they mean.
struct OctetExplanation {
  WalkContext& Walk;

  void IdentifierOctet(uint8_t octet) {
    DumpOctetLine(Walk, octet);
    AppendToRecord(Walk, kClassLines[octet >> 6]);
    AppendToRecord(Walk, (octet & kConstructedBit) != 0 ? kConstructedLine : kPrimitiveLine);
    if ((octet & kTagNumberMask) != kHighTagNumber) DumpShortTagId(Walk, octet & kTagNumberMask);
  }
  void TagNumberOctet(int32_t tagId) {
    DumpTagIdOctet(Walk, false, tagId);
    DumpTagIdOctet(Walk, true, tagId);
  }
  void FirstLengthOctet(uint8_t octet) {
    DumpOctetLine(Walk, octet);
    if (octet == kIndefiniteLength) {
      AppendToRecord(Walk, kIndefiniteLine);
      return;
    }
    AppendToRecord(Walk, kDefiniteLine);
    if (octet < 0x80) {
      DumpShortLength(Walk, octet);
    } else {
      DumpLongLengthHeader(Walk, octet, octet & 0x7F);
    }
  }
  void LengthOctet(uint8_t octet) { DumpLengthOctet(Walk, octet); }
};

struct DumpWriter {
  static constexpr const char* kIndefinitePrimitive = "!!!! NonConstructed tag with undefinite length !!!!\n";
  static constexpr bool kTakesCommonElementsAtOnce = false;

  // An element is named by its TagName: a record tag opens a record even without a long name.
  static bool Names(const TItem& item) { return item.TagName.has_value(); }
  static OctetExplanation Explanation(WalkContext& walk) { return {walk}; }
  static void TagEntered(WalkContext& walk) {
    TextBuffer& line = walk.DumpLine;
    line.assign("            **** **** Full tag string is ");
    AppendTagPathText(line, walk.State.Path);
    line.push_back('\n');
    AppendToRecord(walk, line);
  }
  // The dump shows progress, and writes out what it holds, at every element.
  static void ElementLookedUp(WalkContext& walk) {
    ShowProgress(walk);
    if (!walk.Settings.RangeActive && walk.Settings.FilterCount == 0) WriteRecordBuffer(walk);
  }
  static void RecordFound(WalkContext&) {}
  static void RecordStarts(WalkContext& walk, const TItem& item) { AppendRecordLine(walk, item); }
  static void ElementNamed(WalkContext& walk, const TItem& item) {
    TextBuffer& line = walk.DumpLine;
    line.assign("            **** **** Tag name: ");
    line.append(*item.TagName);
    line.push_back('\n');
    AppendWholeLine(walk, line);
  }
  static void TagNotFound(WalkContext& walk) { AppendTagNotFoundLine(walk); }
  // A long form ends with the length it gives.
  static void LengthRead(WalkContext& walk, const ElementLength& length) {
    if (!length.LongForm) return;
    TextBuffer& line = walk.DumpLine;
    line.assign("            **** **** Length of tag = ");
    AppendDecimal(line, length.Value);
    line.append("\n\n");
    AppendToRecord(walk, line);
  }
  static void ContentsBegin(WalkContext& walk) { AppendToRecord(walk, "\n"); }
  // The contents in hexadecimal and the decoded value; a line feed alone for a tag not found.
  static void Value(WalkContext& walk, const TLeaf* leaf, uint64_t length) {
    if (leaf == nullptr) {
      AppendToRecord(walk, "\n");
      return;
    }
    TextBuffer& line = walk.DumpLine;
    line.clear();
    AppendZeroPadded(line, walk.Input.Position(), 10);
    line.append(": HEX contents of tag body: ");
    if (length >= kLongValue) {  // in chunks, handed on as they are made
      AppendToRecord(walk, line);
      RecordChunks chunks{walk};
      PutLongForm(chunks, walk.Input.Here(), length, LongForm::kHex);
      line.clear();
    } else {
      AppendHex(line, walk.Input.Here(), length);
    }
    line.append("\n            Decoded value of a tag: ");
    AppendWholeLine(walk, line);
    DumpDecodedValue(walk, leaf->Item, length);
    AppendToRecord(walk, "\n");
  }
  static void EndOfContents(WalkContext& walk) { AppendToRecord(walk, kEndOfContentsLines); }
  // "0000002048: 1024 octets of filler (FFh) passed over", and an empty line.
  static void Filler(WalkContext& walk, uint64_t at, uint64_t count, uint8_t octet) {
    TextBuffer& line = walk.DumpLine;
    line.clear();
    AppendZeroPadded(line, at, 10);
    line.append(": ");
    AppendDecimal(line, count);
    line.append(" octets of filler (");
    AppendHexOctet(line, octet);
    line.append("h) passed over\n\n");
    AppendToRecord(walk, line);
  }
  // "0000000007: 3 octets skipped, input damaged; the walk goes on at offset 0000000010", and an
  // empty line.
  static void Damaged(WalkContext& walk, uint64_t at, uint64_t resumedAt) {
    EndLineOfRecord(walk);
    TextBuffer& line = walk.DumpLine;
    line.clear();
    AppendZeroPadded(line, at, 10);
    line.append(": ");
    AppendDecimal(line, resumedAt - at);
    line.append(" octets skipped, input damaged; the walk goes on at offset ");
    AppendZeroPadded(line, resumedAt, 10);
    line.append("\n\n");
    AppendToRecord(walk, line);
  }
  // "0000000012: the record at this offset was read after the damage at offset 0000000007,
  // inside the record damaged: it may be a piece of that record", and an empty line.
  static void InDoubt(WalkContext& walk, uint64_t at, uint64_t damagedAt) {
    EndLineOfRecord(walk);
    TextBuffer& line = walk.DumpLine;
    line.clear();
    AppendZeroPadded(line, at, 10);
    line.append(": the record at this offset was read after the damage at offset ");
    AppendZeroPadded(line, damagedAt, 10);
    line.append(", inside the record damaged: it may be a piece of that record\n\n");
    AppendToRecord(walk, line);
  }
  static void ElementBegins(WalkContext&, const TLeaf*, bool, const ElementLength&, int) {}
  static void ElementEnds(WalkContext&) {}
};

}  // namespace

int WalkDumpElements(WalkContext& walk, uint64_t end) { return WalkTopLevel<DumpWriter>(walk, end); }

}  // namespace orvalis
