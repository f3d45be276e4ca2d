// The command line: short and long forms alike, values attached or next, the letters that combine
// in one word, the long options' values checked, --help and --version on standard output.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_in_child.h"

namespace orvalis {
namespace {

// The settings that differ from a run without arguments, and what the command line held besides:
// "i=a o=out q s d", keys as "start=5", faults as "unknown", "word=-qx", "refused=<message>",
// "asks=help".
std::string Described(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"orvalis"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  RunSettings settings;
  CommandLineFaults faults;
  const int parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, &faults);
  const RunSettings none;
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
  const struct { const char* Name; const std::string& Value; const std::string& Default; } names[] = {
      {"i", settings.InputFileName, none.InputFileName},   {"o", settings.OutputFileName, none.OutputFileName},
      {"c", settings.ConfigFileName, none.ConfigFileName}, {"f", settings.FilterFileName, none.FilterFileName},
      {"t", settings.TagsFileName, none.TagsFileName},     {"x", settings.OutputFormatName, none.OutputFormatName},
      {"l", settings.ListFileName, none.ListFileName},     {"m", settings.ManifestFileName, none.ManifestFileName},
      {"g", settings.TableDialect, none.TableDialect},
  };
  for (const auto& name : names) {
    if (name.Value != name.Default) add(std::string(name.Name) + "=" + name.Value);
  }
  if (settings.Quiet) add("q");
  if (settings.Strict) add("s");
  if (settings.DebugMode) add("d");
  const KeysFromCommandLine& keys = settings.Keys;
  if (keys.StartRec) add("start=" + std::to_string(*keys.StartRec));
  if (keys.EndRec) add("end=" + std::to_string(*keys.EndRec));
  if (keys.Columns) add("columns=" + *keys.Columns);
  if (keys.SkipFiller) add("skip-filler");
  if (keys.Resync) add("resync");
  if (keys.LongTagNumbers) add("long-tag-numbers");
  if (keys.SourceColumn) add("source-column");
  if (keys.GzipMaxContents) add("contents=" + std::to_string(*keys.GzipMaxContents));
  if (keys.GzipMaxRatio) add("ratio=" + std::to_string(*keys.GzipMaxRatio));
  if (faults.Unknown) add("unknown");
  if ((parsed != 0) != faults.Unknown) add("(parsed disagrees)");
  if (!faults.RefusedWord.empty()) add("word=" + faults.RefusedWord);
  if (!faults.RefusedValue.empty()) add("refused=" + faults.RefusedValue);
  if (faults.Asks == Asked::kHelp) add("asks=help");
  if (faults.Asks == Asked::kVersion) add("asks=version");
  return text;
}

TEST(CommandLine, LongFormsAsShortFormsAndTheKeysTheyTake) {
  const std::string name256(256, 'n');
  const struct {
    std::vector<std::string> Args;
    std::string Described;
  } rows[] = {
      // the short forms, values attached or next; the long forms alike, as --name value or --name=value
      {{"-i", "a", "-oout", "-cc.cfg", "-f", "f.cfg", "-tt.cfg", "-xcsv", "-l", "l", "-mm", "-gsqlite"},
       "i=a o=out c=c.cfg f=f.cfg t=t.cfg x=csv l=l m=m g=sqlite"},
      {{"--input", "a", "--output=out", "--config=c.cfg", "--filter", "f.cfg", "--tags=t.cfg", "--format", "csv",
        "--list=l", "--manifest", "m", "--table=sqlite"},
       "i=a o=out c=c.cfg f=f.cfg t=t.cfg x=csv l=l m=m g=sqlite"},
      {{"--quiet", "--strict", "--debug"}, "q s d"},
      {{"--input=", "--output", "-i"}, "o=-i"},  // an empty value, and the next argument whatever it is
      {{"--output=a=b", "--input"}, "o=a=b"},    // split at the first =; a last option without value stores nothing
      {{"-o", "--help"}, "o=--help"},
      // words of q, s and d; a word beginning with d is -d, as always; any other word is refused by name
      {{"-qs"}, "q s"},
      {{"-sqd"}, "q s d"},
      {{"-dq"}, "d"},
      {{"-debug"}, "d"},
      {{"-qx", "-s"}, "s unknown word=-qx"},
      {{"-quiet", "-strict", "-q"}, "q unknown word=-quiet"},
      {{"-s1"}, "unknown word=-s1"},
      // unknown words: no abbreviations, no lone - or --, nothing but options
      {{"--inp", "a"}, "unknown"},
      {{"--", "-", "day1.ber"}, "unknown"},
      {{"-hx"}, "unknown"},
      {{"-I", "a"}, "unknown"},
      // the keys of the main configuration file
      {{"--start", "5", "--end=4294967295"}, "start=5 end=-1"},
      {{"--start=0", "--end", "2147483648"}, "start=0 end=-2147483648"},
      {{"--columns", "record,callType", "--skip-filler", "--resync", "--source-column"},
       "columns=record,callType skip-filler resync source-column"},
      {{"--columns="}, "columns="},
      {{"--gzip-max-contents=4294967295", "--gzip-max-ratio", "1032"}, "contents=4294967295 ratio=1032"},
      {{"--gzip-max-contents", "1", "--gzip-max-ratio=1"}, "contents=1 ratio=1"},
      // values refused, the first named
      {{"--start", "x", "--end", "y"},
       "refused=Error: the value of option --start is a number from 0 to 4294967295, not \"x\"\n"},
      {{"--end=4294967296"}, "refused=Error: the value of option --end is a number from 0 to 4294967295, not \"4294967296\"\n"},
      {{"--start=-1"}, "refused=Error: the value of option --start is a number from 0 to 4294967295, not \"-1\"\n"},
      {{"--start= 5"}, "refused=Error: the value of option --start is a number from 0 to 4294967295, not \" 5\"\n"},
      {{"--start="}, "refused=Error: the value of option --start is a number from 0 to 4294967295, not \"\"\n"},
      {{"--end", "99999999999999999999"},
       "refused=Error: the value of option --end is a number from 0 to 4294967295, not \"99999999999999999999\"\n"},
      {{"--gzip-max-contents", "0"},
       "refused=Error: the value of option --gzip-max-contents is a number from 1 to 4294967295, not \"0\"\n"},
      {{"--gzip-max-ratio=1033"}, "refused=Error: the value of option --gzip-max-ratio is a number from 1 to 1032, not \"1033\"\n"},
      {{"--gzip-max-ratio=\x1b[1m"},
       "refused=Error: the value of option --gzip-max-ratio is a number from 1 to 1032, not \"\\x1B[1m\"\n"},
      {{"--quiet=yes"}, "refused=Error: option --quiet takes no value\n"},
      {{"--resync=true"}, "refused=Error: option --resync takes no value\n"},
      {{"-o", name256}, "refused=Error: the value of option -o is longer than 255 characters\n"},
      {{"-t" + name256}, "refused=Error: the value of option -t is longer than 255 characters\n"},
      {{"--table=" + name256, "-x", name256}, "refused=Error: the value of option --table is longer than 255 characters\n"},
      {{"--input", name256, "--columns", name256}, "columns=" + name256},  // -i drops it; a column list may be long
      // --help, -h and --version: the first of them
      {{"--help"}, "asks=help"},
      {{"-q", "-h", "-i", "a"}, "i=a q asks=help"},
      {{"--version", "--help", "--bogus"}, "unknown asks=version"},
  };
  for (const auto& row : rows) {
    std::string args;
    for (const std::string& arg : row.Args) args += "[" + arg + "]";
    SCOPED_TRACE(args);
    EXPECT_EQ(Described(row.Args), row.Described);
  }
}

// --help and --version print on standard output, in quiet mode too, and nothing else: status 0,
// no banner, no summary line, whatever else the line holds.
TEST(CommandLine, HelpAndVersionOnStandardOutput) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("orvalis-asked-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string version = std::string("orvalis ") + ORVALIS_PROJECT_VERSION + "\n";
  const struct {
    std::vector<std::string> Args;
    std::string Console;
  } rows[] = {
      {{"--help"}, UsageText()},
      {{"-q", "-h", "-i", "missing.ber"}, UsageText()},
      {{"--version"}, version},
      {{"-x", "xml", "--version", "-h"}, version},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Args.front());
    const test::ChildRun run = test::RunInChild(dir, row.Args, [] {});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Console, row.Console);
    EXPECT_EQ(run.Errors, "");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvalis
