#include "decode/writers/csv_writer.h"

#include <charconv>
#include <cstring>
#include <unordered_map>

#include "common/text_format.h"
#include "decode/writers/field_values.h"
#include "decode/writers/long_values.h"
#include "decode/writers/record_line.h"
#include "decode/writers/record_text.h"

namespace orvalis {
namespace {

// The row under way: its cells in the order they came, each column's place among them.
struct CsvRow {
  // The size that marks a cell as the long cell whose index stands where a cell's place would.
  static constexpr uint32_t kLongCellMark = UINT32_MAX;

  TextBuffer Text;
  std::vector<uint64_t> Cells;  // per column: where its cell begins in Text << 32 | its size (0: empty)
  std::vector<LongCell> LongCells;

  void swap(CsvRow& other) {
    Text.swap(other.Text);
    Cells.swap(other.Cells);
    LongCells.swap(other.LongCells);
  }
};

class CsvWriter : public RecordLineWriter<CsvWriter> {
 public:
  static constexpr bool kOutsideLines = false;

  CsvWriter(WalkContext& walk, const CsvLayout& layout) : RecordLineWriter(walk), layout_(layout) {}

  // A row left open where a stretch's walk stopped goes on with its cells.
  void TakeOver(CsvWriter& ahead) {
    RecordLineWriter::TakeOver(ahead);
    row_.swap(ahead.row_);
  }
  // Damage ends the row under way; it gets no row of its own.
  void Damaged(uint64_t, uint64_t) { CloseLine(); }
  void InDoubt(uint64_t, uint64_t) { CloseLine(); }

  // A row's cells go into the row's text in the order they come; the row is joined in the order
  // of the chosen columns when it ends.
  void OpenLineText(RecordLine::Kind, const TagPath&, int, uint64_t, uint32_t number) {
    const std::size_t columns = layout_.Names.size();
    if (row_.Cells.size() != columns) row_.Cells.resize(columns);
    std::memset(row_.Cells.data(), 0, columns * sizeof row_.Cells[0]);  // every cell empty
    row_.Text.clear();
    row_.LongCells.clear();
    char* out = row_.Text.extend(20);
    EndCell(row_, 0, 0, std::to_chars(out, out + 20, number).ptr);
  }

  void CloseObject() {}

