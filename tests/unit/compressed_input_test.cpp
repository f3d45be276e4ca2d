// Compressed inputs: the magic that tells them, and gzip inflated member by member into the image,
// with what a cut, corrupt, trailing or too large stream leaves in it, the memory the image takes,
// and the bounds of the contents with their keys.
#include <zlib.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "common/console.h"
#include "driver/compressed_input.h"

namespace orvalis::test {
namespace {

// One gzip member holding `contents`, as gzip -n writes it.
std::string GzipMember(const std::string& contents) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, contents.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(contents.data()));
  z.avail_in = static_cast<uInt>(contents.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Octets that compress a little, not to nothing: the image has to grow more than once.
std::string Contents(std::size_t size, unsigned seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245 + 12345;
    text[i] = static_cast<char>((seed >> 16) % 7 + (i % 64 == 0 ? 0x80 : 0x30));
  }
  return text;
}

struct Inflated {
  bool Read = false;
  InflateReport Report;
  std::string Image;
  std::size_t Held = 0;  // the octets of the image's block, where the C library tells them (else 0)
};

// Inflates `file` given as a file, its first `headSize` octets handed over as already read.
Inflated InflateFile(const std::string& file, std::size_t headSize, uint64_t sizeHint, uint64_t maxSize,
                     const CompressedSide& side = CompressedSide()) {
  std::FILE* input = std::tmpfile();
  EXPECT_NE(input, nullptr);
  std::fwrite(file.data(), 1, file.size(), input);
  std::rewind(input);
  std::fseek(input, static_cast<long>(headSize), SEEK_SET);
  Inflated result;
  InputImage image;
  result.Read = InflateInput(input, reinterpret_cast<const uint8_t*>(file.data()), headSize, sizeHint, maxSize,
                             image, result.Report, side);
  std::fclose(input);
  if (result.Read) {
    EXPECT_EQ(image.Bytes()[image.Size], 0) << "the octet after the image";
    result.Image.assign(reinterpret_cast<const char*>(image.Bytes()), image.Size);
#if defined(__GLIBC__)
    result.Held = malloc_usable_size(image.Data.get());
#endif
  }
  return result;
}

TEST(CompressionMagic, TellsGzipOnlyWithItsMethodOctet) {
  const struct {
    std::string Head;
    Compression Expected;
  } rows[] = {
      {std::string("\x1F\x8B\x08\x00", 4), Compression::kGzip},
      {std::string("\x1F\x8B\x08", 3), Compression::kGzip},
      {std::string("\x1F\x8B\x00\x00", 4), Compression::kNone},  // an element with a long tag number
      {std::string("\x1F\x8B", 2), Compression::kNone},
      {std::string("\x28\xB5\x2F\xFD\x00", 5), Compression::kZstd},
      {std::string("\x28\xB5\x2F", 3), Compression::kNone},
      {std::string("\xFD\x37\x7A\x58\x5A\x00", 6), Compression::kXz},
      {std::string("\xFD\x37\x7A\x58\x5A\x01", 6), Compression::kNone},
      {std::string(), Compression::kNone},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CompressionOf(reinterpret_cast<const uint8_t*>(row.Head.data()), row.Head.size()), row.Expected)
        << "head of " << row.Head.size() << " octets";
  }
}

