// Compressed inputs: the magic that tells them, and gzip inflated member by member into the image,
// with what a cut, corrupt, trailing or too large stream leaves in it.
#include <zlib.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

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
};

// Inflates `file` given as a file, its first `headSize` octets handed over as already read.
Inflated InflateFile(const std::string& file, std::size_t headSize, uint64_t sizeHint, uint64_t maxSize) {
  std::FILE* input = std::tmpfile();
  EXPECT_NE(input, nullptr);
  std::fwrite(file.data(), 1, file.size(), input);
  std::rewind(input);
  std::fseek(input, static_cast<long>(headSize), SEEK_SET);
  Inflated result;
  InputImage image;
  result.Read = InflateInput(input, reinterpret_cast<const uint8_t*>(file.data()), headSize, sizeHint, maxSize,
                             image, result.Report);
  std::fclose(input);
  if (result.Read) {
    EXPECT_EQ(image.Bytes()[image.Size], 0) << "the octet after the image";
    result.Image.assign(reinterpret_cast<const char*>(image.Bytes()), image.Size);
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
