#include "decode/writers/csv_layout.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/writers/record_text.h"
#include "decode/writers/sql_words.h"

namespace orvalis {
namespace {

// The name of an occurrence: "name" for the first, "name#2" for the second ...
std::string OccurrenceName(const std::string& name, uint32_t occurrence) {
  return occurrence == 1 ? name : name + "#" + std::to_string(occurrence);
}

// A leaf's path as the dictionary declares it, "1.9.0".
std::string PathOf(const TLeaf& leaf) { return LeafPathText(leaf); }

struct LayoutBuilder {
  CsvLayout& Layout;
  const std::vector<bool>& Shared;
  const ValueTypeCatalog& Types;
  struct Field {
    uint32_t Column;
    PartNames Parts;
    const TLeaf* Record;  // the record start under which the name was met first
    const TLeaf* Leaf;    // and its field there
  };
  std::unordered_map<std::string, Field> FieldNamed;
  bool TooMany = false;
  std::string Collision;  // two fields of one record whose columns would have one name

  // The columns of one occurrence of a value named `name`: its own, or those of a field of the
  // same name and the same parts met before under another record start (a record at the top
  // level and in a block). Two fields of one record that a name would join (a TagName "a.b"
  // beside "b" in "a", a TagName "n#2" beside the second "n") are a collision: refused.
  int32_t ValueColumns(const TLeaf& leaf, const TLeaf& record, const std::string& name) {
    const TItem& item = leaf.Item;
    const ValueTypeInfo& type = Types.Info(item.Type);
    const PartNames& parts = type.Parts;
    auto found = FieldNamed.find(name);
    if (found != FieldNamed.end()) {
      if (found->second.Record == &record && found->second.Leaf != &leaf && Collision.empty()) {
        Collision = "the fields at " + PathOf(*found->second.Leaf) + " and " + PathOf(leaf) +
                    " would both have the CSV column \"" + name + "\": give one of them another TagName";
      }
      const PartNames& there = found->second.Parts;
      const bool same = there.Count == parts.Count && std::equal(parts.Names, parts.Names + parts.Count, there.Names);
      if (!same) return -1;  // the name is taken by a value of other parts
      for (int part = 0; part < parts.Count; ++part) {
        ColumnType& column = Layout.Types[found->second.Column + part];
        if (column != type.Column(item, part)) column = ColumnType::kText;
      }
      return static_cast<int32_t>(found->second.Column);
    }
    if (Layout.Names.size() + parts.Count > kMaxCsvColumns) {
      TooMany = true;
      return -1;
    }
    const uint32_t column = static_cast<uint32_t>(Layout.Names.size());
    const uint32_t field = static_cast<uint32_t>(Layout.Fields.size());
    FieldNamed.emplace(name, Field{column, parts, &record, &leaf});
    Layout.Fields.push_back(name);
    for (int part = 0; part < parts.Count; ++part) {
      Layout.Names.push_back(parts.Count == 1 ? name : name + "." + std::string(parts.Names[part]));
      Layout.Types.push_back(type.Column(item, part));
      Layout.FieldOf.push_back(field);
    }
    return static_cast<int32_t>(column);
  }

  // The fields under a record start, in the slot `slot` of the `slots` that the fields holding
  // them have; `prefix` is their dotted names with their occurrences.
  void AddFields(const TLeaf& record, const TBranch& branch, const std::string& prefix, uint64_t slot,
                 uint64_t slots) {
    for (const TLeaf* leaf = branch.First; leaf != nullptr && !TooMany; leaf = leaf->Next) {
      const TItem& item = leaf->Item;
      if (item.OpensRecord) {
        if (const TBranch* fields = SubTagsOf(*leaf)) AddFields(*leaf, *fields, "", 0, 1);  // a record of its own
        continue;
      }
      if (!item.TagName || Shared[leaf->Serial]) continue;  // keyed by its path: not a column
      const uint64_t ownSlots = slots * item.Occurs;
      if (ownSlots > kMaxCsvColumns) {
        TooMany = true;
        return;
      }
      const TBranch* fields = SubTagsOf(*leaf);
      CsvLayout::FieldSlots& field = Layout.Slots[leaf->Serial];
      if (field.Occurs == 0) {  // the first visit: the field's slots
        field.Occurs = item.Occurs;
        field.First = static_cast<uint32_t>(Layout.SlotColumns.size());
        if (!fields) Layout.SlotColumns.resize(Layout.SlotColumns.size() + ownSlots, -1);
      }
      for (uint32_t occurrence = 1; occurrence <= item.Occurs && !TooMany; ++occurrence) {
        const uint64_t ownSlot = slot * item.Occurs + (occurrence - 1);
        const std::string name = OccurrenceName(prefix + *item.TagName, occurrence);
        if (fields) {
          AddFields(record, *fields, name + ".", ownSlot, ownSlots);
        } else {
          Layout.SlotColumns[field.First + ownSlot] = ValueColumns(*leaf, record, name);
        }
      }
      if (!fields) field.Column = Layout.SlotColumns[field.First];
    }
  }

