#include "driver/compressed_input.h"

#include <zlib.h>

#if ORVALIS_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <memory>

#include "common/console.h"
#include "common/text_file.h"

namespace orvalis {
namespace {

constexpr uint8_t kGzipMagic[] = {0x1F, 0x8B, 0x08};
constexpr uint8_t kMemberMagic[] = {0x1F, 0x8B};  // what begins a further member (zcat asks no more)
constexpr uint8_t kZstdMagic[] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr uint8_t kXzMagic[] = {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00};

// The compressed octets are read in blocks of this size.
constexpr std::size_t kReadBlock = 1 << 20;
// zlib counts its room in 32 bits: the image is handed to it in parts of at most this size.
constexpr uint64_t kLargestPart = uint64_t{1} << 30;
// The image's first size: what the trailer claims, read before the octets it describes, is taken
// at its word up to 8 times the file's size (deflate seldom makes more of a billing file), or up
// to 64 MiB for a stream; past that the image grows as the contents come. Room taken but not
// written costs no memory, and an image made at its full size is never moved. Where so much room
// cannot be had at once, the image starts at 64 MiB.
constexpr uint64_t kUsualRatio = 8;
constexpr uint64_t kModestImage = uint64_t{64} << 20;
constexpr uint64_t kSmallestImage = uint64_t{1} << 16;

template <std::size_t N>
bool Begins(const uint8_t* head, std::size_t size, const uint8_t (&magic)[N]) {
  return size >= N && std::memcmp(head, magic, N) == 0;
}

void SayNoMemory() {
  errno = ENOMEM;
  PrintErrorForm("Error: memory allocation fault");
}

// The compressed input, read block by block after its head; knows how many octets it has handed
// over, so that a fault can say where it lies.
class CompressedOctets {
 public:
  CompressedOctets(std::FILE* input, z_stream& z) : input_(input), z_(z) {}

  bool Allocate() {
    block_ = NewOctetBlock(kReadBlock);
    return block_ != nullptr;
  }
  // Gives zlib the head, then the input's next block once it has used the last; keeps at least
  // `keep` octets before it (moved to the block's start) for a look at them. False when the
  // input cannot be read.
  bool Refill(std::size_t keep = 0) {
    if (ended_ || z_.avail_in > keep) return true;
    if (z_.avail_in > 0) std::memmove(block_.get(), z_.next_in, z_.avail_in);
    const std::size_t got = std::fread(block_.get() + z_.avail_in, 1, kReadBlock - z_.avail_in, input_);
    if (got < kReadBlock - z_.avail_in) {
      if (std::ferror(input_)) return false;
      ended_ = true;
    }
    fed_ += got;
    z_.next_in = block_.get();
    z_.avail_in += static_cast<uInt>(got);
    return true;
  }
  void FeedHead(const uint8_t* head, std::size_t size) {
    z_.next_in = const_cast<Bytef*>(head);
    z_.avail_in = static_cast<uInt>(size);
    fed_ = size;
  }
  // Reads on from `position` of the input (a file, read from its start), as if nothing after it
  // had been read. False when the file cannot be positioned there.
  bool ReadFrom(uint64_t position) {
    if (position > static_cast<uint64_t>(LONG_MAX) || std::fseek(input_, static_cast<long>(position), SEEK_SET) != 0) {
      return false;
    }
    std::clearerr(input_);
    fed_ = position;
    ended_ = false;
    z_.next_in = block_.get();
    z_.avail_in = 0;
    return true;
  }
  bool Ended() const { return ended_ && z_.avail_in == 0; }
  // Where the next octet zlib would take lies in the input.
  uint64_t Position() const { return fed_ - z_.avail_in; }
  // The octets read so far, the head's too.
  uint64_t Read() const { return fed_; }

