#include "decode/writers/json_lines_writer.h"

#include <charconv>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/text_format.h"
#include "decode/types/value_types.h"
#include "decode/writers/long_values.h"
#include "decode/writers/record_line.h"
#include "decode/writers/record_text.h"

namespace orvalis {
namespace {

constexpr std::string_view kSchemaVersion = "1";

// The path of tag numbers from the top level down to `depth`, joined by full stops ("1.9.0").
void AppendDottedPath(TextBuffer& out, const TagPath& path, int depth) {
  for (int level = 0; level <= depth; ++level) {
    if (level > 0) out.push_back('.');
    AppendDecimal(out, static_cast<int64_t>(path.Ids[level]));
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

class JsonLinesWriter : public RecordLineWriter<JsonLinesWriter> {
 public:
  static constexpr bool kOutsideLines = true;

  JsonLinesWriter(WalkContext& walk, const JsonKeys& keys) : RecordLineWriter(walk), keys_(keys) {
    if (!walk.Settings.SourceName.empty()) {
      fileMember_.append(",\"file\":");
      AppendJsonName(fileMember_, walk.Settings.SourceName);
    }
  }

  // In a line of its own, after the line under way: {"v":1,"record":null,"offset":O,"damaged":{...}}.
  void Damaged(uint64_t at, uint64_t resumedAt) { DamageLine(at, "\"skipped\":", resumedAt - at); }
  void InDoubt(uint64_t at, uint64_t damagedAt) { DamageLine(at, "\"inDoubt\":true,\"damagedAt\":", damagedAt); }

  [[gnu::noinline]] void OpenLineText(RecordLine::Kind kind, const TagPath& path, int base, uint64_t offset, uint32_t number) {
    TextBuffer& out = Out();
    out.append("{\"v\":");
    out.append(kSchemaVersion);
    out.append(",\"record\":");
    if (kind == RecordLine::kRecord) {
      AppendDecimal(out, static_cast<uint64_t>(number));
    } else {
      out.append("null");
    }
    if (!fileMember_.empty()) out.append(fileMember_.view());
    out.append(",\"offset\":");
    AppendDecimal(out, offset);
    out.append(",\"path\":\"");
    AppendDottedPath(out, path, base);
    out.append("\",\"fields\":{");
  }

  void CloseObject() { Out().push_back('}'); }

  // The objects still open (the fields' object among them), the line's own brace, a line feed.
  void CloseLineText(int base) {
    Out().append(static_cast<std::size_t>(line_.Innermost - base + 2), '}');
    Out().push_back('\n');
  }

  // The member's key: the TagName, or the tag path where the element has none of its own (not
  // found, no TagName, or one that a sibling shares); "#N" added for the N-th occurrence.
  [[gnu::always_inline]] void Member(const TLeaf* leaf, const TagPath& path, int depth, uint32_t occurrence, bool constructed,
              uint64_t length) {
    TextBuffer& out = Out();
    const uint32_t parent = RecordLine::Bit(depth - 1);
    if ((line_.HasMembers & parent) != 0) out.push_back(',');
    line_.HasMembers |= parent;
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
      out.append("null");
    } else {
      valueDue_ = true;
    }
  }

  void ValueText(const TLeaf* leaf, const uint8_t* octets, uint64_t length) {
    TextBuffer& out = Out();
    if (!valueDue_) {
      // A record's own element is primitive: its value is the record's "_value".
      if (line_.Open == RecordLine::kNone) return;
      const uint32_t innermost = RecordLine::Bit(line_.Innermost);
      if ((line_.HasMembers & innermost) != 0) out.push_back(',');
      line_.HasMembers |= innermost;
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
    Values::Fields(sink, leaf->Item, octets, length);
  }

  void OutsideAnyLine(bool) {}

 private:
  TextBuffer& Out() { return walk_.State.RecordBuffer; }

  // Ends the line under way and writes a null line at `offset` whose "damaged" object holds
  // `members` followed by `number`.
  void DamageLine(uint64_t offset, const char* members, uint64_t number) {
    CloseLine();
    TextBuffer& out = Out();
    out.append("{\"v\":");
    out.append(kSchemaVersion);
    out.append(",\"record\":null");
    if (!fileMember_.empty()) out.append(fileMember_.view());
    out.append(",\"offset\":");
    AppendDecimal(out, offset);
    out.append(",\"damaged\":{");
    out.append(members);
    AppendDecimal(out, number);
    out.append("}}\n");
  }

  // Writes a decoded value into the record's text.
  struct Sink {
    JsonLinesWriter& Writer;
    TextBuffer& Out;
    const PartNames* Names = nullptr;
    bool Quoted = false;
    bool KeySaved = false;  // the value's key is in savedKey_: the record's text was handed on

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
  TextBuffer fileMember_;  // ,"file":"NAME" after "record" (SourceColumn=true), else empty
  // Between an element's beginning and its value: the value is still to be written, and where its
  // key stands in the record's text (and, once that text was handed on, the key kept apart).
  bool valueDue_ = false;
  std::size_t keyBegin_ = 0;
  std::size_t keyEnd_ = 0;
  TextBuffer savedKey_;
};

// The lines of the fields outside records alone, as JSON Lines writes them: no line is made of a
// record, nor of damage.
class OutsideFieldsWriter : public JsonLinesWriter {
 public:
  using JsonLinesWriter::JsonLinesWriter;

  void RecordStarts(const RecordRead& record) {
    CloseLine();
    recordDepth_ = record.Depth;
  }
  void Element(const ElementRead& element) {
    if (recordDepth_ >= 0 && element.Depth <= recordDepth_) recordDepth_ = -1;  // a record without contents
    if (recordDepth_ < 0) JsonLinesWriter::Element(element);
  }
  void Value(const ValueRead& value) {
    if (recordDepth_ < 0) JsonLinesWriter::Value(value);
  }
  void ElementEnds(int holderDepth) {
    if (recordDepth_ < 0) return JsonLinesWriter::ElementEnds(holderDepth);
    if (holderDepth < recordDepth_) recordDepth_ = -1;  // the record's own end
  }
  void Damaged(uint64_t, uint64_t) {
    CloseLine();
    recordDepth_ = -1;
  }
  void InDoubt(uint64_t, uint64_t) {}
  void TakeOver(OutsideFieldsWriter& ahead) {
    JsonLinesWriter::TakeOver(ahead);
    recordDepth_ = ahead.recordDepth_;
  }

 private:
  int recordDepth_ = -1;  // the depth of the record being read; -1 outside records
};

}  // namespace

std::unique_ptr<FormatWalk> JsonLinesWalk(WalkContext& walk, const TBranch& root) {
  return std::make_unique<WalkOf<JsonLinesWriter, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

std::unique_ptr<FormatWalk> OutsideFieldsWalk(WalkContext& walk, const TBranch& root) {
  return std::make_unique<WalkOf<OutsideFieldsWriter, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

namespace {

std::string PathText(const TLeaf& leaf) {
  std::string path = std::to_string(leaf.Item.TagId);
  for (const TLeaf* up = leaf.Owner->Parent; up != nullptr; up = up->Owner->Parent) {
    path = std::to_string(up->Item.TagId) + "." + path;
  }
  return path;
}

// The name that `key` would repeat as a later occurrence of it ("X" of "X#2"), or empty.
std::string_view RepeatedName(std::string_view key) {
  const std::size_t hash = key.rfind('#');
  if (hash == std::string_view::npos || hash == 0 || hash + 1 == key.size() || key[hash + 1] == '0') return {};
  uint64_t number = 0;
  for (std::size_t at = hash + 1; at < key.size(); ++at) {
    if (key[at] < '0' || key[at] > '9' || number > 1000000) return {};
    number = number * 10 + static_cast<uint64_t>(key[at] - '0');
  }
  return number >= 2 ? key.substr(0, hash) : std::string_view();
}

bool BranchKeysAreSound(const TBranch& branch, const std::vector<bool>& shared, const ValueTypeCatalog& types,
                        std::string& problem) {
  std::unordered_map<std::string_view, const TLeaf*> named;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Item.TagName && !shared[leaf->Serial]) named.emplace(*leaf->Item.TagName, leaf);
  }
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (!leaf->Item.TagName || shared[leaf->Serial]) continue;
    const std::string_view key = *leaf->Item.TagName;
    const TLeaf* other = nullptr;
    constexpr std::string_view kHex = "_hex";
    if (key.size() > kHex.size() && key.substr(key.size() - kHex.size()) == kHex) {
      const auto found = named.find(key.substr(0, key.size() - kHex.size()));
      if (found != named.end() && types.Info(found->second->Item.Type).OctetsBeside) other = found->second;
    }
    if (const std::string_view repeated = RepeatedName(key); other == nullptr && !repeated.empty()) {
      const auto found = named.find(repeated);
      if (found != named.end()) other = found->second;
    }
    if (other != nullptr) {
      problem = "the fields at " + PathText(*other) + " and " + PathText(*leaf) +
                " would both have the JSON key \"" + std::string(key) + "\": give one of them another TagName";
      return false;
    }
  }
  for (const TLeaf* leaf = branch.First; leaf != nullptr; leaf = leaf->Next) {
    if (leaf->Child && !BranchKeysAreSound(*leaf->Child, shared, types, problem)) return false;
  }
  return true;
}

}  // namespace

bool JsonKeysAreSound(const TBranch& root, std::string& problem, const ValueTypeCatalog& types) {
  return BranchKeysAreSound(root, SharedTagNames(root), types, problem);
}

}  // namespace orvalis
