// The JSON Lines writer of each schema version: shared by the unit that makes the walks of version
// 1 (json_lines_writer.cpp, which also holds what the format checks of a dictionary) and the unit
// that makes those of version 2 (json_lines_schema2.cpp). Each version's walks are made in a unit
// of their own: made in one unit, the two took up the room the compiler gives a unit for inlining,
// and the small steps of version 1's hot path became calls. The classes are in an unnamed
// namespace, each unit's own: with external linkage the compiler inlined other steps of version
// 1 than it did before there was a version 2, and its walk took a hundredth more instructions.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text_format.h"
#include "decode/types/value_types.h"
#include "decode/walk/writer.h"
#include "decode/writers/long_values.h"
#include "decode/writers/record_line.h"
#include "decode/writers/record_text.h"
#include "tags/tag_tree.h"

namespace orvalis::json_lines {
namespace {

// The path's components from the top level down to `depth`, joined by full stops ("1.9.0",
// "1.a2").
void AppendDottedPath(TextBuffer& out, const TagPath& path, int depth) {
  for (int level = 0; level <= depth; ++level) {
    if (level > 0) out.push_back('.');
    AppendPathComponent(out, path.Ids[level]);
  }
}

// Each leaf's member key, "name": (quotes and colon included), by Serial: its TagName as a JSON
// string, unless it has none or a sibling of another tag number shares it (then the element is
// keyed by its tag path, and its key here is null).
class JsonKeys {
 public:
  explicit JsonKeys(const TBranch& root) : keyOf_(LeafCount(root)) {
    Add(root, SharedTagNames(root));
    for (const auto& [serial, key] : keys_) keyOf_[serial] = &key;
  }
  const PaddedText* operator[](const TLeaf& leaf) const { return keyOf_[leaf.Serial]; }

 private:
  void Add(const TBranch& branch, const std::vector<bool>& shared) {
    TextBuffer key;
    for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
      if (leaf->Item.TagName && !shared[leaf->Serial]) {
        key.clear();
        AppendJsonName(key, *leaf->Item.TagName);
        key.push_back(':');
        keys_.emplace_back(leaf->Serial, PaddedText(key.view()));
      }
      if (leaf->Child) Add(*leaf->Child, shared);
    }
  }

  std::vector<const PaddedText*> keyOf_;
  std::vector<std::pair<uint32_t, PaddedText>> keys_;
};

// A damage passed over, as the line that it concerns tells it in schema 2.
struct DamageMark {
  uint64_t At;       // the first octet of the innermost element that could not be read
  uint64_t Skipped;  // the octets passed over from there
  bool CutShort;     // it cut the record of the line short (else it came after the record's end)
  const char* Why;   // what was wrong there, as the console line says it
};

// The JSON Lines writer of schema version `kSchema`. Version 1 writes the members a line needs
// and a value that cannot be decoded as {"error":...,"hex":...} in its place; damage and doubt
// are lines of their own. Version 2 writes every member on every line, null where it does not
// apply: a value that cannot be decoded is null and told in the line's "errors", and a record's
// damage and doubt are its own line's "damaged" and "inDoubt". A record's line then ends only
// once it is known what follows the record (the next record start, text outside records, damage
// or the walk's end): until then it is held, its fields written and its end to come.
template <int kSchema>
class JsonLinesWriter : public RecordLineWriter<JsonLinesWriter<kSchema>> {
  using Base = RecordLineWriter<JsonLinesWriter<kSchema>>;

 public:
  static constexpr bool kOutsideLines = true;
  static constexpr bool kOneShape = kSchema == 2;  // every member on every line
  static constexpr std::string_view kVersion = kOneShape ? "2" : "1";

  JsonLinesWriter(WalkContext& walk, const JsonKeys& keys) : Base(walk), keys_(keys) {
    if (!walk.Settings.SourceName.empty()) {
      fileMember_.append(",\"file\":");
      AppendJsonName(fileMember_, walk.Settings.SourceName);
    } else if constexpr (kOneShape) {
      fileMember_.append(",\"file\":null");
    }
  }

