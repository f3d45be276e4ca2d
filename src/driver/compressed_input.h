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
  kTooLarge,  // the contents run past the largest input
};

struct InflateReport {
  InflateFault Fault = InflateFault::kNone;
  uint64_t At = 0;        // where in the compressed input the fault lies
  uint32_t Members = 0;   // the members read whole
  uint64_t Consumed = 0;  // the compressed octets read
  std::string Detail;     // zlib's words for a corrupt stream
};

// Reads the gzip input to its end (its first `headSize` octets already read into `head`) and
// inflates its members one after another into the image, which starts at `sizeHint` octets (0:
// unknown) and grows as needed. Contents of more than `maxSize` octets end at maxSize (kTooLarge).
// What was inflated before a fault stays in the image, except after a corrupt member: then only
// the members before it, whose check sums held. Returns false, after the message in the
// error form, when memory cannot be had or the input cannot be read.
bool InflateInput(std::FILE* input, const uint8_t* head, std::size_t headSize, uint64_t sizeHint,
                  uint64_t maxSize, InputImage& image, InflateReport& report);

// The contents' size that the last member's trailer of a gzip file of `fileSize` octets gives
// (modulo 4 GiB), bounded by what deflate can make of the file; 0 when it cannot be read. The file
// is read from its start again afterwards.
uint64_t GzipSizeHint(std::FILE* input, uint64_t fileSize);

// The error message of a fault, naming the input, ending in a line feed.
std::string InflateFaultMessage(const std::string& inputName, const InflateReport& report, uint64_t contents);

}  // namespace orvalis
