#include "driver/command_line.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "common/console.h"
#include "common/text_file.h"
#include "common/text_format.h"
#include "driver/compressed_input.h"
#include "driver/output_formats.h"

// The project's version, from CMake's project(); a build of these sources of its own (the fuzz
// targets') has none.
#ifndef ORVALIS_VERSION
#define ORVALIS_VERSION "(no version)"
#endif

namespace orvalis {
namespace {

constexpr const char kBanner[] =
    "Alcatel S-12 WR1A billing file parser, version 2.01 beta\n"
    "Written by the Orvalis team <billing-tools@example.org>, 23 Apr, 2006.\n"
    "\n";

constexpr const char kVersion[] = "orvalis " ORVALIS_VERSION "\n";

// The usage text around the line of -x, whose list of formats comes from the table of formats.
constexpr const char kUsageBeforeFormats[] =
    "Usage: Orvalis [-d] -i<file name> [-o<file name>] [-c<file name>] [-f<file name>]\n"
    " -d - debug mode (be careful, output file can be huge)\n"
    " -i - input file name\n"
    " -o - output file name\n"
    " -c - config file name (default Orvalis.cfg)\n"
    " -f - filter file name (no filter by default)\n"
    " -q - quiet: messages on standard error, a summary line at the end\n"
    " -s - strict: exit status 1 when the run completed with problems\n"
    " -t - tag dictionary file name (default Tags.cfg)\n"
    " -x - output format: ";
constexpr const char kUsageAfterFormats[] =
    "\n"
    " -l - list file: the input files, one name a line, into one output (instead of -i; needs -o)\n"
    " -m - manifest file: a JSON line for each input, telling what it gave\n"
    " -g - print the database table of the CSV: postgresql or sqlite (no input)\n"
    " -h - print this text (also --help); --version prints the version\n"
    " -q, -s and -d combine in one word: -qs is -q -s\n"
    " -i - and -l - read standard input, -o - and -m - write standard output (the console then\n"
    "      goes to standard error)\n"
    "Long forms, as --name value or --name=value: --debug, --input, --output, --config, --filter,\n"
    " --quiet, --strict, --tags, --format, --list, --manifest, --table (-g)\n"
    "Long options that win over the keys of the config file:\n"
    " --start N, --end N - the first and the last record number to write (StartRec, EndRec)\n"
    " --columns LIST - the CSV columns, comma-separated (Columns)\n"
    " --skip-filler - pass over filler between top-level elements (SkipFiller=true)\n"
    " --resync - go on after damage at the next record that reads (Resync=true)\n"
    " --long-tag-numbers - read identifier octets of any length (LongTagNumbers=true)\n"
    " --source-column - name each record's input in the output (SourceColumn=true)\n"
    " --record-kind-column - name each record's kind in JSON Lines and CSV (RecordKindColumn=true)\n"
    " --gzip-max-contents N - the most octets of contents of a gzip input (GzipMaxContents)\n"
    " --gzip-max-ratio R - the most octets of contents per compressed octet (GzipMaxRatio)\n"
    " --skip-converted MANIFEST - leave out the inputs that MANIFEST tells as converted (SkipConverted)\n"
    " --list-jobs N - the inputs of -l converted at once: 0 one per processor, 1 one after another (ListJobs)\n"

