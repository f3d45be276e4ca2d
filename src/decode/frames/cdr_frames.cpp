#include "decode/frames/cdr_frames.h"

#include "common/text_format.h"
#include "decode/ber/element_header.h"
#include "decode/ber/structure.h"

namespace orvalis {
namespace {

uint32_t BigEndian(const uint8_t* octets, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | octets[i];
  return value;
}

// The file header's fixed part, by offset.
constexpr int kFileLengthAt = 0;
constexpr int kHeaderLengthAt = 4;
constexpr int kHighReleaseAt = 8;
constexpr int kLowReleaseAt = 9;
constexpr int kOpenedAt = 10;
constexpr int kLastAppendAt = 14;
constexpr int kCdrCountAt = 18;
constexpr int kSequenceAt = 22;
constexpr int kClosureAt = 26;
constexpr int kNodeAt = 27;
constexpr int kLostAt = 47;
constexpr int kFilterLengthAt = 48;

// The structure of a record behind a CDR header: well-formed elements without a dictionary, every
// length octet followed, nested contents read with a cursor of their own.
struct RecordStructure {
  struct Scope {};
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = 64;
  static constexpr bool kBoundsContents = true;
  IdentifierRule Identifiers = IdentifierRule::kOneSubsequentOctet;

  static bool RefusesZeroIdentifier() { return false; }
  static bool Spend() { return true; }
  static Entry<Scope> Look(Scope, const ElementIdentifier&, int) { return {true, true, {}}; }
};

}  // namespace

bool CdrTime::InRange() const {
  return Month >= 1 && Month <= 12 && Day >= 1 && Day <= 31 && Hour <= 23 && Minute <= 59 && OffsetHours <= 23 &&
         OffsetMinutes <= 59;
}

CdrTime CdrTimeOf(const uint8_t* octets) {
  CdrTime time;
  for (int i = 0; i < 4; ++i) time.Octets[static_cast<std::size_t>(i)] = octets[i];
  const uint32_t bits = BigEndian(octets, 4);
  time.Month = static_cast<uint8_t>(bits >> 28);
  time.Day = static_cast<uint8_t>(bits >> 23 & 0x1F);
  time.Hour = static_cast<uint8_t>(bits >> 18 & 0x1F);
  time.Minute = static_cast<uint8_t>(bits >> 12 & 0x3F);
  time.AheadOfUtc = (bits >> 11 & 1) != 0;
  time.OffsetHours = static_cast<uint8_t>(bits >> 6 & 0x1F);
  time.OffsetMinutes = static_cast<uint8_t>(bits & 0x3F);
  return time;
}

bool AppendCdrTime(TextBuffer& out, const CdrTime& time) {
  if (!time.InRange()) return false;
  out.append("--");
  AppendZeroPadded(out, time.Month, 2);
  out.push_back('-');
  AppendZeroPadded(out, time.Day, 2);
  out.push_back('T');
  AppendZeroPadded(out, time.Hour, 2);
  out.push_back(':');
  AppendZeroPadded(out, time.Minute, 2);
  out.push_back(time.AheadOfUtc ? '+' : '-');
  AppendZeroPadded(out, time.OffsetHours, 2);
  out.push_back(':');
  AppendZeroPadded(out, time.OffsetMinutes, 2);
  return true;
}

const char* ClosureReasonName(uint8_t reason) {
  switch (reason) {
    case 0: return "normal";
    case 1: return "file size limit";
    case 2: return "file time limit";
    case 3: return "CDR count limit";
    case 4: return "manual";
    case 5: return "change of CDR versions";
    case 128: return "undefined";
    case 129: return "file system error";
    case 130: return "no space";
    case 131: return "integrity error";
    default: return nullptr;
  }
}

bool ReadCdrFileHeader(const ByteCursor& at, CdrFileHeader& header) {
  if (at.Left() < kCdrFileHeaderFixed) return false;
  const uint8_t* octets = at.Here();
  CdrFileHeader read;
  read.At = at.Position();
  read.FileLength = BigEndian(octets + kFileLengthAt, 4);
  read.HeaderLength = BigEndian(octets + kHeaderLengthAt, 4);
  if (read.HeaderLength < kCdrFileHeaderFixed || read.HeaderLength > at.Left()) return false;
  read.HighRelease = octets[kHighReleaseAt] >> 5;
  read.HighVersion = octets[kHighReleaseAt] & 0x1F;
  read.LowRelease = octets[kLowReleaseAt] >> 5;
  read.LowVersion = octets[kLowReleaseAt] & 0x1F;
  read.Opened = CdrTimeOf(octets + kOpenedAt);
  read.LastAppend = CdrTimeOf(octets + kLastAppendAt);
  read.CdrCount = BigEndian(octets + kCdrCountAt, 4);
  read.SequenceNumber = BigEndian(octets + kSequenceAt, 4);
  read.ClosureReason = octets[kClosureAt];
  if (ClosureReasonName(read.ClosureReason) == nullptr) return false;
  for (std::size_t i = 0; i < read.NodeAddress.size(); ++i) read.NodeAddress[i] = octets[kNodeAt + i];
  read.LostCdrs = octets[kLostAt];
  // The variable part, each length checked against what the header length leaves.
  uint64_t used = kFilterLengthAt;
  const auto lengthAt = [&](uint16_t& length, const uint8_t*& field) {
    if (read.HeaderLength - used < 2) return false;
    length = static_cast<uint16_t>(BigEndian(octets + used, 2));
    used += 2;
    if (read.HeaderLength - used < length) return false;
    field = octets + used;
    used += length;
    return true;
  };
  if (!lengthAt(read.FilterLength, read.Filter) || !lengthAt(read.ExtensionLength, read.Extension)) return false;
  const auto extensionOf = [&](uint8_t identifier, uint8_t& extension) {
    if (identifier != kExtendedRelease) return true;
    if (read.HeaderLength - used < 1) return false;
    extension = octets[used++];
    return true;
  };
  if (!extensionOf(read.HighRelease, read.HighExtension) || !extensionOf(read.LowRelease, read.LowExtension)) {
    return false;
  }
  if (used != read.HeaderLength) return false;
  header = read;
  return true;
}

LostCdrs LostCdrsOf(uint8_t indicator) {
  if (indicator == 0) return {0, false};
  if (indicator < 128) return {indicator, true};
  if (indicator == 128) return {1, true};
  if (indicator == 255) return {127, true};
  return {static_cast<uint32_t>(indicator - 128), false};
}

void AppendLostCdrs(TextBuffer& out, uint8_t indicator) {
  const LostCdrs lost = LostCdrsOf(indicator);
  if (lost.Count == 0) return out.append("none");
  out.append(lost.AtLeast ? "at least " : "exactly ");
  AppendDecimal(out, static_cast<uint64_t>(lost.Count));
}

bool AppendNodeAddress(TextBuffer& out, const std::array<uint8_t, 20>& address) {
  std::size_t padding = 0;
  while (padding < 16 && address[padding] == 0xFF) ++padding;
  if (padding < 4) return false;
  if (padding == 16) {  // an IPv4 address behind sixteen octets FF
    for (std::size_t i = 16; i < 20; ++i) {
      if (i > 16) out.push_back('.');
      AppendDecimal(out, static_cast<uint64_t>(address[i]));
    }
    return true;
  }
  uint16_t groups[8];
  for (int g = 0; g < 8; ++g) groups[g] = static_cast<uint16_t>(address[4 + 2 * g] << 8 | address[5 + 2 * g]);
  // RFC 5952: the longest run of two or more zero groups (the first of equal ones) is "::"; an
  // IPv4-mapped address ends in its dotted quad.
  int runAt = -1, runLength = 0;
  for (int g = 0; g < 8;) {
    if (groups[g] != 0) {
      ++g;
      continue;
    }
    int end = g;
    while (end < 8 && groups[end] == 0) ++end;
    if (end - g > runLength && end - g >= 2) {
      runAt = g;
      runLength = end - g;
    }
    g = end;
  }
  const bool mapped = runAt == 0 && runLength == 5 && groups[5] == 0xFFFF;
  const int hexGroups = mapped ? 6 : 8;
  constexpr char kDigits[] = "0123456789abcdef";
  for (int g = 0; g < hexGroups; ++g) {
    if (g == runAt) {
      out.append("::");
      g += runLength - 1;
      continue;
    }
    if (g > 0 && g != runAt + runLength) out.push_back(':');
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const int digit = groups[g] >> shift & 0xF;
      if (digit == 0 && !started && shift > 0) continue;
      started = true;
      out.push_back(kDigits[digit]);
    }
  }
  if (mapped) {
    out.push_back(':');
    for (int i = 16; i < 20; ++i) {
      if (i > 16) out.push_back('.');
      AppendDecimal(out, static_cast<uint64_t>(address[static_cast<std::size_t>(i)]));
    }
  }
  return true;
}

