// The output's way to the file (blocks written by a thread of their own, records kept or dropped
// at block edges) and the input's way into memory (mapped, or read).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "common/block_writer.h"
#include "driver/driver.h"
#include "driver/input_image.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

std::string ReadBack(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
  return text;
}

TEST(BlockWriter, BlocksReachTheFileWholeAndInOrder) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::string expected;
  {
    BlockWriter writer(file);
    TextBuffer block;
    for (int i = 0; i < 300; ++i) {
      // Sizes from empty to well above a page, each block's text its own.
      const std::string text = std::to_string(i) + std::string(static_cast<std::size_t>(i * 37 % 9000), 'a' + i % 26);
      block.append(text);
      expected += text;
      writer.Write(block);
      EXPECT_TRUE(block.empty());
    }
    EXPECT_EQ(writer.Finish(), 0);
    EXPECT_EQ(writer.Finish(), 0);  // nothing further to wait for
  }
  EXPECT_EQ(ReadBack(file), expected);
  std::fclose(file);
}

TEST(BlockWriter, AFailedWriteIsReportedWithItsErrorNumber) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  std::setvbuf(full, nullptr, _IONBF, 0);
  BlockWriter writer(full);
  TextBuffer block;
  for (int i = 0; i < 3; ++i) {
    block.append(std::string(5000, 'x'));
    writer.Write(block);
  }
  EXPECT_EQ(writer.Finish(), ENOSPC);
  std::fclose(full);
}

// A sample of records at top level and in blocks, many times over, so that the output spans many
// blocks of every size tried.
Bytes ManyRecords() {
  auto call = [](uint8_t v) { return Tlv({0xA1}, Tlv({0x80}, {v})); };
  Bytes file;
  for (int i = 0; i < 60; ++i) {
    const uint8_t type = static_cast<uint8_t>(i % 10);
    file = Cat({file, call(type), Tlv({0xA2}, Cat({call(7), call(type), Tlv({0xA1}, Tlv({0x81}, {0x01}))})),
                Indefinite(0xA2, Cat({call(static_cast<uint8_t>(type + 1))})), Tlv({0x9F, 0x30}, {0x00})});
  }
  return file;
}

std::unique_ptr<TBranch> ManyRecordsDictionary() {
  return BuildDictionary({
      "1.TagName=record", "1.LongTagName=Record", "1.0.TagName=type", "1.0.LongTagName=Type:\\t",
      "1.0.Type=DecNumber", "2.TagName=block", "2.LongTagName=Block\\n", "2.1.TagName=record",
      "2.1.LongTagName=Record", "2.1.0.TagName=type", "2.1.0.LongTagName=Type:\\t", "2.1.0.Type=DecNumber",
  });
}

