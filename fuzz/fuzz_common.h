// What the fuzz targets share: a fixed dictionary that uses every value type, fixed filter texts,
// a silenced console, a discarded output file, a whole walk, and a consistency check of the
// dictionary tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "decode/types/value_types.h"
#include "decode/walk/walk_state.h"
#include "driver/whole_walk.h"
#include "tags/tag_tree.h"
#include "tags/tags_reader.h"

namespace orvalis_fuzz {

// The fixed dictionary: a file header, call records at the top level (tag 1) and inside blocks
// (tag 2 holding records 2.1), nested groups three levels deep, tag numbers above 30 (31, 33, 63,
// 127) and at the top level (100), every value type, mnemonic tables with empty and malformed
// entries, a tag without a type, one with an unknown type, one without a long name, a record tag
// inside a record and one deep in an unrelated branch, and a record (tag 5) of the types of
// module-defined files, with named numbers good and bad. CRLF line ends, as the program expects.
inline constexpr std::string_view kRichTags =
    "# fixed dictionary of the fuzz targets\r\n"
    "3.TagName=fileHeader\r\n"
    "3.LongTagName=Billing file\\n\r\n"
    "3.0.TagName=fileExchange\r\n"
    "3.0.LongTagName=\\tExchange:\\t\\t\r\n"
    "3.0.Type=String\r\n"
    "3.1.TagName=fileCreated\r\n"
    "3.1.LongTagName=\\tCreated:\\t\\t\r\n"
    "3.1.Type=DateTime\r\n"
    "3.2.TagName=fileNumber\r\n"
    "3.2.LongTagName=\\tFile number:\\t\r\n"
    "3.2.Type=DecNumber\r\n"
    "\r\n"
    "1.TagName=record\r\n"
    "1.LongTagName=\\nCall record\r\n"
    "1.0.TagName=recordType\r\n"
    "1.0.LongTagName=\\tRecord type:\\t\\t\r\n"
    "1.0.Type=ValFromIndexedArr\r\n"
    "1.0.IndArr=Outgoing call,Incoming call,,Transit call\r\n"
    "1.1.TagName=callReference\r\n"
    "1.1.LongTagName=\\tCall reference:\\t\\t\r\n"
    "1.1.Type=HexNumber\r\n"
    "1.2.TagName=exchange\r\n"
    "1.2.LongTagName=\\tExchange:\\t\\t\r\n"
    "1.2.Type=String\r\n"
    "1.3.TagName=callingNumber\r\n"
    "1.3.LongTagName=\\tCalling number:\\t\\t\r\n"
    "1.3.Type=Number\r\n"
    "1.4.TagName=dialledDigits\r\n"
    "1.4.LongTagName=\\tDialled digits:\\t\\t\r\n"
    "1.4.Type=ReceivedDigits\r\n"
    "1.5.TagName=startTime\r\n"
    "1.5.LongTagName=\\tSeizure time:\\t\\t\r\n"
    "1.5.Type=DateTime\r\n"
    "1.6.TagName=callDuration\r\n"
    "1.6.LongTagName=\\tConversation time:\\t\r\n"
    "1.6.Type=Duration\r\n"
    "1.7.TagName=lineCode\r\n"
    "1.7.LongTagName=\\tLine code:\\t\\t\r\n"
    "1.7.Type=LineCode\r\n"
    "1.8.TagName=meterPulses\r\n"
    "1.8.LongTagName=\\tMeter pulses:\\t\\t\r\n"
    "1.8.Type=DecNumber\r\n"
    "1.9.TagName=bearerService\r\n"
    "1.9.LongTagName=\\tBearer service:\\t\\t\r\n"
    "1.9.Type=ValFromNonIndexedArr\r\n"
    "1.9.NonIndArr=0,Speech;8,Unrestricted digital;16,;x7,Malformed;24\r\n"
    "1.31.TagName=sequenceNumber\r\n"
    "1.31.LongTagName=\\tSequence number:\\t\r\n"
    "1.31.Type=DecNumber\r\n"
    "1.33.TagName=callingCategory\r\n"
    "1.33.LongTagName=\\tCalling category:\\t\r\n"
    "1.33.Type=ValFromIndexedArr\r\n"
    "1.33.IndArr=Unknown,Operator,Ordinary,Priority,Data,Test,,Payphone\r\n"
    "1.127.TagName=originUnit\r\n"
    "1.127.LongTagName=\\tOrigin unit:\\t\\t\r\n"
    "1.127.Type=HexNumber\r\n"
    "1.10.TagName=trunk\r\n"
    "1.10.LongTagName=\\tTrunk\\n\r\n"
    "1.10.0.TagName=trunkGroup\r\n"
    "1.10.0.LongTagName=\\t\\tTrunk group:\\t\r\n"
    "1.10.0.Type=String\r\n"
    "1.10.1.TagName=circuit\r\n"
    "1.10.1.LongTagName=\\t\\tCircuit:\\t\r\n"
    "1.10.1.Type=DecNumber\r\n"
    "1.10.2.TagName=redirection\r\n"
    "1.10.2.LongTagName=\\t\\tRedirection\\n\r\n"
    "1.10.2.0.TagName=redirectedTo\r\n"
    "1.10.2.0.LongTagName=\\t\\t\\tRedirected to:\\t\r\n"
    "1.10.2.0.Type=Number\r\n"
    "1.10.2.40.TagName=redirectionTime\r\n"
    "1.10.2.40.LongTagName=\\t\\t\\tAfter:\\t\r\n"
    "1.10.2.40.Type=Duration\r\n"
    "1.11.TagName=untyped\r\n"
    "1.11.LongTagName=\\tUntyped:\\t\\t\r\n"
    "1.12.TagName=oddType\r\n"
    "1.12.LongTagName=\\tOdd type:\\t\\t\r\n"
    "1.12.Type=Bogus\r\n"
    "1.13.TagName=unnamedLong\r\n"
    "1.13.Type=String\r\n"
    "1.14.TagName=record\r\n"
    "1.14.LongTagName=\\nRecord inside a record\r\n"
    "1.14.0.TagName=innerType\r\n"
    "1.14.0.LongTagName=\\tInner type:\\t\r\n"
    "1.14.0.Type=ValFromIndexedArr\r\n"
    "1.14.0.IndArr=A,B\r\n"
    "\r\n"
    "2.TagName=block\r\n"
    "2.LongTagName=\\n======== Block\\n\r\n"
    "2.1.TagName=record\r\n"
    "2.1.LongTagName=\\nCall record\r\n"
    "2.1.0.TagName=recordType\r\n"
    "2.1.0.LongTagName=\\tRecord type:\\t\\t\r\n"
    "2.1.0.Type=ValFromIndexedArr\r\n"
    "2.1.0.IndArr=Outgoing call,Incoming call,,Transit call\r\n"
    "2.1.3.TagName=callingNumber\r\n"
    "2.1.3.LongTagName=\\tCalling number:\\t\\t\r\n"
    "2.1.3.Type=Number\r\n"
    "2.1.5.TagName=startTime\r\n"
    "2.1.5.LongTagName=\\tSeizure time:\\t\\t\r\n"
    "2.1.5.Type=DateTime\r\n"
    "2.1.9.TagName=bearerService\r\n"
    "2.1.9.LongTagName=\\tBearer service:\\t\\t\r\n"
    "2.1.9.Type=ValFromNonIndexedArr\r\n"
    "2.1.9.NonIndArr=0,Speech;8,Unrestricted digital;16,\r\n"
    "2.1.10.TagName=trunk\r\n"
    "2.1.10.LongTagName=\\tTrunk\\n\r\n"
    "2.1.10.0.TagName=trunkGroup\r\n"
    "2.1.10.0.LongTagName=\\t\\tTrunk group:\\t\r\n"
    "2.1.10.0.Type=String\r\n"
    "2.1.10.2.0.TagName=redirectedTo\r\n"
    "2.1.10.2.0.LongTagName=\\t\\t\\tRedirected to:\\t\r\n"
    "2.1.10.2.0.Type=Number\r\n"
    "2.1.63.TagName=receivedDigits\r\n"
    "2.1.63.LongTagName=\\tReceived:\\t\\t\r\n"
    "2.1.63.Type=ReceivedDigits\r\n"
    "2.2.TagName=blockTrailer\r\n"
    "2.2.LongTagName=\\tBlock trailer:\\t\r\n"
    "2.2.Type=LineCode\r\n"
    "\r\n"
    "4.4.4.TagName=record\r\n"
    "4.4.4.LongTagName=\\nDeep record\r\n"
    "4.4.4.1.TagName=deepValue\r\n"
    "4.4.4.1.LongTagName=\\tDeep value:\\t\r\n"
    "4.4.4.1.Type=HexNumber\r\n"
    "6.TagName=choice\r\n"
    "6.LongTagName=Choice\\n\r\n"
    "6.c2.TagName=p\r\n"
    "6.c2.LongTagName=\\tp:\\t\r\n"
    "6.c2.Type=DecNumber\r\n"
    "6.a2.TagName=q\r\n"
    "6.a2.LongTagName=\\tq:\\t\r\n"
    "6.a2.Type=HexNumber\r\n"
    "6.2.TagName=r\r\n"
    "6.7.TagName=keptWhole\r\n"
    "6.7.LongTagName=\\tKept:\\t\r\n"
    "6.7.Type=Opaque\r\n"
    "6.300.TagName=wide\r\n"
    "6.300.LongTagName=\\tWide:\\t\r\n"
    "6.300.Type=HexNumber\r\n"
    "6.300.1.TagName=underWide\r\n"
    "5.TagName=record\r\n"
    "5.LongTagName=\\nModule record\r\n"
    "5.0.TagName=integer\r\n"
    "5.0.LongTagName=\\tInteger:\\t\r\n"
    "5.0.Type=Integer\r\n"
    "5.0.Numeric=true\r\n"
    "5.1.TagName=enumerated\r\n"
    "5.1.LongTagName=\\tEnumerated:\\t\r\n"
    "5.1.Type=Enumerated\r\n"
    "5.1.NamedNumbers=-1,minusOne;0,normal;x,bad;7,a, b\r\n"
    "5.2.TagName=flag\r\n"
    "5.2.LongTagName=\\tBoolean:\\t\r\n"
    "5.2.Type=Boolean\r\n"
    "5.3.TagName=present\r\n"
    "5.3.LongTagName=\\tNull:\\t\r\n"
    "5.3.Type=Null\r\n"
    "5.4.TagName=bits\r\n"
    "5.4.LongTagName=\\tBitString:\\t\r\n"
    "5.4.Type=BitString\r\n"
    "5.4.NamedNumbers=0,first;3,fourth;-2,none\r\n"
    "5.5.TagName=oid\r\n"
    "5.5.LongTagName=\\tObjectIdentifier:\\t\r\n"
    "5.5.Type=ObjectIdentifier\r\n"
    "5.6.TagName=characters\r\n"
    "5.6.LongTagName=\\tCharacters:\\t\r\n"
    "5.6.Type=Characters\r\n"
    "5.7.TagName=utf8\r\n"
    "5.7.LongTagName=\\tUTF8String:\\t\r\n"
    "5.7.Type=UTF8String\r\n"
    "5.8.TagName=bmp\r\n"
    "5.8.LongTagName=\\tBMPString:\\t\r\n"
    "5.8.Type=BMPString\r\n"
    "5.9.TagName=universal\r\n"
    "5.9.LongTagName=\\tUniversalString:\\t\r\n"
    "5.9.Type=UniversalString\r\n"
    "5.10.TagName=generalized\r\n"
    "5.10.LongTagName=\\tGeneralizedTime:\\t\r\n"
    "5.10.Type=GeneralizedTime\r\n"
    "5.11.TagName=utc\r\n"
    "5.11.LongTagName=\\tUTCTime:\\t\r\n"
    "5.11.Type=UTCTime\r\n"
    "5.12.TagName=tbcd\r\n"
    "5.12.LongTagName=\\tTBCDString:\\t\r\n"
    "5.12.Type=TBCDString\r\n"
    "5.13.TagName=imsi\r\n"
    "5.13.LongTagName=\\tIMSI:\\t\r\n"
    "5.13.Type=IMSI\r\n"
    "5.14.TagName=imei\r\n"
    "5.14.LongTagName=\\tIMEI:\\t\r\n"
    "5.14.Type=IMEI\r\n"
    "5.15.TagName=address\r\n"
    "5.15.LongTagName=\\tAddressString:\\t\r\n"
    "5.15.Type=AddressString\r\n"
    "5.16.TagName=bcd\r\n"
    "5.16.LongTagName=\\tBCDDirectoryNumber:\\t\r\n"
    "5.16.Type=BCDDirectoryNumber\r\n"
    "5.17.TagName=timeStamp\r\n"
    "5.17.LongTagName=\\tTimeStamp:\\t\r\n"
    "5.17.Type=TimeStamp\r\n"
    "5.18.TagName=ip\r\n"
    "5.18.LongTagName=\\tIPAddress:\\t\r\n"
    "5.18.Type=IPAddress\r\n"
    "5.19.TagName=plmn\r\n"
    "5.19.LongTagName=\\tPLMNId:\\t\r\n"
    "5.19.Type=PLMNId\r\n"
    "5.20.TagName=seconds\r\n"
    "5.20.LongTagName=\\tSeconds:\\t\r\n"
    "5.20.Type=Seconds\r\n"
    "100.TagName=highTop\r\n"
    "100.LongTagName=High top-level tag:\\t\r\n"
    "100.Type=String\r\n"
    "0.TagName=zero\r\n"
    "0.LongTagName=Zero:\\t\r\n"
    "0.Type=Duration\r\n";

// Filter texts: names found at both record places, a name found nowhere and a line without "=";
// the second has empty values (every text contains them), a name used only inside blocks and one
// of a field outside records (the file header's).
inline constexpr std::string_view kFilterA =
    "# filter\r\n"
    "callingNumber=12\r\n"
    "recordType=Incoming\r\n"
    "noSuchTag=1\r\n"
    "not a setting\r\n";
inline constexpr std::string_view kFilterB =
    "bearerService=\r\n"
    "receivedDigits=\r\n"
    "trunkGroup=A\r\n"
    "fileExchange=EXCH\r\n";

// Sends the console to /dev/null: the walkers and readers print on standard output.
inline void SilenceConsole() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

// The output file of every walk: /dev/null, opened once.
inline std::FILE* DiscardedOutput() {
  static std::FILE* output = [] {
    std::FILE* file = std::fopen("/dev/null", "wb");
    if (file == nullptr) std::abort();
    return file;
  }();
  return output;
}

inline std::unique_ptr<orvalis::TBranch> BuildTree(std::string_view tagsText) {
  auto root = orvalis::NewDictionary();
  orvalis::ApplyTagsText(*root, tagsText);
  return root;
}

// A whole walk, as the program runs it: step until the input ends or a step fails, then write out
// the last record. The input is walked where it lies, so that a read past its end is caught.
inline void RunWalk(const orvalis::WalkSettings& settings, const uint8_t* data, std::size_t size,
                    orvalis::TBranch& root) {
  orvalis::WalkContext walk(settings, data, size, root, DiscardedOutput());
  walk.StretchSize = 0;  // in order
  orvalis::WalkWholeInput(walk);
  orvalis::WriteOutLastRecord(walk);
  // After a whole walk, complete or cut short, the read position never lies past the input.
  if (walk.Input.Position() > size) std::abort();
}

// The output of a whole walk, in order (stretch size 0) or shared by two threads where it may.
inline std::string WalkOutput(const orvalis::WalkSettings& settings, const uint8_t* data, std::size_t size,
                              orvalis::TBranch& root, uint64_t stretchSize) {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* output = open_memstream(&text, &length);
  if (output == nullptr) std::abort();
  {
    orvalis::WalkContext walk(settings, data, size, root, output);
    walk.StretchSize = stretchSize;
    orvalis::WalkWholeInput(walk);
    orvalis::WriteOutLastRecord(walk);
  }
  std::fclose(output);
  std::string result(text, length);
  std::free(text);
  return result;
}

// Checks the links of a dictionary tree: each branch's chain runs First to Last both ways, each
// leaf names its branch as owner, each child branch names its leaf as parent, the chain holds as
// many leaves as the branch owns, and a lookup by path component (class and tag number) finds the
// first leaf of the chain with that component. Aborts on the first broken link.
inline void CheckTree(const orvalis::TBranch& branch, int depth = 0) {
  int32_t count = 0;
  const orvalis::TLeaf* previous = nullptr;
  std::map<std::pair<int32_t, orvalis::TagClass>, const orvalis::TLeaf*> firstOfId;
  for (const orvalis::TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Prev != previous || leaf->Owner != &branch) std::abort();
    const orvalis::TItem& item = leaf->Item;
    const orvalis::TLeaf* first = firstOfId.emplace(std::make_pair(item.TagId, item.Class), leaf).first->second;
    if (branch.FindDeclared(item.TagId, item.Class) != first) std::abort();
    if (leaf->Child) {
      if (leaf->Child->Parent != leaf) std::abort();
      CheckTree(*leaf->Child, depth + 1);
    }
    previous = leaf;
    ++count;
  }
  if (branch.Last != previous || count != branch.Count()) std::abort();
  if (depth > orvalis::kMaxDepth && count != 0) std::abort();  // below the walk's reach: names only
}

