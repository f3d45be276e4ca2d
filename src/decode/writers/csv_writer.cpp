#include "decode/writers/csv_writer.h"

#include <charconv>
#include <array>
#include <cstring>
#include <utility>

#include "common/text_format.h"
#include "decode/types/value_types.h"
#include "decode/writers/long_values.h"
#include "decode/writers/record_line.h"
#include "decode/writers/record_text.h"
#include "decode/writers/text_writer.h"

namespace orvalis {
namespace {

// The row under way: its cells in the order they came, each column's place among them, and what
// its errors cell will say.
struct CsvRow {
  // The size that marks a cell as the long cell whose index stands where a cell's place would.
  static constexpr uint32_t kLongCellMark = UINT32_MAX;
  // The size that marks the errors cell, made from Errors when the row is written.
  static constexpr uint32_t kErrorsMark = UINT32_MAX - 1;

  // What an errors cell tells besides the values that could not be decoded: the damage that cut
  // the record short, damage found after the record's end, and that the record was read after
  // damage inside the damaged record (the offsets are the row's).
  enum Mark : int32_t { kCutShort = -1, kDamagedAfter = -2, kInDoubt = -3 };

  // A value that could not be decoded (its octets, within the input), or a mark (Field is the
  // Mark; Octets null).
  struct Error {
    int32_t Field;
    std::string_view Reason;
    const uint8_t* Octets;
    uint64_t Count;
  };

  TextBuffer Text;
  std::vector<uint64_t> Cells;  // per column: where its cell begins in Text << 32 | its size (0: empty)
  std::vector<LongCell> LongCells;
  std::vector<Error> Errors;
  uint64_t ErrorsLeftOut = 0;  // values that could not be decoded beyond the most an errors cell tells
  uint64_t DamagedAt = 0;  // the damage of kCutShort or kDamagedAfter, and where the walk went on
  uint64_t ResumedAt = 0;
  uint64_t DoubtedAt = 0;  // the damage of kInDoubt

  void swap(CsvRow& other) {
    Text.swap(other.Text);
    Cells.swap(other.Cells);
    LongCells.swap(other.LongCells);
    Errors.swap(other.Errors);
    std::swap(ErrorsLeftOut, other.ErrorsLeftOut);
    std::swap(DamagedAt, other.DamagedAt);
    std::swap(ResumedAt, other.ResumedAt);
    std::swap(DoubtedAt, other.DoubtedAt);
  }
};

class CsvWriter : public RecordLineWriter<CsvWriter> {
 public:
  static constexpr bool kOutsideLines = false;

  CsvWriter(WalkContext& walk, const CsvLayout& layout) : RecordLineWriter(walk), layout_(layout) {
    if (layout_.SourceColumn != 0) AppendCsvName(sourceCell_, walk.Settings.SourceName, layout_.InertFormulas);
  }

  // A row left open or held where a stretch's walk stopped goes on with its cells and marks. The
  // walk in order holds none then: a stretch that has a row had a record start, where the walk in
  // order's row was written (RecordFound).
  void TakeOver(CsvWriter& ahead) {
    if (ahead.line_.Open == RecordLine::kNone && !ahead.rowHeld_) return;
    RecordLineWriter::TakeOver(ahead);
    row_.swap(ahead.row_);
    slot_ = ahead.slot_;
    beyond_ = ahead.beyond_;
    rowHeld_ = ahead.rowHeld_;
    ahead.rowHeld_ = false;
  }
  // A record's row is held after the record's end, for the marks that the text and JSON Lines
  // give the record after it, and written at the next record's start or the end of the walk.
  void RecordFound() { WriteRow(); }
  void Finish() { WriteRow(); }
  // Damage ends the record under way or follows the record whose row is held; the row's errors
  // cell says so and the row is written. The damage gets no row of its own.
  void Damaged(uint64_t at, uint64_t resumedAt) {
    if (line_.Open != RecordLine::kNone) {
      AddError({CsvRow::kCutShort, {}, nullptr, 0});
    } else if (rowHeld_) {
      AddError({CsvRow::kDamagedAfter, {}, nullptr, 0});
    } else {
      return;
    }
    row_.DamagedAt = at;
    row_.ResumedAt = resumedAt;
    WriteRow();
  }
  // The record just read may be a piece of the damaged one: its held row says so, and stays held
  // for a damage that follows.
  void InDoubt(uint64_t, uint64_t damagedAt) {
    if (!rowHeld_) return;
    AddError({CsvRow::kInDoubt, {}, nullptr, 0});
    row_.DoubtedAt = damagedAt;
  }

