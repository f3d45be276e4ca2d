// Charging data record files as mobile networks write them: a file header, then each BER record
// behind a small header of its own (a CDR header). The octets of both are read here, through the
// cursor, into small results that the walk, the dump and the driver lay out; and an input is told
// to be such a file by its structure (FramesOf), not by its name or length.
//
// The file header, big-endian:
//   4  file length (the whole file)          4  header length (these 8 octets included)
//   1  high release identifier (3 bits) and version identifier (5 bits)
//   1  low release identifier and version identifier
//   4  file opening timestamp                4  last CDR append timestamp
//   4  number of CDRs in the file            4  file sequence number
//   1  file closure trigger reason           20 address of the node that wrote the file
//   1  lost CDR indicator
//   2  length of the CDR routeing filter, then the filter
//   2  length of the private extension, then the extension
//   1  high release identifier extension, only when the high release identifier is 7
//   1  low release identifier extension, only when the low release identifier is 7
// A CDR header: 2 octets the length of the record that follows, 1 octet release identifier (3
// bits) and version identifier (5 bits), 1 octet data record format (3 bits: 1 BER, 2 unaligned
// PER, 3 aligned PER, 4 XER) and TS number (5 bits), and 1 octet release identifier extension when
// the release identifier is 7.
//
// A timestamp is 32 bits from the first octet's high bit: month 4, day 5, hour 5, minute 6, the
// sign of the offset from UTC 1 (1 ahead of UTC), offset hours 5, offset minutes 6. It has no year.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "common/text_buffer.h"
#include "decode/ber/byte_cursor.h"
#include "decode/ber/element_header.h"

namespace orvalis {

// The octets of a file header without its filter, extension and release extensions.
constexpr uint32_t kCdrFileHeaderFixed = 52;
// A CDR header without its release extension.
constexpr uint8_t kCdrHeaderFixed = 4;
// A release identifier that an extension octet follows: release 10 + the extension.
constexpr uint8_t kExtendedRelease = 7;
// The data record format of a BER record.
constexpr uint8_t kBerFormat = 1;

// The number of CDRs that a file header gives as FFFFFFFF is not compared with the CDRs read: it is
// taken as not given.
constexpr uint32_t kCdrCountNotGiven = UINT32_MAX;

// A release identifier and its extension (when the identifier is 7), as the release number:
// 3 for identifier 0 (Release 99, whose specifications are numbered 3.x), 4 to 9 for 1 to 6,
// 10 + the extension for 7.
inline uint32_t ReleaseNumber(uint8_t identifier, uint8_t extension) {
  return identifier == kExtendedRelease ? 10u + extension : 3u + identifier;
}

// A timestamp of the file header, its fields as the octets give them (unchecked).
struct CdrTime {
  std::array<uint8_t, 4> Octets{};
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0;
  bool AheadOfUtc = false;  // the sign bit set
  uint8_t OffsetHours = 0, OffsetMinutes = 0;

  // Month 1 to 12, day 1 to 31, hour 0 to 23, minute 0 to 59, offset up to 23:59.
  bool InRange() const;
};
CdrTime CdrTimeOf(const uint8_t* octets);
// ISO 8601 without a year, with its offset: "--05-06T12:34+02:00"; false, with nothing appended,
// when a field is out of range.
bool AppendCdrTime(TextBuffer& out, const CdrTime& time);

struct CdrFileHeader {
  uint64_t At = 0;  // its first octet
  uint32_t FileLength = 0;
  uint32_t HeaderLength = 0;
  uint8_t HighRelease = 0, HighVersion = 0, LowRelease = 0, LowVersion = 0;  // identifiers
  uint8_t HighExtension = 0, LowExtension = 0;  // 0 where absent
  CdrTime Opened, LastAppend;
  uint32_t CdrCount = 0;
  uint32_t SequenceNumber = 0;
  uint8_t ClosureReason = 0;
  std::array<uint8_t, 20> NodeAddress{};
  uint8_t LostCdrs = 0;
  uint16_t FilterLength = 0;
  const uint8_t* Filter = nullptr;  // within the input
  uint16_t ExtensionLength = 0;
  const uint8_t* Extension = nullptr;