// Walk settings from one byte: bit 0 turns the record range on, bits 1-2 give StartRec (0-3),
// bits 3-4 give EndRec (no upper bound, 1, 2 or 4), bits 5-6 choose the filter (none, A, B) or,
// as 3, no filter with SkipFiller; bit 7 turns Resync on. A range from 0 (bit 0 set, bits 1-2
// clear) also reads identifier octets of any length.
struct ChosenSettings {
  orvalis::WalkSettings Walk;
  int Filter = 0;  // 0 none, 1 kFilterA, 2 kFilterB
};

inline ChosenSettings SettingsFromByte(uint8_t byte, bool debugMode) {
  static constexpr uint32_t kEndRecs[] = {UINT32_MAX, 1, 2, 4};
  ChosenSettings chosen;
  chosen.Walk.DebugMode = debugMode;
  chosen.Walk.RangeActive = (byte & 1) != 0;
  chosen.Walk.StartRec = (byte >> 1) & 3;
  chosen.Walk.EndRec = kEndRecs[(byte >> 3) & 3];
  chosen.Filter = ((byte >> 5) & 3) % 3;
  chosen.Walk.SkipFiller = ((byte >> 5) & 3) == 3;
  chosen.Walk.Resync = (byte & 0x80) != 0;
  if ((byte & 7) == 1) chosen.Walk.Identifiers = orvalis::IdentifierRule::kAnyLength;
  return chosen;
}

}  // namespace orvalis_fuzz