bool ReadCdrHeader(ByteCursor& at, CdrHeader& header) {
  if (at.Left() < kCdrHeaderFixed) return false;
  const uint8_t* octets = at.Here();
  CdrHeader read;
  read.Length = static_cast<uint16_t>(BigEndian(octets, 2));
  read.Release = octets[2] >> 5;
  read.Version = octets[2] & 0x1F;
  read.Format = octets[3] >> 5;
  read.TsNumber = octets[3] & 0x1F;
  if (read.Release == kExtendedRelease) {
    if (at.Left() < kCdrHeaderFixed + 1u) return false;
    read.Extension = octets[4];
    read.Size = kCdrHeaderFixed + 1;
  }
  at.Skip(read.Size);
  header = read;
  return true;
}

const char* RecordFormatName(uint8_t format) {
  switch (format) {
    case 1: return "BER";
    case 2: return "unaligned PER";
    case 3: return "aligned PER";
    case 4: return "XER";
    default: return nullptr;
  }
}

bool BerElementFills(const ByteCursor& at, uint64_t length, IdentifierRule rule) {
  if (length == 0 || length > at.Left()) return false;
  ByteCursor record = at.Contents(length);
  RecordStructure structure;
  structure.Identifiers = rule;
  StructureFault fault;
  return PassOverElement(record, 0, {}, structure, fault) && record.AtEnd();
}

InputFrames FramesOf(const uint8_t* data, uint64_t size, Framing framing, uint64_t leading, CdrFileHeader& header,
                     bool& headerMissing, IdentifierRule rule) {
  headerMissing = false;
  if (leading > 0) return {false, leading < size ? leading : size, 0};
  if (framing == Framing::kNever) return {};
  const ByteCursor input(data, size);
  CdrFileHeader read;
  if (!ReadCdrFileHeader(input, read)) {
    headerMissing = framing == Framing::kAlways;
    return {};
  }
  if (framing == Framing::kRecognise) {
    ByteCursor at = input;
    at.Skip(read.HeaderLength);
    CdrHeader first;
    const bool empty = at.AtEnd() && read.FileLength == read.HeaderLength;
    if (!empty && !(ReadCdrHeader(at, first) && first.Format == kBerFormat && BerElementFills(at, first.Length, rule))) {
      return {};
    }
  }
  header = read;
  return {true, read.HeaderLength, OctetsAfterFileLength(read, size) != 0 ? read.FileLength : 0};
}

}  // namespace orvalis
