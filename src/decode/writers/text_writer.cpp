#include "decode/writers/text_writer.h"

#include <charconv>

#include "common/text_format.h"

namespace orvalis {

void EndLineOfRecord(WalkContext& walk) {
  const TextBuffer& text = walk.State.RecordBuffer;
  if (text.size() > 0 && text.back() != '\n') AppendToRecord(walk, "\n");
}

void AppendDamageMarker(WalkContext& walk, uint64_t at, uint64_t resumedAt) {
  EndLineOfRecord(walk);
  TextBuffer& text = walk.ValueText;
  text.assign("*** input damaged at offset ");
  AppendDecimal(text, at);
  text.append(", ");
  AppendDecimal(text, resumedAt - at);
  text.append(" octets skipped, going on at offset ");
  AppendDecimal(text, resumedAt);
  text.push_back('\n');
  AppendToRecord(walk, text);
}

void AppendInDoubtMarker(WalkContext& walk, uint64_t damagedAt) {
  EndLineOfRecord(walk);
  TextBuffer& text = walk.ValueText;
  text.assign("*** ");
  text.append(kInDoubtBefore);
  AppendDecimal(text, damagedAt);
  text.append(kInDoubtAfter);
  text.push_back('\n');
  AppendToRecord(walk, text);
}

void AppendTagNotFoundLine(WalkContext& walk, const TagPath& path) {
  TextBuffer& text = walk.ValueText;
  text.assign("Tag ");
  AppendTagPathText(text, path);
  text.append(" not found, please, add it to Tags.cfg or report about this error to ");
  text.append(kContactAddress);
  text.push_back('\n');
  AppendToRecord(walk, text);
}

void AppendRecordLine(WalkContext& walk, const TItem& item, uint32_t number) {
  constexpr std::string_view kNoName = "(null)";
  const std::size_t nameSize = item.LongTagName ? item.LongTagName->size() : kNoName.size();
  char* out = BeginPiece(walk, nameSize + 12 + PaddedText::kPadding);
  out = item.LongTagName ? PutText(out, *item.LongTagName) : PutText(out, kNoName);
  *out++ = ' ';
  out = std::to_chars(out, out + 10, number).ptr;
  *out++ = '\n';
  EndPiece(walk, out);
}

void WriteSourceLine(WalkContext& walk) {
  if (walk.Input.Position() != 0 || walk.Settings.SourceName.empty()) return;
  walk.Output.WriteText("File: ");
  walk.Output.WriteText(walk.Settings.SourceName);
  walk.Output.WriteText("\n");
}

std::unique_ptr<FormatWalk> TextWalk(WalkContext& walk) {
  WriteSourceLine(walk);
  static const auto setup = std::make_shared<const NoSetup>();
  return std::make_unique<WalkOf<TextWriter, NoSetup>>(walk, setup);
}

}  // namespace orvalis
