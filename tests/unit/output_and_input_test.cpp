// The output's way to the file (blocks written by a thread of their own, records kept or dropped
// at block edges) and the input's way into memory (mapped, or read, and cut short meanwhile).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "common/block_writer.h"
#include "driver/driver.h"
#include "driver/input_image.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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
  std::rewind(file);
  std::string written(expected.size() + 1, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), file));
  EXPECT_EQ(written, expected);
  std::fclose(file);
}

// However small the output blocks, the output is the same as when it is written all at once:
// records that pass the range and the filter are kept whole, the others dropped whole, at any edge.
TEST(RecordOutput, DoesNotDependOnTheBlockSize) {
  auto call = [](uint8_t v) { return Tlv({0xA1}, Tlv({0x80}, {v})); };
  Bytes file;  // records at top level and in blocks, over many blocks of every size tried
  for (uint8_t type = 0; type < 60; ++type) {
    file = Cat({file, call(type % 10), Tlv({0xA2}, Cat({call(7), call(type % 10), Tlv({0xA1}, Tlv({0x81}, {0x01}))})),
                Indefinite(0xA2, call(type % 10 + 1)), Tlv({0x9F, 0x30}, {0x00})});
  }
  const Bytes cut(file.begin(), file.end() - 3);  // stops inside the last element
  const WalkSettings range = Range(25, 140);
  const std::tuple<WalkSettings, const char*, const Bytes*> rows[] = {  // settings, filter value, input
      {{}, nullptr, &file},       {Debug(), nullptr, &file},  {range, nullptr, &file}, {Debug(range), nullptr, &file},
      {{}, "7", &file},           {range, "3", &file},        {Debug(), "7", &file},   {{}, nullptr, &cut},
      {{}, "9", &cut},
  };
  for (const auto& [rowSettings, filter, input] : rows) {
    SCOPED_TRACE(std::string(filter ? filter : "-") + (rowSettings.DebugMode ? " debug" : "") +
                 (rowSettings.RangeActive ? " range" : "") + (input == &cut ? " cut" : ""));
    auto root = SampleDictionary({"1.0.TagName=type", "2.1.0.TagName=type"});
    WalkSettings settings = rowSettings;
    if (filter != nullptr) {
      bool found = false;
      SetFilter(*root, "type", filter, found);
      ASSERT_TRUE(found);
      settings.FilterCount = 1;
    }
    const WalkResult whole = RunWalk(*root, *input, settings, SIZE_MAX);
    ASSERT_GT(whole.Output.size(), 300u);
    for (std::size_t blockSize : {std::size_t{1}, std::size_t{13}, std::size_t{700}, std::size_t{4096}}) {
      const WalkResult blocks = RunWalk(*root, *input, settings, blockSize);
      EXPECT_EQ(blocks.Output, whole.Output) << "blocks of " << blockSize;
      EXPECT_EQ(blocks.Console, whole.Console) << "blocks of " << blockSize;
      EXPECT_EQ(blocks.Status, whole.Status);
    }
  }
}

TEST(InputImageFile, HoldsTheFileBytesMappedOrRead) {
  const fs::path path = fs::temp_directory_path() / ("orvalis-input-" + std::to_string(getpid()) + ".ber");
  std::string bytes(70000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  for (const std::string& content : {bytes, std::string()}) {
    std::ofstream(path, std::ios::binary) << content;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    InputImage image;
    ASSERT_TRUE(LoadInputImage(file, content.size(), image));
    std::fclose(file);  // the image outlives the open file
    ASSERT_EQ(image.Size, content.size());
    ASSERT_NE(image.Bytes(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Bytes()), image.Size), content);
  }
  fs::remove(path);
}

#if defined(__unix__) || defined(__APPLE__)
// A whole quiet run whose input another program changes once it is loaded, just before the walk:
// shortened within its last page (the octets past the new end read as zeros) or across pages
// (they cannot be read at all: the fault's handler ends the run), or grown, mapped or read (an
// empty input is read). None may pass for a completed run; each ends with its message and its
// summary line, and the output takes its name. Memory running out in the walk leaves the earlier
// output as it was.
struct InputChange {
  bool Empty = false;
  uint64_t NewSize = UINT64_MAX;  // UINT64_MAX: as it was
  bool OutOfMemory = false;
};
InputChange gChange;
void ChangeInput(const std::string& name) {
  if (gChange.OutOfMemory) throw std::bad_alloc();
  if (gChange.NewSize != UINT64_MAX) fs::resize_file(name, gChange.NewSize);
}