  // A row's cells go into the row's text in the order they come; the row is joined in the order
  // of the chosen columns when it ends.
  // (A CSV has lines of records alone: `record` is never null.)
  void OpenLineText(const TItem* record, const TagPath& path, int base, uint64_t offset, uint32_t number) {
    const std::size_t columns = layout_.Names.size();
    if (row_.Cells.size() != columns) row_.Cells.resize(columns);
    std::memset(row_.Cells.data(), 0, columns * sizeof row_.Cells[0]);  // every cell empty
    row_.Text.clear();
    row_.LongCells.clear();
    row_.Errors.clear();
    row_.ErrorsLeftOut = 0;
    slot_[static_cast<std::size_t>(base + 1)] = 0;
    char* out = row_.Text.extend(20);
    EndCell(row_, 0, 0, std::to_chars(out, out + 20, number).ptr);
    if (layout_.SourceColumn != 0) {
      const std::size_t at = row_.Text.size();
      row_.Text.append(sourceCell_.view());
      EndCell(row_, layout_.SourceColumn, at, row_.Text.data() + row_.Text.size());
    }
    if (layout_.KindColumn != 0) KindCell(*record, path, base);
    if (layout_.OffsetColumn != 0) {
      const std::size_t at = row_.Text.size();
      char* digits = row_.Text.extend(20);
      EndCell(row_, layout_.OffsetColumn, at, std::to_chars(digits, digits + 20, offset).ptr);
    }
    if (layout_.CdrColumns != 0 && walk_.InFrame) CdrHeaderCells();
  }

  // The cell of the record's kind (RecordKindColumn=true): its record start's Kind, else its path as
  // the dictionary writes it (`path` to `base`).
  [[gnu::noinline]] void KindCell(const TItem& record, const TagPath& path, int base) {
    const std::size_t at = row_.Text.size();
    if (record.Kind) {
      AppendCsvName(row_.Text, *record.Kind, layout_.InertFormulas);
    } else {
      AppendRecordPath(row_.Text, path, base);
    }
    EndCell(row_, layout_.KindColumn, at, row_.Text.data() + row_.Text.size());
  }

  // The cells of the record's CDR header (CdrHeaderColumns=true); empty outside a file of CDRs.
  [[gnu::noinline]] void CdrHeaderCells() {
    for (std::size_t part = 0; part < std::size(kCdrHeaderColumns); ++part) {
      const std::size_t at = row_.Text.size();
      char* digits = row_.Text.extend(10);
      EndCell(row_, static_cast<uint32_t>(layout_.CdrColumns + part), at,
              std::to_chars(digits, digits + 10, CdrHeaderPart(walk_.Frame, part)).ptr);
    }
  }

  void CloseObject() {}

  // The record's line ends: its row is held (WriteRow writes it).
  void CloseLineText(int) { rowHeld_ = true; }

  // The row: the cells in the chosen order, each followed by a comma but the last, then CR LF.
  void WriteHeldRow() {
    if (!row_.LongCells.empty() || !row_.Errors.empty()) return WriteLongRow();
    std::size_t cells = row_.Text.size();  // the cells, each once
    if (layout_.ChosenAgain) {
      cells = 0;
      for (uint32_t column : layout_.Chosen) cells += static_cast<uint32_t>(row_.Cells[column]);
    }
    const std::size_t room = cells + layout_.Chosen.size() + 1 + kMove;
    row_.Text.reserve(row_.Text.size() + kMove);
    TextBuffer& out = walk_.State.RecordBuffer;
    char* const start = out.extend(room);
    char* to = start;
    if (layout_.AllInOrder) {
      for (uint64_t cell : row_.Cells) to = PutCell(to, row_.Text.data(), cell);
    } else {
      for (uint32_t column : layout_.Chosen) to = PutCell(to, row_.Text.data(), row_.Cells[column]);
    }
    to[-1] = '\r';
    *to++ = '\n';
    out.truncate(out.size() - room + static_cast<std::size_t>(to - start));
  }

