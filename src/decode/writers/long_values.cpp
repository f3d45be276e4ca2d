#include "decode/writers/long_values.h"

#include <cstring>

#include "decode/writers/record_text.h"

namespace orvalis {

void ChunkedSearch::Feed(std::string_view chunk) {
  if (found_) return;
  const std::size_t keep = wanted_.size() - 1;
  if (!tail_.empty()) {
    // A match that begins in the text fed before and ends in this chunk.
    const std::string joint = tail_ + std::string(chunk.substr(0, keep));
    if (joint.find(wanted_) != std::string::npos) {
      found_ = true;
      return;
    }
  }
  if (chunk.find(wanted_) != std::string_view::npos) {
    found_ = true;
    return;
  }
  if (chunk.size() >= keep) {
    tail_.assign(chunk.substr(chunk.size() - keep));
  } else {
    tail_.append(chunk);
    if (tail_.size() > keep) tail_.erase(0, tail_.size() - keep);
  }
}

namespace {

// The chunks of a long value's readable text: appended to the record's text, or, when the text is
// not kept (a refused piece, a value only sought by the filter), made in ValueText one at a time.
// The item's filter value is sought across them.
class TextChunks {
 public:
  TextChunks(WalkContext& walk, const TItem& item, bool appended)
      : walk_(walk), item_(item), appended_(appended),
        search_(item.FilterValue ? std::string_view(*item.FilterValue) : std::string_view()) {}

  char* Room(std::size_t n) {
    TextBuffer& to = Target();
    if (!appended_) to.clear();
    begin_ = to.size();
    return to.extend(n);
  }
  void Done(const char* end) {
    TextBuffer& to = Target();
    to.truncate(static_cast<std::size_t>(end - to.data()));
    if (item_.FilterValue) search_.Feed(to.view().substr(begin_));
    if (appended_) KeepHeldTextBounded(walk_);  // a stretch walked ahead stops at its next element
  }
  void Put(std::string_view text) {
    char* at = Room(text.size());
    std::memcpy(at, text.data(), text.size());
    Done(at + text.size());
  }
  // The filter step, as ApplyFilter takes it on a value's text.
  void ApplyFilter() {
    if (!item_.FilterValue) return;
    WalkState& state = walk_.State;
    if (!search_.Found()) state.RecordPasses = false;
    ++state.FilteredTagsSeen;
  }

 private:
  TextBuffer& Target() { return appended_ ? walk_.State.RecordBuffer : walk_.ValueText; }

  WalkContext& walk_;
  const TItem& item_;
  bool appended_;
  ChunkedSearch search_;
  std::size_t begin_ = 0;
};

// A line too long for a piece: said refused; its text is made only for the filter to seek in.
template <typename MakeLine>
void RefuseLongLine(WalkContext& walk, const TItem& item, MakeLine&& makeLine) {
  RefusePiece(walk);
  if (!item.FilterValue) return;
  TextChunks seek(walk, item, false);
  makeLine(seek);
  seek.Put("\n");
  seek.ApplyFilter();
}

}  // namespace

void RefuseLongDigitLine(WalkContext& walk, const TItem& item, const AddressValue& address) {
  const LongForm form = address.Odd ? LongForm::kOddDigits : LongForm::kDigits;
  RefuseLongLine(walk, item,
                 [&](TextChunks& out) { PutLongForm(out, address.Digits, address.DigitOctets, form); });
}

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

int DecodeLongValue(WalkContext& walk, const TItem& item, uint64_t length, bool appended) {
  const uint8_t* c = walk.Input.Here();
  switch (item.Type) {
    case TagType::HexNumber: {  // never refused, however long
      TextChunks out(walk, item, appended);
      PutLongForm(out, c, length, LongForm::kHex);
      out.Put("\n");
      out.ApplyFilter();
      return 0;
    }
    case TagType::String: {
      const uint64_t end = ReadString(c, length).Text.size();
      if (end + 1 <= kMaxPieceLength) break;  // a short text before a NUL
      RefuseLongLine(walk, item, [&](TextChunks& out) {
        for (uint64_t done = 0; done < end; done += kLongValueChunk) {
          const uint64_t n = end - done < kLongValueChunk ? end - done : kLongValueChunk;
          out.Put(std::string_view(reinterpret_cast<const char*>(c + done), static_cast<std::size_t>(n)));
        }
      });
      return 0;
    }
    case TagType::LineCode:
      RefuseLongLine(walk, item, [&](TextChunks& out) { PutLongForm(out, c, length, LongForm::kLineCode); });
      return 0;
    case TagType::Number: {
      const AddressValue address = ReadNumber(c, length);
      AppendNumberHead(walk, address);
      RefuseLongDigitLine(walk, item, address);
      return 0;
    }
    case TagType::ReceivedDigits: {
      const AddressValue address = ReadReceivedDigits(c, length);
      AppendReceivedDigitsHead(walk, address);
      RefuseLongDigitLine(walk, item, address);
      return 0;
    }
    default:  // a text of a few characters, whatever the length
      break;
  }
  FormatValue(walk, item, length);
  if (item.FilterValue) ApplyFilter(walk, item);
  return 0;
}

}  // namespace orvalis
