#include "decode/writers/record_writers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "common/text_format.h"
#include "decode/writers/field_values.h"
#include "decode/writers/long_values.h"
#include "decode/writers/record_text.h"
#include "decode/writers/text_writer.h"
#include "decode/writers/text_values.h"
#include "decode/walk/walk_steps.h"

namespace orvalis {
namespace {

constexpr std::string_view kSchemaVersion = "1";

uint32_t Bit(int depth) { return 1u << (depth + 1); }

// The path of tag numbers from the top level down to `depth`, joined by full stops ("1.9.0").
void AppendDottedPath(TextBuffer& out, const TagPath& path, int depth) {
  for (int level = 0; level <= depth; ++level) {
    if (level > 0) out.push_back('.');
    AppendDecimal(out, static_cast<int64_t>(path.Ids[level]));
  }
}

// The text form of a filtered tag's value goes through the readable text's decoder and the filter
// step, as in the readable output, and is then taken back from the record's text.
void ApplyFilterToText(WalkContext& walk, const TItem& item, uint64_t length) {
  const std::size_t mark = walk.State.RecordBuffer.size();
  if (length >= kLongValue) {
    DecodeLongValue(walk, item, length, false);
  } else {
    DecodeValue(walk, item, length);
  }
  walk.State.RecordBuffer.truncate(mark);
}

// ---- JSON Lines ------------------------------------------------------------------------------

struct JsonOut {
  static constexpr bool kOutsideLines = true;

  static void OpenLine(WalkContext& walk, RecordLine::Kind kind, int base) {
    TextBuffer& out = walk.State.RecordBuffer;
    out.append("{\"v\":");
    out.append(kSchemaVersion);
    out.append(",\"record\":");
    if (kind == RecordLine::kRecord) {
      AppendDecimal(out, static_cast<uint64_t>(walk.State.RecordCount));
    } else {
      out.append("null");
    }
    out.append(",\"offset\":");
    AppendDecimal(out, walk.ElementOffset);
    out.append(",\"path\":\"");
    AppendDottedPath(out, walk.State.Path, base);
    out.append("\",\"fields\":{");
  }

  static void CloseObject(WalkContext& walk) { walk.State.RecordBuffer.push_back('}'); }

  // The objects still open (the fields' object among them), the line's own brace, a line feed.
  static void CloseLine(WalkContext& walk, int base) {
    const RecordLine& line = walk.State.Line;
    walk.State.RecordBuffer.append(static_cast<std::size_t>(line.Innermost - base + 2), '}');
    walk.State.RecordBuffer.push_back('\n');
  }

  // The member's key: the TagName, or the tag path where the element has none of its own (not
  // found, no TagName, or one that a sibling shares); "#N" added for the N-th occurrence.
  static void Member(WalkContext& walk, const TLeaf* leaf, int depth, uint32_t occurrence, bool constructed,
                     const ElementLength& length) {
    TextBuffer& out = walk.State.RecordBuffer;
    RecordLine& line = walk.State.Line;
    if ((line.HasMembers & Bit(depth - 1)) != 0) out.push_back(',');
    line.HasMembers |= Bit(depth - 1);
    walk.KeyBegin = out.size();
    if (leaf != nullptr && leaf->Item.JsonKey) {
      out.append(*leaf->Item.JsonKey);
    } else {
      out.push_back('"');
      AppendDottedPath(out, walk.State.Path, depth);
      out.append("\":");
    }
    if (occurrence > 1) {
      out.truncate(out.size() - 2);
      out.push_back('#');
      AppendDecimal(out, static_cast<uint64_t>(occurrence));
      out.append("\":");
    }
    walk.KeyEnd = out.size() - 1;
    walk.ValueDue = false;
    if (constructed) {
      out.push_back('{');
    } else if (length.Value == 0) {
      out.append("null");
    } else {
      walk.ValueDue = true;
    }
  }

  // Writes a decoded value into the record's text.
  struct Sink {
    WalkContext& Walk;
    TextBuffer& Out;
    const PartNames* Names = nullptr;
    bool Quoted = false;
    bool KeySaved = false;  // the value's key is in Walk.DumpLine: the record's text was handed on

