// The output's way to the file (blocks written by a thread of their own, records kept or dropped
// at block edges) and the input's way into memory (mapped, or read, and cut short meanwhile).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>
#include <unistd.h>

#include "common/block_writer.h"
#include "common/spilled_text.h"
#include "driver/config_files.h"
#include "driver/driver.h"
#include "driver/input_image.h"
#include "driver/manifest.h"
#include "driver/output_file.h"
#include "run_in_child.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

namespace fs = std::filesystem;

// A writer that keeps its text in memory keeps exactly the first octets up to its limit, whatever
// the blocks' sizes and wherever the limit falls among them, and writes no file.
TEST(BlockWriter, KeptInMemoryUpToItsLimit) {
  const std::string blocks[] = {"", "abc", std::string(5000, 'd'), "e", std::string(70000, 'f'), "ghij"};
  std::string all;
  for (const std::string& block : blocks) all += block;
  for (std::size_t limit : {std::size_t{0}, std::size_t{2}, std::size_t{3}, std::size_t{4}, std::size_t{5003},
                            std::size_t{5004}, std::size_t{65537}, all.size(), all.size() + 10}) {
    SCOPED_TRACE(limit);
    std::string kept;
    BlockWriter writer(nullptr);
    writer.KeepInMemory(kept, limit);
    TextBuffer block;
    for (std::size_t i = 0; i < std::size(blocks); ++i) {
      if (i % 2 == 0) {
        block.append(blocks[i]);
        writer.Write(block);
        EXPECT_TRUE(block.empty());
      } else {
        writer.WriteText(blocks[i]);
      }
    }
    EXPECT_EQ(writer.Finish(), 0);
    EXPECT_EQ(kept, all.substr(0, limit));
  }
}

// The first fault is the one told: a write that failed (a full disk) stays the writer's error
// when text is lost afterwards.
TEST(BlockWriter, TellsItsFirstFault) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  std::setvbuf(full, nullptr, _IONBF, 0);
  {
    BlockWriter writer(full);
    writer.WriteInPlace(true);
    TextBuffer block;
    block.append("abc");
    writer.Write(block);
    writer.Fail(ENOMEM);
    EXPECT_EQ(writer.Finish(), ENOSPC);
  }
  std::fclose(full);
}

