#include "debugdump/debug_walker.h"

#include <cstdio>
#include <string_view>

#include "common/text_format.h"
#include "debugdump/octet_annotations.h"
#include "decode/value_decoders.h"
#include "decode/walk_steps.h"

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
constexpr const char kIndefinitePrimitive[] = "!!!! NonConstructed tag with undefinite length !!!!\n";
constexpr std::string_view kEndOfContentsLines =
    "            0000 0000 = 00h - The first byte of 'End-of-contents octets'\n"
    "            0000 0000 = 00h - The second byte of 'End-of-contents octets'. End of tag.\n\n";

// The octet at the read position, after its offset line has been appended; false, after the
// end-of-input message, when the input has ended.
bool DumpNextOctet(WalkContext& walk, uint8_t& octet) {
  if (walk.Input.AtEnd()) {
    ReportEndOfInput();
    return false;
  }
  octet = walk.Input.Peek();
  DumpOctetLine(walk, octet);
  return true;
}

bool DumpIdentifier(WalkContext& walk, bool& constructed, int32_t& tagId) {
  uint8_t octet = 0;
  if (!DumpNextOctet(walk, octet)) return false;
  AppendToRecord(walk, kClassLines[octet >> 6]);
  walk.Input.Skip(1);
  constructed = (octet & kConstructedBit) != 0;
  AppendToRecord(walk, constructed ? kConstructedLine : kPrimitiveLine);
  tagId = octet & kTagNumberMask;
  if (tagId != kHighTagNumber) {
    DumpShortTagId(walk, tagId);
    return true;
  }
  if (walk.Input.AtEnd()) {
    ReportEndOfInput();
    return false;
  }
  tagId = walk.Input.Peek() & 0x7F;
  DumpTagIdOctet(walk, false, tagId);
  walk.Input.Skip(1);
  DumpTagIdOctet(walk, true, tagId);
  return true;
}

// The long form: its header line, a line for each length octet, then the length it gives.
bool DumpLongLength(WalkContext& walk, uint8_t octet, ElementLength& length) {
  const int count = octet & 0x7F;
  DumpLongLengthHeader(walk, octet, count);
  for (int i = 0; i < count; ++i) {
    if (walk.Input.AtEnd()) {
      ReportEndOfInput();
      return false;
    }
    const uint8_t lengthOctet = walk.Input.Peek();
    DumpLengthOctet(walk, lengthOctet);
    walk.Input.Skip(1);
    AddLengthOctet(length, lengthOctet);
  }
  TextBuffer& line = walk.DumpLine;
  line.assign("            **** **** Length of tag = ");
  AppendDecimal(line, length.Value);
  line.append("\n\n");
  AppendToRecord(walk, line);
  return true;
}

bool DumpLength(WalkContext& walk, ElementLength& length) {
  uint8_t octet = 0;
  if (!DumpNextOctet(walk, octet)) return false;
  walk.Input.Skip(1);
  if (octet == kIndefiniteLength) {
    length.Indefinite = true;
    AppendToRecord(walk, kIndefiniteLine);
    return true;
  }
  AppendToRecord(walk, kDefiniteLine);
  if (octet < 0x80) {
    length.Value = octet;
    DumpShortLength(walk, octet);
  } else if (!DumpLongLength(walk, octet, length)) {
    return false;
  }
  return FitsInInput(walk, length);
}

// Appends a line that may be longer than one piece may be, in pieces, so that nothing of it is
// refused.
void AppendWholeLine(WalkContext& walk, std::string_view line) {
  while (line.size() > kMaxPieceLength) {
    AppendToRecord(walk, line.substr(0, kMaxPieceLength));
    line.remove_prefix(kMaxPieceLength);
  }
  AppendToRecord(walk, line);
}

// The name line, the record line, or nothing. True at a record start.
bool NameElement(WalkContext& walk, const TItem& item) {
  if (!item.TagName) return false;
  if (IsRecordStart(item)) {
    StartRecord(walk, item);
    return true;
  }
  if (!InSkippedRecord(walk)) {
    TextBuffer& line = walk.DumpLine;
    line.assign("            **** **** Tag name: ");
    line.append(*item.TagName);
    line.push_back('\n');
    AppendWholeLine(walk, line);
  }
  return false;
}

void DumpContents(WalkContext& walk, const TItem& item, uint64_t length) {
  TextBuffer& line = walk.DumpLine;
  line.clear();
  AppendZeroPadded(line, walk.Input.Position(), 10);
  line.append(": HEX contents of tag body: ");
  AppendHexDigits(line, walk.Input.Here(), length);
  line.append("\n            Decoded value of a tag: ");
  AppendWholeLine(walk, line);
  DecodeValue(walk, item, length);
  AppendToRecord(walk, "\n");
}

}  // namespace

int DebugWalkStep(WalkContext& walk) {
  if (!KeepHeldTextBounded(walk) || !EnterLevel(walk)) return -1;
  bool constructed = false;
  int32_t tagId = 0;
  if (!DumpIdentifier(walk, constructed, tagId)) return -1;
  EnterTag(walk, tagId);
  TextBuffer& line = walk.DumpLine;
  line.assign("            **** **** Full tag string is ");
  AppendTagPathText(line, walk.State.Path);
  line.push_back('\n');
  AppendToRecord(walk, line);

  TLeaf* leaf = LookUpTag(walk);
  bool recordStart = false;
  ShowProgress(walk);
  if (!walk.Settings.RangeActive && walk.Settings.FilterCount == 0) WriteRecordBuffer(walk);
  if (leaf == nullptr) {
    ReportTagNotFound(walk);
  } else {
    recordStart = NameElement(walk, leaf->Item);
    if (constructed) Descend(walk, *leaf);
  }

  ElementLength length;
  if (!DumpLength(walk, length)) return -1;
  ByteCursor& input = walk.Input;
  if (PassesOverSkipped(walk, constructed, recordStart, length)) {
    input.Skip(length.Value);
  } else if (length.Indefinite) {
    if (WalkIndefiniteContents<DebugWalkStep>(walk, constructed, kIndefinitePrimitive,
                               kEndOfContentsLines) < 0) {
      return -1;
    }
  } else if (length.Value > 0) {
    if (constructed) {
      AppendToRecord(walk, "\n");
      if (WalkNestedElements<DebugWalkStep>(walk, length.Value) < 0) return -1;
    } else {
      if (leaf != nullptr) {
        DumpContents(walk, leaf->Item, length.Value);
      } else {
        AppendToRecord(walk, "\n");
      }
      input.Skip(length.Value);
    }
  }
  LeaveElement(walk, constructed ? leaf : nullptr);
  if (recordStart) ++walk.Counts.RecordsCompleted;
  return 0;
}

}  // namespace orvalis
