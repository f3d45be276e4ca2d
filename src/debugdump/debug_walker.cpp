#include "debugdump/debug_walker.h"

#include <string_view>
#include <tuple>
#include <utility>

#include "common/text_format.h"
#include "debugdump/octet_annotations.h"
#include "decode/frames/cdr_frames.h"
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
  // The file header of a file of CDRs, a line for each field: its offset, its octets in
  // hexadecimal and what they say; a field of two parts in one octet bit by bit. An empty line.
  void FileHeader(const CdrFileHeader& header) {
    const uint64_t at = header.At;
    const uint8_t* octets = walk_.Input.Here();
    line_.clear();
    AppendZeroPadded(line_, at, 10);
    line_.append(": CDR file header of ");
    AppendDecimal(line_, static_cast<uint64_t>(header.HeaderLength));
    line_.append(" octets\n");
    AppendToRecord(walk_, line_);
    const auto number = [&](uint64_t offset, int count, std::string_view name) {
      uint64_t value = 0;
      for (int i = 0; i < count; ++i) value = value << 8 | octets[offset + static_cast<uint64_t>(i)];
      Field(at + offset, octets + offset, static_cast<uint64_t>(count), name).append(" = ");
      AppendDecimal(line_, value);
      EndField();
    };
    number(0, 4, "File length");
    number(4, 4, "Header length");
    ReleaseOctet(at + 8, octets[8], "High", header.HighRelease, header.HighExtension);
    ReleaseOctet(at + 9, octets[9], "Low", header.LowRelease, header.LowExtension);
    Time(at + 10, header.Opened, "File opening timestamp");
    Time(at + 14, header.LastAppend, "Last CDR append timestamp");
    if (header.CdrCount == kCdrCountNotGiven) {
      Field(at + 18, octets + 18, 4, "Number of CDRs in the file = not given");
      EndField();
    } else {
      number(18, 4, "Number of CDRs in the file");
    }
    number(22, 4, "File sequence number");
    Field(at + 26, octets + 26, 1, "File closure trigger reason = ");
    AppendDecimal(line_, static_cast<uint64_t>(header.ClosureReason));
    line_.append(" (");
    line_.append(ClosureReasonName(header.ClosureReason));
    line_.push_back(')');
    EndField();
    Field(at + 27, octets + 27, header.NodeAddress.size(), "Node address = ");
    if (!AppendNodeAddress(line_, header.NodeAddress)) line_.append("(its octets)");
    EndField();
    Field(at + 47, octets + 47, 1, "Lost CDR indicator = ");
    AppendLostCdrs(line_, header.LostCdrs);
    EndField();
    uint64_t offset = 48;
    struct Part {
      uint16_t Length;
      std::string_view LengthName, Name;
    };
    for (const Part& part : {Part{header.FilterLength, "Length of the CDR routeing filter = ", "CDR routeing filter"},
                             Part{header.ExtensionLength, "Length of the private extension = ", "Private extension"}}) {
      Field(at + offset, octets + offset, 2, part.LengthName);
      AppendDecimal(line_, static_cast<uint64_t>(part.Length));
      EndField();
      offset += 2;
      if (part.Length > 0) {
        Field(at + offset, octets + offset, part.Length, part.Name);
        EndField();
      }
      offset += part.Length;
    }
    for (const auto& [identifier, extension, name] :
         {std::tuple<uint8_t, uint8_t, std::string_view>{header.HighRelease, header.HighExtension, "High"},
          std::tuple<uint8_t, uint8_t, std::string_view>{header.LowRelease, header.LowExtension, "Low"}}) {
      if (identifier != kExtendedRelease) continue;
      Field(at + offset, octets + offset, 1, name);
      line_.append(" release identifier extension = ");
      AppendDecimal(line_, static_cast<uint64_t>(extension));
      line_.append(" (release ");
      AppendDecimal(line_, static_cast<uint64_t>(ReleaseNumber(identifier, extension)));
      line_.push_back(')');
      EndField();
      ++offset;
    }
    AppendToRecord(walk_, "\n");
  }
  // "0000000000: 16 octets of a leading header passed over: HEX", and an empty line.
  void LeadingOctets(const uint8_t* octets, uint64_t count) {
    AppendDecimal(OffsetLine(0), count);
    line_.append(" octets of a leading header passed over: ");
    AppendHex(line_, octets, count);
    line_.append("\n\n");
    AppendWholeLine(walk_, line_);
  }
  // A CDR header: its length, and its two octets of two fields each (and the release extension) bit
  // by bit. An empty line.
  void CdrHeaderRead(const CdrHeader& header, uint64_t at) {
    const uint8_t* octets = walk_.Input.Here() - header.Size;
    Field(at, octets, 2, "CDR length = ");
    AppendDecimal(line_, static_cast<uint64_t>(header.Length));
    EndField();
    text_.assign("Release identifier = ");
    AppendDecimal(text_, static_cast<uint64_t>(header.Release));
    if (header.Release != kExtendedRelease) {
      text_.append(" (release ");
      AppendDecimal(text_, static_cast<uint64_t>(header.ReleaseNumber()));
      text_.push_back(')');
    }
    other_.assign("Version identifier = ");
    AppendDecimal(other_, static_cast<uint64_t>(header.Version));
    DumpSplitOctet(walk_, line_, at + 2, octets[2], text_.view(), other_.view());
    text_.assign("Data record format = ");
    AppendDecimal(text_, static_cast<uint64_t>(header.Format));
    const char* format = RecordFormatName(header.Format);
    if (format != nullptr) {
      text_.append(" (");
      text_.append(format);
      text_.push_back(')');
    }
    other_.assign("TS number = ");
    AppendDecimal(other_, static_cast<uint64_t>(header.TsNumber));
    DumpSplitOctet(walk_, line_, at + 3, octets[3], text_.view(), other_.view());
    if (header.Release == kExtendedRelease) {
      Field(at + 4, octets + 4, 1, "Release identifier extension = ");
      AppendDecimal(line_, static_cast<uint64_t>(header.Extension));
      line_.append(" (release ");
      AppendDecimal(line_, static_cast<uint64_t>(header.ReleaseNumber()));
      line_.push_back(')');
      EndField();
    }
    AppendToRecord(walk_, "\n");
  }
  // "0000000063: 165 octets of a record in unaligned PER passed over", and an empty line.
  void OtherFormat(const CdrHeader& header, uint64_t at) {
    AppendDecimal(OffsetLine(at), static_cast<uint64_t>(header.Length));
    line_.append(" octets of a record in ");
    const char* format = RecordFormatName(header.Format);
    if (format != nullptr) {
      line_.append(format);
    } else {
      line_.append("format ");
      AppendDecimal(line_, static_cast<uint64_t>(header.Format));
    }
    line_.append(" passed over\n\n");
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

  // A field of a header: "0000000018: 0000000A NAME", the line left open for its value (EndField).
  TextBuffer& Field(uint64_t at, const uint8_t* octets, uint64_t count, std::string_view name) {
    OffsetLine(at);
    AppendHex(line_, octets, count);
    line_.push_back(' ');
    line_.append(name);
    return line_;
  }
  void EndField() {
    line_.push_back('\n');
    AppendWholeLine(walk_, line_);
  }
  // The octet of a release identifier and a version identifier of the file header.
  void ReleaseOctet(uint64_t at, uint8_t octet, std::string_view which, uint8_t identifier, uint8_t extension) {
    text_.assign(which);
    text_.append(" release identifier = ");
    AppendDecimal(text_, static_cast<uint64_t>(identifier));
    if (identifier != kExtendedRelease) {
      text_.append(" (release ");
      AppendDecimal(text_, static_cast<uint64_t>(ReleaseNumber(identifier, extension)));
      text_.push_back(')');
    }
    other_.assign(which);
    other_.append(" version identifier = ");
    AppendDecimal(other_, static_cast<uint64_t>(octet & 0x1F));
    DumpSplitOctet(walk_, line_, at, octet, text_.view(), other_.view());
  }
  // A timestamp: its octets, and its ISO 8601 form without a year, or that its fields are out of
  // range.
  void Time(uint64_t at, const CdrTime& time, std::string_view name) {
    Field(at, time.Octets.data(), time.Octets.size(), name).append(" = ");
    if (!AppendCdrTime(line_, time)) line_.append("(fields out of range)");
    EndField();
  }

  WalkContext& walk_;
  bool showsClasses_;  // the dictionary names classes: a path's components may show them
  TextBuffer line_;  // the line being formatted
  TextBuffer text_, other_;  // the texts of a split octet's two fields
};

}  // namespace

std::unique_ptr<FormatWalk> DumpWalk(WalkContext& walk) {
  WriteSourceLine(walk);
  static const auto setup = std::make_shared<const NoSetup>();
  return std::make_unique<WalkOf<DumpWriter, NoSetup>>(walk, setup);
}

}  // namespace orvalis
