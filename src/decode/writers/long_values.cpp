#include "decode/writers/long_values.h"

#include "decode/writers/record_text.h"

namespace orvalis {

void PutLongJsonText(WalkContext& walk, std::string_view octets) {
  for (std::size_t done = 0; done < octets.size(); done += kLongValueChunk) {
    AppendJsonOctets(walk.State.RecordBuffer, octets.substr(done, kLongValueChunk));
    KeepHeldTextBounded(walk);
  }
}

std::string_view Utf8Text(TextBuffer& scratch, UnicodeForm form, const uint8_t* c, uint64_t length) {
  if (form == UnicodeForm::kUtf8) return {reinterpret_cast<const char*>(c), static_cast<std::size_t>(length)};
  scratch.clear();
  char* start = scratch.extend(static_cast<std::size_t>(Utf8Room(form, length)));
  scratch.truncate(static_cast<std::size_t>(PutUtf8(start, form, c, length) - start));
  return scratch.view();
}

namespace {

// Calls put(utf8) for each chunk of a checked Unicode text, as UTF-8.
template <typename Put>
void ForEachUnicodeChunk(TextBuffer& scratch, UnicodeForm form, const uint8_t* c, uint64_t length, Put&& put) {
  for (uint64_t done = 0; done < length;) {
    const uint64_t end = UnicodeChunkEnd(form, c, length, done, kLongValueChunk);
    put(Utf8Text(scratch, form, c + done, end - done));
    done = end;
  }
}

UnicodeForm UnicodeFormOf(LongForm form) {
  return form == LongForm::kUtf8 ? UnicodeForm::kUtf8 : form == LongForm::kUtf16 ? UnicodeForm::kUtf16 : UnicodeForm::kUcs4;
}

// A long Unicode text's CSV cell: quoted when a chunk needs it, a formula made inert.
void PutLongUnicodeCell(WalkContext& walk, const LongCell& cell, bool inert) {
  TextBuffer& out = walk.State.RecordBuffer;
  TextBuffer scratch;
  const UnicodeForm form = UnicodeFormOf(cell.Form);
  bool quoted = false;
  bool first = true;
  bool formula = false;
  ForEachUnicodeChunk(scratch, form, cell.Octets, cell.Count, [&](std::string_view utf8) {
    quoted = quoted || CsvFieldNeedsQuotes(utf8);
    if (first) formula = LooksLikeFormula(utf8);
    first = false;
  });
  if (quoted) out.push_back('"');
  if (inert && formula) out.push_back('\'');
  ForEachUnicodeChunk(scratch, form, cell.Octets, cell.Count, [&](std::string_view utf8) {
    AppendCsvUtf8Octets(out, utf8);
    KeepHeldTextBounded(walk);
  });
  if (quoted) out.push_back('"');
}

}  // namespace

void PutLongJsonUnicode(WalkContext& walk, TextBuffer& scratch, UnicodeForm form, const uint8_t* c, uint64_t length) {
  ForEachUnicodeChunk(scratch, form, c, length, [&](std::string_view utf8) {
    AppendJsonUtf8(walk.State.RecordBuffer, utf8);
    KeepHeldTextBounded(walk);
  });
}

void PutLongCsvCell(WalkContext& walk, const LongCell& cell, bool inert) {
  TextBuffer& out = walk.State.RecordBuffer;
  if (cell.Form == LongForm::kUtf8 || cell.Form == LongForm::kUtf16 || cell.Form == LongForm::kUcs4) {
    return PutLongUnicodeCell(walk, cell, inert);
  }
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