  // The line under way ends, and so does a record's line held for its marks.
  void RecordFound() {
    this->CloseLine();
    if constexpr (kOneShape) EndHeldLine(nullptr);
  }
  void Finish() { RecordFound(); }
  // The text of a stretch walked ahead without a record start follows: it is text outside records.
  void TextFollows() {
    if constexpr (kOneShape) EndHeldLine(nullptr);
  }

  // Version 1: in a line of its own, after the line under way:
  // {"v":1,"record":null,"offset":O,"damaged":{...}}. Version 2: in the line of the record that the
  // damage cut short or came after; between records, a line of its own with "record" and
  // "fields" null.
  void Damaged(uint64_t at, uint64_t resumedAt) {
    if constexpr (!kOneShape) {
      DamageLine(at, "\"skipped\":", resumedAt - at);
    } else {
      const DamageMark damage{at, resumedAt - at, this->line_.Open == RecordLine::kRecord, this->walk_.Damage.Why};
      this->CloseLine();  // a record's line is held; any other ends
      if (held_) return EndHeldLine(&damage);
      MarkLine(at, &damage);
    }
  }
  void InDoubt(uint64_t at, uint64_t damagedAt) {
    if constexpr (!kOneShape) {
      DamageLine(at, "\"inDoubt\":true,\"damagedAt\":", damagedAt);
    } else {
      this->CloseLine();  // none is open after a record read to its end, whose line is held
      doubted_ = true;
      doubtedAt_ = damagedAt;
      if (!held_) MarkLine(at, nullptr);  // the record just read is told so in its line's end
    }
  }

  void TakeOver(JsonLinesWriter& ahead) {
    Base::TakeOver(ahead);
    if constexpr (kOneShape) {
      if (ahead.line_.Open == RecordLine::kNone && !ahead.held_) return;
      errors_.swap(ahead.errors_);
      errorFields_.swap(ahead.errorFields_);
      errorsLeftOut_ = ahead.errorsLeftOut_;
      held_ = ahead.held_;
      doubted_ = ahead.doubted_;
      doubtedAt_ = ahead.doubtedAt_;
      ahead.held_ = false;
    }
  }

  [[gnu::noinline]] void OpenLineText(const TItem* record, const TagPath& path, int base, uint64_t offset,
                                      uint32_t number) {
    if constexpr (kOneShape) EndHeldLine(nullptr);  // text outside records follows the record
    TextBuffer& out = Out();
    out.append("{\"v\":");
    out.append(kVersion);
    out.append(",\"record\":");
    if (record != nullptr) {
      AppendDecimal(out, static_cast<uint64_t>(number));
    } else {
      out.append("null");
    }
    if (!fileMember_.empty()) out.append(fileMember_.view());
    if (this->walk_.Settings.RecordKindMembers) AppendRecordKindMember(out, record, path, base);
    out.append(",\"offset\":");
    AppendDecimal(out, offset);
    if (this->walk_.Settings.CdrHeaderMembers) CdrHeaderMembers(out);
    out.append(",\"path\":\"");
    AppendDottedPath(out, path, base);
    out.append("\",\"fields\":{");
  }

  void CloseObject() { Out().push_back('}'); }

  // The objects still open (the fields' object among them), the line's own brace, a line feed.
  // Version 2 writes what follows the fields before the line's brace; a record's line holds it.
  void CloseLineText(int base) {
    if constexpr (!kOneShape) {
      Out().append(static_cast<std::size_t>(this->line_.Innermost - base + 2), '}');
      Out().push_back('\n');
    } else {
      Out().append(static_cast<std::size_t>(this->line_.Innermost - base + 1), '}');
      if (this->line_.Open == RecordLine::kRecord) {
        held_ = true;
        return;
      }
      WriteLineEnd(nullptr);
    }
  }

