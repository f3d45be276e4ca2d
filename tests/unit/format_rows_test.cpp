// Every row of the table of formats, and a row of the test's own added as the checklist says
// (tally_format.h), through whole runs on files: the bundled example, under a filter, shared by
// two threads and in order, after damage and under -l. Each format gives the records, the marks,
// the summary line and the status that the readable text gives; JSON Lines in either schema.
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "driver/output_formats.h"
#include "format_tally.h"
#include "run_in_child.h"
#include "tally_format.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

namespace fs = std::filesystem;

// The test-only format's lines.
Tally TallyTally(const std::string& text) {
  return ReadLines(text, {{"record %llu at", Told::kRecord},
                          {"damaged at %llu, going on at %llu", Told::kDamageUpTo},
                          {"in doubt at %llu, after the damage at %llu", Told::kDoubtSecond}});
}

// The bundled dictionary's record lines.
Tally CallRecordTally(const std::string& text) { return TextTally(text, "Call record"); }

// How the test reads each row's output; a row without one fails the test.
const std::map<std::string, Tally (*)(const std::string&)> kReaders = {
    {"text", CallRecordTally}, {"dump", CallRecordTally}, {"jsonl", JsonLinesTally}, {"csv", CsvTally}, {"tally", TallyTally}};

// A row's run: its format, and for JSON Lines the schema version (JsonSchema=2 added to the main
// configuration file that the run names, schema2-NAME).
struct Written {
  const OutputFormatRow* Row;
  bool Schema2 = false;
};

std::vector<std::string> WithSchema2(std::vector<std::string> args) {
  bool named = false;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-c") {
      args[i + 1] = "schema2-" + args[i + 1];
      named = true;
    }
  }
  if (!named) args.insert(args.end(), {"-c", "schema2-Orvalis.cfg"});
  return args;
}

// The program's rows with the tally row added before the dump.
std::vector<OutputFormatRow> RowsWithTally() {
  std::vector<OutputFormatRow> rows(NamedOutputFormats().begin(), NamedOutputFormats().end());
  rows.push_back(kTallyRow);
  rows.push_back(DumpFormat());
  return rows;
}

struct RunSeen {
  int Status = -1;
  std::string Errors;
  std::string Output;
};

// The input cut short across pages as the walk begins: reading past its new end is a fault, after
// which the fault's handler gives the output its name.
void CutUnderTheWalk(const std::string& name) { fs::resize_file(name, 3 * static_cast<uint64_t>(sysconf(_SC_PAGESIZE))); }

// Runs the program, with the tally row among its formats, in a child process in `dir`: quiet,
// `format` (-d for the dump) into out.FORMAT, with `more` arguments.
RunSeen RunFormat(const fs::path& dir, const OutputFormatRow& format, std::vector<std::string> more,
                  bool cutUnderTheWalk = false) {
  const std::string output = std::string("out.") + format.Title;
  std::vector<std::string> args = {"-q", "-o", output};
  if (format.Dump) args.push_back("-d");
  else args.insert(args.end(), {"-x", format.Name});
  args.insert(args.end(), more.begin(), more.end());
  fs::remove(dir / output);
  const ChildRun run = RunInChild(dir, args, [cutUnderTheWalk] {
    static const std::vector<OutputFormatRow> rows = RowsWithTally();
    static const FormatsInUse formats({rows.data(), rows.size()});  // for the child's run, which ends it
    if (cutUnderTheWalk) SetInputLoadedHook(CutUnderTheWalk);
  });
  return {run.Status, run.Errors, ReadFile(dir / output)};
}

// The console's text with the format's own words made the text's: its title and output, and the
// count of values not in the CSV.
std::string AsTheTextsErrors(std::string errors, const OutputFormatRow& format) {
  const std::string title = format.Title;
  errors = std::regex_replace(errors, std::regex("out\\." + title + " \\(" + title + "\\)"), "out.text (text)");
  return std::regex_replace(errors, std::regex(" [0-9]+ values not in the CSV,"), "");
}

class FormatRows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("orvalis-rows-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    const fs::path examples = fs::path(ORVALIS_SOURCE_DIR) / "examples";
    for (const char* name : {"Tags.cfg", "calls.ber", "filter.cfg"}) fs::copy_file(examples / name, dir_ / name);
    const std::string calls = ReadFile(dir_ / "calls.ber");
    for (const auto& [name, text] : std::map<std::string, std::string>{
             {"Orvalis.cfg", ""}, {"resync.cfg", "Resync=true\r\n"}, {"in-order.cfg", "StartRec=1\r\n"}}) {
      WriteFile(dir_ / name, text);
      WriteFile(dir_ / ("schema2-" + name), text + "JsonSchema=2\r\n");
    }
    std::string big;
    while (big.size() < 1200000) big += calls;  // more than eight stretches of the shared walk
    WriteFile(dir_ / "big.ber", big);
    // A record of the example (107 octets at offset 1910) up to the end of the first stretch (the
    // first element to end 128 KiB or more in), a stretch of file headers alone, whose text
    // follows a record at its turn and holds no record start; then records of five octets, whose
    // CSV rows outgrow what a stretch walked ahead may hold for its turn; the example's record again.
    const std::string record = calls.substr(1910, 107), header = calls.substr(0, 2 + static_cast<uint8_t>(calls[1]));
    ASSERT_EQ(record.substr(0, 2), "\xA1\x69");
    std::string headers;
    while (headers.size() < 131072) headers += record;
    while (headers.size() < 2 * 131072) headers += header;
    while (headers.size() < 3 * 131072 + 8192) headers += "\xA1\x03\x80\x01\x01";
    while (headers.size() < 1100000) headers += record;
    WriteFile(dir_ / "headers.ber", headers);
    std::string damaged = calls;
    for (std::size_t at : {3001, 20007, 20013, 41000}) damaged[at] = static_cast<char>(damaged[at] ^ 0xFF);
    WriteFile(dir_ / "damaged.ber", damaged);
    WriteFile(dir_ / "list", "missing.ber\ndamaged.ber\ncalls.ber\n");
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static fs::path dir_;
};
fs::path FormatRows::dir_;