 private:
  std::FILE* input_;
  z_stream& z_;
  OctetBlock block_;
  uint64_t fed_ = 0;
  bool ended_ = false;
};

// The image's first size for the trailer's claim and the file's size (0: a stream).
uint64_t FirstImageSize(uint64_t sizeHint, uint64_t fileSize) {
  const uint64_t most = fileSize != 0 ? fileSize * kUsualRatio : kModestImage;
  const uint64_t size = sizeHint < most ? sizeHint : most;
  return size < kSmallestImage ? kSmallestImage : size;
}

// The most contents that the compressed octets allow, and the bound that sets it.
class ContentsLimit {
 public:
  ContentsLimit(uint64_t maxSize, const CompressedSide& side) : maxSize_(maxSize), side_(side) {}
  // The bound once `read` compressed octets have been read.
  uint64_t Bound(uint64_t read) const {
    const uint64_t ratioed = RatioBound(read);
    return ratioed < maxSize_ ? ratioed : maxSize_;
  }
  // The bound at its largest: a file's, or for a stream the largest contents.
  uint64_t Largest() const { return side_.FileSize != 0 ? Bound(0) : maxSize_; }
  // Notes in the report the bound that the contents ran past.
  void Tell(uint64_t read, InflateReport& report) const {
    if (RatioBound(read) < maxSize_) {
      report.Bound = side_.FileSize != 0 ? ContentsBound::kMaxRatio : ContentsBound::kMaxRatioRead;
      report.BoundValue = side_.MaxRatio;
      report.BoundCompressed = Compressed(read);
    } else {
      report.Bound = ContentsBound::kMaxContents;
      report.BoundValue = maxSize_;
    }
  }

 private:
  // A stream's ratio is held against what has been read of it.
  uint64_t Compressed(uint64_t read) const { return side_.FileSize != 0 ? side_.FileSize : read; }
  uint64_t RatioBound(uint64_t read) const {
    return side_.MaxRatio == 0 ? UINT64_MAX : Compressed(read) * side_.MaxRatio;
  }

  uint64_t maxSize_;
  CompressedSide side_;
};

// The image being inflated into: grows by half again (taken with realloc, which moves large
// blocks by remapping their pages rather than copying them), or to the size the trailer claims
// when that is nearer, up to the contents' bound and one octet more (which tells contents past it).
class GrowingImage {
 public:
  GrowingImage(uint64_t firstSize, uint64_t sizeHint, uint64_t bound) : sizeHint_(sizeHint), bound_(bound) {
    capacity_ = firstSize < bound + 1 ? firstSize : bound + 1;
    data_ = NewOctetBlock(capacity_ + 1);
    if (!data_ && capacity_ > kModestImage) {
      capacity_ = kModestImage;
      data_ = NewOctetBlock(capacity_ + 1);
    }
  }
  bool Allocated() const { return data_ != nullptr; }
  // Hands zlib the room left within `bound` octets and one more, making more when none is left.
  // False when the contents are past the bound (*full) or memory cannot be had.
  bool GiveRoom(z_stream& z, uint64_t bound, bool& full) {
    bound_ = bound;
    full = Past(bound);
    if (full) return false;
    if (size_ == capacity_) {
      uint64_t grown = capacity_ + capacity_ / 2;
      if (sizeHint_ > capacity_ && sizeHint_ < grown) grown = sizeHint_;
      if (grown > bound + 1) grown = bound + 1;
      void* larger = grown + 1 < SIZE_MAX ? std::realloc(data_.get(), static_cast<std::size_t>(grown + 1)) : nullptr;
      if (larger == nullptr) return false;
      // The room added is left to small pages: moved and grown under large ones, an image of
      // many members took some MiB more at its peak, for no gain in time.
      (void)data_.release();
      data_.reset(static_cast<uint8_t*>(larger));
      capacity_ = grown;
    }
    uint64_t room = capacity_ - size_;
    if (room > bound + 1 - size_) room = bound + 1 - size_;
    z.next_out = data_.get() + size_;
    z.avail_out = static_cast<uInt>(room < kLargestPart ? room : kLargestPart);
    return true;
  }
  // Counts what zlib wrote into the room it was given.
  void Took(const z_stream& z) { size_ = static_cast<uint64_t>(z.next_out - data_.get()); }
  uint64_t Size() const { return size_; }
  bool Past(uint64_t bound) const { return size_ > bound; }
  // Drops the contents from `size` on.
  void Cut(uint64_t size) { size_ = size; }
  // Puts the contents, at most the last bound's octets, into the image.
  void MoveInto(InputImage& image) {
    if (size_ > bound_) size_ = bound_;
    data_[size_] = 0;
    image.Data = std::move(data_);
    image.Size = size_;
  }