// However small the blocks, the output is the same as when it is written all at once: records
// that pass the range and the filter are kept whole, the others dropped whole, at any block edge.
TEST(RecordOutput, DoesNotDependOnTheBlockSize) {
  const Bytes file = ManyRecords();
  Bytes cut(file.begin(), file.end() - 3);  // stops inside the last element
  struct Case { const char* name; WalkSettings settings; const char* filter; const Bytes* input; };
  WalkSettings range = Range(25, 140);
  const std::vector<Case> cases = {
      {"normal", {}, nullptr, &file},          {"debug", Debug(), nullptr, &file},
      {"range", range, nullptr, &file},        {"debug range", Debug(range), nullptr, &file},
      {"filter", {}, "7", &file},              {"range and filter", range, "3", &file},
      {"debug filter", Debug(), "7", &file},   {"cut short", {}, nullptr, &cut},
      {"cut short, filter", {}, "9", &cut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto root = ManyRecordsDictionary();
    WalkSettings settings = c.settings;
    if (c.filter != nullptr) {
      bool found = false;
      SetFilter(*root, "type", c.filter, found);
      ASSERT_TRUE(found);
      settings.FilterCount = 1;
    }
    const WalkResult whole = RunWalk(*root, *c.input, settings, SIZE_MAX);
    ASSERT_GT(whole.Output.size(), 300u);  // many blocks of the smaller sizes
    for (std::size_t blockSize : {std::size_t{1}, std::size_t{13}, std::size_t{700}, std::size_t{4096}}) {
      const WalkResult blocks = RunWalk(*root, *c.input, settings, blockSize);
      EXPECT_EQ(blocks.Output, whole.Output) << "blocks of " << blockSize;
      EXPECT_EQ(blocks.Console, whole.Console) << "blocks of " << blockSize;
      EXPECT_EQ(blocks.Status, whole.Status);
    }
  }
}

class InputImageFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("orvalis-input-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".ber");
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::FILE* Open() { return std::fopen(path_.string().c_str(), "rb"); }

  std::filesystem::path path_;
};

TEST_F(InputImageFile, HoldsTheFileBytesMappedOrRead) {
  std::string bytes(70000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  for (const std::string& content : {bytes, std::string()}) {
    Write(content);
    std::FILE* file = Open();
    ASSERT_NE(file, nullptr);
    InputImage image;
    ASSERT_TRUE(LoadInputImage(file, content.size(), image));
    std::fclose(file);  // the image outlives the open file
    ASSERT_EQ(image.Size, content.size());
    ASSERT_NE(image.Bytes(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Bytes()), image.Size), content);
  }
}

#if defined(__unix__) || defined(__APPLE__)
// A whole run whose input another program shortens to `newSize` octets once it is mapped, just
// before the walk: within its last page (the octets past the new end read as zeros) or across
// pages (they cannot be read at all). Either way the run must end with the cut-short message and
// status 255, never with the completion line.
uint64_t gShortenTo = 0;
void ShortenInput(const std::string& name) {
  if (gShortenTo != UINT64_MAX) std::filesystem::resize_file(name, gShortenTo);
}

TEST(ShortenedInput, NeverPassesForACompletedRun) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("orvalis-cut-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  // One record whose value runs to the end of the file, its last octets in a page of their own.
  const uint64_t valueSize = 4 * page + 1000;
  const Bytes file = Tlv({0x61}, Tlv({0x81}, Repeat(valueSize, 0xAB)));
  std::ofstream(dir / "in.ber", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  std::ofstream(dir / "Tags.cfg", std::ios::binary)
      << "1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=value\r\n1.1.LongTagName=Value: \r\n"
         "1.1.Type=HexNumber\r\n";
  std::ofstream(dir / "Orvalis.cfg", std::ios::binary);
  struct Row { const char* name; uint64_t newSize; int status; bool cutShort; };
  const Row rows[] = {
      {"not shortened", UINT64_MAX, 0, false},
      {"within the last page", file.size() - 500, 255, true},
      {"across pages", file.size() - 3 * page, 255, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(dir / "in.ber", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.c_str()) != 0 || !std::freopen("console.txt", "wb", stdout) ||
          !std::freopen("errors.txt", "wb", stderr)) {
        _exit(99);
      }
      gShortenTo = row.newSize;
      SetInputLoadedHook(ShortenInput);
      const char* argv[] = {"orvalis", "-i", "in.ber", "-o", "out.prs"};
      _exit(RunOrvalis(5, argv) & 0xFF);
    }
    int waited = 0;
    ASSERT_EQ(waitpid(child, &waited, 0), child);
    ASSERT_TRUE(WIFEXITED(waited));
    EXPECT_EQ(WEXITSTATUS(waited), row.status);
    std::ifstream console(dir / "console.txt", std::ios::binary), errors(dir / "errors.txt", std::ios::binary);
    const std::string consoleText((std::istreambuf_iterator<char>(console)), {});
    const std::string errorText((std::istreambuf_iterator<char>(errors)), {});
    EXPECT_EQ(consoleText.find("100% completed") == std::string::npos, row.cutShort) << consoleText;
    EXPECT_EQ(errorText, row.cutShort ? "Error: input file was cut short while it was being converted\n" : "");
  }
  std::filesystem::remove_all(dir);
}

// A mapped input that another program cuts short during the conversion ends the run with a
// message and status -1 (255), not with a crash.
TEST_F(InputImageFile, CutShortWhileMappedEndsWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Write(std::string(3 * 65536, 'x'));
  std::FILE* file = Open();
  ASSERT_NE(file, nullptr);
  InputImage image;
  ASSERT_TRUE(LoadInputImage(file, 3 * 65536, image));
  std::fclose(file);
  if (image.Mapped == nullptr) GTEST_SKIP() << "the input is read, not mapped, here";
  EXPECT_EXIT(
      {
        std::filesystem::resize_file(path_, 100);
        const InputFaultGuard guard(image);
        volatile uint8_t last = image.Bytes()[image.Size - 1];
        (void)last;
      },
      testing::ExitedWithCode(255), "Error: input file was cut short while it was being converted\n");
}

// A guard puts back the handling of the signal that was in force before it.
TEST(InputFaultGuard, PutsBackTheHandlingItFound) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGBUS, nullptr, &before), 0);
  InputImage mapped;
  const uint8_t byte = 0;
  mapped.Mapped = &byte;  // taken for a mapped input; the guard never reads it
  {
    const InputFaultGuard guard(mapped);
    struct sigaction during {};
    sigaction(SIGBUS, nullptr, &during);
    EXPECT_NE(during.sa_handler, before.sa_handler);
  }
  mapped.Mapped = nullptr;  // not to be unmapped
  struct sigaction after {};
  sigaction(SIGBUS, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}
#endif

}  // namespace
}  // namespace orvalis::test