    void Error(std::string_view message, const uint8_t* content, uint64_t length) {
      Out.append("{\"error\":");
      AppendJsonString(Out, message);
      if (length >= kLongValue) return LongHex(content, length);
      Out.append(",\"hex\":\"");
      AppendHex(Out, content, length);
      Out.append("\"}");
    }
    void Parts(const PartNames& names) { Names = &names; }
    [[gnu::always_inline]] void Part(int index) {  // {"name": or ,"name":
      const std::string_view name = Names->Names[index];
      char* at = Out.extend(name.size() + 4);
      at[0] = index == 0 ? '{' : ',';
      at[1] = '"';
      CopyText(at + 2, name.data(), name.size());
      at[2 + name.size()] = '"';
      at[3 + name.size()] = ':';
    }
    void EndParts() { Out.push_back('}'); }
    char* Begin(PartKind kind, std::size_t room) {
      Quoted = kind == PartKind::kVerbatim;
      char* at = Out.extend(room + 2);
      if (Quoted) *at++ = '"';
      return at;
    }
    void End(char* end) {
      if (Quoted) *end++ = '"';
      Out.truncate(static_cast<std::size_t>(end - Out.data()));
    }
    void Text(std::string_view octets) { AppendJsonString(Out, octets); }
    void Text(const PaddedText& text) {
      if (!text.Plain()) return Text(text.view());
      char* at = Out.extend(text.size() + 2 + PaddedText::kPadding);
      *at = '"';
      at = PutPadded(at + 1, text);
      *at++ = '"';
      Out.truncate(static_cast<std::size_t>(at - Out.data()));
    }
    void Null() { Out.append("null"); }
    // A member of its own after the value: the value's key with "_hex" added.
    void Beside(const uint8_t* content, uint64_t length) {
      if (KeySaved || length >= kLongValue) return LongBeside(content, length);
      const std::size_t keySize = Walk.KeyEnd - Walk.KeyBegin - 1;  // the key without its closing quote
      Out.push_back(',');
      const std::size_t keyAt = Out.size();
      Out.extend(keySize);
      std::memcpy(&Out[keyAt], Out.data() + Walk.KeyBegin, keySize);
      Out.append("_hex\":\"");
      AppendHex(Out, content, length);
      Out.push_back('"');
    }
    [[gnu::noinline, gnu::cold]] void LongVerbatim(const uint8_t* octets, uint64_t count, LongForm form) {
      Out.push_back('"');
      RecordChunks chunks{Walk};
      PutLongForm(chunks, octets, count, form);
      Out.push_back('"');
    }
    [[gnu::noinline, gnu::cold]] void LongText(std::string_view octets) {
      SaveKey();  // for Beside, before the text is handed on
      Out.push_back('"');
      PutLongJsonText(Walk, octets);
      Out.push_back('"');
    }
    // An error's octets: ,"hex":"..."}
    [[gnu::noinline, gnu::cold]] void LongHex(const uint8_t* content, uint64_t length) {
      Out.append(",\"hex\":");
      LongVerbatim(content, length, LongForm::kHex);
      Out.push_back('}');
    }
    [[gnu::noinline, gnu::cold]] void LongBeside(const uint8_t* content, uint64_t length) {
      SaveKey();
      Out.push_back(',');
      Out.append(Walk.DumpLine.view());
      Out.append("_hex\":");
      LongVerbatim(content, length, LongForm::kHex);
    }
    // The value's key without its closing quote, kept apart.
    void SaveKey() {
      if (KeySaved) return;
      Walk.DumpLine.assign(std::string_view(Out.data() + Walk.KeyBegin, Walk.KeyEnd - Walk.KeyBegin - 1));
      KeySaved = true;
    }
  };

  static void Value(WalkContext& walk, const TLeaf* leaf, uint64_t length) {
    TextBuffer& out = walk.State.RecordBuffer;
    if (!walk.ValueDue) {
      // A record's own element is primitive: its value is the record's "_value".
      if (walk.State.Line.Open == RecordLine::kNone) return;
      if ((walk.State.Line.HasMembers & Bit(walk.State.Line.Innermost)) != 0) out.push_back(',');
      walk.State.Line.HasMembers |= Bit(walk.State.Line.Innermost);
      walk.KeyBegin = out.size();
      out.append("\"_value\"");
      walk.KeyEnd = out.size();
      out.push_back(':');
    }
    walk.ValueDue = false;
    const uint8_t* content = walk.Input.Here();
    if (leaf == nullptr) {
      if (length >= kLongValue) return Sink{walk, out}.LongVerbatim(content, length, LongForm::kHex);
      out.push_back('"');
      AppendHex(out, content, length);
      out.push_back('"');
      return;
    }
    Sink sink{walk, out};
    DecodeFieldValue(leaf->Item, content, length, sink);
  }
};

// ---- CSV -------------------------------------------------------------------------------------

struct CsvOut {
  static constexpr bool kOutsideLines = false;