  // The record starts anywhere in the dictionary.
  void FindRecords(const TBranch& branch) {
    for (const TLeaf* leaf = branch.First; leaf != nullptr && !TooMany; leaf = leaf->Next) {
      const TBranch* inner = SubTagsOf(*leaf);
      if (!inner) continue;
      if (leaf->Item.OpensRecord) {
        AddFields(*leaf, *inner, "", 0, 1);
      } else {
        FindRecords(*inner);
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

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The SQL names of the columns; false, with the problem, when two are alike.
bool NameForSql(CsvLayout& layout, std::string& problem) {
  std::unordered_map<std::string, uint32_t> columnNamed;
  for (uint32_t column = 0; column < layout.Names.size(); ++column) {
    std::string& header = layout.Headers[column];
    header = SqlColumnName(layout.Names[column]);
    const auto [there, added] = columnNamed.emplace(header, column);
    if (!added) {
      problem = "with ColumnNames=sql the CSV columns \"" + layout.Names[there->second] + "\" and \"" +
                layout.Names[column] + "\" would both be named \"" + header + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

bool MakeCsvLayout(const TBranch& root, bool sqlNames, CsvLayout& layout, std::string& problem,
                   bool sourceColumn, bool offsetColumn, const ValueTypeCatalog& types, bool cdrColumns,
                   bool kindColumn) {
  const std::vector<bool> shared = SharedTagNames(root);
  layout = CsvLayout();
  layout.Slots.assign(LeafCount(root), CsvLayout::FieldSlots());
  layout.Names.push_back("record");
  layout.Types.push_back(ColumnType::kInteger);
  layout.FieldOf.push_back(0);
  layout.Fields.push_back("record");
  if (sourceColumn) {
    layout.SourceColumn = static_cast<uint32_t>(layout.Names.size());
    layout.Names.emplace_back(kSourceColumn);
    layout.Types.push_back(ColumnType::kText);
    layout.FieldOf.push_back(0);
  }
  if (kindColumn) {
    layout.KindColumn = static_cast<uint32_t>(layout.Names.size());
    layout.Names.emplace_back(kRecordKindColumn);
    layout.Types.push_back(ColumnType::kText);
    layout.FieldOf.push_back(0);
  }
  if (offsetColumn) {
    layout.OffsetColumn = static_cast<uint32_t>(layout.Names.size());
    layout.Names.emplace_back(kOffsetColumn);
    layout.Types.push_back(ColumnType::kBigInteger);  // offsets reach 2^32 - 1
    layout.FieldOf.push_back(0);
  }
  if (cdrColumns) {
    layout.CdrColumns = static_cast<uint32_t>(layout.Names.size());
    for (const std::string_view name : kCdrHeaderColumns) {
      layout.Names.emplace_back(name);
      layout.Types.push_back(ColumnType::kSmallInteger);
      layout.FieldOf.push_back(0);
    }
  }
  LayoutBuilder builder{layout, shared, types, {}, false, {}};
  builder.FindRecords(root);
  layout.ErrorsColumn = static_cast<uint32_t>(layout.Names.size());
  layout.Names.emplace_back(kErrorsColumn);
  layout.Types.push_back(ColumnType::kText);
  layout.FieldOf.push_back(0);
  layout.Headers = layout.Names;
  for (uint32_t column = 0; column < layout.Names.size(); ++column) layout.Chosen.push_back(column);
  NoteChosenColumns(layout);
  // What cannot be loaded is refused; the layout is whole all the same.
  if (builder.TooMany) {
    problem = "the dictionary gives the CSV more than " + std::to_string(kMaxCsvColumns) +
              " columns (Occurs multiplies them)";
    return false;
  }
  if (!builder.Collision.empty()) {
    problem = builder.Collision;
    return false;
  }
  for (const std::string& field : layout.Fields) {
    if (!IsValidUtf8(field)) {
      problem = "the dictionary's names of the CSV column \"" + ConsoleName(field, true) +
                "\" are not valid UTF-8, which the CSV header and a table's names must be";
      return false;
    }
  }
  if (builder.FieldNamed.count(std::string(kErrorsColumn)) != 0) {
    problem = "the dictionary names a field \"errors\", the CSV column of values that cannot be decoded: give "
              "its tag another TagName";
    return false;
  }
  if (sourceColumn && builder.FieldNamed.count(std::string(kSourceColumn)) != 0) {
    problem = "the dictionary names a field \"file\", the CSV column of each record's input (SourceColumn=true): "
              "give its tag another TagName";
    return false;
  }
  if (kindColumn && builder.FieldNamed.count(std::string(kRecordKindColumn)) != 0) {
    problem = "the dictionary names a field \"recordKind\", the CSV column of each record's kind "
              "(RecordKindColumn=true): give its tag another TagName";
    return false;
  }
  if (offsetColumn && builder.FieldNamed.count(std::string(kOffsetColumn)) != 0) {
    problem = "the dictionary names a field \"offset\", the CSV column of each record's offset (OffsetColumn=true): "
              "give its tag another TagName";
    return false;
  }
  for (const std::string_view name : kCdrHeaderColumns) {
    if (cdrColumns && builder.FieldNamed.count(std::string(name)) != 0) {
      problem = "the dictionary names a field \"" + std::string(name) +
                "\", a CSV column of each record's CDR header (CdrHeaderColumns=true): give its tag another TagName";
      return false;
    }
  }
  return !sqlNames || NameForSql(layout, problem);
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
  if (!chosen.empty()) {
    layout.Chosen = std::move(chosen);
    layout.ChosenByList = true;
  }
  NoteChosenColumns(layout);
  return true;
}

std::string CsvHeader(const CsvLayout& layout) {
  TextBuffer header;
  bool first = true;
  for (uint32_t column : layout.Chosen) {
    if (!first) header.push_back(',');
    first = false;
    AppendCsvName(header, layout.Headers[column]);
  }
  header.append("\r\n");
  return std::string(header.view());
}

namespace {

// What FieldsWithoutColumn reads of the dictionary and the layout.
struct LostFields {
  const CsvLayout& Layout;
  std::vector<const TLeaf*> Leaves;  // by Serial

  void CollectLeaves(const TBranch& branch) {
    for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
      if (leaf->Serial < Leaves.size()) Leaves[leaf->Serial] = leaf;
      if (leaf->Child) CollectLeaves(*leaf->Child);
    }
  }
  const TLeaf* Leaf(uint64_t serial) const { return serial < Leaves.size() ? Leaves[serial] : nullptr; }
  bool IsField(const TLeaf& leaf) const { return Layout.Slots[leaf.Serial].Occurs != 0; }

  // A field's dotted TagNames from its record start down, without occurrences: the name of the
  // columns it shares with the fields of that name under other record starts.
  static std::string FieldName(const TLeaf& leaf) {
    std::string name = leaf.Item.TagName.value_or(std::string());
    for (const TLeaf* up = leaf.Owner->Parent; up != nullptr && !up->Item.OpensRecord; up = up->Owner->Parent) {
      name = up->Item.TagName.value_or(std::string()) + "." + name;
    }
    return name;
  }

  // The slots of a value's field: its occurrences in each occurrence of the fields holding it.
  static uint64_t SlotsOf(const TLeaf& leaf) {
    uint64_t slots = leaf.Item.Occurs;
    for (const TLeaf* up = leaf.Owner->Parent; up != nullptr && !up->Item.OpensRecord; up = up->Owner->Parent) {
      slots *= up->Item.Occurs;
    }
    return slots;
  }

  // True when Columns chose a column of the field of `leaf`, or of a field within it.
  bool ColumnChosen(const TLeaf& leaf, const std::vector<bool>& chosen) const {
    if (!IsField(leaf)) return false;
    if (const TBranch* fields = SubTagsOf(leaf)) {
      for (const TLeaf* inner = fields->First; inner != nullptr; inner = inner->Next) {
        if (ColumnChosen(*inner, chosen)) return true;
      }
      return false;
    }
    const CsvLayout::FieldSlots& field = Layout.Slots[leaf.Serial];
    const uint64_t slots = SlotsOf(leaf);
    for (uint64_t slot = 0; slot < slots && field.First + slot < Layout.SlotColumns.size(); ++slot) {
      const int32_t first = Layout.SlotColumns[field.First + slot];
      if (first < 0) continue;
      const uint32_t value = Layout.FieldOf[static_cast<std::size_t>(first)];  // its parts' columns follow
      for (auto column = static_cast<std::size_t>(first); column < chosen.size() && Layout.FieldOf[column] == value;
           ++column) {
        if (chosen[column]) return true;
      }
    }
    return false;
  }
};

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 < items.size() ? ", " : " and ";
    text += items[i];
  }
  return text;
}

}  // namespace

std::vector<FieldWithoutColumn> FieldsWithoutColumn(const TBranch& root, const CsvLayout& layout,
                                                    const FieldCounts& counts) {
  if (counts.Empty()) return {};
  LostFields lost{layout, std::vector<const TLeaf*>(layout.Slots.size())};
  lost.CollectLeaves(root);
  // A line for each field name and kind of loss, with the fields that lost values there.
  struct Line {
    std::string Name;
    bool NameTaken;
    std::vector<uint32_t> Serials;  // the paths, by Serial
    uint64_t Values = 0;
    uint32_t UpTo = 0;
  };
  std::vector<Line> lines;
  std::map<std::pair<std::string, bool>, std::size_t> lineOf;
  for (const FieldCount& count : counts.Entries()) {
    const TLeaf* leaf = lost.Leaf(count.Field >> 1);
    if (leaf == nullptr) continue;
    const bool nameTaken = (count.Field & 1) != 0;
    const auto [at, added] = lineOf.emplace(std::make_pair(LostFields::FieldName(*leaf), nameTaken), lines.size());
    if (added) lines.push_back(Line{at->first.first, nameTaken, {}});
    Line& line = lines[at->second];
    line.Serials.push_back(leaf->Serial);
    line.Values += count.Values;
    line.UpTo = std::max(line.UpTo, count.UpTo);
  }
  // Beyond Occurs: every field of the name whose columns the values would share is a path of the
  // line, so that the remedy gives them all the occurrences.
  for (const TLeaf* leaf : lost.Leaves) {
    if (leaf == nullptr || !lost.IsField(*leaf)) continue;
    if (!SubTagsOf(*leaf) && layout.Slots[leaf->Serial].Column < 0) continue;  // its name is another's
    const auto found = lineOf.find(std::make_pair(LostFields::FieldName(*leaf), false));
    if (found != lineOf.end()) lines[found->second].Serials.push_back(leaf->Serial);
  }
  for (Line& line : lines) {
    std::sort(line.Serials.begin(), line.Serials.end());
    line.Serials.erase(std::unique(line.Serials.begin(), line.Serials.end()), line.Serials.end());
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.Serials[0] < b.Serials[0]; });

  std::vector<bool> chosen(layout.Names.size());
  for (uint32_t column : layout.Chosen) chosen[column] = true;
  std::vector<FieldWithoutColumn> fields;
  for (const Line& line : lines) {
    FieldWithoutColumn field;
    const TLeaf& first = *lost.Leaf(line.Serials[0]);
    field.Field = first.Item.TagName.value_or(std::string());
    field.Values = line.Values;
    field.UpToOccurrence = line.UpTo;
    std::vector<std::string> remedies;
    bool inColumns = false;
    for (uint32_t serial : line.Serials) {
      const TLeaf& leaf = *lost.Leaf(serial);
      field.Paths.push_back(PathOf(leaf));
      if (line.NameTaken || leaf.Item.Occurs >= line.UpTo) continue;
      remedies.push_back(field.Paths.back() + ".Occurs=" + std::to_string(line.UpTo));
      inColumns = inColumns || (layout.ChosenByList && lost.ColumnChosen(leaf, chosen));
    }
    if (line.NameTaken) {
      field.Remedy = "the columns of that name hold a value of other parts: give " + Listed(field.Paths) +
                     (field.Paths.size() == 1 ? " a TagName of its own" : " TagNames of their own");
    } else if (line.UpTo > kMaxOccurs) {
      field.Remedy = "Occurs gives columns to " + std::to_string(kMaxOccurs) + " occurrences at most";
    } else {
      field.Remedy = "add " + Listed(remedies);
      if (inColumns) field.Remedy += ", and their new columns to Columns";
    }
    fields.push_back(std::move(field));
  }
  return fields;
}

std::string SqlColumnName(std::string_view name) {
  constexpr std::size_t kLongestName = 63;  // PostgreSQL cuts longer names
  std::string out;
  bool apart = false;  // octets other than letters and digits came since the last word character
  for (std::size_t at = 0; at < name.size(); ++at) {
    const char c = name[at];
    if (!IsLower(c) && !IsUpper(c) && !IsDigit(c)) {
      apart = true;
      continue;
    }
    if (apart || (IsUpper(c) && at > 0 && IsLower(name[at - 1]))) {
      if (out.empty() || out.back() != '_') out.push_back('_');
    }
    apart = false;
    out.push_back(IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (apart) out.push_back('_');
  if (out.empty() || IsDigit(out.front())) out.insert(0, "c_");
  if (NeedsSqlSuffix(out)) out.push_back('_');
  if (out.size() > kLongestName) out.resize(kLongestName);
  return out;
}

bool NeedsSqlSuffix(std::string_view word) {
  return (SqlKeywordKinds(word) & (kPgReserved | kPgColumnName | kSqlite)) != 0;
}

}  // namespace orvalis