TEST(InputChangedDuringTheRun, NeverPassesForACompletedRun) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const fs::path dir = fs::temp_directory_path() / ("orvalis-cut-" + std::to_string(getpid()));
  fs::create_directories(dir);
  // One record whose value runs to the end of the file, its last octets in a page of their own.
  const Bytes file = Tlv({0x61}, Tlv({0x81}, Repeat(4 * page + 1000, 0xAB)));
  std::ofstream(dir / "Tags.cfg", std::ios::binary)
      << "1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=value\r\n1.1.LongTagName=Value: \r\n"
         "1.1.Type=HexNumber\r\n";
  std::ofstream(dir / "Orvalis.cfg", std::ios::binary);
  const std::string cutShort = "Error: input file was cut short while it was being converted\n";
  const std::string grew = "Error: input file grew by 1000 octets while it was being converted; they were not converted\n";
  auto summary = [](int records, const std::string& end) {
    return "orvalis: in.ber -> out.prs (text): " + std::to_string(records) + " records read, " + std::to_string(records) +
           " written, 0 tags not found, 0 refused pieces, 0 bad dictionary lines, 0 bad configuration lines, 0 bad "
           "filter lines, 0 files with bare line feeds, 0 filter files not read, " + end + "\n";
  };
  struct Row { const char* name; InputChange change; int status; std::string errors; bool keepsEarlier; };
  const Row rows[] = {
      {"as it was", {}, 0, summary(1, "completed"), false},
      {"shortened within the last page", {false, file.size() - 500}, 255, cutShort + summary(1, "input cut short"),
       false},
      {"shortened across pages", {false, file.size() - 3 * page}, 255, cutShort + summary(1, "input cut short"), false},
      {"grown", {false, file.size() + 1000}, 255, grew + summary(1, "input grew"), false},
      {"grown from empty (read, not mapped)", {true, 1000}, 255, grew + summary(0, "input grew"), false},
      {"memory running out", {false, UINT64_MAX, true}, 255,
       "Error: memory allocation fault: " + std::string(std::strerror(ENOMEM)) + "\n" + summary(0, "failed"), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(dir / "in.ber", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), row.change.Empty ? 0 : file.size());
    std::ofstream(dir / "out.prs", std::ios::binary) << "earlier\n";
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.c_str()) != 0 || !std::freopen("console.txt", "wb", stdout) ||
          !std::freopen("errors.txt", "wb", stderr)) {
        _exit(99);
      }
      gChange = row.change;
      SetInputLoadedHook(ChangeInput);
      const char* argv[] = {"orvalis", "-q", "-i", "in.ber", "-o", "out.prs"};
      _exit(RunOrvalis(6, argv) & 0xFF);
    }
    int waited = 0;
    ASSERT_EQ(waitpid(child, &waited, 0), child);
    ASSERT_TRUE(WIFEXITED(waited));
    EXPECT_EQ(WEXITSTATUS(waited), row.status);
    EXPECT_EQ(ReadFile(dir / "console.txt"), "");
    EXPECT_EQ(ReadFile(dir / "errors.txt"), row.errors);
    EXPECT_EQ(ReadFile(dir / "out.prs") == "earlier\n", row.keepsEarlier);
    for (const auto& entry : fs::directory_iterator(dir)) {
      EXPECT_NE(entry.path().filename().string().rfind(".out.prs.", 0), 0u) << entry.path();  // no temporary left
    }
  }
  fs::remove_all(dir);
}

// A guard puts back the handling of the signal that was in force before it.
TEST(InputFaultGuard, PutsBackTheHandlingItFound) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGBUS, nullptr, &before), 0);
  InputImage mapped;
  const uint8_t byte = 0;
  mapped.Mapped = &byte;  // taken for a mapped input; the guard never reads it
  {
    const InputFaultGuard guard(mapped, nullptr);
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