  // A row's cells go into the row's text in the order they come; the row is joined in the order
  // of the chosen columns when it ends.
  static void OpenLine(WalkContext& walk, RecordLine::Kind, int) {
    CsvRow& row = walk.Row;
    const std::size_t columns = walk.Csv->Names.size();
    if (row.Cells.size() != columns) row.Cells.resize(columns);
    std::memset(row.Cells.data(), 0, columns * sizeof row.Cells[0]);  // every cell empty
    row.Text.clear();
    row.LongCells.clear();
    char* out = row.Text.extend(20);
    EndCell(row, 0, 0, std::to_chars(out, out + 20, walk.State.RecordCount).ptr);
  }

  // The cell of `column` is the row's text from `at` to `end` (a later cell of a column takes the
  // place of an earlier one).
  static void EndCell(CsvRow& row, uint32_t column, std::size_t at, const char* end) {
    const std::size_t size = static_cast<std::size_t>(end - row.Text.data());
    row.Text.truncate(size);
    row.Cells[column] = static_cast<uint64_t>(at) << 32 | (size - at);
  }

  static void CloseObject(WalkContext&) {}

  // The row: the cells in the chosen order, each followed by a comma but the last, then CR LF.
  static void CloseLine(WalkContext& walk, int) {
    CsvRow& row = walk.Row;
    const CsvLayout& layout = *walk.Csv;
    if (!row.LongCells.empty()) return CloseLongLine(walk);
    std::size_t cells = row.Text.size();  // the cells, each once
    if (layout.ChosenAgain) {
      cells = 0;
      for (uint32_t column : layout.Chosen) cells += static_cast<uint32_t>(row.Cells[column]);
    }
    const std::size_t room = cells + layout.Chosen.size() + 1 + kMove;
    row.Text.reserve(row.Text.size() + kMove);
    TextBuffer& out = walk.State.RecordBuffer;
    char* const start = out.extend(room);
    char* to = start;
    if (layout.AllInOrder) {
      for (uint64_t cell : row.Cells) to = PutCell(to, row.Text.data(), cell);
    } else {
      for (uint32_t column : layout.Chosen) to = PutCell(to, row.Text.data(), row.Cells[column]);
    }
    to[-1] = '\r';
    *to++ = '\n';
    out.truncate(out.size() - room + static_cast<std::size_t>(to - start));
  }

