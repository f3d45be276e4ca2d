#include "decode/writers/long_values.h"

#include "decode/writers/record_text.h"

namespace orvalis {

void PutLongJsonText(WalkContext& walk, std::string_view octets) {
  for (std::size_t done = 0; done < octets.size(); done += kLongValueChunk) {
    AppendJsonOctets(walk.State.RecordBuffer, octets.substr(done, kLongValueChunk));
    KeepHeldTextBounded(walk);
  }
}

void PutLongCsvCell(WalkContext& walk, const LongCell& cell, bool inert) {
  TextBuffer& out = walk.State.RecordBuffer;
  if (cell.Form != LongForm::kText) {
    RecordChunks chunks{walk};
    PutLongForm(chunks, cell.Octets, cell.Count, cell.Form);
    return;
  }
  // A text is a CSV field of its own octets.
  const std::string_view octets(reinterpret_cast<const char*>(cell.Octets), static_cast<std::size_t>(cell.Count));
  const bool quoted = CsvFieldNeedsQuotes(octets);
  if (quoted) out.push_back('"');
  if (inert && LooksLikeFormula(octets)) out.push_back('\'');
  for (std::size_t done = 0; done < octets.size(); done += kLongValueChunk) {
    AppendCsvOctets(out, octets.substr(done, kLongValueChunk));
    KeepHeldTextBounded(walk);
  }
  if (quoted) out.push_back('"');
}

}  // namespace orvalis
