#include "debugdump/debug_walker.h"

#include <string_view>

#include "common/text_format.h"
#include "debugdump/octet_annotations.h"
#include "decode/walk/walk_steps.h"
#include "decode/walk/writer.h"
#include "decode/types/long_text.h"
#include "decode/types/value_types.h"
#include "decode/writers/text_writer.h"

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

// Each identifier and length octet, as it is read: its offset and bits, and what they mean; a
// long form ends with the length it gives.
struct OctetExplanation {
  WalkContext& Walk;
  TextBuffer& Line;

  void IdentifierOctet(uint8_t octet) {
    DumpOctetLine(Walk, Line, octet);
    AppendToRecord(Walk, kClassLines[octet >> 6]);
    AppendToRecord(Walk, (octet & kConstructedBit) != 0 ? kConstructedLine : kPrimitiveLine);
    if ((octet & kTagNumberMask) != kHighTagNumber) DumpShortTagId(Walk, Line, octet & kTagNumberMask);
  }
  // One subsequent octet whose bit 8 is clear, or any one as files were always read.
  void TagNumberOctet(int32_t tagId) {
    if (Walk.Settings.Identifiers == IdentifierRule::kAnyLength) {
      return DumpTagNumberOctets(Walk, Line, Walk.Input, {HeaderRead::kRead, tagId, 1});
    }
    DumpTagIdOctet(Walk, Line, false, tagId);
    DumpTagIdOctet(Walk, Line, true, tagId);
  }
  // Identifier octets of any length: the subsequent octets at `at`, before they are read.
  void SubsequentOctets(const ByteCursor& at, const TagNumberOctets& octets) { DumpTagNumberOctets(Walk, Line, at, octets); }
  void FirstLengthOctet(uint8_t octet) {
    DumpOctetLine(Walk, Line, octet);
    if (octet == kIndefiniteLength) {
      AppendToRecord(Walk, kIndefiniteLine);
      return;
    }
    AppendToRecord(Walk, kDefiniteLine);
    if (octet < 0x80) {
      DumpShortLength(Walk, Line, octet);
    } else {
      DumpLongLengthHeader(Walk, Line, octet, octet & 0x7F);
    }
  }
  void LengthOctet(uint8_t octet) { DumpLengthOctet(Walk, Line, octet); }
  void LengthEnds(const ElementLength& length) {
    Line.assign("            **** **** Length of tag = ");
    AppendDecimal(Line, length.Value);
    Line.append("\n\n");
    AppendToRecord(Walk, Line);
  }
};

class DumpWriter : public WriterDefaults {
 public:
  using Values = ValueTypes;

  static constexpr const char* kIndefinitePrimitive = "!!!! NonConstructed tag with undefinite length !!!!\n";
  static constexpr bool kTakesCommonElementsAtOnce = false;
  // The dump shows progress, and writes out what it holds, at every element: one thread walks,
  // another writes.
  static constexpr ProgressAt kProgress = ProgressAt::kElements;
  static constexpr bool kShared = false;
  static constexpr bool kExplainsOctets = true;

  DumpWriter(WalkContext& walk, const NoSetup&) : walk_(walk), showsClasses_(NamesClassesAnywhere(*walk.Root)) {
    line_.reserve(kLineReserve);
  }

  // An element is named by its TagName: a record tag opens a record even without a long name.
  static bool Names(const TItem& item) { return item.TagName.has_value(); }
  OctetExplanation Explanation() { return {walk_, line_}; }
  void Tag(const TagPath& path, const TLeaf*) {
    line_.assign("            **** **** Full tag string is ");
    if (showsClasses_) {
      AppendTagPathText(line_, path);
    } else {
      AppendTagPathText<false>(line_, path);
    }
    line_.push_back('\n');
    AppendToRecord(walk_, line_);
  }
  void RecordStarts(const RecordRead& record) { AppendRecordLine(walk_, record.Item, record.Number); }
  void Named(const TItem& item) {
    line_.assign("            **** **** Tag name: ");
    line_.append(*item.TagName);
    line_.push_back('\n');
    AppendWholeLine(walk_, line_);
  }
  void TagNotFound(const TagPath& path) { AppendTagNotFoundLine(walk_, path); }
  void ContentsBegin() { AppendToRecord(walk_, "\n"); }
  // The contents in hexadecimal and the decoded value; a line feed alone for a tag not found.
  void Value(const ValueRead& value) {
    if (value.Leaf == nullptr) {
      AppendToRecord(walk_, "\n");
      return;
    }
    OffsetLine(value.At).append("HEX contents of tag body: ");
    if (value.Length >= kLongValue) {  // in chunks, handed on as they are made
      AppendToRecord(walk_, line_);
      RecordChunks chunks{walk_};
      PutLongForm(chunks, value.Octets, value.Length, LongForm::kHex);
      line_.clear();
    } else {
      AppendHex(line_, value.Octets, value.Length);
    }
    line_.append("\n            Decoded value of a tag: ");
    AppendWholeLine(walk_, line_);
    Values::Dump(walk_, value.Leaf->Item, value.Octets, value.Length);
    AppendToRecord(walk_, "\n");
  }
  void EndOfContents() { AppendToRecord(walk_, kEndOfContentsLines); }
  // The line under way is formatted and appended at once; the dump is never shared by two
  // threads, so nothing is handed over.
  void Finish() {}
  void TakeOver(DumpWriter&) {}
  // "0000002048: 1024 octets of filler (FFh) passed over", and an empty line.
  void Filler(uint64_t at, uint64_t count, uint8_t octet) {
    AppendDecimal(OffsetLine(at), count);
    line_.append(" octets of filler (");
    AppendHexOctet(line_, octet);
    line_.append("h) passed over\n\n");
    AppendToRecord(walk_, line_);
  }
  // "0000000007: 3 octets skipped, input damaged; the walk goes on at offset 0000000010", and an
  // empty line.
  void Damaged(uint64_t at, uint64_t resumedAt) {
    EndLineOfRecord(walk_);
    AppendDecimal(OffsetLine(at), resumedAt - at);
    line_.append(" octets skipped, input damaged; the walk goes on at offset ");
    AppendZeroPadded(line_, resumedAt, 10);
    line_.append("\n\n");
    AppendToRecord(walk_, line_);
  }
  // "0000000012: the record at this offset was read after the damage at offset 0000000007,
  // inside the record damaged: it may be a piece of that record", and an empty line.
  void InDoubt(uint64_t at, uint64_t damagedAt) {
    EndLineOfRecord(walk_);
    OffsetLine(at).append("the record at this offset was read after the damage at offset ");
    AppendZeroPadded(line_, damagedAt, 10);
    line_.append(", inside the record damaged: it may be a piece of that record\n\n");
    AppendToRecord(walk_, line_);
  }

 private:
  static constexpr std::size_t kLineReserve = 1000;

  // Begins the line about the input at `at` with its offset: "0000002048: ".
  TextBuffer& OffsetLine(uint64_t at) {
    line_.clear();
    AppendZeroPadded(line_, at, 10);
    line_.append(": ");
    return line_;
  }

  WalkContext& walk_;
  bool showsClasses_;  // the dictionary names classes: a path's components may show them
  TextBuffer line_;  // the line being formatted
};

}  // namespace

std::unique_ptr<FormatWalk> DumpWalk(WalkContext& walk) {
  WriteSourceLine(walk);
  static const auto setup = std::make_shared<const NoSetup>();
  return std::make_unique<WalkOf<DumpWriter, NoSetup>>(walk, setup);
}

}  // namespace orvalis