  // The member's key: the TagName, or the tag path where the element has none of its own (not
  // found, no TagName, or one that a sibling shares); "#N" added for the N-th occurrence.
  [[gnu::always_inline]] void Member(const TLeaf* leaf, const TagPath& path, int depth, uint32_t occurrence, bool constructed,
              uint64_t length) {
    TextBuffer& out = Out();
    const uint32_t parent = RecordLine::Bit(depth - 1);
    if ((this->line_.HasMembers & parent) != 0) out.push_back(',');
    this->line_.HasMembers |= parent;
    keyBegin_ = out.size();
    const PaddedText* key = leaf != nullptr ? keys_[*leaf] : nullptr;
    if (key != nullptr) {
      out.append(*key);
    } else {
      out.push_back('"');
      AppendDottedPath(out, path, depth);
      out.append("\":");
    }
    if (occurrence > 1) {
      out.truncate(out.size() - 2);
      out.push_back('#');
      AppendDecimal(out, static_cast<uint64_t>(occurrence));
      out.append("\":");
    }
    keyEnd_ = out.size() - 1;
    valueDue_ = false;
    if (constructed) {
      out.push_back('{');
    } else if (length == 0) {
      NoOctets(leaf);
    } else {
      valueDue_ = true;
    }
  }

  void ValueText(const TLeaf* leaf, const uint8_t* octets, uint64_t length) {
    TextBuffer& out = Out();
    if (!valueDue_) {
      // A record's own element is primitive: its value is the record's "_value".
      if (this->line_.Open == RecordLine::kNone) return;
      const uint32_t innermost = RecordLine::Bit(this->line_.Innermost);
      if ((this->line_.HasMembers & innermost) != 0) out.push_back(',');
      this->line_.HasMembers |= innermost;
      keyBegin_ = out.size();
      out.append("\"_value\"");
      keyEnd_ = out.size();
      out.push_back(':');
    }
    valueDue_ = false;
    Sink sink{*this, out};
    if (leaf == nullptr) {
      if (length >= kLongValue) return sink.LongVerbatim(octets, length, LongForm::kHex);
      out.push_back('"');
      AppendHex(out, octets, length);
      out.push_back('"');
      return;
    }
    if constexpr (kOneShape) valueLeaf_ = leaf;  // for the name of a value that cannot be decoded
    ValueTypes::Fields(sink, leaf->Item, octets, length);
  }

  void OutsideAnyLine(bool) {}

  // An element of length 0: null, unless its type takes empty values (its value follows).
  [[gnu::noinline, gnu::cold]] void NoOctets(const TLeaf* leaf) {
    if (HasEmptyValue<JsonLinesWriter>(leaf)) {
      valueDue_ = true;
    } else {
      Out().append("null");
    }
  }

 private:
  TextBuffer& Out() { return this->walk_.State.RecordBuffer; }

  // Ends the line under way and writes a null line at `offset` whose "damaged" object holds
  // `members` followed by `number`.
  void DamageLine(uint64_t offset, const char* members, uint64_t number) {
    this->CloseLine();
    TextBuffer& out = Out();
    out.append("{\"v\":");
    out.append(kVersion);
    out.append(",\"record\":null");
    if (!fileMember_.empty()) out.append(fileMember_.view());
    if (this->walk_.Settings.RecordKindMembers) out.append(kNoRecordKind);
    out.append(",\"offset\":");
    AppendDecimal(out, offset);
    out.append(",\"damaged\":{");
    out.append(members);
    AppendDecimal(out, number);
    out.append("}}\n");
  }

  // RecordKindColumn=true: the member of a line of no record.
  static constexpr std::string_view kNoRecordKind = ",\"recordKind\":null";