 private:
  uint64_t sizeHint_;
  uint64_t bound_;
  uint64_t capacity_ = 0;
  uint64_t size_ = 0;
  OctetBlock data_;
};

// Ends zlib's state with its owner.
struct InflateState {
  z_stream Z{};
  bool Started = false;
  ~InflateState() {
    if (Started) inflateEnd(&Z);
  }
};

// After a member's end: another member follows, the input ends, or octets follow that begin no
// member. False, with the fault, for the last.
bool NextMember(CompressedOctets& octets, z_stream& z, InflateReport& report) {
  if (octets.Ended()) return true;
  if (!Begins(z.next_in, z.avail_in, kMemberMagic)) {
    report.Fault = InflateFault::kTrailing;
    report.At = octets.Position();
    return false;
  }
  inflateReset(&z);
  return true;
}

// How a reading of members ended: at the input's end or a fault that zlib would find there too
// (the report says which), at a member that zlib is to read from its start, or at a failure
// (memory, reading) whose message was given.
enum class MembersEnd : uint8_t { kEnded, kZlibFrom, kFailed };

// After a member's end: the member is counted, and the input's end, the next member or octets
// that begin none are found. kZlibFrom when a member follows.
MembersEnd AfterMember(CompressedOctets& octets, z_stream& z, GrowingImage& out, InflateReport& report,
                       uint64_t& checked) {
  ++report.Members;
  checked = out.Size();
  if (!octets.Refill(sizeof kMemberMagic - 1)) {
    PrintErrorForm("Error: can not read input file");
    return MembersEnd::kFailed;
  }
  if (octets.Ended() || !NextMember(octets, z, report)) return MembersEnd::kEnded;
  return MembersEnd::kZlibFrom;
}

#if ORVALIS_ISAL

// igzip's state (some 40 KiB), taken once per input.
struct IgzipState {
  inflate_state S;
};

// Refills the compressed octets and gives the image room for more contents, up to the bound that
// `bound()` gives once they are refilled. False when either cannot be done: a read fault or memory
// running out is told and sets `failed`; an image at its bound is not (zlib then reads the member
// again, and its bound check tells it).
template <typename Bound>
bool ReadyForMore(CompressedOctets& octets, z_stream& z, GrowingImage& out, const Bound& bound, bool& failed) {
  if (!octets.Refill()) {
    PrintErrorForm("Error: can not read input file");
    failed = true;
    return false;
  }
  bool full = false;
  if (!out.GiveRoom(z, bound(), full)) {
    if (!full) {
      SayNoMemory();
      failed = true;
    }
    return false;
  }
  return true;
}

// Reads the member's header with zlib, up to the first octet of its deflate data. False when zlib
// does not get there (a fault in the header, or the input ends): zlib then reads the member again.
bool ReadMemberHeader(CompressedOctets& octets, z_stream& z, GrowingImage& out, uint64_t bound, bool& failed) {
  for (;;) {
    if (!ReadyForMore(octets, z, out, [bound] { return bound; }, failed)) return false;
    const int result = inflate(&z, Z_BLOCK);  // stops right after the header, before any block
    out.Took(z);
    if (result != Z_OK && result != Z_BUF_ERROR) return false;
    if ((z.data_type & 128) != 0) return true;  // at the first block, no octet of it read
    if (z.avail_in == 0 && octets.Ended()) return false;
  }
}

// Inflates the deflate data and the trailer of the member whose header zlib has read, with igzip.
// False when it is not read whole within the bound (then zlib reads the member again).
bool InflateMemberBody(CompressedOctets& octets, z_stream& z, inflate_state& igzip, GrowingImage& out,
                       const ContentsLimit& limit, bool& failed) {
  isal_inflate_reset(&igzip);
  igzip.crc_flag = ISAL_GZIP_NO_HDR_VER;  // raw deflate, then the gzip trailer checked
  for (;;) {
    if (!ReadyForMore(octets, z, out, [&] { return limit.Bound(octets.Read()); }, failed)) return false;
    igzip.next_in = z.next_in;
    igzip.avail_in = z.avail_in;
    igzip.next_out = z.next_out;
    igzip.avail_out = z.avail_out;
    const int result = isal_inflate(&igzip);
    z.next_in = igzip.next_in;
    z.avail_in = igzip.avail_in;
    z.next_out = igzip.next_out;
    z.avail_out = igzip.avail_out;
    out.Took(z);
    if (result != ISAL_DECOMP_OK) return false;
    if (igzip.block_state == ISAL_BLOCK_FINISH) return !out.Past(limit.Bound(octets.Read()));
    if (z.avail_in == 0 && z.avail_out != 0 && octets.Ended()) return false;  // cut short
  }
}

// Reads members with igzip's help from the start of one (`memberStart`), while each is read
// whole; stops at the input's end, at octets after a member that begin none, or at the start of a
// member that igzip did not read whole, which zlib is to read again (kZlibFrom, memberStart).
MembersEnd InflateMembersWithIgzip(CompressedOctets& octets, z_stream& z, GrowingImage& out, const ContentsLimit& limit,
                                   InflateReport& report, uint64_t& checked, uint64_t& memberStart) {
  auto igzip = std::make_unique<IgzipState>();
  for (;;) {
    memberStart = octets.Position();
    bool failed = false;
    if (!ReadMemberHeader(octets, z, out, limit.Bound(octets.Read()), failed) ||
        !InflateMemberBody(octets, z, igzip->S, out, limit, failed)) {
      return failed ? MembersEnd::kFailed : MembersEnd::kZlibFrom;
    }
    const MembersEnd end = AfterMember(octets, z, out, report, checked);
    if (end != MembersEnd::kZlibFrom) return end;
  }
}

#endif

// True when igzip may read the input's members: a build with it, an input that can be read again
// from a member's start (a file, read from its start: its head, if any, is its first octets), and
// bounds that do not hang on how the octets were read (a stream's ratio does).
bool IgzipMayRead(std::FILE* input, std::size_t headSize, const CompressedSide& side) {
  if (!InflatesWithIgzip() || side.ZlibOnly || (side.FileSize == 0 && side.MaxRatio != 0)) return false;
  const long position = std::ftell(input);
  return position >= 0 && static_cast<uint64_t>(position) == headSize;
}

}  // namespace

bool InflatesWithIgzip() {
#if ORVALIS_ISAL
  return true;
#else
  return false;
#endif
}

Compression CompressionOf(const uint8_t* head, std::size_t size) {
  if (Begins(head, size, kGzipMagic)) return Compression::kGzip;
  if (Begins(head, size, kZstdMagic)) return Compression::kZstd;
  if (Begins(head, size, kXzMagic)) return Compression::kXz;
  return Compression::kNone;
}

const char* CompressionName(Compression compression) {
  switch (compression) {
    case Compression::kGzip: return "gzip";
    case Compression::kZstd: return "zstd";
    case Compression::kXz: return "xz";
    case Compression::kNone: break;
  }
  return "none";
}

bool InflateInput(std::FILE* input, const uint8_t* head, std::size_t headSize, uint64_t sizeHint,
                  uint64_t maxSize, InputImage& image, InflateReport& report, const CompressedSide& side) {
  report = InflateReport{};
  InflateState state;
  z_stream& z = state.Z;
  CompressedOctets octets(input, z);
  const ContentsLimit limit(maxSize, side);
  GrowingImage out(FirstImageSize(sizeHint, side.FileSize), sizeHint, limit.Largest());
  state.Started = inflateInit2(&z, 16 + MAX_WBITS) == Z_OK;  // a gzip wrapper, and only that
  if (!state.Started || !octets.Allocate() || !out.Allocated()) {
    SayNoMemory();
    return false;
  }
  const bool igzipMayRead = IgzipMayRead(input, headSize, side);
  octets.FeedHead(head, headSize);
  uint64_t checked = 0;  // the contents of the members whose check sum and length held
#if ORVALIS_ISAL
  if (igzipMayRead) {
    uint64_t memberStart = 0;
    switch (InflateMembersWithIgzip(octets, z, out, limit, report, checked, memberStart)) {
      case MembersEnd::kFailed: return false;
      case MembersEnd::kEnded:
        report.Consumed = octets.Position();
        out.MoveInto(image);
        return true;
      case MembersEnd::kZlibFrom:
        if (!octets.ReadFrom(memberStart)) {
          PrintErrorForm("Error: can not read input file");
          return false;
        }
        out.Cut(checked);
        inflateReset(&z);
        break;
    }
  }
#else
  (void)igzipMayRead;
#endif
  const auto tooLarge = [&]() {
    report.Fault = InflateFault::kTooLarge;
    report.At = octets.Position();
    limit.Tell(octets.Read(), report);
  };
  for (;;) {
    if (!octets.Refill()) {
      PrintErrorForm("Error: can not read input file");
      return false;
    }
    const uint64_t bound = limit.Bound(octets.Read());
    bool full = false;
    if (!out.GiveRoom(z, bound, full)) {
      if (!full) {
        SayNoMemory();
        return false;
      }
      tooLarge();
      break;
    }
    const int result = inflate(&z, Z_NO_FLUSH);
    out.Took(z);
    if (result == Z_STREAM_END) {
      if (out.Past(bound)) {  // the octet past the bound was the member's last
        tooLarge();
        break;
      }
      const MembersEnd end = AfterMember(octets, z, out, report, checked);
      if (end == MembersEnd::kFailed) return false;
      if (end == MembersEnd::kEnded) break;
      continue;
    }
    if (result == Z_OK) continue;
    if (result == Z_BUF_ERROR && z.avail_out != 0 && octets.Ended()) {
      report.Fault = InflateFault::kCutShort;
      report.At = octets.Position();
      break;
    }
    if (result == Z_BUF_ERROR) continue;
    if (result == Z_MEM_ERROR) {
      SayNoMemory();
      return false;
    }
    // What the member inflated before its fault was found may be wrong already (deflate finds
    // some faults only at the member's check sum): only whole members are kept.
    report.Fault = InflateFault::kCorrupt;
    report.At = octets.Position();
    report.Detail = z.msg != nullptr ? z.msg : "not a gzip stream";
    out.Cut(checked);
    break;
  }
  report.Consumed = octets.Position();
  out.MoveInto(image);
  return true;
}

uint64_t GzipSizeHint(std::FILE* input, uint64_t fileSize) {
  uint8_t trailer[4];
  const bool read = fileSize >= sizeof trailer && std::fseek(input, -4L, SEEK_END) == 0 &&
                    std::fread(trailer, 1, sizeof trailer, input) == sizeof trailer;
  std::rewind(input);
  if (!read) return 0;
  const uint64_t size = uint64_t{trailer[0]} | uint64_t{trailer[1]} << 8 | uint64_t{trailer[2]} << 16 |
                        uint64_t{trailer[3]} << 24;
  return size / kDeflateRatio <= fileSize ? size : fileSize * kDeflateRatio;
}

namespace {

// The text of contents too large: the words of old for the largest input, where it was set for a
// bound of the operator's.
void DescribeTooLarge(const InflateReport& report, const BoundNames& bounds, char* text, std::size_t size) {
  switch (report.Bound) {
    case ContentsBound::kMaxContents:
      if (report.BoundValue >= kLargestContents) {
        std::snprintf(text, size, "the gzip contents are 4 GiB or more: files of 4 GiB or more are not supported");
        break;
      }
      std::snprintf(text, size, "the gzip contents are more than %" PRIu64 " octets, the most that %s allows",
                    report.BoundValue, bounds.MaxContents.c_str());
      break;
    case ContentsBound::kMaxRatio:
      std::snprintf(text, size,
                    "the gzip contents are more than %" PRIu64 " times the file's %" PRIu64
                    " octets, the most that %s allows",
                    report.BoundValue, report.BoundCompressed, bounds.MaxRatio.c_str());
      break;
    case ContentsBound::kMaxRatioRead:
      std::snprintf(text, size,
                    "the gzip contents are more than %" PRIu64 " times the %" PRIu64
                    " compressed octets read so far, the most that %s allows",
                    report.BoundValue, report.BoundCompressed, bounds.MaxRatio.c_str());
      break;
  }
}

}  // namespace

std::string InflateFaultMessage(const std::string& inputName, const InflateReport& report, uint64_t contents,
                                const BoundNames& bounds) {
  char text[640];
  switch (report.Fault) {
    case InflateFault::kCutShort:
      std::snprintf(text, sizeof text, "the gzip stream is cut short at offset %" PRIu64, report.At);
      break;
    case InflateFault::kCorrupt:
      std::snprintf(text, sizeof text, "the gzip stream is corrupt at offset %" PRIu64 " (%s)", report.At,
                    report.Detail.c_str());
      break;
    case InflateFault::kTrailing:
      std::snprintf(text, sizeof text, "the octets at offset %" PRIu64 " after gzip member %" PRIu32 " begin no gzip member",
                    report.At, report.Members);
      break;
    case InflateFault::kTooLarge:
      DescribeTooLarge(report, bounds, text, sizeof text);
      break;
    case InflateFault::kNone: return std::string();
  }
  char converted[128];
  std::snprintf(converted, sizeof converted,
                report.Fault == InflateFault::kCorrupt
                    ? "; only the %" PRIu64 " octets of contents of the whole members before it were read\n"
                    : "; %" PRIu64 " octets of contents were read before it\n",
                contents);
  return "Error: " + inputName + ": " + text + converted;
}

}  // namespace orvalis