// Shared by two threads (an input of more than eight stretches) a format also writes what it
// writes walked in order (a range from the first record); the debug dump, which is never shared,
// is left out there.
TEST_F(FormatRows, EachTellsTheRecordsMarksCountsAndStatusOfTheText) {
  const struct Case { const char* name; std::vector<std::string> args; bool shared; } cases[] = {
      {"the bundled example", {"-i", "calls.ber"}, false},
      {"under a filter", {"-i", "calls.ber", "-f", "filter.cfg"}, false},
      {"shared by two threads", {"-i", "big.ber"}, true},
      {"shared: a stretch of fields outside records after a record, records of five octets", {"-i", "headers.ber"}, true},
      {"after damage", {"-i", "damaged.ber", "-c", "resync.cfg"}, false},
      {"a list with an input not read first", {"-l", "list", "-c", "resync.cfg"}, false},
  };
  const std::vector<OutputFormatRow> rows = RowsWithTally();
  std::vector<Written> runs;
  for (const OutputFormatRow& row : rows) {
    runs.push_back({&row});
    if (std::string(row.Name) == "jsonl") runs.push_back({&row, true});
  }
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    const RunSeen text = RunFormat(dir_, rows.front(), each.args);
    const Tally expected = CallRecordTally(text.Output);
    ASSERT_GT(expected.size(), 10u);
    for (const Written& run : runs) {
      const OutputFormatRow& row = *run.Row;
      if (each.shared && row.Dump) continue;
      SCOPED_TRACE(std::string(row.Title) + (run.Schema2 ? ", schema 2" : ""));
      ASSERT_EQ(kReaders.count(row.Title), 1u) << "the test has no reader of this format";
      const RunSeen seen = RunFormat(dir_, row, run.Schema2 ? WithSchema2(each.args) : each.args);
      EXPECT_EQ(seen.Status, text.Status);
      EXPECT_EQ(AsTheTextsErrors(seen.Errors, row), text.Errors);
      Tally told = run.Schema2 ? JsonLinesSchema2Tally(seen.Output) : kReaders.at(row.Title)(seen.Output);
      if (row.HasColumns) {
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.front(), "header");
        told.erase(told.begin());
      }
      EXPECT_EQ(told, expected);
      if (!each.shared) continue;
      std::vector<std::string> inOrderArgs = each.args;
      inOrderArgs.insert(inOrderArgs.end(), {"-c", "in-order.cfg"});
      const RunSeen inOrder = RunFormat(dir_, row, run.Schema2 ? WithSchema2(inOrderArgs) : inOrderArgs);
      EXPECT_EQ(inOrder.Status, seen.Status);
      EXPECT_EQ(inOrder.Errors, seen.Errors);
      EXPECT_TRUE(inOrder.Output == seen.Output) << "the outputs differ";
    }
  }
}

// The first line and the trailer of a format come once in every output that a walk wrote into:
// after one input, after a list (whose first input is not read), and after a fault in reading the
// input, where the fault's handler gives the output its name.
TEST_F(FormatRows, AFormatsTrailerEndsEveryOutput) {
  const struct Case { const char* name; std::vector<std::string> args; bool cut; int status; } cases[] = {
      {"one input", {"-i", "calls.ber"}, false, 0},
      {"a list", {"-l", "list", "-c", "resync.cfg"}, false, 255},
      {"a fault in reading the input", {"-i", "cut.ber"}, true, 255},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    if (each.cut) fs::copy_file(dir_ / "calls.ber", dir_ / "cut.ber", fs::copy_options::overwrite_existing);
    const RunSeen seen = RunFormat(dir_, kTallyRow, each.args, each.cut);
    EXPECT_EQ(seen.Status, each.status) << seen.Errors;
    EXPECT_EQ(seen.Output.rfind(kTallyFirstLine, 0), 0u);
    EXPECT_EQ(seen.Output.find(kTallyFirstLine, 1), std::string::npos);
    const std::string trailer = kTallyTrailer;
    ASSERT_GE(seen.Output.size(), trailer.size());
    EXPECT_EQ(seen.Output.substr(seen.Output.size() - trailer.size()), trailer);
    EXPECT_EQ(seen.Output.find(trailer), seen.Output.size() - trailer.size());
  }
}

}  // namespace
}  // namespace orvalis::test