  // CdrHeaderColumns=true: ,"cdrRelease":R,"cdrVersion":V,"cdrFormat":F,"cdrTsNumber":T of the
  // record's CDR header, null outside a file of CDRs (and in a line of marks alone).
  [[gnu::noinline, gnu::cold]] void CdrHeaderMembers(TextBuffer& out) {
    for (std::size_t part = 0; part < std::size(kCdrHeaderColumns); ++part) {
      out.append(",\"");
      out.append(kCdrHeaderColumns[part]);
      out.append("\":");
      if (this->walk_.InFrame && this->line_.Open != RecordLine::kNone) {
        AppendDecimal(out, static_cast<uint64_t>(CdrHeaderPart(this->walk_.Frame, part)));
      } else {
        out.append("null");
      }
    }
  }

  // ---- Version 2: what follows a line's fields ----

  // The most values that cannot be decoded that a line tells one by one; the others are counted,
  // so that a line's memory stays bounded whatever its record holds (as the CSV's errors cell).
  static constexpr std::size_t kMostErrors = 100;

  // A value that cannot be decoded: its member's name among the errors' names, its reason and its
  // octets, within the input.
  struct LineError {
    std::size_t NameAt;
    std::size_t NameSize;
    std::string_view Reason;
    const uint8_t* Octets;
    uint64_t Count;
  };

  // A line of marks alone, at `offset`, between records: "record", "path" and "fields" null.
  void MarkLine(uint64_t offset, const DamageMark* damage) {
    TextBuffer& out = Out();
    out.append("{\"v\":");
    out.append(kVersion);
    out.append(",\"record\":null");
    out.append(fileMember_.view());
    if (this->walk_.Settings.RecordKindMembers) out.append(kNoRecordKind);
    out.append(",\"offset\":");
    AppendDecimal(out, offset);
    if (this->walk_.Settings.CdrHeaderMembers) CdrHeaderMembers(out);
    out.append(",\"path\":null,\"fields\":null");
    WriteLineEnd(damage);
  }

  // The held record's line ends, with the damage that followed it (or none).
  void EndHeldLine(const DamageMark* damage) {
    if (!held_) return;
    held_ = false;
    WriteLineEnd(damage);
  }

  // After the fields: ,"errors":[...],"damaged":...,"inDoubt":...} and the line feed.
  [[gnu::noinline]] void WriteLineEnd(const DamageMark* damage) {
    TextBuffer& out = Out();
    out.append(",\"errors\":[");
    for (std::size_t i = 0; i < errors_.size(); ++i) {
      const LineError& error = errors_[i];
      if (i > 0) out.push_back(',');
      out.append("{\"field\":\"");
      out.append(errorFields_.view().substr(error.NameAt, error.NameSize));
      out.append("\",\"reason\":");
      AppendJsonString(out, error.Reason);
      out.append(",\"hex\":\"");
      if (error.Count >= kLongValue) {
        RecordChunks chunks{this->walk_};
        PutLongForm(chunks, error.Octets, error.Count, LongForm::kHex);
      } else {
        AppendHex(out, error.Octets, error.Count);
      }
      out.append("\"}");
    }
    if (errorsLeftOut_ != 0) {
      if (!errors_.empty()) out.push_back(',');
      out.append("{\"field\":null,\"reason\":\"");
      AppendDecimal(out, errorsLeftOut_);
      out.append(" more values that cannot be decoded\",\"hex\":null}");
    }
    out.append("],\"damaged\":");
    if (damage == nullptr) {
      out.append("null");
    } else {
      out.append("{\"offset\":");
      AppendDecimal(out, damage->At);
      out.append(",\"skipped\":");
      AppendDecimal(out, damage->Skipped);
      out.append(damage->CutShort ? ",\"cutShort\":true,\"reason\":" : ",\"cutShort\":false,\"reason\":");
      AppendJsonString(out, damage->Why);
      out.push_back('}');
    }
    out.append(",\"inDoubt\":");
    if (doubted_) {
      out.append("{\"damagedAt\":");
      AppendDecimal(out, doubtedAt_);
      out.push_back('}');
    } else {
      out.append("null");
    }
    out.append("}\n");
    errors_.clear();
    errorFields_.clear();
    errorsLeftOut_ = 0;
    doubted_ = false;
  }