  // The element's slot, and for a value its column. The first occurrence of a field in the first
  // occurrence of each field holding it is the common case.
  [[gnu::always_inline]] void Member(const TLeaf* leaf, const TagPath&, int depth, uint32_t occurrence,
                                     bool constructed, uint64_t length) {
    valueColumn_ = -1;
    if (leaf != nullptr && !constructed && occurrence == 1 && slot_[static_cast<std::size_t>(depth)] == 0) {
      const int32_t column = layout_.Slots[leaf->Serial].Column;
      if (column > 0) {
        if (length != 0 || HasEmptyValue<CsvWriter>(leaf)) valueColumn_ = column;  // no value: an empty cell
        return;
      }
    }
    AnyMember(leaf, depth, occurrence, constructed, length);
  }

  // Outside a record no row is open: a value there is in no column.
  void OutsideAnyLine(bool constructed) {
    if (!constructed) ++walk_.Counts.ValuesNotInCsv;
    valueColumn_ = -1;
  }

  void ValueText(const TLeaf* leaf, const uint8_t* octets, uint64_t length) {
    const int32_t column = valueColumn_;
    valueColumn_ = -1;
    if (column < 0 || leaf == nullptr) return;
    Sink sink{*this, static_cast<uint32_t>(column), static_cast<uint32_t>(column)};
    Values::Fields(sink, leaf->Item, octets, length);
  }

 private:
  // A slot of an element that is no field (not declared, without a name of its own) or lies in
  // one, and of one beyond the occurrences that Occurs gives slots.
  static constexpr int32_t kNoField = -1;
  static constexpr int32_t kBeyond = -2;

  // The field that lost a value without a column (CsvLayout::LostFieldKey), and its occurrence.
  struct LostIn {
    uint64_t Field;
    uint32_t Occurrence;
  };

  [[gnu::noinline]] void AnyMember(const TLeaf* leaf, int depth, uint32_t occurrence, bool constructed,
                                   uint64_t length) {
    const int32_t holder = slot_[static_cast<std::size_t>(depth)];
    const CsvLayout::FieldSlots* field = leaf != nullptr ? &layout_.Slots[leaf->Serial] : nullptr;
    int32_t slot = kNoField;
    // A value where the dictionary declares fields within (or the other way round) is no field.
    if (field != nullptr && field->Occurs != 0 && holder != kNoField && constructed == (SubTagsOf(*leaf) != nullptr)) {
      slot = holder == kBeyond || occurrence > field->Occurs
                 ? kBeyond
                 : holder * static_cast<int32_t>(field->Occurs) + static_cast<int32_t>(occurrence - 1);
    }
    if (constructed) {
      slot_[static_cast<std::size_t>(depth + 1)] = slot;
      if (slot == kBeyond) beyond_[static_cast<std::size_t>(depth + 1)] = LostBeyond(*leaf, depth, occurrence);
      return;
    }
    if (length == 0 && !HasEmptyValue<CsvWriter>(leaf)) return;  // no value: an empty cell, or none
    const int32_t column = slot >= 0 ? layout_.SlotColumns[field->First + static_cast<uint32_t>(slot)] : -1;
    if (column > 0) {
      valueColumn_ = column;
    } else if (slot == kNoField) {
      ++walk_.Counts.ValuesNotInCsv;
    } else {
      // A field's value that no column takes, counted once the record is known to be written: in
      // an occurrence beyond Occurs, or in its slot, whose name a value of other parts took.
      const LostIn lost = slot == kBeyond ? LostBeyond(*leaf, depth, occurrence)
                                          : LostIn{CsvLayout::LostFieldKey(*leaf, true), occurrence};
      walk_.State.Pending.CountWithoutColumn(lost.Field, lost.Occurrence);
    }
  }

  // The field whose occurrence beyond its Occurs holds the element of `leaf` at `depth` (its
  // `occurrence` in its holder): the outermost such.
  LostIn LostBeyond(const TLeaf& leaf, int depth, uint32_t occurrence) const {
    if (slot_[static_cast<std::size_t>(depth)] == kBeyond) return beyond_[static_cast<std::size_t>(depth)];
    return {CsvLayout::LostFieldKey(leaf, false), occurrence};
  }

  // Ends the record's line, and writes its row when it has one.
  void WriteRow() {
    CloseLine();
    if (!rowHeld_) return;
    rowHeld_ = false;
    WriteHeldRow();
  }

  // The errors cell tells of the first kMostErrors values that could not be decoded, and counts
  // the others, so that a row's memory stays bounded whatever its record holds.
  static constexpr std::size_t kMostErrors = 100;
  void AddError(const CsvRow::Error& error) {
    if (row_.Errors.empty()) row_.Cells[layout_.ErrorsColumn] = CsvRow::kErrorsMark;
    if (error.Field >= 0 && row_.Errors.size() >= kMostErrors) {
      ++row_.ErrorsLeftOut;
      return;
    }
    row_.Errors.push_back(error);
  }

