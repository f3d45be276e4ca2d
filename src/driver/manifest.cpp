#include "driver/manifest.h"

#include <utility>

#include "common/text_format.h"
#include "decode/writers/record_text.h"

namespace orvalis {
namespace {

void Key(TextBuffer& out, std::string_view key) {
  out.append(",\"");
  out.append(key);
  out.append("\":");
}

void Number(TextBuffer& out, std::string_view key, uint64_t value) {
  Key(out, key);
  AppendDecimal(out, value);
}

// A string, or null when it is empty.
void Text(TextBuffer& out, std::string_view key, std::string_view value) {
  Key(out, key);
  if (value.empty()) {
    out.append("null");
  } else {
    AppendJsonString(out, value);
  }
}

// A file's name, or null when it is empty: as it is when it is valid UTF-8; otherwise its octets
// above 0x7F as characters, and then also all its octets in hexadecimal under `hexKey`.
void Name(TextBuffer& out, std::string_view key, std::string_view hexKey, std::string_view name) {
  Key(out, key);
  if (name.empty()) {
    out.append("null");
    return;
  }
  AppendJsonName(out, name);
  if (IsValidUtf8(name)) return;
  Key(out, hexKey);
  out.push_back('"');
  AppendHex(out, reinterpret_cast<const uint8_t*>(name.data()), name.size());
  out.push_back('"');
}

void Hex(TextBuffer& out, std::string_view key, const uint8_t* octets, uint64_t count) {
  Key(out, key);
  out.push_back('"');
  AppendHex(out, octets, count);
  out.push_back('"');
}

// A field whose meaning is not settled: its value (written by `value`) beside its octets:
// {"VALUE_KEY":...,"hex":"..."}.
template <typename Value>
void WithOctets(TextBuffer& out, std::string_view key, std::string_view valueKey, const uint8_t* octets,
                std::size_t count, Value&& value) {
  Key(out, key);
  out.append("{\"");
  out.append(valueKey);
  out.append("\":");
  value();
  Hex(out, "hex", octets, count);
  out.push_back('}');
}

// "cdrFile": the file header decoded, what the walk read of the CDRs, and how the file's length
// disagrees with the header's.
void CdrFileMember(TextBuffer& out, const CdrFileHeader& header, uint64_t contents, const FrameCounts& frames) {
  Key(out, "cdrFile");
  out.append("{\"fileLength\":");
  AppendDecimal(out, static_cast<uint64_t>(header.FileLength));
  Number(out, "headerLength", header.HeaderLength);
  Number(out, "highRelease", header.HighReleaseNumber());
  Number(out, "highVersion", header.HighVersion);
  Number(out, "lowRelease", header.LowReleaseNumber());
  Number(out, "lowVersion", header.LowVersion);
  for (const auto& named : {std::pair<std::string_view, const CdrTime*>{"opened", &header.Opened},
                            std::pair<std::string_view, const CdrTime*>{"lastAppend", &header.LastAppend}}) {
    const CdrTime* time = named.second;
    WithOctets(out, named.first, "time", time->Octets.data(), time->Octets.size(), [&] {
      out.push_back('"');
      if (!AppendCdrTime(out, *time)) {
        out.truncate(out.size() - 1);
        out.append("null");
        return;
      }
      out.push_back('"');
    });
  }
  uint8_t count[4];
  for (int i = 0; i < 4; ++i) count[i] = static_cast<uint8_t>(header.CdrCount >> (24 - 8 * i));
  WithOctets(out, "cdrCount", "value", count, 4, [&] {
    if (header.CdrCount == kCdrCountNotGiven) return out.append("null");
    AppendDecimal(out, static_cast<uint64_t>(header.CdrCount));
  });
  Number(out, "sequenceNumber", header.SequenceNumber);
  Key(out, "closureReason");
  out.append("{\"code\":");
  AppendDecimal(out, static_cast<uint64_t>(header.ClosureReason));
  out.append(",\"name\":");
  AppendJsonString(out, ClosureReasonName(header.ClosureReason));
  out.push_back('}');
  WithOctets(out, "nodeAddress", "text", header.NodeAddress.data(), header.NodeAddress.size(), [&] {
    out.push_back('"');
    if (!AppendNodeAddress(out, header.NodeAddress)) {
      out.truncate(out.size() - 1);
      out.append("null");
      return;
    }
    out.push_back('"');
  });
  const LostCdrs lost = LostCdrsOf(header.LostCdrs);
  WithOctets(out, "lostCdrs", "count", &header.LostCdrs, 1, [&] {
    AppendDecimal(out, static_cast<uint64_t>(lost.Count));
    out.append(lost.AtLeast ? ",\"atLeast\":true" : ",\"atLeast\":false");
  });
  Hex(out, "routeingFilter", header.Filter, header.FilterLength);
  Hex(out, "privateExtension", header.Extension, header.ExtensionLength);
  Number(out, "cdrsRead", frames.Read);
  Number(out, "cdrsNotBer", frames.NotBer);
  Number(out, "cdrLengthsDisagreeing", frames.LengthsDisagreeing);
  Number(out, "cutShortBy", header.FileLength > contents ? header.FileLength - contents : 0);
  Number(out, "octetsAfterFileLength", OctetsAfterFileLength(header, contents));
  out.push_back('}');
}

}  // namespace

void AppendManifestLine(TextBuffer& out, const ManifestEntry& entry) {
  const WalkCounts& counts = entry.Counts;
  out.append("{\"v\":1");
  Name(out, "input", "inputHex", entry.Input);
  Number(out, "size", entry.Size);
  Number(out, "contents", entry.Contents);
  Text(out, "compression", entry.Compression);
  Name(out, "output", "outputHex", entry.Output);
  Text(out, "format", entry.Format);
  Number(out, "recordsRead", entry.RecordsRead);
  Number(out, "recordsWritten", entry.RecordsWritten);
  Number(out, "tagsNotFound", counts.TagsNotFound);
  Number(out, "refusedPieces", counts.RefusedPieces);
  Key(out, "damages");
  out.append("{\"count\":");
  AppendDecimal(out, counts.Damages);
  out.append(",\"firstOffsets\":[");
  for (uint64_t noted = 0; noted < counts.Damages && noted < WalkCounts::kDamagesNoted; ++noted) {
    if (noted > 0) out.push_back(',');
    AppendDecimal(out, counts.DamagesAt[noted]);
  }
  out.append("]}");
  Key(out, "valuesNotInCsv");
  if (entry.Csv) {
    AppendDecimal(out, counts.ValuesNotInCsv);
  } else {
    out.append("null");
  }
  Key(out, "valuesWithoutColumn");
  if (entry.Csv) {
    AppendDecimal(out, counts.ValuesWithoutColumn);
  } else {
    out.append("null");
  }
  if (entry.FieldsWithoutColumn != nullptr && !entry.FieldsWithoutColumn->empty()) {
    Key(out, "fieldsWithoutColumn");
    out.push_back('[');
    for (const FieldWithoutColumn& field : *entry.FieldsWithoutColumn) {
      if (&field != &entry.FieldsWithoutColumn->front()) out.push_back(',');
      out.append("{\"field\":");
      AppendJsonName(out, field.Field);
      out.append(",\"paths\":[");
      for (const std::string& path : field.Paths) {
        if (&path != &field.Paths.front()) out.push_back(',');
        AppendJsonString(out, path);
      }
      out.push_back(']');
      Number(out, "values", field.Values);
      Number(out, "upToOccurrence", field.UpToOccurrence);
      out.push_back('}');
    }
    out.push_back(']');
  }
  Number(out, "elementsPastHolder", counts.PastHolder);
  Key(out, "filler");
  out.append("{\"octets\":");
  AppendDecimal(out, counts.FillerOctets);
  out.append(",\"runs\":");
  AppendDecimal(out, counts.FillerRuns);
  out.push_back('}');
  if (entry.CdrFile != nullptr) CdrFileMember(out, *entry.CdrFile, entry.Contents, counts.Frames);
  if (entry.CdrFileMissing) out.append(",\"cdrFileMissing\":true");
  if (!entry.Leading.empty()) {
    Hex(out, "leadingHeader", reinterpret_cast<const uint8_t*>(entry.Leading.data()), entry.Leading.size());
  }
  Number(out, "status", static_cast<uint64_t>(entry.Status));
  Text(out, "end", entry.End);
  Key(out, "outside");
  if (!entry.OutsideRead) {
    out.append("null,\"outsideCut\":false");
    if (!entry.OutsideFault.empty()) Text(out, "outsideFault", entry.OutsideFault);  // only then
    out.append("}\n");
    return;
  }
  out.push_back('[');
  std::string_view lines = entry.Outside;
  bool first = true;
  while (!lines.empty()) {
    const std::size_t end = lines.find('\n');
    if (!first) out.push_back(',');
    first = false;
    out.append(lines.substr(0, end));
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
  }
  out.push_back(']');
  Key(out, "outsideCut");
  out.append(entry.OutsideCut ? "true" : "false");
  out.append("}\n");
}

std::string_view OutsideWithinBound(std::string_view lines, bool& cut, std::size_t bound) {
  cut = false;
  if (lines.size() <= bound) return lines;
  cut = true;
  const std::size_t lastEnd = lines.substr(0, bound).rfind('\n');
  return lastEnd == std::string_view::npos ? std::string_view() : lines.substr(0, lastEnd + 1);
}

}  // namespace orvalis
