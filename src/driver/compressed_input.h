// Compressed inputs: the compressions an input's first octets show, and gzip inputs read through
// zlib into the input's image, so that the walk sees the billing file they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/input_image.h"

namespace orvalis {

enum class Compression : uint8_t { kNone, kGzip, kZstd, kXz };

// The most octets that tell a compression (xz's magic is six long).
constexpr std::size_t kMagicSize = 6;

// The compression that an input's first octets show. gzip needs its method octet too (1F 8B 08):
// 1F 8B alone may begin an element whose tag number takes octets of its own.
Compression CompressionOf(const uint8_t* head, std::size_t size);

// "gzip", "zstd" or "xz".
const char* CompressionName(Compression compression);

// What ended a gzip input before its end.
enum class InflateFault : uint8_t {
  kNone,
  kCutShort,  // the input ends inside a member
  kCorrupt,   // zlib refused the octets (a bad block, a bad check sum or length)
  kTrailing,  // octets after the last member that begin no member
  kTooLarge,  // the contents run past the largest input, or past a bound of the operator's
};

// The largest contents, the walk's 32-bit offsets' bound and GzipMaxContents' default.
constexpr uint64_t kLargestContents = UINT32_MAX;
// Deflate makes at most 1032 octets of one: GzipMaxRatio's largest value.
constexpr uint32_t kDeflateRatio = 1032;

// Which bound stopped contents that were too large.
enum class ContentsBound : uint8_t {
  kMaxContents,   // GzipMaxContents, at most the largest input (4 GiB less one octet)
  kMaxRatio,      // GzipMaxRatio, held against the file's size
  kMaxRatioRead,  // GzipMaxRatio, held against the compressed octets of a stream read so far
};

// The compressed side of a gzip input, beside the largest contents: the file's size (0 for a
// stream, whose size is not known beforehand) and the largest ratio of contents to compressed
// octets (GzipMaxRatio; 0: none), held against the file's size, or for a stream against the
// octets read so far.
struct CompressedSide {
  uint64_t FileSize = 0;
  uint32_t MaxRatio = 0;
  // zlib inflates every member, also where igzip would (for comparing the two).
  bool ZlibOnly = false;
};

struct InflateReport {
  InflateFault Fault = InflateFault::kNone;
  uint64_t At = 0;        // where in the compressed input the fault lies
  uint32_t Members = 0;   // the members read whole
  uint64_t Consumed = 0;  // the compressed octets read
  std::string Detail;     // zlib's words for a corrupt stream
  // Contents too large (kTooLarge): the bound that stopped them, its value (octets, or the ratio)
  // and for the ratio the compressed octets it was held against.
  ContentsBound Bound = ContentsBound::kMaxContents;
  uint64_t BoundValue = 0;
  uint64_t BoundCompressed = 0;
};

// Reads the gzip input to its end (its first `headSize` octets already read into `head`) and
// inflates its members one after another into the image, which starts at the size its trailer
// claims (`sizeHint`, 0: unknown), but at no more than 64 MiB nor 8 times the file's size (a
// claim read before the octets it describes is not to be trusted with memory), and grows by half
// as needed. Contents of more than `maxSize` octets end at maxSize (kTooLarge), and so do contents
// of more than the ratio times the compressed octets. What was inflated before a fault stays in
// the image, except after a corrupt member: then only the members before it, whose check sums
// held. Returns false, after the message in the error form, when memory cannot be had or the
// input cannot be read.
// Where the build has ISA-L, igzip inflates the deflate data of the members of an input that can
// be read again from a member's start (a file, not a pipe) whose bounds do not hang on the octets
// read so far; zlib reads each member's header, and a member that igzip does not read whole
// (corrupt, cut short, past a bound) is inflated again by zlib from its start, with all that
// follows: the contents, the report and its words are zlib's.
bool InflatesWithIgzip();
bool InflateInput(std::FILE* input, const uint8_t* head, std::size_t headSize, uint64_t sizeHint,
                  uint64_t maxSize, InputImage& image, InflateReport& report,
                  const CompressedSide& side = CompressedSide());

// The contents' size that the last member's trailer of a gzip file of `fileSize` octets gives
// (modulo 4 GiB), bounded by what deflate can make of the file; 0 when it cannot be read. The file
// is read from its start again afterwards.
uint64_t GzipSizeHint(std::FILE* input, uint64_t fileSize);

// Where the operator set each bound, for the message of contents past it: the key and its file
// ("GzipMaxContents in Orvalis.cfg"), or the long option ("--gzip-max-contents").
struct BoundNames {
  std::string MaxContents;
  std::string MaxRatio;
};

// The error message of a fault, naming the input, ending in a line feed. Contents past a bound
// smaller than the largest input name where the bound was set (`bounds`).
std::string InflateFaultMessage(const std::string& inputName, const InflateReport& report, uint64_t contents,
                                const BoundNames& bounds);

}  // namespace orvalis