  // A value that cannot be decoded, of the member whose key was written last (valueLeaf_ its leaf).
  [[gnu::noinline, gnu::cold]] void NoteError(std::string_view reason, const uint8_t* octets, uint64_t count) {
    if (errors_.size() >= kMostErrors) {
      ++errorsLeftOut_;
      return;
    }
    const std::size_t at = errorFields_.size();
    AppendFieldName(errorFields_);
    errors_.push_back({at, errorFields_.size() - at, reason, octets, count});
  }

  // The value's member by the keys of the members that hold it in the line's fields and its own,
  // joined by full stops (as JSON strings write them, without the quotes): "charging.meterPulses",
  // "supplementaryService#2.serviceCode"; "_value" for a record's own value.
  void AppendFieldName(TextBuffer& name) const {
    const TLeaf* leaf = valueLeaf_;
    if (leaf->Item.OpensRecord) return name.append("_value");
    const int base = this->line_.Open == RecordLine::kRecord ? this->line_.CloseAt + 1 : this->line_.CloseAt;
    const int depth = this->line_.Innermost + 1;  // a value is a member of the innermost open object
    const TLeaf* chain[RecordLine::kLevels];
    int count = 0;
    for (int level = depth; level > base && leaf != nullptr; --level) {
      chain[count++] = leaf;
      leaf = leaf->Owner->Parent;
    }
    const TagPath& path = this->walk_.State.Path;
    for (int i = count - 1; i >= 0; --i) {
      const int level = depth - i;
      if (i != count - 1) name.push_back('.');
      if (const PaddedText* key = keys_[*chain[i]]; key != nullptr) {
        name.append(key->view().substr(1, key->size() - 3));  // "name": without its quotes and colon
      } else {
        AppendDottedPath(name, path, level);
      }
      const uint32_t counted = this->occurrences_.Counted(this->line_, level - 1, *chain[i], path);
      if (counted > 1) {
        name.push_back('#');
        AppendDecimal(name, static_cast<uint64_t>(counted));
      }
    }
  }

  // Writes a decoded value into the record's text.
  struct Sink {
    JsonLinesWriter& Writer;
    TextBuffer& Out;
    const PartNames* Names = nullptr;
    bool Quoted = false;
    bool KeySaved = false;  // the value's key is in savedKey_: the record's text was handed on

