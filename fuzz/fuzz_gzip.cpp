// libFuzzer target: gzip inputs. The bytes are a compressed file, inflated as the program inflates
// a file (its trailer's claim for the first image, GzipMaxRatio held against the file's size) and
// as a stream (read after its head, the ratio held against what was read), under bounds set low so
// that a bomb takes little memory and time; contents of up to 64 KiB are then walked as the program
// walks them.
//   - A file and a stream without a ratio give the same contents and the same report, and so does
//     a file that zlib inflates alone where igzip would read its members.
//   - The contents never pass the bounds; a ratio leaves the contents it allows as they were.
//   - Every fault has its message; the walk of the contents reads nothing outside them, and its
//     JSON Lines and CSV are well formed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "driver/compressed_input.h"
#include "walk_targets.h"

namespace {

using orvalis::ContentsBound;
using orvalis::InflateFault;
using orvalis::InflateReport;

// GzipMaxContents of the target: a bomb stops here, after the image grew from its first 64 KiB.
constexpr uint64_t kMaxContents = 256 * 1024;
// Contents up to the first size are walked in every format, up to the second into the readable
// text; larger ones (bombs, mostly) are not walked, which keeps the target fast.
constexpr std::size_t kWalkedInEveryFormat = 16 * 1024;
constexpr std::size_t kWalked = 64 * 1024;

struct Inflated {
  InflateReport Report;
  std::string Contents;
};

// Inflates the bytes as a file of their size, or as a stream whose first octets were read to tell
// its compression.
Inflated Inflate(const uint8_t* data, std::size_t size, bool stream, uint32_t ratio, bool zlibOnly = false) {
  std::FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input == nullptr) std::abort();
  uint8_t head[orvalis::kMagicSize];
  std::size_t headSize = 0;
  uint64_t sizeHint = 0;
  if (stream) {
    headSize = std::fread(head, 1, sizeof head, input);
  } else {
    sizeHint = orvalis::GzipSizeHint(input, size);
  }
  Inflated result;
  orvalis::InputImage image;
  const orvalis::CompressedSide side{stream ? 0 : size, ratio, zlibOnly};
  if (!orvalis::InflateInput(input, head, headSize, sizeHint, kMaxContents, image, result.Report, side)) {
    std::abort();  // memory is never short under these bounds, and memory cannot fail to be read
  }
  std::fclose(input);
  if (image.Size > kMaxContents || image.Bytes()[image.Size] != 0) std::abort();
  result.Contents.assign(reinterpret_cast<const char*>(image.Bytes()), image.Size);
  return result;
}

bool SameReport(const InflateReport& a, const InflateReport& b) {
  return a.Fault == b.Fault && a.At == b.At && a.Members == b.Members && a.Consumed == b.Consumed &&
         a.Detail == b.Detail && a.Bound == b.Bound && a.BoundValue == b.BoundValue &&
         a.BoundCompressed == b.BoundCompressed;
}

void CheckMessage(const Inflated& inflated) {
  const std::string message =
      orvalis::InflateFaultMessage("in.gz", inflated.Report, inflated.Contents.size(),
                                   {"GzipMaxContents in Orvalis.cfg", "GzipMaxRatio in Orvalis.cfg"});
  if ((inflated.Report.Fault == InflateFault::kNone) != message.empty()) std::abort();
  if (!message.empty() && (message.compare(0, 13, "Error: in.gz:") != 0 || message.back() != '\n')) std::abort();
}

// The walk of the contents, in an exactly sized copy, as the driver walks them.
void WalkContents(const Inflated& inflated, uint8_t settingsByte) {
  const std::size_t size = inflated.Contents.size();
  if (size > kWalked) return;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size + 1]);
  std::memcpy(copy.get(), inflated.Contents.data(), size);
  orvalis_fuzz::ChosenSettings chosen = orvalis_fuzz::SettingsFromByte(settingsByte, false);
  const InflateFault fault = inflated.Report.Fault;
  chosen.Walk.InputEndsEarly = fault != InflateFault::kNone && fault != InflateFault::kTrailing;
  chosen.Walk.FilterCount = orvalis_fuzz::Dictionaries().FilterCount(chosen.Filter);
  orvalis::TBranch& root = orvalis_fuzz::Dictionaries().Tree(chosen.Filter);
  orvalis_fuzz::RunWalk(chosen.Walk, copy.get(), size, root);
  if (size <= kWalkedInEveryFormat) orvalis_fuzz::CheckRecordFormats(chosen.Walk, copy.get(), size, root);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  orvalis_fuzz::Dictionaries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Only what the program takes for gzip is inflated; the rest is walked as it is, elsewhere.
  if (orvalis::CompressionOf(data, size) != orvalis::Compression::kGzip) return 0;

  const Inflated file = Inflate(data, size, false, 0);
  const Inflated stream = Inflate(data, size, true, 0);
  if (file.Contents != stream.Contents || !SameReport(file.Report, stream.Report)) std::abort();
  const Inflated zlibFile = Inflate(data, size, false, 0, true);
  if (file.Contents != zlibFile.Contents || !SameReport(file.Report, zlibFile.Report)) std::abort();
  const InflateReport& report = file.Report;
  if (report.Consumed > size || report.At > size) std::abort();
  if (report.Fault == InflateFault::kNone && (report.Consumed != size || report.Members == 0)) std::abort();
  if (report.Fault == InflateFault::kTooLarge &&
      (file.Contents.size() != kMaxContents || report.Bound != ContentsBound::kMaxContents)) {
    std::abort();
  }
  CheckMessage(file);

  // The ratio comes from the first octet of the member's time stamp, which changes nothing else.
  const uint32_t ratio = size > 4 ? 1 + data[4] % 32 : 1;
  const uint64_t allowed = std::min<uint64_t>(kMaxContents, uint64_t{size} * ratio);
  const Inflated ratioed = Inflate(data, size, false, ratio);
  CheckMessage(ratioed);
  if (ratioed.Contents.size() > allowed) std::abort();
  if (report.Fault != InflateFault::kCorrupt) {
    // What the ratio allows of the contents stays; more is cut at the bound, with the ratio's fault.
    if (allowed < file.Contents.size()) {
      const InflateReport& cut = ratioed.Report;
      if (cut.Fault != InflateFault::kTooLarge || cut.Bound != ContentsBound::kMaxRatio || cut.BoundValue != ratio ||
          cut.BoundCompressed != size || ratioed.Contents != file.Contents.substr(0, allowed)) {
        std::abort();
      }
    } else if (ratioed.Contents != file.Contents || !SameReport(ratioed.Report, report)) {
      std::abort();
    }
  }
  // A stream read in one block holds its ratio against the whole of it, as a file does.
  if (size < (1 << 20)) {
    const Inflated streamRatioed = Inflate(data, size, true, ratio);
    if (streamRatioed.Contents != ratioed.Contents || streamRatioed.Report.Fault != ratioed.Report.Fault) std::abort();
    if (streamRatioed.Report.Fault == InflateFault::kTooLarge &&
        ratioed.Report.Bound == ContentsBound::kMaxRatio &&
        (streamRatioed.Report.Bound != ContentsBound::kMaxRatioRead || streamRatioed.Report.BoundCompressed != size)) {
      std::abort();
    }
  }

  // The settings of the walk from the time stamp's second octet.
  WalkContents(file, size > 5 ? data[5] : 0);
  return 0;
}