  // The row: the cells in the chosen order, each followed by a comma but the last, then CR LF.
  void CloseLineText(int) {
    if (!row_.LongCells.empty()) return CloseLongLine();
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

  // The field's column, for the first occurrence of a declared field outside any repeat.
  void Member(const TLeaf* leaf, const TagPath&, int depth, uint32_t occurrence, bool constructed, uint64_t length) {
    valueColumn_ = -1;
    if (constructed || length == 0) return;  // no value: an empty cell
    const int32_t column = leaf != nullptr ? layout_.FieldColumn[leaf->Serial] : -1;
    if (column > 0 && occurrence == 1 && (line_.Repeated & RecordLine::Bit(depth - 1)) == 0) {
      valueColumn_ = column;
    } else {
      ++walk_.Counts.ValuesNotInCsv;
    }
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
    DecodeFieldValue(leaf->Item, octets, length, sink);
  }

 private:
  // The cell of `column` is the row's text from `at` to `end` (a later cell of a column takes the
  // place of an earlier one).
  static void EndCell(CsvRow& row, uint32_t column, std::size_t at, const char* end) {
    const std::size_t size = static_cast<std::size_t>(end - row.Text.data());
    row.Text.truncate(size);
    row.Cells[column] = static_cast<uint64_t>(at) << 32 | (size - at);
  }

  // The row of a long value's cell, which is made from the input's octets in chunks: each cell
  // followed by a comma but the last, then CR LF.
  [[gnu::noinline]] void CloseLongLine() {
    TextBuffer& out = walk_.State.RecordBuffer;
    bool first = true;
    const auto put = [&](uint64_t cell) {
      if (!first) out.push_back(',');
      first = false;
      const std::size_t at = static_cast<std::size_t>(cell >> 32);
      const uint32_t size = static_cast<uint32_t>(cell);
      if (size == CsvRow::kLongCellMark) return PutLongCsvCell(walk_, row_.LongCells[at]);
      out.append(row_.Text.data() + at, size);
    };
    if (layout_.AllInOrder) {
      for (uint64_t cell : row_.Cells) put(cell);
    } else {
      for (uint32_t column : layout_.Chosen) put(row_.Cells[column]);
    }
    out.append("\r\n");
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

  // Writes a decoded value's parts into their cells, an error into the value's first cell.
  struct Sink {
    CsvWriter& Writer;
    uint32_t First;   // the column of the value's first part
    uint32_t Column;  // the column of the part being written
    std::size_t At = 0;

    CsvRow& Row() { return Writer.row_; }
    void Error(std::string_view message, const uint8_t* content, uint64_t length) {
      if (length >= kLongValue) return Defer({content, length, LongForm::kError, message});
      TextBuffer& text = Writer.errorText_;
      text.assign("error: ");
      text.append(message);
      text.append("; octets ");
      AppendHex(text, content, length);
      At = Row().Text.size();
      AppendCsvField(Row().Text, text.view());
      EndCell(Row(), Column, At, Row().Text.data() + Row().Text.size());
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
      AppendCsvField(Row().Text, octets);
      EndCell(Row(), Column, At, Row().Text.data() + Row().Text.size());
    }
    void Text(const PaddedText& text) {
      if (!text.Plain()) return Text(text.view());
      At = Row().Text.size();
      char* at = Row().Text.extend(text.size() + PaddedText::kPadding);
      EndCell(Row(), Column, At, PutPadded(at, text));
    }
    void Null() {}
    void Beside(const uint8_t*, uint64_t) {}
    [[gnu::noinline, gnu::cold]] void LongVerbatim(const uint8_t* octets, uint64_t count, LongForm form) { Defer({octets, count, form, {}}); }
    [[gnu::noinline, gnu::cold]] void LongText(std::string_view octets) {
      Defer({reinterpret_cast<const uint8_t*>(octets.data()), octets.size(), LongForm::kText, {}});
    }
    // The cell is made when the row is written.
    [[gnu::noinline, gnu::cold]] void Defer(const LongCell& cell) {
      Row().Cells[Column] = static_cast<uint64_t>(Row().LongCells.size()) << 32 | CsvRow::kLongCellMark;
      Row().LongCells.push_back(cell);
    }
  };

  const CsvLayout& layout_;
  int32_t valueColumn_ = -1;  // between an element's beginning and its value: its column (-1: none)
  CsvRow row_;
  TextBuffer errorText_;  // an error's text, before it is quoted into its cell
};

// ---- The CSV columns -------------------------------------------------------------------------

struct LayoutBuilder {
  CsvLayout& Layout;
  const std::vector<bool>& Shared;
  std::unordered_map<std::string, TagType> TypeOf;  // by the field's name
  std::unordered_map<std::string, int32_t> ColumnOf;

  void AddValue(const TLeaf& leaf, const std::string& name) {
    const TItem& item = leaf.Item;
    int32_t& fieldColumn = Layout.FieldColumn[leaf.Serial];
    const PartNames parts = PartNamesOf(item.Type);
    auto found = ColumnOf.find(name);
    if (found != ColumnOf.end()) {
      // The same name elsewhere: the same columns when its values have the same parts.
      const PartNames there = PartNamesOf(TypeOf[name]);
      fieldColumn = there.Count == parts.Count && there.Names[0] == parts.Names[0] ? found->second : -1;
      return;
    }
    const int32_t column = static_cast<int32_t>(Layout.Names.size());
    ColumnOf.emplace(name, column);
    TypeOf.emplace(name, item.Type);
    fieldColumn = column;
    for (int part = 0; part < parts.Count; ++part) {
      Layout.Names.push_back(parts.Count == 1 ? name : name + "." + std::string(parts.Names[part]));
    }
  }

  // The fields under a record start, `prefix` being their parents' dotted names.
  void AddFields(const TBranch& branch, const std::string& prefix) {
    for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
      const TItem& item = leaf->Item;
      if (item.OpensRecord) {
        if (leaf->Child) AddFields(*leaf->Child, "");  // a record of its own
        continue;
      }
      if (!item.TagName || Shared[leaf->Serial]) continue;  // keyed by its path: not a column
      const std::string name = prefix + *item.TagName;
      if (leaf->Child) {
        AddFields(*leaf->Child, name + ".");
      } else {
        AddValue(*leaf, name);
      }
    }
  }

  // The record starts anywhere in the dictionary.
  void FindRecords(const TBranch& branch) {
    for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
      if (!leaf->Child) continue;
      if (leaf->Item.OpensRecord) {
        AddFields(*leaf->Child, "");
      } else {
        FindRecords(*leaf->Child);
      }
    }
  }
};

void NoteChosenColumns(CsvLayout& layout) {
  std::vector<bool> chosen(layout.Names.size());
  layout.ChosenAgain = false;
  layout.AllInOrder = layout.Chosen.size() == layout.Names.size();
  for (std::size_t position = 0; position < layout.Chosen.size(); ++position) {
    const uint32_t column = layout.Chosen[position];
    layout.ChosenAgain = layout.ChosenAgain || chosen[column];
    layout.AllInOrder = layout.AllInOrder && column == position;
    chosen[column] = true;
  }
}

}  // namespace

CsvLayout MakeCsvLayout(const TBranch& root) {
  const std::vector<bool> shared = SharedTagNames(root);
  CsvLayout layout;
  layout.FieldColumn.assign(LeafCount(root), -1);
  layout.Names.push_back("record");
  LayoutBuilder builder{layout, shared, {}, {}};
  builder.FindRecords(root);
  for (uint32_t column = 0; column < layout.Names.size(); ++column) layout.Chosen.push_back(column);
  NoteChosenColumns(layout);
  return layout;
}

bool ChooseCsvColumns(CsvLayout& layout, std::string_view list, std::string& unknown) {
  std::vector<uint32_t> chosen;
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    uint32_t column = 0;
    while (column < layout.Names.size() && layout.Names[column] != name) ++column;
    if (column == layout.Names.size()) {
      unknown = std::string(name);
      return false;
    }
    chosen.push_back(column);
  }
  if (!chosen.empty()) layout.Chosen = std::move(chosen);
  NoteChosenColumns(layout);
  return true;
}

std::string CsvHeader(const CsvLayout& layout) {
  TextBuffer header;
  bool first = true;
  for (uint32_t column : layout.Chosen) {
    if (!first) header.push_back(',');
    first = false;
    AppendCsvField(header, layout.Names[column]);
  }
  header.append("\r\n");
  return std::string(header.view());
}

std::unique_ptr<FormatWalk> CsvWalk(WalkContext& walk, std::shared_ptr<const CsvLayout> layout) {
  if (walk.Input.Position() == 0) walk.Output.WriteText(CsvHeader(*layout));
  return std::make_unique<WalkOf<CsvWriter, CsvLayout>>(walk, std::move(layout));
}

}  // namespace orvalis