  // The cell of `column` is the row's text from `at` to `end` (a later cell of a column takes the
  // place of an earlier one).
  static void EndCell(CsvRow& row, uint32_t column, std::size_t at, const char* end) {
    const std::size_t size = static_cast<std::size_t>(end - row.Text.data());
    row.Text.truncate(size);
    row.Cells[column] = static_cast<uint64_t>(at) << 32 | (size - at);
  }

  // The row of a long value's cell or of errors, which are made from the input's octets in
  // chunks: each cell followed by a comma but the last, then CR LF.
  [[gnu::noinline]] void WriteLongRow() {
    TextBuffer& out = walk_.State.RecordBuffer;
    bool first = true;
    const auto put = [&](uint64_t cell) {
      if (!first) out.push_back(',');
      first = false;
      const std::size_t at = static_cast<std::size_t>(cell >> 32);
      const uint32_t size = static_cast<uint32_t>(cell);
      if (size == CsvRow::kErrorsMark) return PutErrorsCell();
      if (size == CsvRow::kLongCellMark) return PutLongCsvCell(walk_, row_.LongCells[at], layout_.InertFormulas);
      out.append(row_.Text.data() + at, size);
    };
    if (layout_.AllInOrder) {
      for (uint64_t cell : row_.Cells) put(cell);
    } else {
      for (uint32_t column : layout_.Chosen) put(row_.Cells[column]);
    }
    out.append("\r\n");
  }

  // The errors cell: "FIELD: REASON; octets HEX" for each value that could not be decoded, and
  // the marks of damage, joined by " | ". The hexadecimal digits go in chunks.
  [[gnu::noinline]] void PutErrorsCell() {
    TextBuffer& out = walk_.State.RecordBuffer;
    bool quoted = false;
    for (const CsvRow::Error& error : row_.Errors) {
      quoted = quoted || (error.Field >= 0 ? CsvFieldNeedsQuotes(layout_.Fields[error.Field])
                                           : error.Field == CsvRow::kInDoubt);  // its text holds a comma
    }
    if (quoted) out.push_back('"');
    bool first = true;
    uint64_t leftOut = row_.ErrorsLeftOut;  // told after the values told, before the marks
    for (const CsvRow::Error& error : row_.Errors) {
      if (error.Field < 0 && leftOut != 0) PutErrorsLeftOut(leftOut);
      if (!first) out.append(" | ");
      first = false;
      if (error.Field < 0) {
        PutMark(static_cast<CsvRow::Mark>(error.Field));
        continue;
      }
      AppendCsvNameOctets(out, layout_.Fields[error.Field]);
      out.append(": ");
      out.append(error.Reason);
      out.append("; octets ");
      RecordChunks chunks{walk_};
      PutLongForm(chunks, error.Octets, error.Count, LongForm::kHex);
    }
    if (leftOut != 0) PutErrorsLeftOut(leftOut);
    if (quoted) out.push_back('"');
  }

  // The words of a damage's mark around its offset and the octets skipped; a record in doubt's
  // are the readable text's marker's.
  static constexpr std::string_view kCutShortWords[] = {"damaged at offset ", ": the record is cut short (",
                                                        " octets skipped)"};
  static constexpr std::string_view kDamagedAfterWords[] = {"damaged at offset ", " after the record (",
                                                            " octets skipped)"};

  void PutMark(CsvRow::Mark mark) {
    TextBuffer& out = walk_.State.RecordBuffer;
    if (mark == CsvRow::kInDoubt) {
      out.append(kInDoubtBefore);
      AppendDecimal(out, row_.DoubtedAt);
      out.append(kInDoubtAfter);
      return;
    }
    const std::string_view* words = mark == CsvRow::kCutShort ? kCutShortWords : kDamagedAfterWords;
    out.append(words[0]);
    AppendDecimal(out, row_.DamagedAt);
    out.append(words[1]);
    AppendDecimal(out, row_.ResumedAt - row_.DamagedAt);
    out.append(words[2]);
  }

  void PutErrorsLeftOut(uint64_t& leftOut) {
    TextBuffer& out = walk_.State.RecordBuffer;
    out.append(" | ");
    AppendDecimal(out, leftOut);
    out.append(" more values that cannot be decoded");
    leftOut = 0;
  }

