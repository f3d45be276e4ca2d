// A file of CDRs (decode/frames/cdr_frames.h): told by its structure once the input is loaded, its
// file header told on the console, and what the header promises checked against the file and the
// walk, each disagreement a message and a count (WalkCounts::Frames).
#include <cinttypes>
#include <cstdio>
#include <string>

#include "common/console.h"
#include "common/text_format.h"
#include "driver/run_parts.h"

namespace orvalis {
namespace {

void AppendTime(TextBuffer& line, const CdrTime& time) {
  if (!AppendCdrTime(line, time)) line.append("out of range");
  line.append(" (");
  AppendHex(line, time.Octets.data(), time.Octets.size());
  line.push_back(')');
}

// The console line of normal mode:
// "CDR file: header of 59 octets, high release 9 version 3, low release 9 version 3, opened
// --05-06T12:34+02:00 (2C4B3082), last CDR appended ..., 10 CDRs, sequence number 42, closure
// reason 0 (normal), node 2001:db8::1 (FFFFFFFF2001...), lost CDR indicator 00 (none)".
std::string HeaderLine(const CdrFileHeader& header) {
  TextBuffer line;
  line.append("CDR file: header of ");
  AppendDecimal(line, static_cast<uint64_t>(header.HeaderLength));
  line.append(" octets, high release ");
  AppendDecimal(line, static_cast<uint64_t>(header.HighReleaseNumber()));
  line.append(" version ");
  AppendDecimal(line, static_cast<uint64_t>(header.HighVersion));
  line.append(", low release ");
  AppendDecimal(line, static_cast<uint64_t>(header.LowReleaseNumber()));
  line.append(" version ");
  AppendDecimal(line, static_cast<uint64_t>(header.LowVersion));
  line.append(", opened ");
  AppendTime(line, header.Opened);
  line.append(", last CDR appended ");
  AppendTime(line, header.LastAppend);
  line.append(", ");
  if (header.CdrCount == kCdrCountNotGiven) {
    line.append("number of CDRs not given (FFFFFFFF)");
  } else {
    AppendDecimal(line, static_cast<uint64_t>(header.CdrCount));
    line.append(header.CdrCount == 1 ? " CDR" : " CDRs");
  }
  line.append(", sequence number ");
  AppendDecimal(line, static_cast<uint64_t>(header.SequenceNumber));
  line.append(", closure reason ");
  AppendDecimal(line, static_cast<uint64_t>(header.ClosureReason));
  line.append(" (");
  line.append(ClosureReasonName(header.ClosureReason));
  line.append("), node ");
  if (!AppendNodeAddress(line, header.NodeAddress)) line.append("address");
  line.append(" (");
  AppendHex(line, header.NodeAddress.data(), header.NodeAddress.size());
  line.append("), lost CDR indicator ");
  AppendHexOctet(line, header.LostCdrs);
  line.append(" (");
  AppendLostCdrs(line, header.LostCdrs);
  line.append(")\n\n");
  return std::string(line.view());
}

}  // namespace

void RecogniseFrames(const RunSettings& settings, InputPart& in, IdentifierRule rule) {
  in.Frames = FramesOf(in.Image.Bytes(), in.Image.Size, settings.CdrFraming, settings.LeadingOctets, in.FileHeader,
                       in.FileHeaderMissing, rule);
}

void TellFileHeader(const RunSettings& settings, const InputPart& in, FrameCounts& counts) {
  if (in.FileHeaderMissing) {
    SayFormatted("Error: %s has no CDR file header that reads, which Framing=3gpp in %s asks for: it is converted "
                 "as plain BER.\n\n",
                 InputTitle(settings).c_str(), ConsoleName(settings.ConfigFileName).c_str());
    ++counts.FilesWithoutHeader;
    return;
  }
  if (!in.Frames.Cdr) return;
  const CdrFileHeader& header = in.FileHeader;
  SayChrome(HeaderLine(header));
  const uint64_t size = in.Image.Size;
  if (header.FileLength != size) {
    ++counts.FileLengthsDisagreeing;
    if (header.FileLength > size) {
      SayFormatted("Error: the CDR file is cut short by %" PRIu64 " octets: its header gives a file length of %" PRIu32
                   " octets.\n\n",
                   header.FileLength - size, header.FileLength);
    } else if (in.Frames.End != 0) {
      SayFormatted("Error: %" PRIu64 " octets after the file length of %" PRIu32
                   " octets that the CDR file header gives were not converted.\n\n",
                   size - in.Frames.End, header.FileLength);
    } else {  // a file length within the header bounds nothing
      SayFormatted("Error: the CDR file header gives a file length of %" PRIu32 " octets, within its own %" PRIu32
                   ": the CDRs are read up to the file's end (%" PRIu64 " octets).\n\n",
                   header.FileLength, header.HeaderLength, size);
    }
  }
  if (header.LostCdrs != 0) {
    TextBuffer lost;
    AppendLostCdrs(lost, header.LostCdrs);
    SayFormatted("Error: the CDR file header says that CDRs were lost before this file: lost CDR indicator %02X (%s).\n\n",
                 static_cast<unsigned>(header.LostCdrs), std::string(lost.view()).c_str());
    ++counts.FilesWithLostCdrs;
  }
  if (ClosedOnFault(header.ClosureReason)) {
    SayFormatted("Error: the CDR file was closed on a fault: closure reason %u (%s).\n\n",
                 static_cast<unsigned>(header.ClosureReason), ClosureReasonName(header.ClosureReason));
    ++counts.FilesClosedOnFault;
  }
}

void TellCdrsRead(const InputPart& in, bool walkedWhole, FrameCounts& counts) {
  if (!in.Frames.Cdr) return;
  if (counts.NotBer != 0) {
    SayFormatted("Error: %" PRIu64 " CDR%s of another format than BER %s passed over, not converted.\n\n", counts.NotBer,
                 counts.NotBer == 1 ? "" : "s", counts.NotBer == 1 ? "was" : "were");
  }
  const uint32_t given = in.FileHeader.CdrCount;
  if (walkedWhole && given != kCdrCountNotGiven && given != counts.Read) {
    SayFormatted("Error: the CDR file header gives %" PRIu32 " CDR%s, the file holds %" PRIu64 ".\n\n", given,
                 given == 1 ? "" : "s", counts.Read);
    ++counts.CdrCountsDisagreeing;
  }
}

}  // namespace orvalis