    void Error(std::string_view message, const uint8_t* content, uint64_t length) {
      if constexpr (kOneShape) {
        Out.append("null");
        return Writer.NoteError(message, content, length);
      }
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
    [[gnu::always_inline]] char* Begin(PartKind kind, std::size_t room) {
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
    TextBuffer& Scratch() { return Writer.scratch_; }
    void Unicode(const uint8_t* c, uint64_t length, UnicodeForm form) {
      if (length >= kLongValue) return LongUnicode(c, length, form);
      Out.push_back('"');
      AppendJsonUtf8(Out, Utf8Text(Writer.scratch_, form, c, length));
      Out.push_back('"');
    }
    void Text(const PaddedText& text) {
      if (!PlainForJson(text)) return Text(text.view());
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
      const std::size_t keySize = Writer.keyEnd_ - Writer.keyBegin_ - 1;  // the key without its closing quote
      Out.push_back(',');
      const std::size_t keyAt = Out.size();
      Out.extend(keySize);
      std::memcpy(&Out[keyAt], Out.data() + Writer.keyBegin_, keySize);
      Out.append("_hex\":\"");
      AppendHex(Out, content, length);
      Out.push_back('"');
    }
    [[gnu::noinline, gnu::cold]] void LongVerbatim(const uint8_t* octets, uint64_t count, LongForm form) {
      Out.push_back('"');
      RecordChunks chunks{Writer.walk_};
      PutLongForm(chunks, octets, count, form);
      Out.push_back('"');
    }
    [[gnu::noinline, gnu::cold]] void LongText(std::string_view octets) {
      SaveKey();  // for Beside, before the text is handed on
      Out.push_back('"');
      PutLongJsonText(Writer.walk_, octets);
      Out.push_back('"');
    }
    [[gnu::noinline, gnu::cold]] void LongUnicode(const uint8_t* c, uint64_t length, UnicodeForm form) {
      Out.push_back('"');
      PutLongJsonUnicode(Writer.walk_, Writer.scratch_, form, c, length);
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
      Out.append(Writer.savedKey_.view());
      Out.append("_hex\":");
      LongVerbatim(content, length, LongForm::kHex);
    }
    // The value's key without its closing quote, kept apart.
    void SaveKey() {
      if (KeySaved) return;
      Writer.savedKey_.assign(std::string_view(Out.data() + Writer.keyBegin_, Writer.keyEnd_ - Writer.keyBegin_ - 1));
      KeySaved = true;
    }
  };

  const JsonKeys& keys_;
  TextBuffer fileMember_;  // ,"file":"NAME" after "record" (SourceColumn=true); version 2 ,"file":null else
  // Between an element's beginning and its value: the value is still to be written, and where its
  // key stands in the record's text (and, once that text was handed on, the key kept apart).
  bool valueDue_ = false;
  std::size_t keyBegin_ = 0;
  std::size_t keyEnd_ = 0;
  TextBuffer savedKey_;
  TextBuffer scratch_;  // a value's text made apart (the UTF-8 of a BMPString, a bit string's names)
  // Version 2: the line's values that cannot be decoded (their names in errorFields_, JSON
  // escaped), and those beyond kMostErrors counted; a record's line held for its marks, and the
  // doubt told of it; the leaf of the value being decoded.
  std::vector<LineError> errors_;
  TextBuffer errorFields_;
  uint64_t errorsLeftOut_ = 0;
  bool held_ = false;
  bool doubted_ = false;
  uint64_t doubtedAt_ = 0;
  const TLeaf* valueLeaf_ = nullptr;
};

// The lines of the fields outside records alone, as JSON Lines writes them: no line is made of a
// record, nor of damage.
template <int kSchema>
class OutsideFieldsWriter : public JsonLinesWriter<kSchema> {
  using Lines = JsonLinesWriter<kSchema>;

 public:
  using Lines::Lines;

  void RecordStarts(const RecordRead& record) {
    this->CloseLine();
    recordDepth_ = record.Depth;
  }
  void Element(const ElementRead& element) {
    if (recordDepth_ >= 0 && element.Depth <= recordDepth_) recordDepth_ = -1;  // a record without contents
    if (recordDepth_ < 0) Lines::Element(element);
  }
  void Value(const ValueRead& value) {
    if (recordDepth_ < 0) Lines::Value(value);
  }
  void ElementEnds(int holderDepth) {
    if (recordDepth_ < 0) return Lines::ElementEnds(holderDepth);
    if (holderDepth < recordDepth_) recordDepth_ = -1;  // the record's own end
  }
  void Damaged(uint64_t, uint64_t) {
    this->CloseLine();
    recordDepth_ = -1;
  }
  void InDoubt(uint64_t, uint64_t) {}
  void TakeOver(OutsideFieldsWriter& ahead) {
    Lines::TakeOver(ahead);
    recordDepth_ = ahead.recordDepth_;
  }

 private:
  int recordDepth_ = -1;  // the depth of the record being read; -1 outside records
};

}  // namespace

// The walks of schema version 2, made in json_lines_schema2.cpp: the records' lines, and the lines
// of the fields outside records alone (version 1's are made in json_lines_writer.cpp).
std::unique_ptr<FormatWalk> LinesWalkOfSchema2(WalkContext& walk, const TBranch& root);
std::unique_ptr<FormatWalk> OutsideWalkOfSchema2(WalkContext& walk, const TBranch& root);

}  // namespace orvalis::json_lines