    "The dictionary from ASN.1 modules, in place of -t (printed when there is no -i, -l or -g):\n"
    " --dictionary-from MODULE.asn - a module file (the option once for each file)\n"
    " --root TYPE - the type of the file's top-level elements\n"
    " --records TYPE - the record type (default: the alternatives of the root type)\n"
    " --semantic-types FILE - TypeName=ValueType lines added to the bundled semantic table\n"
    " --compare TAGS.cfg - list where that dictionary disagrees with the modules\n";

// What an option takes.
enum class Takes {
  kNothing,       // a switch
  kName,          // a file name, a format, a dialect: at most kMaxFileNameLength characters
  kText,          // any text
  kRecordNumber,  // 0 to 4294967295, compared with record numbers as the file's keys are
  kContentsBound, // 1 to kLargestContents
  kRatioBound,    // 1 to kDeflateRatio
  kListJobs,      // 0 to kMostListJobs
  kHelp,
  kVersion,
};

// Sets what an option stands for, from its value's text or number (as Takes reads it).
using Setter = void (*)(RunSettings& settings, std::string_view text, uint64_t number);

struct OptionRow {
  OptionNames Names;
  Takes What;
  Setter Set;
};

// A record number as the file's StartRec and EndRec hold it: its 32 bits.
int32_t AsRecordNumber(uint64_t number) { return static_cast<int32_t>(static_cast<uint32_t>(number)); }

// Every option, in the order of the usage text; the letters d, q and s are also read in words of
// their own (-qs), and -d keeps the words that begin with it (-debug).
const OptionRow kOptions[] = {
    {{'d', "debug"}, Takes::kNothing, [](RunSettings& s, std::string_view, uint64_t) { s.DebugMode = true; }},
    {{'i', "input"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.InputFileName = v; }},
    {{'o', "output"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.OutputFileName = v; }},
    {{'c', "config"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.ConfigFileName = v; }},
    {{'f', "filter"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.FilterFileName = v; }},
    {{'q', "quiet"}, Takes::kNothing, [](RunSettings& s, std::string_view, uint64_t) { s.Quiet = true; }},
    {{'s', "strict"}, Takes::kNothing, [](RunSettings& s, std::string_view, uint64_t) { s.Strict = true; }},
    {{'t', "tags"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.TagsFileName = v; }},
    {{'x', "format"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.OutputFormatName = v; }},
    {{'l', "list"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.ListFileName = v; }},
    {{'m', "manifest"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.ManifestFileName = v; }},
    {{'g', "table"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.TableDialect = v; }},
    {{'h', "help"}, Takes::kHelp, nullptr},
    {{'\0', "version"}, Takes::kVersion, nullptr},
    {{'\0', "start"}, Takes::kRecordNumber,
     [](RunSettings& s, std::string_view, uint64_t n) { s.Keys.StartRec = AsRecordNumber(n); }},
    {{'\0', "end"}, Takes::kRecordNumber,
     [](RunSettings& s, std::string_view, uint64_t n) { s.Keys.EndRec = AsRecordNumber(n); }},
    {{'\0', "columns"}, Takes::kText, [](RunSettings& s, std::string_view v, uint64_t) { s.Keys.Columns = std::string(v); }},
    {{'\0', "skip-filler"}, Takes::kNothing, [](RunSettings& s, std::string_view, uint64_t) { s.Keys.SkipFiller = true; }},
    {{'\0', "resync"}, Takes::kNothing, [](RunSettings& s, std::string_view, uint64_t) { s.Keys.Resync = true; }},
    {{'\0', "long-tag-numbers"}, Takes::kNothing,
     [](RunSettings& s, std::string_view, uint64_t) { s.Keys.LongTagNumbers = true; }},
    {{'\0', "source-column"}, Takes::kNothing,
     [](RunSettings& s, std::string_view, uint64_t) { s.Keys.SourceColumn = true; }},
    {{'\0', "record-kind-column"}, Takes::kNothing,
     [](RunSettings& s, std::string_view, uint64_t) { s.Keys.RecordKindColumn = true; }},
    {{'\0', "gzip-max-contents"}, Takes::kContentsBound,
     [](RunSettings& s, std::string_view, uint64_t n) { s.Keys.GzipMaxContents = n; }},
    {{'\0', "gzip-max-ratio"}, Takes::kRatioBound,
     [](RunSettings& s, std::string_view, uint64_t n) { s.Keys.GzipMaxRatio = static_cast<uint32_t>(n); }},
    {{'\0', "skip-converted"}, Takes::kName,
     [](RunSettings& s, std::string_view v, uint64_t) { s.Keys.SkipConvertedFileName = std::string(v); }},
    // The dictionary from ASN.1 modules: each --dictionary-from adds a module file.
    {{'\0', "dictionary-from"}, Takes::kName,
     [](RunSettings& s, std::string_view v, uint64_t) { s.ModuleFileNames.emplace_back(v); }},
    {{'\0', "root"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.RootType = v; }},
    {{'\0', "records"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.RecordsType = v; }},
    {{'\0', "semantic-types"}, Takes::kName,
     [](RunSettings& s, std::string_view v, uint64_t) { s.SemanticTypesFileName = v; }},
    {{'\0', "compare"}, Takes::kName, [](RunSettings& s, std::string_view v, uint64_t) { s.CompareFileName = v; }},
    {{'\0', "list-jobs"}, Takes::kListJobs,
     [](RunSettings& s, std::string_view, uint64_t n) { s.Keys.ListJobs = static_cast<uint32_t>(n); }},
};

const OptionRow* OptionOfLetter(char letter) {
  for (const OptionRow& row : kOptions) {
    if (letter != '\0' && row.Names.Short == letter) return &row;
  }
  return nullptr;
}

const OptionRow* OptionOfName(std::string_view name) {
  for (const OptionRow& row : kOptions) {
    if (row.Names.Long != nullptr && name == row.Names.Long) return &row;
  }
  return nullptr;
}

// True for a word of the letters q, s and d alone after its "-" (-qs, -sqd): each is set.
bool TakeCombinedSwitches(std::string_view word, RunSettings& settings) {
  for (const char letter : word.substr(1)) {
    if (letter != 'q' && letter != 's' && letter != 'd') return false;
  }
  for (const char letter : word.substr(1)) OptionOfLetter(letter)->Set(settings, {}, 0);
  return true;
}

// The words of a number's bounds in a refusal.
std::string NumberFromTo(uint64_t smallest, uint64_t largest) {
  return "a number from " + std::to_string(smallest) + " to " + std::to_string(largest);
}

// Takes an option's value by what the option takes. Returns the message of a refused value,
// or an empty text; `shown` is the option as written (-o, --output).
std::string TakeValue(const OptionRow& row, const std::string& shown, std::string_view value, RunSettings& settings) {
  uint64_t number = 0;
  uint64_t smallest = 1;
  uint64_t largest = 0;
  switch (row.What) {
    case Takes::kName:
      if (value.size() <= kMaxFileNameLength) {
        row.Set(settings, value, 0);
      } else if (row.Names.Short != 'i') {
        return "Error: the value of option " + shown + " is longer than " + std::to_string(kMaxFileNameLength) +
               " characters\n";
      }
      return {};
    case Takes::kText: row.Set(settings, value, 0); return {};
    case Takes::kRecordNumber:
      smallest = 0;
      largest = UINT32_MAX;
      break;
    case Takes::kContentsBound: largest = kLargestContents; break;
    case Takes::kRatioBound: largest = kDeflateRatio; break;
    case Takes::kListJobs:
      smallest = 0;
      largest = kMostListJobs;
      break;
    case Takes::kNothing:
    case Takes::kHelp:
    case Takes::kVersion: return "Error: option " + shown + " takes no value\n";
  }
  if (!ParseDigits(value, largest, number) || number < smallest) {
    return "Error: the value of option " + shown + " is " + NumberFromTo(smallest, largest) + ", not \"" +
           ConsoleName(value) + "\"\n";
  }
  row.Set(settings, value, number);
  return {};
}

}  // namespace

std::vector<OptionNames> CommandLineOptions() {
  std::vector<OptionNames> names;
  for (const OptionRow& row : kOptions) names.push_back(row.Names);
  return names;
}

std::string UsageText() { return kUsageBeforeFormats + OutputFormatUsage() + kUsageAfterFormats; }

void PrintBanner() { SayChrome(kBanner); }

void PrintUsage() {
  PrintBanner();
  Say(UsageText());
}

int PrintAsked(Asked asked) {
  const std::string text = asked == Asked::kVersion ? std::string(kVersion) : UsageText();
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
  if (errno == 0) errno = EIO;
  PrintErrorForm("Error: can not write standard output");
  return -1;
}

int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings, CommandLineFaults* faults) {
  CommandLineFaults unused;
  CommandLineFaults& found = faults != nullptr ? *faults : unused;
  found = CommandLineFaults{};
  settings.InputFileName.clear();
  settings.OutputFileName.clear();
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    const OptionRow* row = nullptr;
    std::string_view value;
    bool attached = false;  // the value is in the word: -iday1.ber, --input=day1.ber
    if (word.compare(0, 2, "--") == 0) {  // "--" alone names no option
      const std::size_t equals = word.find('=');
      row = OptionOfName(word.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2));
      if (equals != std::string_view::npos) {
        value = word.substr(equals + 1);
        attached = true;
      }
    } else if (word.size() >= 2 && word[0] == '-') {
      const char letter = word[1];
      if (letter == 'd') {  // letters after it are ignored, as they always were (-debug)
        settings.DebugMode = true;
        continue;
      }
      if (letter == 'q' || letter == 's') {
        if (!TakeCombinedSwitches(word, settings)) {
          found.Unknown = true;  // the rest is still read, for -q
          if (found.RefusedWord.empty()) found.RefusedWord = std::string(word);
        }
        continue;
      }
      row = OptionOfLetter(letter);
      if (row != nullptr && row->What == Takes::kHelp && word.size() > 2) row = nullptr;  // -h stands alone
      value = word.substr(2);
      attached = !value.empty();
    }
    if (row == nullptr) {
      if (!found.Unknown) found.NotUnderstood = std::string(word);
      found.Unknown = true;  // the rest is still read, for -q
      continue;
    }
    const std::string shown(word[1] == '-' ? word.substr(0, word.find('=')) : word.substr(0, 2));  // -o, --output
    if (row->What == Takes::kHelp || row->What == Takes::kVersion || row->What == Takes::kNothing) {
      if (attached) {
        if (found.RefusedValue.empty()) found.RefusedValue = TakeValue(*row, shown, value, settings);
        continue;
      }
      if (row->What == Takes::kNothing) {
        row->Set(settings, {}, 0);
      } else if (found.Asks == Asked::kConversion) {
        found.Asks = row->What == Takes::kHelp ? Asked::kHelp : Asked::kVersion;
      }
      continue;
    }
    if (!attached) {
      if (i + 1 >= argc) break;  // a value-less last option stores nothing
      value = argv[++i];
    }
    std::string refused = TakeValue(*row, shown, value, settings);
    if (found.RefusedValue.empty()) found.RefusedValue = std::move(refused);
  }
  return found.Unknown ? -1 : 0;
}

}  // namespace orvalis