TEST(InflateInput, MembersAndFaults) {
  const std::string first = Contents(300000, 1);
  const std::string second = Contents(5000, 2);
  const std::string one = GzipMember(first);
  const std::string two = GzipMember(second);
  std::string badCheck = two;
  badCheck[badCheck.size() - 8] ^= 0x01;  // the check sum of the second member
  const struct {
    const char* Name;
    std::string File;
    std::size_t HeadSize;
    uint64_t SizeHint;
    uint64_t MaxSize;
    InflateFault Fault;
    std::string Image;
    uint64_t At;
    uint32_t Members;
  } rows[] = {
      {"one member, its size known", one, 0, first.size(), UINT32_MAX, InflateFault::kNone, first, 0, 1},
      {"one member, grown from nothing, head read before", one, 6, 0, UINT32_MAX, InflateFault::kNone, first, 0, 1},
      {"two members", one + two, 3, second.size(), UINT32_MAX, InflateFault::kNone, first + second, 0, 2},
      {"an empty member between", one + GzipMember("") + two, 0, 0, UINT32_MAX, InflateFault::kNone, first + second,
       0, 3},
      {"a bad check sum drops its member", one + badCheck, 0, 0, UINT32_MAX, InflateFault::kCorrupt, first,
       one.size() + badCheck.size() - 4, 1},
      {"cut inside the trailer", one + two.substr(0, two.size() - 3), 0, 0, UINT32_MAX, InflateFault::kCutShort,
       first + second, one.size() + two.size() - 3, 1},
      {"one octet after the last member", one + "\x1F", 0, 0, UINT32_MAX, InflateFault::kTrailing, first, one.size(), 1},
      {"zeros after the last member", one + std::string(512, '\0'), 0, 0, UINT32_MAX, InflateFault::kTrailing, first,
       one.size(), 1},
      {"contents past the largest input", one, 0, 0, 100000, InflateFault::kTooLarge, first.substr(0, 100000), 0, 0},
      {"contents of exactly the largest input", one, 0, 0, first.size(), InflateFault::kNone, first, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const Inflated result = InflateFile(row.File, row.HeadSize, row.SizeHint, row.MaxSize);
    ASSERT_TRUE(result.Read);
    EXPECT_EQ(result.Report.Fault, row.Fault);
    EXPECT_EQ(result.Report.Members, row.Members);
    if (row.Fault != InflateFault::kNone && row.Fault != InflateFault::kTooLarge) {
      EXPECT_EQ(result.Report.At, row.At);
    }
    EXPECT_TRUE(result.Image == row.Image) << "image of " << result.Image.size() << " octets, expected "
                                           << row.Image.size();
  }
}

TEST(InflateInput, CutInsideTheContentsKeepsWhatWasInflated) {
  const std::string contents = Contents(200000, 3);
  const std::string file = GzipMember(contents);
  const Inflated result = InflateFile(file.substr(0, file.size() / 2), 0, 0, UINT32_MAX);
  ASSERT_TRUE(result.Read);
  EXPECT_EQ(result.Report.Fault, InflateFault::kCutShort);
  EXPECT_EQ(result.Report.At, file.size() / 2);
  EXPECT_GT(result.Image.size(), 0u);
  EXPECT_LT(result.Image.size(), contents.size());
  EXPECT_TRUE(contents.compare(0, result.Image.size(), result.Image) == 0) << "a prefix of the contents";
}

// A trailer is read before the octets it describes: its claim does not decide the memory taken.
// The one reading in which the inflaters differ: a member whose literal/length code is incomplete
// (two codes of two bits, 'A' and the block's end), which zlib refuses and igzip reads when its
// check sum and length hold. ZlibOnly reads it as a build without igzip does.
TEST(InflateInput, IncompleteHuffmanCodesReadByIgzipOnly) {
  const unsigned char member[] = {0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x05,
                                  0xC0, 0x81, 0x00, 0x00, 0x00, 0x00, 0x80, 0x20, 0xB6, 0xFD, 0xA5,
                                  0x0E, 0x01, 0x8B, 0x9E, 0xD9, 0xD3, 0x01, 0x00, 0x00, 0x00};
  const std::string file(reinterpret_cast<const char*>(member), sizeof member);
  for (const bool zlibOnly : {false, true}) {
    SCOPED_TRACE(zlibOnly ? "zlib alone" : "as the build reads it");
    const Inflated result = InflateFile(file, 0, 1, UINT32_MAX, {file.size(), 0, zlibOnly});
    ASSERT_TRUE(result.Read);
    if (InflatesWithIgzip() && !zlibOnly) {
      EXPECT_EQ(result.Report.Fault, InflateFault::kNone);
      EXPECT_EQ(result.Image, "A");
    } else {
      EXPECT_EQ(result.Report.Fault, InflateFault::kCorrupt);
      EXPECT_EQ(result.Report.Detail, "invalid literal/lengths set");
      EXPECT_EQ(result.Image, "");
    }
  }
}

TEST(InflateInput, FirstImageBoundedByTheCompressedOctets) {
  const std::string contents = Contents(300000, 5);
  const std::string file = GzipMember(contents);
  std::string repeated;  // a block of 1000 octets a thousand times: deflate makes little of it
  for (int i = 0; i < 1000; ++i) repeated += Contents(1000, 6);
  const std::string compact = GzipMember(repeated);
  ASSERT_LT(compact.size() * 8, 65536u) << "the image starts at its smallest";
  const struct {
    const char* Name;
    std::string File;
    uint64_t SizeHint;
    CompressedSide Side;
    std::string Image;
    std::size_t MostHeld;  // the image's octets, the one after it and the C library's rounding aside
  } rows[] = {
      {"a claim of 4 GiB in a file", file, UINT32_MAX, {file.size(), 0}, contents, 8 * file.size()},
      {"a claim of 4 GiB in a stream", file, UINT32_MAX, {}, contents, std::size_t{64} << 20},
      {"a claim beyond the first image is grown to", compact, repeated.size(), {compact.size(), 0}, repeated,
       repeated.size()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const Inflated result = InflateFile(row.File, 0, row.SizeHint, UINT32_MAX, row.Side);
    ASSERT_TRUE(result.Read);
    EXPECT_EQ(result.Report.Fault, InflateFault::kNone);
    EXPECT_TRUE(result.Image == row.Image) << "image of " << result.Image.size() << " octets";
    EXPECT_LE(result.Held, row.MostHeld + 1 + 4096) << "the image's block";
  }
}

TEST(InflateInput, ContentsBounds) {
  const std::string first = Contents(300000, 1);
  const std::string one = GzipMember(first);
  ASSERT_LT(one.size() * 2, first.size()) << "the contents are more than twice the file";
  const uint64_t enough = first.size() / one.size() + 1;  // the least ratio that holds the contents
  const struct {
    const char* Name;
    uint64_t MaxSize;
    CompressedSide Side;
    InflateFault Fault;
    std::size_t ImageSize;
    ContentsBound Bound;
    uint64_t BoundValue;
    uint64_t BoundCompressed;
    uint32_t Members;
  } rows[] = {
      {"the octet past the largest contents is the member's last", first.size() - 1, {}, InflateFault::kTooLarge,
       first.size() - 1, ContentsBound::kMaxContents, first.size() - 1, 0, 0},
      {"a ratio that the file's size holds", UINT32_MAX, {one.size(), static_cast<uint32_t>(enough)},
       InflateFault::kNone, first.size(), ContentsBound::kMaxContents, 0, 0, 1},
      {"a ratio one less", UINT32_MAX, {one.size(), static_cast<uint32_t>(enough - 1)}, InflateFault::kTooLarge,
       (enough - 1) * one.size(), ContentsBound::kMaxRatio, enough - 1, one.size(), 0},
      {"past twice the file's size", UINT32_MAX, {one.size(), 2}, InflateFault::kTooLarge, 2 * one.size(),
       ContentsBound::kMaxRatio, 2, one.size(), 0},
      {"the largest contents below the ratio's bound", 1000, {one.size(), 2}, InflateFault::kTooLarge, 1000,
       ContentsBound::kMaxContents, 1000, 0, 0},
      {"a stream read at once, past twice its octets", UINT32_MAX, {0, 2}, InflateFault::kTooLarge, 2 * one.size(),
       ContentsBound::kMaxRatioRead, 2, one.size(), 0},
      {"a stream that its ratio holds", UINT32_MAX, {0, static_cast<uint32_t>(enough)}, InflateFault::kNone,
       first.size(), ContentsBound::kMaxContents, 0, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const Inflated result = InflateFile(one, 0, first.size(), row.MaxSize, row.Side);
    ASSERT_TRUE(result.Read);
    EXPECT_EQ(result.Report.Fault, row.Fault);
    EXPECT_EQ(result.Report.Members, row.Members);
    EXPECT_TRUE(result.Image == first.substr(0, row.ImageSize)) << "image of " << result.Image.size() << " octets";
    if (row.Fault == InflateFault::kTooLarge) {
      EXPECT_EQ(result.Report.Bound, row.Bound);
      EXPECT_EQ(result.Report.BoundValue, row.BoundValue);
      EXPECT_EQ(result.Report.BoundCompressed, row.BoundCompressed);
    }
  }
}

// A stream's size is not known beforehand: its ratio is held against the octets read so far, so
// contents that the whole file's size would hold stop where their first part outgrows its octets.
TEST(InflateInput, StreamRatioHeldAsItIsRead) {
  const std::string contents = std::string(40 << 20, '\0') + Contents(3 << 20, 7);
  const std::string file = GzipMember(contents);
  ASSERT_GT(file.size(), 1u << 20) << "more than one block of compressed octets";
  const uint32_t ratio = static_cast<uint32_t>(contents.size() / file.size() + 1);
  const Inflated whole = InflateFile(file, 0, 0, UINT32_MAX, {file.size(), ratio});
  ASSERT_TRUE(whole.Read);
  EXPECT_EQ(whole.Report.Fault, InflateFault::kNone);
  EXPECT_EQ(whole.Image.size(), contents.size());
  const Inflated streamed = InflateFile(file, 0, 0, UINT32_MAX, {0, ratio});
  ASSERT_TRUE(streamed.Read);
  EXPECT_EQ(streamed.Report.Fault, InflateFault::kTooLarge);
  EXPECT_EQ(streamed.Report.Bound, ContentsBound::kMaxRatioRead);
  EXPECT_LT(streamed.Report.BoundCompressed, file.size());
  EXPECT_EQ(streamed.Image.size(), ratio * streamed.Report.BoundCompressed);
  EXPECT_TRUE(contents.compare(0, streamed.Image.size(), streamed.Image) == 0) << "a prefix of the contents";
}

// At the largest contents of all the words of old; the operator's bounds are named with their key
// and file (end-to-end cases, and the quiet streams' script for a stream's ratio).
TEST(InflateFaultMessage, TooLargeAtTheLargestContentsKeepsItsWords) {
  InflateReport report;
  report.Fault = InflateFault::kTooLarge;
  report.Bound = ContentsBound::kMaxContents;
  report.BoundValue = UINT32_MAX;
  EXPECT_EQ(InflateFaultMessage("day1.gz", report, 10000, {"GzipMaxContents in my.cfg", "GzipMaxRatio in my.cfg"}),
            "Error: day1.gz: the gzip contents are 4 GiB or more: files of 4 GiB or more are not supported; 10000 "
            "octets of contents were read before it\n");
}

TEST(GzipSizeHint, TrailerBoundedByWhatDeflateCanMake) {
  const std::string contents = Contents(70000, 4);
  std::string file = GzipMember(contents);
  std::FILE* input = std::tmpfile();
  ASSERT_NE(input, nullptr);
  std::fwrite(file.data(), 1, file.size(), input);
  EXPECT_EQ(GzipSizeHint(input, file.size()), contents.size());
  EXPECT_EQ(std::ftell(input), 0) << "read from its start again";
  // A trailer that claims more than the file can hold.
  std::fseek(input, -4L, SEEK_END);
  std::fwrite("\xFF\xFF\xFF\xFF", 1, 4, input);
  EXPECT_EQ(GzipSizeHint(input, file.size()), file.size() * 1032);
  std::fclose(input);
}

}  // namespace
}  // namespace orvalis::test
