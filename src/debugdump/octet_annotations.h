// The debug dump's explanation lines: each identifier and length octet shown bit by bit.
//
// Columns 0-11 hold the offset ("0000000005: ") or twelve blanks; columns 12-20 the bit picture
// (four bits, a blank, four bits; "." for a bit explained elsewhere, "*" on summary lines); then a
// blank and the explanation. Each formatter builds its line in `line` (the dump's own) and appends
// it to the record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_format.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// "%010lu: bbbb bbbb = %02Xh" with the read position and the octet.
void DumpOctetLine(WalkContext& walk, TextBuffer& line, uint8_t octet);
// An octet of two fields, its high three bits and its low five (a release and a version
// identifier, say), at `at`: its line as DumpOctetLine's, then "bbb. .... HIGH" and "...b bbbb LOW".
void DumpSplitOctet(WalkContext& walk, TextBuffer& line, uint64_t at, uint8_t octet, std::string_view high,
                    std::string_view low);
// "...b bbbb TagId=%d" for a tag number of the first identifier octet (0 to 30).
void DumpShortTagId(WalkContext& walk, TextBuffer& line, int tagId);
// Not final: the subsequent identifier octet's bits, under the "last octet" text when bit 8 of the
// value is set, else the "not last octet" text. Final: "**** ****   TagId=%d".
void DumpTagIdOctet(WalkContext& walk, TextBuffer& line, bool final, int value);
// With identifier octets of any length, the subsequent identifier octets at `at` (`octets.Octets`
// of them) under a first identifier octet whose tag number bits are all ones: "...1 1111 Tag number
// in the subsequent octets", then each octet's offset line, its bit 8 ("1... .... More octets of
// the tag number follow", "0... .... Last octet of the tag number") and its seven bits (".bbb bbbb
// Tag number bits=%d"), and when they read, "**** ****   TagId=%d".
void DumpTagNumberOctets(WalkContext& walk, TextBuffer& line, const ByteCursor& at, const TagNumberOctets& octets);
// ".bbb bbbb Short form of definite Length. Length=%d".
void DumpShortLength(WalkContext& walk, TextBuffer& line, int length);
// "1bbb bbbb Long form of definite Length. Number of bytes in length=%d".
void DumpLongLengthHeader(WalkContext& walk, TextBuffer& line, uint8_t octet, int count);
// "bbbb bbbb = %02Xh - one of N bytes of long form of definite Length".
void DumpLengthOctet(WalkContext& walk, TextBuffer& line, uint8_t octet);

}  // namespace orvalis