  // Writes a cell and a comma after it. The cell goes over in moves of 16 characters, which may
  // run past its end: the row's text has room behind it, and the output room behind the row.
  static constexpr std::size_t kMove = 16;
  static char* PutCell(char* to, const char* text, uint64_t cell) {
    const char* from = text + (cell >> 32);
    const std::size_t size = static_cast<uint32_t>(cell);
    std::memcpy(to, from, kMove);
    for (std::size_t moved = kMove; moved < size; moved += kMove) std::memcpy(to + moved, from + moved, kMove);
    to[size] = ',';
    return to + size + 1;
  }

  // Writes a decoded value's parts into their cells; an error leaves them empty and goes to the
  // errors cell.
  struct Sink {
    CsvWriter& Writer;
    uint32_t First;   // the column of the value's first part
    uint32_t Column;  // the column of the part being written
    std::size_t At = 0;

    CsvRow& Row() { return Writer.row_; }
    void Error(std::string_view message, const uint8_t* content, uint64_t length) {
      Writer.AddError({static_cast<int32_t>(Writer.layout_.FieldOf[First]), message, content, length});
    }
    void Parts(const PartNames&) {}
    [[gnu::always_inline]] void Part(int index) { Column = First + static_cast<uint32_t>(index); }
    void EndParts() {}
    char* Begin(PartKind, std::size_t room) {
      At = Row().Text.size();
      return Row().Text.extend(room);
    }
    void End(const char* end) { EndCell(Row(), Column, At, end); }
    void Text(std::string_view octets) {
      At = Row().Text.size();
      AppendCsvText(Row().Text, octets, Writer.layout_.InertFormulas);
      EndCell(Row(), Column, At, Row().Text.data() + Row().Text.size());
    }
    void Text(const PaddedText& text) {
      if (!PlainForCsv(text) || Writer.layout_.InertFormulas) return Text(text.view());
      At = Row().Text.size();
      char* at = Row().Text.extend(text.size() + PaddedText::kPadding);
      EndCell(Row(), Column, At, PutPadded(at, text));
    }
    TextBuffer& Scratch() { return Writer.scratch_; }
    void Unicode(const uint8_t* c, uint64_t length, UnicodeForm form) {
      if (length >= kLongValue) return Defer({c, length, LongFormOf(form)});
      At = Row().Text.size();
      AppendCsvUtf8(Row().Text, Utf8Text(Writer.scratch_, form, c, length), Writer.layout_.InertFormulas);
      EndCell(Row(), Column, At, Row().Text.data() + Row().Text.size());
    }
    void Null() {}
    void Beside(const uint8_t*, uint64_t) {}
    [[gnu::noinline, gnu::cold]] void LongVerbatim(const uint8_t* octets, uint64_t count, LongForm form) { Defer({octets, count, form}); }
    [[gnu::noinline, gnu::cold]] void LongText(std::string_view octets) {
      Defer({reinterpret_cast<const uint8_t*>(octets.data()), octets.size(), LongForm::kText});
    }
    // The cell is made when the row is written.
    [[gnu::noinline, gnu::cold]] void Defer(const LongCell& cell) {
      Row().Cells[Column] = static_cast<uint64_t>(Row().LongCells.size()) << 32 | CsvRow::kLongCellMark;
      Row().LongCells.push_back(cell);
    }
  };

  const CsvLayout& layout_;
  int32_t valueColumn_ = -1;  // between an element's beginning and its value: its column (-1: none)
  // By depth + 1: the slot of the open element of that depth (0 for a record, kNoField, kBeyond),
  // and for kBeyond the field whose occurrence beyond its Occurs holds it.
  std::array<int32_t, RecordLine::kLevels> slot_{};
  std::array<LostIn, RecordLine::kLevels> beyond_{};
  CsvRow row_;
  bool rowHeld_ = false;  // the row's record ended; the row waits for its marks
  TextBuffer sourceCell_;  // the input's name as its cell writes it (SourceColumn=true)
  TextBuffer scratch_;     // a value's text made apart (the UTF-8 of a BMPString, a bit string's names)
};

}  // namespace

std::unique_ptr<FormatWalk> CsvWalk(WalkContext& walk, std::shared_ptr<const CsvLayout> layout) {
  if (walk.Input.Position() == 0 && !walk.Settings.ContinuesOutput) walk.Output.WriteText(CsvHeader(*layout));
  return std::make_unique<WalkOf<CsvWriter, CsvLayout>>(walk, std::move(layout));
}

}  // namespace orvalis