// Held text goes to a temporary file and comes back whole, in blocks of the size asked, once;
// without a folder for the file it is refused, so that the caller keeps it.
TEST(SpilledText, GivesBackWhatItTook) {
  const std::string pieces[] = {"abc", "", std::string(5000, 'd'), "e"};
  std::string all;
  SpilledText held;
  for (const std::string& piece : pieces) {
    ASSERT_TRUE(held.Append(piece));
    all += piece;
  }
  EXPECT_EQ(held.size(), all.size());
  TextBuffer block;
  std::string back;
  std::size_t blocks = 0;
  EXPECT_EQ(held.TakeBack(block, 4096, [&](TextBuffer& b) { back.append(b.view()); ++blocks; }), 0);
  EXPECT_EQ(back, all);
  EXPECT_EQ(blocks, 2u);
  EXPECT_TRUE(held.empty());
  ASSERT_TRUE(held.Append("xyz"));
  back.clear();
  EXPECT_EQ(held.TakeBack(block, 2, [&](TextBuffer& b) { back.append(b.view()); }), 0);
  EXPECT_EQ(back, "xyz");

  const char* folder = std::getenv("TMPDIR");
  const std::string kept = folder != nullptr ? folder : "";
  setenv("TMPDIR", "/nonexistent-folder-of-orvalis-tests", 1);
  SpilledText nowhere;
  EXPECT_FALSE(nowhere.Append("abc"));
  EXPECT_TRUE(nowhere.empty());
  if (folder != nullptr) {
    setenv("TMPDIR", kept.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
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
  if (name != "in.ber") return;  // a list's other input stays as it is
  if (gChange.OutOfMemory) throw std::bad_alloc();
  if (gChange.NewSize != UINT64_MAX) fs::resize_file(name, gChange.NewSize);
}

// A folder of its own with the dictionary of one record whose value runs to the end of the file,
// its last octets in a page of their own (`File`).
struct ChangedInputFolder {
  explicit ChangedInputFolder(const std::string& name)
      : Page(static_cast<uint64_t>(sysconf(_SC_PAGESIZE))),
        Dir(fs::temp_directory_path() / (name + std::to_string(getpid()))),
        File(Tlv({0x61}, Tlv({0x81}, Repeat(4 * Page + 1000, 0xAB)))) {
    fs::create_directories(Dir);
    std::ofstream(Dir / "Tags.cfg", std::ios::binary)
        << "1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=value\r\n1.1.LongTagName=Value: \r\n"
           "1.1.Type=HexNumber\r\n";
    std::ofstream(Dir / "Orvalis.cfg", std::ios::binary);
  }
  ~ChangedInputFolder() { fs::remove_all(Dir); }
  // The summary line of `records` records of `input`, ending in `end`.
  static std::string Summary(const std::string& input, int records, const std::string& end) {
    return "orvalis: " + input + " -> out.prs (text): " + std::to_string(records) + " records read, " +
           std::to_string(records) +
           " written, 0 tags not found, 0 refused pieces, 0 bad dictionary lines, 0 bad configuration lines, 0 bad "
           "filter lines, 0 files with bare line feeds, 0 filter files not read, " + end + "\n";
  }

  const uint64_t Page;
  const fs::path Dir;
  const Bytes File;
};
const std::string kCutShort = "Error: input file was cut short while it was being converted\n";
const std::string kGrew = "Error: input file grew by 1000 octets while it was being converted; they were not converted\n";

TEST(InputChangedDuringTheRun, NeverPassesForACompletedRun) {
  const ChangedInputFolder folder("orvalis-cut-");
  const fs::path& dir = folder.Dir;
  const Bytes& file = folder.File;
  auto summary = [](int records, const std::string& end) {
    return ChangedInputFolder::Summary("in.ber", records, end);
  };
  struct Row { const char* name; InputChange change; int status; std::string errors; bool keepsEarlier; };
  const Row rows[] = {
      {"as it was", {}, 0, summary(1, "completed"), false},
      {"shortened within the last page", {false, file.size() - 500}, 255, kCutShort + summary(1, "input cut short"),
       false},
      {"shortened across pages", {false, file.size() - 3 * folder.Page}, 255, kCutShort + summary(1, "input cut short"),
       false},
      {"grown", {false, file.size() + 1000}, 255, kGrew + summary(1, "input grew"), false},
      {"grown from empty (read, not mapped)", {true, 1000}, 255, kGrew + summary(0, "input grew"), false},
      {"memory running out", {false, UINT64_MAX, true}, 255,
       "Error: memory allocation fault: " + std::string(std::strerror(ENOMEM)) + "\n" + summary(0, "failed"), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(dir / "in.ber", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), row.change.Empty ? 0 : file.size());
    std::ofstream(dir / "out.prs", std::ios::binary) << "earlier\n";
    const ChildRun run = RunInChild(dir, {"-q", "-i", "in.ber", "-o", "out.prs"}, [&row] {
      gChange = row.change;
      SetInputLoadedHook(ChangeInput);
    });
    EXPECT_EQ(run.Status, row.status);
    EXPECT_EQ(run.Console, "");
    EXPECT_EQ(run.Errors, row.errors);
    EXPECT_EQ(ReadFile(dir / "out.prs") == "earlier\n", row.keepsEarlier);
    for (const auto& entry : fs::directory_iterator(dir)) {
      EXPECT_NE(entry.path().filename().string().rfind(".out.prs.", 0), 0u) << entry.path();  // no temporary left
    }
  }
}

#if ORVALIS_THREADS
// The same changes to the first of two listed inputs converted side by side, each read into memory
// rather than mapped: the change is told at the input's turn, with the message and the summary
// line a run of its own gives, and the list goes on with the next input (one after another, a
// mapped input whose walk reaches octets cut away ends the run at once); the output holds the
// records as they were read.
TEST(InputChangedDuringTheRun, ToldAtItsTurnSideBySide) {
  const ChangedInputFolder folder("orvalis-cut-list-");
  const fs::path& dir = folder.Dir;
  const Bytes& file = folder.File;
  std::ofstream(dir / "day.list", std::ios::binary) << "in.ber\nother.ber\n";
  std::ofstream(dir / "other.ber", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  auto summary = [](const std::string& input, const std::string& end) {
    return ChangedInputFolder::Summary(input, input == "2 inputs" ? 2 : 1, end);
  };
  struct Row { const char* name; uint64_t newSize; std::string message; const char* end; };
  const Row rows[] = {
      {"as it was", UINT64_MAX, "", "completed"},
      {"shortened within the last page", file.size() - 500, kCutShort, "input cut short"},
      {"shortened across pages", file.size() - 3 * folder.Page, kCutShort, "input cut short"},
      {"grown", file.size() + 1000, kGrew, "input grew"},
  };
  std::string unchanged;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(dir / "in.ber", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    const ChildRun run = RunInChild(dir, {"-q", "--list-jobs", "2", "-l", "day.list", "-o", "out.prs"}, [&row] {
      gChange = InputChange{false, row.newSize, false};
      SetInputLoadedHook(ChangeInput);
    });
    const bool changed = row.newSize != UINT64_MAX;
    EXPECT_EQ(run.Status, changed ? 255 : 0);
    EXPECT_EQ(run.Console, "");
    EXPECT_EQ(run.Errors, "Input 1 of 2: in.ber\n" + row.message + summary("in.ber", row.end) +
                              "Input 2 of 2: other.ber\n" + summary("other.ber", "completed") +
                              summary("2 inputs", changed ? "1 of 2 inputs not converted whole" : "completed"));
    if (!changed) unchanged = ReadFile(dir / "out.prs");
    EXPECT_EQ(ReadFile(dir / "out.prs"), unchanged);
  }
}
#endif

// A manifest's walk of the fields outside records that fails (memory running out, another
// exception) is told on standard error naming the input, is a problem of the run (status 1 in
// strict mode), and its line says so in a member of its own; the output is not touched by it.
// Without -m there is no such walk.
void FailOutsideWalk(const std::string& name) {
  if (name == "memory.ber") throw std::bad_alloc();
  throw std::runtime_error("not the walk's");
}

TEST(ManifestOutsideWalk, AFailureIsToldAndCounted) {
  const fs::path dir = fs::temp_directory_path() / ("orvalis-outside-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const Bytes file = Cat({Tlv({0x83}, {0x01}), Tlv({0xA1}, Tlv({0x80}, {0x05}))});  // a header, a record
  std::ofstream(dir / "Tags.cfg", std::ios::binary)
      << "1.TagName=record\r\n1.LongTagName=Record\r\n1.0.TagName=type\r\n1.0.LongTagName=Type: \r\n"
         "1.0.Type=DecNumber\r\n3.TagName=header\r\n3.LongTagName=Header: \r\n3.Type=DecNumber\r\n";
  std::ofstream(dir / "Orvalis.cfg", std::ios::binary);
  struct Row { const char* input; bool strict; int status; const char* fault; };
  const Row rows[] = {
      {"memory.ber", false, 0, "memory allocation fault"},
      {"memory.ber", true, 1, "memory allocation fault"},
      {"other.ber", true, 1, "exception has been thrown"},
      {"other.ber", true, 0, nullptr},  // no manifest
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.input) + (row.strict ? " -s" : ""));
    std::ofstream(dir / row.input, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    std::vector<std::string> args = {"-q", "-i", row.input, "-o", "out.prs"};
    if (row.fault != nullptr) args.insert(args.end(), {"-m", "run.manifest"});
    if (row.strict) args.push_back("-s");
    const ChildRun run = RunInChild(dir, args, [] { SetOutsideWalkHook(FailOutsideWalk); });
    EXPECT_EQ(run.Status, row.status);
    EXPECT_EQ(ReadFile(dir / "out.prs"), "Header: 1\nRecord 1\nType: 5\n");
    if (row.fault == nullptr) {
      EXPECT_EQ(run.Errors.find("Error:"), std::string::npos);
      continue;
    }
    EXPECT_EQ(run.Errors,
              std::string("Error: the fields outside records of ") + row.input +
                  " were not read for the manifest: " + row.fault + "\norvalis: " + row.input +
                  " -> out.prs (text): 1 records read, 1 written, 0 tags not found, 0 refused pieces, 0 bad "
                  "dictionary lines, 0 bad configuration lines, 0 bad filter lines, 0 files with bare line feeds, "
                  "0 filter files not read, completed with problems\n");
    const std::string manifest = ReadFile(dir / "run.manifest");
    EXPECT_NE(manifest.find(std::string("\"status\":") + std::to_string(row.status) +
                            ",\"end\":\"completed with problems\",\"outside\":null,\"outsideCut\":false,"
                            "\"outsideFault\":\"" + row.fault + "\"}\n"),
              std::string::npos)
        << manifest;
  }
  fs::remove_all(dir);
}

// The manifest's walk of the fields outside records gives the "record":null lines of JSON Lines
// without its damage lines, whatever the range, filter, format, debug mode and source name of the
// run, and a filter that names a field outside records too; Resync as the run says. It keeps the
// text up to its bound and says nothing on the console.
TEST(ManifestOutsideWalk, GivesTheNullLinesOfJsonLinesUpToItsBound) {
  auto root = SampleDictionary({"3.TagName=header", "3.Type=DecNumber", "2.5.TagName=count", "2.5.Type=DecNumber"});
  auto filteredRoot = SampleDictionary({"3.TagName=header", "3.Type=DecNumber", "2.5.TagName=count", "2.5.Type=DecNumber"});
  ASSERT_EQ(ApplyFilterText("Filter.cfg", "header=9\r\ncount=2\r\n", *filteredRoot), 2u);
  const Bytes record = Tlv({0xA1}, Tlv({0x80}, {0x05}));
  const Bytes damaged = {0xA1, 0x03, 0x80, 0x05, 0x01};  // a record whose value runs past it
  const Bytes input = Cat({Tlv({0x83}, {0x01}), record, Tlv({0xA2}, Cat({record, Tlv({0x85}, {0x02}), record})),
                           damaged, Tlv({0x83}, {0x04}), Tlv({0xA2}, Tlv({0x85}, {0x03})), {0x83, 0x02, 0x01}});
  const auto nullLines = [&](WalkSettings settings) {
    settings.Format = "jsonl";
    const std::string all = RunWalk(*root, input, settings).Output;
    std::string lines;
    for (std::size_t at = 0, end; at < all.size(); at = end + 1) {
      end = all.find('\n', at);
      const std::string line = all.substr(at, end + 1 - at);
      if (line.find("\"record\":null") != std::string::npos && line.find("\"damaged\"") == std::string::npos) {
        lines += line;
      }
    }
    return lines;
  };
  WalkSettings resync;
  resync.Resync = true;
  const std::string expected = nullLines(resync);
  ASSERT_EQ(expected,  // the header; each block's own fields, around its records; no damage line
            "{\"v\":1,\"record\":null,\"offset\":0,\"path\":\"\",\"fields\":{\"header\":1}}\n"
            "{\"v\":1,\"record\":null,\"offset\":8,\"path\":\"\",\"fields\":{\"block\":{}}}\n"
            "{\"v\":1,\"record\":null,\"offset\":15,\"path\":\"2\",\"fields\":{\"count\":2}}\n"
            "{\"v\":1,\"record\":null,\"offset\":31,\"path\":\"\",\"fields\":{\"block\":{\"count\":3}}}\n");
  WalkSettings csv = resync, debug = Debug(resync), named = resync, filtered = resync, ranged = Range(2, 2);
  csv.Format = "csv";
  named.SourceName = "in.ber";
  filtered.FilterCount = 1;
  ranged.Resync = true;
  WalkSettings filteredOutside = resync;
  filteredOutside.FilterCount = 2;
  const struct {
    const char* Name;
    WalkSettings Settings;
    std::string Expected;
    TBranch* Root;
  } rows[] = {
      {"resync", resync, expected, root.get()},
      {"csv", csv, expected, root.get()},
      {"debug", debug, expected, root.get()},
      {"source name", named, expected, root.get()},
      {"filter", filtered, expected, root.get()},
      {"range", ranged, expected, root.get()},
      {"filter outside records", filteredOutside, expected, filteredRoot.get()},
      {"no resync", WalkSettings{}, nullLines(WalkSettings{}), root.get()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    for (std::size_t keep : {std::size_t{0}, std::size_t{1}, row.Expected.size() - 1, row.Expected.size(),
                             std::size_t{1} << 16}) {
      std::string text;
      testing::internal::CaptureStdout();
      WalkOutsideFields(row.Settings, input.data(), input.size(), *row.Root, text, keep);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
      EXPECT_EQ(text, row.Expected.substr(0, keep));
    }
  }
}

// The manifest keeps the whole lines within its bound, and tells when more followed.
TEST(ManifestOutsideWalk, KeepsTheWholeLinesWithinTheBound) {
  const std::string lines = "{\"a\":1}\n{\"bb\":2}\n";
  const struct {
    std::size_t Bound;
    std::string_view Kept;
    bool Cut;
  } rows[] = {{0, "", true}, {7, "", true}, {8, "{\"a\":1}\n", true}, {16, "{\"a\":1}\n", true},
              {17, lines, false}, {100, lines, false}};
  for (const auto& row : rows) {
    bool cut = !row.Cut;
    EXPECT_EQ(OutsideWithinBound(lines, cut, row.Bound), row.Kept) << row.Bound;
    EXPECT_EQ(cut, row.Cut) << row.Bound;
  }
  bool cut = true;
  EXPECT_EQ(OutsideWithinBound(std::string(kManifestOutside, 'x'), cut).size(), kManifestOutside);
  EXPECT_FALSE(cut);
}

// A manifest's line names the offsets of the first ten places of damage, however many there were.
TEST(ManifestLine, NamesTheFirstTenPlacesOfDamage) {
  for (uint64_t damages : {0, 1, 10, 11, 12}) {
    ManifestEntry entry;
    for (uint64_t i = 0; i < damages; ++i) entry.Counts.NoteDamage(100 + i);
    TextBuffer line;
    AppendManifestLine(line, entry);
    std::string offsets;
    for (uint64_t i = 0; i < damages && i < 10; ++i) offsets += (i > 0 ? "," : "") + std::to_string(100 + i);
    EXPECT_NE(line.view().find("\"damages\":{\"count\":" + std::to_string(damages) + ",\"firstOffsets\":[" + offsets +
                               "]}"),
              std::string_view::npos)
        << line.view();
  }
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