  // The row of a long value's cell, which is made from the input's octets in chunks: each cell
  // followed by a comma but the last, then CR LF.
  [[gnu::noinline]] static void CloseLongLine(WalkContext& walk) {
    const CsvRow& row = walk.Row;
    const CsvLayout& layout = *walk.Csv;
    TextBuffer& out = walk.State.RecordBuffer;
    bool first = true;
    const auto put = [&](uint64_t cell) {
      if (!first) out.push_back(',');
      first = false;
      const std::size_t at = static_cast<std::size_t>(cell >> 32);
      const uint32_t size = static_cast<uint32_t>(cell);
      if (size == CsvRow::kLongCellMark) return PutLongCsvCell(walk, row.LongCells[at]);
      out.append(row.Text.data() + at, size);
    };
    if (layout.AllInOrder) {
      for (uint64_t cell : row.Cells) put(cell);
    } else {
      for (uint32_t column : layout.Chosen) put(row.Cells[column]);
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

  // The field's column, for the first occurrence of a declared field outside any repeat.
  static void Member(WalkContext& walk, const TLeaf* leaf, int depth, uint32_t occurrence, bool constructed,
                     const ElementLength& length) {
    walk.ValueColumn = -1;
    if (constructed || length.Value == 0) return;  // no value: an empty cell
    if (leaf != nullptr && leaf->Item.FieldColumn > 0 && occurrence == 1 &&
        (walk.State.Line.Repeated & Bit(depth - 1)) == 0) {
      walk.ValueColumn = leaf->Item.FieldColumn;
    } else {
      ++walk.Counts.ValuesNotInCsv;
    }
  }

  // Writes a decoded value's parts into their cells, an error into the value's first cell.
  struct Sink {
    WalkContext& Walk;
    CsvRow& Row;
    uint32_t First;   // the column of the value's first part
    uint32_t Column;  // the column of the part being written
    std::size_t At = 0;

    void Error(std::string_view message, const uint8_t* content, uint64_t length) {
      if (length >= kLongValue) return Defer({content, length, LongForm::kError, message});
      TextBuffer& text = Walk.DumpLine;
      text.assign("error: ");
      text.append(message);
      text.append("; octets ");
      AppendHex(text, content, length);
      At = Row.Text.size();
      AppendCsvField(Row.Text, text.view());
      EndCell(Row, Column, At, Row.Text.data() + Row.Text.size());
    }
    void Parts(const PartNames&) {}
    [[gnu::always_inline]] void Part(int index) { Column = First + static_cast<uint32_t>(index); }
    void EndParts() {}
    char* Begin(PartKind, std::size_t room) {
      At = Row.Text.size();
      return Row.Text.extend(room);
    }
    void End(const char* end) { EndCell(Row, Column, At, end); }
    void Text(std::string_view octets) {
      At = Row.Text.size();
      AppendCsvField(Row.Text, octets);
      EndCell(Row, Column, At, Row.Text.data() + Row.Text.size());
    }
    void Text(const PaddedText& text) {
      if (!text.Plain()) return Text(text.view());
      At = Row.Text.size();
      char* at = Row.Text.extend(text.size() + PaddedText::kPadding);
      EndCell(Row, Column, At, PutPadded(at, text));
    }
    void Null() {}
    void Beside(const uint8_t*, uint64_t) {}
    [[gnu::noinline, gnu::cold]] void LongVerbatim(const uint8_t* octets, uint64_t count, LongForm form) { Defer({octets, count, form, {}}); }
    [[gnu::noinline, gnu::cold]] void LongText(std::string_view octets) {
      Defer({reinterpret_cast<const uint8_t*>(octets.data()), octets.size(), LongForm::kText, {}});
    }
    // The cell is made when the row is written.
    [[gnu::noinline, gnu::cold]] void Defer(const LongCell& cell) {
      Row.Cells[Column] = static_cast<uint64_t>(Row.LongCells.size()) << 32 | CsvRow::kLongCellMark;
      Row.LongCells.push_back(cell);
    }
  };

  static void Value(WalkContext& walk, const TLeaf* leaf, uint64_t length) {
    const int32_t column = walk.ValueColumn;
    walk.ValueColumn = -1;
    if (column < 0 || leaf == nullptr) return;
    Sink sink{walk, walk.Row, static_cast<uint32_t>(column), static_cast<uint32_t>(column)};
    DecodeFieldValue(leaf->Item, walk.Input.Here(), length, sink);
  }
};

// ---- The line and its objects, for either ----------------------------------------------------

template <typename Out>
void CloseLine(WalkContext& walk) {
  RecordLine& line = walk.State.Line;
  if (line.Open == RecordLine::kNone) return;
  const int base = line.Open == RecordLine::kRecord ? line.CloseAt + 1 : line.CloseAt;
  Out::CloseLine(walk, base);
  line.Open = RecordLine::kNone;
  line.CloseAt = -2;
  line.Innermost = -2;
  line.HasMembers = 0;
  line.Repeated = 0;
}

// Opens a line whose fields are the contents of the element of depth `base`.
template <typename Out>
void OpenLine(WalkContext& walk, RecordLine::Kind kind, int base) {
  RecordLine& line = walk.State.Line;
  line.Open = kind;
  line.CloseAt = static_cast<int8_t>(kind == RecordLine::kRecord ? base - 1 : base);
  line.Innermost = static_cast<int8_t>(base);
  line.HasMembers = 0;
  line.Repeated = 0;
  line.ObjectAt[static_cast<std::size_t>(base + 1)] = walk.State.Occurrences.NewObject();
  Out::OpenLine(walk, kind, base);
}

template <typename Out>
[[gnu::noinline]] void BeginAnyElement(WalkContext& walk, const TLeaf* leaf, bool constructed,
                                       const ElementLength& length, int depth) {
  RecordLine& line = walk.State.Line;
  if (line.Open != RecordLine::kNone) {
    while (line.Innermost >= depth) {
      Out::CloseObject(walk);
      --line.Innermost;
    }
    if (line.Innermost != depth - 1) CloseLine<Out>(walk);  // the line's objects do not lead here
  }
  if (line.Open == RecordLine::kNone) {
    if (!Out::kOutsideLines) {
      if (!constructed) ++walk.Counts.ValuesNotInCsv;
      walk.ValueColumn = -1;
      return;
    }
    OpenLine<Out>(walk, RecordLine::kOutside, depth - 1);
  }
  const uint32_t occurrence = walk.State.Occurrences.Occurrence(line, depth - 1, walk.State.Path.Ids[depth]);
  Out::Member(walk, leaf, depth, occurrence, constructed, length);
  if (constructed) {
    const bool repeated = occurrence > 1 || (line.Repeated & Bit(depth - 1)) != 0;
    line.Innermost = static_cast<int8_t>(depth);
    line.HasMembers &= ~Bit(depth);
    line.Repeated = repeated ? line.Repeated | Bit(depth) : line.Repeated & ~Bit(depth);
    line.ObjectAt[static_cast<std::size_t>(depth + 1)] = walk.State.Occurrences.NewObject();
  }
}

// The common element first: a value in the object that was opened last.
template <typename Out>
[[gnu::always_inline]] inline void BeginElement(WalkContext& walk, const TLeaf* leaf, bool constructed,
                                                const ElementLength& length, int depth) {
  RecordLine& line = walk.State.Line;
  if (constructed || line.Open == RecordLine::kNone || line.Innermost != depth - 1) {
    return BeginAnyElement<Out>(walk, leaf, constructed, length, depth);
  }
  const uint32_t occurrence = walk.State.Occurrences.Occurrence(line, depth - 1, walk.State.Path.Ids[depth]);
  Out::Member(walk, leaf, depth, occurrence, false, length);
}

template <typename Out>
[[gnu::noinline]] void EndAnyElement(WalkContext& walk) {
  RecordLine& line = walk.State.Line;
  const int depth = walk.State.Path.Depth;
  if (depth <= line.CloseAt) {
    CloseLine<Out>(walk);
    return;
  }
  while (line.Innermost > depth) {
    Out::CloseObject(walk);
    --line.Innermost;
  }
}

// The common end first: of a value in the object that was opened last.
template <typename Out>
[[gnu::always_inline]] inline void EndElement(WalkContext& walk) {
  const RecordLine& line = walk.State.Line;
  const int depth = walk.State.Path.Depth;
  if (line.Open == RecordLine::kNone || (depth > line.CloseAt && line.Innermost == depth)) return;
  EndAnyElement<Out>(walk);
}

template <typename Out>
struct RecordWriter {
  static constexpr const char* kIndefinitePrimitive = TextWriter::kIndefinitePrimitive;
  static constexpr bool kTakesCommonElementsAtOnce = true;

  // Records start where the readable text starts them: at a record tag with a long name.
  static bool Names(const TItem& item) { return TextWriter::Names(item); }
  static Unexplained Explanation(WalkContext&) { return {}; }
  static void TagEntered(WalkContext&) {}
  static void ElementLookedUp(WalkContext&) {}
  // The line under way ends before the walk writes out or drops the record before.
  static void RecordFound(WalkContext& walk) {
    ShowProgress(walk);
    CloseLine<Out>(walk);
  }
  static void RecordStarts(WalkContext& walk, const TItem&) {
    OpenLine<Out>(walk, RecordLine::kRecord, walk.State.Path.Depth);
  }
  static void ElementNamed(WalkContext&, const TItem&) {}
  static void TagNotFound(WalkContext&) {}
  static void LengthRead(WalkContext&, const ElementLength&) {}
  static void ContentsBegin(WalkContext&) {}
  static void Value(WalkContext& walk, const TLeaf* leaf, uint64_t length) {
    if (leaf != nullptr && leaf->Item.FilterValue) ApplyFilterToText(walk, leaf->Item, length);
    Out::Value(walk, leaf, length);
  }
  static void EndOfContents(WalkContext&) {}
  static void ElementBegins(WalkContext& walk, const TLeaf* leaf, bool constructed, const ElementLength& length,
                            int depth) {
    BeginElement<Out>(walk, leaf, constructed, length, depth);
  }
  static void ElementEnds(WalkContext& walk) { EndElement<Out>(walk); }
  static void Filler(WalkContext&, uint64_t, uint64_t, uint8_t) {}
  static void Damaged(WalkContext& walk, uint64_t at, uint64_t resumedAt) { ::orvalis::Damaged(walk, at, resumedAt - at); }
  static void InDoubt(WalkContext& walk, uint64_t at, uint64_t damagedAt) { ::orvalis::InDoubt(walk, at, damagedAt); }
};

// ---- The CSV columns -------------------------------------------------------------------------

struct LayoutBuilder {
  CsvLayout& Layout;
  std::unordered_map<std::string, TagType> TypeOf;  // by the field's name
  std::unordered_map<std::string, int32_t> ColumnOf;

  void AddValue(TItem& item, const std::string& name) {
    const PartNames parts = PartNamesOf(item.Type);
    auto found = ColumnOf.find(name);
    if (found != ColumnOf.end()) {
      // The same name elsewhere: the same columns when its values have the same parts.
      const PartNames there = PartNamesOf(TypeOf[name]);
      item.FieldColumn = there.Count == parts.Count && there.Names[0] == parts.Names[0] ? found->second : -1;
      return;
    }
    const int32_t column = static_cast<int32_t>(Layout.Names.size());
    ColumnOf.emplace(name, column);
    TypeOf.emplace(name, item.Type);
    item.FieldColumn = column;
    for (int part = 0; part < parts.Count; ++part) {
      Layout.Names.push_back(parts.Count == 1 ? name : name + "." + std::string(parts.Names[part]));
    }
  }

  // The fields under a record start, `prefix` being their parents' dotted names.
  void AddFields(TBranch& branch, const std::string& prefix) {
    for (TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
      TItem& item = leaf->Item;
      if (item.OpensRecord) {
        if (leaf->Child) AddFields(*leaf->Child, "");  // a record of its own
        continue;
      }
      if (!item.TagName || item.SharedTagName) continue;  // keyed by its path: not a column
      const std::string name = prefix + *item.TagName;
      if (leaf->Child) {
        AddFields(*leaf->Child, name + ".");
      } else {
        AddValue(item, name);
      }
    }
  }

  // The record starts anywhere in the dictionary.
  void FindRecords(TBranch& branch) {
    for (TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
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

void PrepareJsonKeys(TBranch& branch) {
  MarkSharedTagNames(branch);
  TextBuffer key;
  for (TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    TItem& item = leaf->Item;
    item.JsonKey.reset();
    if (item.TagName && !item.SharedTagName) {
      key.clear();
      AppendJsonString(key, *item.TagName);
      key.push_back(':');
      item.JsonKey.emplace(key.view());
    }
    if (leaf->Child) PrepareJsonKeys(*leaf->Child);
  }
}

CsvLayout MakeCsvLayout(TBranch& root) {
  MarkSharedTagNames(root);
  CsvLayout layout;
  layout.Names.push_back("record");
  LayoutBuilder builder{layout, {}, {}};
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

int WalkJsonElements(WalkContext& walk, uint64_t end) { return WalkTopLevel<RecordWriter<JsonOut>>(walk, end); }

int WalkCsvElements(WalkContext& walk, uint64_t end) { return WalkTopLevel<RecordWriter<CsvOut>>(walk, end); }

void EndRecordLine(WalkContext& walk) {
  if (walk.Settings.Format == OutputFormat::kJsonLines) CloseLine<JsonOut>(walk);
  if (walk.Settings.Format == OutputFormat::kCsv) CloseLine<CsvOut>(walk);
}

namespace {

// Ends the line under way and, in JSON Lines, writes a null line at `offset` whose "damaged"
// object holds `members` followed by `number`.
void DamageLine(WalkContext& walk, uint64_t offset, const char* members, uint64_t number) {
  EndRecordLine(walk);
  if (walk.Settings.Format != OutputFormat::kJsonLines) return;
  TextBuffer& out = walk.State.RecordBuffer;
  out.append("{\"v\":");
  out.append(kSchemaVersion);
  out.append(",\"record\":null,\"offset\":");
  AppendDecimal(out, offset);
  out.append(",\"damaged\":{");
  out.append(members);
  AppendDecimal(out, number);
  out.append("}}\n");
}

}  // namespace

void Damaged(WalkContext& walk, uint64_t offset, uint64_t skipped) {
  DamageLine(walk, offset, "\"skipped\":", skipped);
}

void InDoubt(WalkContext& walk, uint64_t offset, uint64_t damagedAt) {
  DamageLine(walk, offset, "\"inDoubt\":true,\"damagedAt\":", damagedAt);
}

}  // namespace orvalis
