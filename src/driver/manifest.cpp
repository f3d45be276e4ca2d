#include "driver/manifest.h"

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