  uint32_t HighReleaseNumber() const { return ReleaseNumber(HighRelease, HighExtension); }
  uint32_t LowReleaseNumber() const { return ReleaseNumber(LowRelease, LowExtension); }
};

// The file header at the read position (which does not move): true when its header length is at
// least 52 and lies within the cursor, its release identifiers and closure reason are ones the
// format knows, and its filter, extension and release extensions end exactly at the header length.
bool ReadCdrFileHeader(const ByteCursor& at, CdrFileHeader& header);

// The closure reasons the format knows: 0 to 5 and 128 to 131. Their names, by code; null for
// another. 129 to 131 say that the node closed the file on a fault.
const char* ClosureReasonName(uint8_t reason);
inline bool ClosedOnFault(uint8_t reason) { return reason >= 129 && reason <= 131; }

// The lost CDR indicator: 0 none lost; 1 to 127 at least that many; 128 at least one; 129 to 254
// exactly the value less 128; 255 at least 127.
struct LostCdrs {
  uint32_t Count = 0;
  bool AtLeast = false;
};
LostCdrs LostCdrsOf(uint8_t indicator);
// "none", "at least 3", "exactly 1".
void AppendLostCdrs(TextBuffer& out, uint8_t indicator);

// The node's address as text: an IPv4 address (dotted) in the last four octets when the sixteen
// before them are FF, else an IPv6 address (in the form of RFC 5952) in the last sixteen when the
// first four are FF; false, with nothing appended, otherwise.
bool AppendNodeAddress(TextBuffer& out, const std::array<uint8_t, 20>& address);

// A CDR header.
struct CdrHeader {
  uint16_t Length = 0;  // of the record that follows
  uint8_t Release = 0;  // identifier
  uint8_t Version = 0;
  uint8_t Format = 0;
  uint8_t TsNumber = 0;
  uint8_t Extension = 0;  // 0 where absent
  uint8_t Size = kCdrHeaderFixed;  // 4, or 5 with the extension

  uint32_t ReleaseNumber() const { return orvalis::ReleaseNumber(Release, Extension); }
};

// The names of a record's CDR header's parts as CSV columns and JSON Lines members
// (CdrHeaderColumns=true), in the order CdrHeaderPart gives them.
constexpr std::string_view kCdrHeaderColumns[] = {"cdrRelease", "cdrVersion", "cdrFormat", "cdrTsNumber"};
// The value of a part of a CDR header, by its column's place among kCdrHeaderColumns.
inline uint32_t CdrHeaderPart(const CdrHeader& header, std::size_t part) {
  switch (part) {
    case 0: return header.ReleaseNumber();
    case 1: return header.Version;
    case 2: return header.Format;
    default: return header.TsNumber;
  }
}

// The CDR header at the read position, which moves past it; false, without moving, when the
// cursor ends inside it.
bool ReadCdrHeader(ByteCursor& at, CdrHeader& header);

// The data record formats by code: "BER", "unaligned PER", "aligned PER", "XER"; null for another.
const char* RecordFormatName(uint8_t format);

// How a run takes the framing (the main configuration file's Framing): told by the structure
// (recognise), every input framed (3gpp), none framed (none).
enum class Framing : uint8_t { kRecognise, kAlways, kNever };

// Where an input's records lie: the octets before Start are a header passed over (the file
// header, or LeadingOctets' header), the elements from Start to End are walked, each behind a CDR
// header when Cdr. End 0: the input's end.
struct InputFrames {
  bool Cdr = false;
  uint64_t Start = 0;
  uint64_t End = 0;
};

// The octets of an input of `size` octets after the file length its file header gives, which are
// not walked: those after a file length beyond the header. A file length within the header (0, say,
// from a node that did not write it) bounds nothing: the CDRs are then read to the input's end.
inline uint64_t OctetsAfterFileLength(const CdrFileHeader& header, uint64_t size) {
  return header.FileLength > header.HeaderLength && header.FileLength < size ? size - header.FileLength : 0;
}

// True when the element at the read position, behind a CDR header, is a well-formed BER element of
// exactly `length` octets (its identifier and length octets included). The cursor does not move.
bool BerElementFills(const ByteCursor& at, uint64_t length, IdentifierRule rule);

// The framing of an input of `size` octets at `data`: a file of CDRs when its file header reads
// and, told by its structure, the first CDR header after it is followed by a BER element of the
// length it gives (or the file holds nothing after the header and its length says so); always
// when `framing` is kAlways and the header reads. `header` gets the file header, and
// `headerMissing` is true where kAlways found none (the input is then walked without framing). The
// CDRs end at the file length the header gives (End), when the input holds octets after it
// (OctetsAfterFileLength).
// With LeadingOctets (`leading` above 0), those octets are passed over and the rest is plain BER.
InputFrames FramesOf(const uint8_t* data, uint64_t size, Framing framing, uint64_t leading, CdrFileHeader& header,
                     bool& headerMissing,
                     IdentifierRule rule = IdentifierRule::kOneSubsequentOctet);

}  // namespace orvalis
