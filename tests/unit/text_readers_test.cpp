// The three text readers (Tags.cfg, the main configuration, the filter file) and the tree they
// fill: well-formed and bad lines, and hostile text (binary octets and NULs, enormous lines, no
// line ends, a million lines, bare line feeds, very deep paths, numbers beyond 32 bits). Each
// reader must survive, print exactly its messages for the bad lines and go on reading after them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "decode/types/value_types.h"

#include "common/console.h"
#include "common/line_splitter.h"
#include "common/text_file.h"
#include "common/text_format.h"
#include "driver/config_files.h"
#include "tags/tags_reader.h"

namespace orvalis::test {
namespace {

using namespace std::string_literals;

// The tree as text, "1:N=x{3{5:L=y:T=8}},2", siblings in chain order; N name, L long name, T type,
// F filter value, I/K entry counts of the tables; the names kept below the deepest level follow
// "~" ("~5.6.=x~7.=y", by path). Checks every link on the way, and that only the branch below a
// leaf of the deepest level is empty or holds such names.
std::string Describe(const TBranch& branch, int depth = 0) {
  std::string text;
  int32_t count = 0;
  const TLeaf* previous = nullptr;
  for (const TLeaf* leaf = branch.First; leaf != nullptr; previous = leaf, leaf = leaf->Next, ++count) {
    EXPECT_EQ(leaf->Prev, previous);
    EXPECT_EQ(leaf->Owner, &branch);
    const TItem& item = leaf->Item;
    text += count > 0 ? "," : "";
    AppendTagComponent(text, item.TagId, item.Class);
    if (item.TagName) text += ":N=" + *item.TagName;
    if (item.LongTagName) text += ":L=" + std::string(item.LongTagName->view());
    if (item.Type != TagType::None) text += ":T=" + std::to_string(static_cast<int>(item.Type));
    if (item.FilterValue) text += ":F=" + *item.FilterValue;
    if (item.IndArr) text += ":I" + std::to_string(item.IndArr->Count());
    if (item.NonIndArr) text += ":K" + std::to_string(item.NonIndArr->Count());
    if (item.KeepsContents) text += ":O";
    if (leaf->Child) {
      EXPECT_EQ(leaf->Child->Parent, leaf);
      EXPECT_TRUE(leaf->Child->Count() > 0 || depth == kMaxDepth);
      text += "{" + Describe(*leaf->Child, depth + 1) + "}";
    }
  }
  EXPECT_EQ(branch.Last, previous);
  EXPECT_EQ(branch.Count(), count);
  EXPECT_TRUE(depth <= kMaxDepth || count == 0);
  if (branch.DeepNames) {
    EXPECT_EQ(depth, kMaxDepth + 1);
    std::map<std::string, std::string> byPath(branch.DeepNames->begin(), branch.DeepNames->end());
    for (const auto& [path, name] : byPath) text += "~" + path + "=" + name;
  }
  return text;
}

// The messages the readers print for a bad line.
std::string TooLong(const char* file, int lineNumber) {
  return "Error in "s + file + " file: line " + std::to_string(lineNumber) +
         " is longer than 2047 characters and is skipped.\n\n";
}
std::string TagsNoEquals(std::string_view line) {
  return "Error when decoding Tags.cfg line:\n "s + std::string(line) + "\n Right format is x.y.z=bla-bla-bla\n\n";
}
std::string NoEquals(const char* file, std::string_view line) {
  return "Error when decoding line in "s + file + ":\n " + std::string(line) + "\n Right format is Parameter=Value\n\n";
}
std::string TagNotFound(std::string_view name) {
  return "Error in Filter.cfg file: tag "s + std::string(name) + " not found.\n\n";
}
std::string Times(int count, const std::string& text) {
  std::string all;
  for (int i = 0; i < count; ++i) all += text;
  return all;
}
// "id{id{...id<leaf>}...}", `levels` deep.
std::string Chain(int levels, const std::string& id, const std::string& leaf) {
  return Times(levels - 1, id + "{") + id + leaf + std::string(static_cast<std::size_t>(levels - 1), '}');
}
// A million lines, make(i) for the i-th and `bad` for every 100000th.
template <typename Make>
std::string MillionLines(const std::string& bad, Make&& make) {
  std::string text;
  text.reserve(20000000);
  for (int i = 1; i <= 1000000; ++i) (i % 100000 == 0 ? text.append(bad) : text.append(make(i))).append("\r\n");
  return text;
}

enum class Reader { Tags, Config, Filter };

struct ReaderRow {
  const char* name;
  Reader reader;
  std::string text;
  std::string console;
  std::string result;  // Tags: the tree; Config: the settings; Filter: lines accepted and the tree
  std::string dictionary = "1.TagName=record\r\n1.3.TagName=callingNumber\r\n1.3.Type=Number\r\n"
                           "1.9.TagName=trunk\r\n1.9.0.TagName=trunkGroup\r\n1.9.0.Type=String\r\n";
};

std::string Read(const ReaderRow& row) {
  TBranch root(nullptr);
  root.Types = ValueTypes::Names();
  if (row.reader == Reader::Tags) {
    ApplyTagsText(root, row.text);
    return Describe(root);
  }
  if (row.reader == Reader::Filter) {
    ApplyTagsText(root, row.dictionary);
    const uint32_t accepted = ApplyFilterText("Filter.cfg", row.text, root);
    return std::to_string(accepted) + " " + Describe(root);
  }
  RunSettings settings;
  ApplyMainConfigText(settings, row.text);
  return std::to_string(settings.StartRec) + " " + std::to_string(settings.EndRec) + " " + settings.FilterFileName;
}

void Check(const std::vector<ReaderRow>& rows) {
  for (const ReaderRow& row : rows) {
    SCOPED_TRACE(std::string(*row.name ? row.name : row.text.substr(0, 200)) + " / reader " +
                 std::to_string(static_cast<int>(row.reader)));
    testing::internal::CaptureStdout();
    const std::string result = Read(row);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.console);
    EXPECT_EQ(result, row.result);
  }
}

// The code of the type Opaque, in text.
std::string OpaqueCode() {
  TagType code = TagType::None;
  EXPECT_TRUE(ValueTypes::Names().Find("Opaque", code));
  return std::to_string(static_cast<int>(code));
}

// The filter dictionary described with filter values for callingNumber and trunkGroup.
std::string Filtered(const std::string& calling, const std::string& trunk) {
  return "1:N=record{3:N=callingNumber:T=3" + calling + ",9:N=trunk{0:N=trunkGroup:T=2" + trunk + "}}";
}

// Tags.cfg lines (a CR LF ends each), the tree they build and the messages they give.
TEST(TextReaders, TagsLines) {
  auto tags = [](std::initializer_list<const char*> lines, std::string tree, std::string console = "") {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return ReaderRow{"", Reader::Tags, text, console, tree};
  };
  const std::string unknownType = "Error in Tags.cfg file: Unknown TypeOfTag in line:\n 1.Type\n\n";
  const std::string redefined = "Warning: Redefining parameter in Tags.cfg line ";
  Check({
      tags({"1.3.5.TagName=X"}, "1{3{5:N=X}}"),
      tags({"1.2.3=x"}, "1{2}"),
      tags({"TagName=x", "1.=x", "1.type=String"}, "1"),
      tags({"2.TagName=B", "1.TagName=A"}, "2:N=B,1:N=A"),
      tags({" 1.TagName=A", "01.LongTagName=L", "1x.Type=String"}, "1:N=A:L=L:T=2"),
      tags({"-3.TagName=M", "99999999999.TagName=C"}, "-3:N=M,2147483647:N=C"),
      tags({"1.LongTagName=A\\tB\\n", "2.LongTagName=\\\\t\\x"}, "1:L=A\tB\n,2:L=\\\t\\x"),
      tags({"1.LongTagName=old", "1.LongTagName=a=b.c"}, "1:L=a=b.c"),
      tags({"1.Foo.TagName=X"}, "1{0:N=X}"),
      tags({"1.Type=Text"}, "1", unknownType),
      tags({"1.Type=Duration", "1.Type=duration"}, "1:T=8", unknownType),
      tags({"1.3.5.TagName=X", "1.3.5.TagName=Y"}, "1{3{5:N=X}}", redefined + "1.3.5.TagName\n"),
      tags({"1.TagName=", "1.TagName=Z"}, "1:N=", redefined + "1.TagName\n"),
      tags({"1.3.TagName=A", "1.4.TagName=B", "1.3.LongTagName=C"}, "1{3:N=A:L=C,4:N=B}"),
      tags({"1.2.3"}, "", "Error when decoding Tags.cfg line:\n 1.2.3\n Right format is x.y.z=bla-bla-bla\n\n"),
      tags({"1.IndArr=A,B", "1.IndArr=C", "1.NonIndArr=1,X", "1.NonIndArr=2,Y;3,Z"}, "1:I1:K2"),
      // class letters: another leaf than the bare number's; a letter without digits, another letter
      // or a capital makes no class letter (such a component reads as 0, as always)
      tags({"1.c2.TagName=p", "1.a2.TagName=q", "1.2.TagName=any", "1.c02.LongTagName=L"}, "1{c2:N=p:L=L,a2:N=q,2:N=any}"),
      tags({"a1.TagName=A", "p7.0.TagName=B", "u0.TagName=C", "c1.TagName=D"}, "a1:N=A,p7{0:N=B},u0:N=C,c1:N=D"),
      tags({"1.a.TagName=x", "2.A5.TagName=y", "3.x5.TagName=z"}, "1{0:N=x},2{0:N=y},3{0:N=z}"),
      // Opaque keeps the contents whole while it is the type
      tags({"1.Type=Opaque", "2.Type=HexNumber", "2.Type=Opaque", "3.Type=Opaque", "3.Type=HexNumber"},
           "1:T=" + OpaqueCode() + ":O,2:T=" + OpaqueCode() + ":O,3:T=4"),
      tags({"1.Type=DateTime", "2.Type=String", "3.Type=Number", "4.Type=HexNumber", "5.Type=DecNumber",
            "6.Type=ValFromIndexedArr", "7.Type=ValFromNonIndexedArr", "8.Type=Duration", "9.Type=LineCode",
            "10.Type=ReceivedDigits"},
           "1:T=1,2:T=2,3:T=3,4:T=4,5:T=5,6:T=6,7:T=7,8:T=8,9:T=9,10:T=10"),
  });
}

TEST(TextReaders, HostileText) {
  std::string binary("\0"s);  // every octet value, NULs first and last
  for (int c = 1; c < 256; ++c) binary.push_back(static_cast<char>(c));
  binary.push_back('\0');
  std::string noEquals = binary;
  noEquals.erase(noEquals.find('='), 1);
  const std::string huge(10 * 1024 * 1024, 'x'), few(100, '\n'), many(100000, '\n');
  std::string deep;  // 1000 components fill a line of 2009 characters
  for (int i = 0; i < 1000; ++i) deep += "7.";
  const std::string deepTags = deep + "TagName=bottom\r\n" + deep + "Type=Duration\r\n" + std::string(600, '.') +
                               "TagName=dots\r\n5.TagName=after\r\n";
  const std::string cfg = "Orvalis.cfg";
  const std::string deepTree = Chain(kMaxDepth + 1, "7", "{~" + Times(1000 - kMaxDepth - 1, "7.") + "=bottom}") + "," +
                               Chain(kMaxDepth + 1, "0", "{~" + Times(600 - kMaxDepth - 1, "0.") + "=dots}") +
                               ",5:N=after";

  Check({
      // Binary octets are text like any other: kept whole in values, a NUL ends a number, a name
      // holding one is unknown.
      {"binary", Reader::Tags,
       "1.TagName=a\0b"s + "\r\n" + noEquals + "\r\n1.LongTagName=" + binary + "\r\n2.TagName=after\r\n",
       TagsNoEquals(noEquals), "1:N=a\0b"s + ":L=" + binary + ",2:N=after"},
      {"binary", Reader::Config,
       "StartRec=\0" "7\r\n"s + noEquals + "\r\nEnd\0Rec=5\r\nEndRec=12\0" "34\r\nFilterFile=f\0g\r\n"s,
       NoEquals(cfg.c_str(), noEquals) + "Error in Orvalis.cfg file: Unknown parameter in line:\n End\0Rec\n\n"s,
       "0 12 f\0g"s},
      {"binary", Reader::Filter, "callingNumber\0=1\r\n"s + noEquals + "\r\ntrunkGroup=" + binary + "\r\n",
       TagNotFound("callingNumber\0"s) + NoEquals("Filter.cfg", noEquals), "1 " + Filtered("", ":F=" + binary)},
      // Enormous lines are skipped with one message, and reading goes on; 2047 characters fit.
      {"enormous", Reader::Tags,
       "1.TagName=" + huge + "\r\n3.TagName=" + std::string(2037, 'y') + "\r\n4.TagName=" + std::string(2038, 'z') +
           "\r\n2.TagName=after\r\n",
       TooLong("Tags.cfg", 1) + TooLong("Tags.cfg", 3), "3:N=" + std::string(2037, 'y') + ",2:N=after"},
      {"enormous", Reader::Config,
       "FilterFile=" + huge + "\r\nStartRec=3\r\nFilterFile=" + std::string(256, 'f') + "\r\nEndRec=4\r\n",
       TooLong("Orvalis.cfg", 1) +
           "Error in Orvalis.cfg file: FilterFile value is longer than 255 characters and is ignored.\n\n",
       "3 4 "},
      {"enormous", Reader::Filter, "callingNumber=" + huge + "\r\ntrunkGroup=T1\r\n", TooLong("Filter.cfg", 1),
       "1 " + Filtered("", ":F=T1")},
      // Without any line end the whole text is one line, a lone CR an ordinary character of it. A
      // text without CR LF was written with line feeds alone: each LF ends a line. Among CR LF
      // line ends, lone CR and LF are ordinary characters.
      {"no line end", Reader::Tags, "1.TagName=a\r2.TagName=b", "", "1:N=a\r2.TagName=b"},
      {"no line end", Reader::Config, "StartRec=5", "", "5 0 "},
      {"line feeds alone", Reader::Tags, "1.TagName=a\n2.TagName=b\r3.TagName=c\n\n#\n4.TagName=d", "",
       "1:N=a,2:N=b\r3.TagName=c,4:N=d"},
      {"line feeds alone", Reader::Config, "StartRec=5\nEndRec=6", "", "5 6 "},
      {"line feeds alone", Reader::Filter, "callingNumber=1\ntrunkGroup=A\n", "", "2 " + Filtered(":F=1", ":F=A")},
      {"line feeds among CR LF", Reader::Tags, "1.TagName=a\n2.TagName=b\r\n3.TagName=c", "", "1:N=a\n2.TagName=b,3:N=c"},
      {"line feeds among CR LF", Reader::Config, "StartRec=5\nEndRec=6\r\n", "", "5 0 "},
      {"2.4 MB with lone line feeds", Reader::Tags, "\r\n" + Times(200000, "1.TagName=x\n"), TooLong("Tags.cfg", 2), ""},
      {"line feeds alone", Reader::Tags, few, "", ""},
      {"many bare line feeds", Reader::Tags, many + "\r\n", TooLong("Tags.cfg", 1), ""},
      {"bare line feeds, then a line", Reader::Tags, few + "\r\n1.TagName=after\r\n", TagsNoEquals(few), "1:N=after"},
      {"line feeds alone", Reader::Config, few + "StartRec=4", "", "4 0 "},
      {"many bare line feeds", Reader::Config, many + "\r\nStartRec=2", TooLong("Orvalis.cfg", 1), "2 0 "},
      {"bare line feeds", Reader::Filter, few + "\r\n\r\ntrunkGroup=A", NoEquals("Filter.cfg", few),
       "1 " + Filtered("", ":F=A")},
      // A million short lines, a bad one now and then.
      {"a million lines", Reader::Tags,
       MillionLines("bad", [](int i) { return "1." + std::to_string(i % 10) + ".Type=String"; }) + "1.5.TagName=last",
       Times(10, TagsNoEquals("bad")), "1{1:T=2,2:T=2,3:T=2,4:T=2,5:N=last:T=2,6:T=2,7:T=2,8:T=2,9:T=2,0:T=2}"},
      {"a million lines", Reader::Config,
       MillionLines("bad", [](int i) { return i % 2 == 0 ? "# comment"s : "StartRec=" + std::to_string(i); }),
       Times(10, NoEquals(cfg.c_str(), "bad")), "999999 0 "},
      {"a million lines", Reader::Filter,
       MillionLines("nosuch=1", [](int i) { return "callingNumber=" + std::to_string(i); }),
       Times(10, TagNotFound("nosuch")), "999990 " + Filtered(":F=999999", "")},
      // The tree goes down the 21 levels that the walk reaches and keeps of deeper paths only the
      // name (600 empty components are a path of tag 0); filtering finds names at every depth.
      {"deep paths", Reader::Tags, deepTags, "", deepTree},
      {"deep paths", Reader::Filter, "bottom=1\r\ndots=2\r\n", "", "2 " + deepTree, deepTags},
      // Numbers beyond 32 bits are clamped.
      {"numbers beyond 32 bits", Reader::Tags,
       "4294967296.TagName=big\r\n99999999999999999999999999.TagName=bigger\r\n2147483647.LongTagName=max\r\n"
       "-4294967297.TagName=small\r\n4294967297.4294967298.Type=HexNumber\r\n"
       "6.NonIndArr=4294967296,huge;-1,negative;1,one\r\n6.TagName=after\r\n",
       "Warning: Redefining parameter in Tags.cfg line 99999999999999999999999999.TagName\n"
       "Error when decoding Tags.cfg line: 4294967296\n",
       "2147483647:N=big:L=max{2147483647:T=4},-2147483648:N=small,6:N=after:K2"},
      {"numbers beyond 32 bits", Reader::Config, "StartRec=99999999999\r\nEndRec=-99999999999999999999999\r\n", "",
       "2147483647 -2147483648 "},
  });
}

// The lines of a text as the three readers get them: split at CR LF, or at LF in a text without
// any CR LF; a text ending in its line end has no empty line after it.
TEST(TextReaders, LinesEndAtCrLfOrInATextWithoutAnyAtLf) {
  const std::pair<std::string_view, std::vector<std::string>> rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\n", {""}},
      {"a\n\nb\r", {"a", "", "b\r"}},
      {"a\rb\n\rc", {"a\rb", "\rc"}},
      {"a\nb\r\nc\n", {"a\nb", "c\n"}},
      {"a\r\n\r\nb\r\n", {"a", "", "b"}},
  };
  for (const auto& [text, lines] : rows) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    std::vector<std::string> seen;
    ForEachLine(text, [&](std::string_view line) { seen.emplace_back(line); });
    EXPECT_EQ(seen, lines);
  }
}

// The line feeds that the warning counts: those without a CR on either side, in a text that holds
// a CR LF; in a text written with line feeds alone they are its line ends, and none is counted.
TEST(TextReaders, BareLineFeedsAreCountedAmongCrLfOnly) {
  const std::pair<std::string_view, uint64_t> rows[] = {
      {"", 0}, {"\n", 0}, {"A=1\nB=2\n", 0}, {"A=1\rB=2\n\r", 0}, {"A=1\r\n", 0},
      {"A=1\r\nB=2\n", 1}, {"\nA=1\r\n", 1}, {"A=1\n\r\nB=2\nC\n\n\r\n", 2},
  };
  for (const auto& [text, count] : rows) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    EXPECT_EQ(CountBareLineFeeds(text), count);
  }
  // The octets around the text are not its own: a CR just before its first octet or just after
  // its last one leaves a line feed there bare.
  const std::string_view around = "\r\nA=1\r\nB=2\n\r";
  EXPECT_EQ(CountBareLineFeeds(around.substr(1, around.size() - 2)), 2u);  // "\nA=1\r\nB=2\n"
}

// The settings that the checked keys of the main configuration file set, as text: each that
// differs from a run's default.
std::string CheckedSettings(const RunSettings& s) {
  const RunSettings none;
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
  const std::pair<const char*, bool> switches[] = {
      {"debug", s.DebugMode},   {"strict", s.Strict},         {"skip-filler", s.SkipFiller},
      {"resync", s.Resync},     {"source", s.SourceColumn},   {"offset", s.OffsetColumn},
      {"inert", s.InertFormulas}, {"sql", s.SqlColumnNames}, {"cdr-columns", s.CdrHeaderColumns},
  };
  for (const auto& [name, on] : switches) {
    if (on) add(name);
  }
  if (s.TableName != none.TableName) add("table=" + s.TableName);
  if (!s.SkipConvertedFileName.empty()) add("converted=" + s.SkipConvertedFileName);
  if (s.GzipMaxContents != none.GzipMaxContents) add("contents=" + std::to_string(s.GzipMaxContents));
  if (s.GzipMaxRatio != none.GzipMaxRatio) add("ratio=" + std::to_string(s.GzipMaxRatio));
  if (s.JsonSchema != none.JsonSchema) add("schema=" + std::to_string(s.JsonSchema));
  if (s.CdrFraming != none.CdrFraming) add(s.CdrFraming == Framing::kAlways ? "framing=3gpp" : "framing=none");
  if (s.LeadingOctets != none.LeadingOctets) add("leading=" + std::to_string(s.LeadingOctets));
  return text;
}

// A key whose value is checked takes only what it names; any other value is a bad line, "KEY is
// WHAT, not:" with the value, that leaves the setting as it was. false switches SkipFiller,
// Resync and the others off (the last line wins) but not DebugMode nor Strict, which -d and -s
// also switch on. (Values past the gzip bounds' range and with other characters: end-to-end cases.)
TEST(TextReaders, CheckedKeysTakeOnlyTheirValues) {
  const auto bad = [](const char* key, const char* what, const std::string& value) {
    return std::string("Error in Orvalis.cfg file: ") + key + " is " + what + ", not:\n " + value + "\n\n";
  };
  const auto notSwitch = [&bad](const char* key, const char* value) { return bad(key, "true or false", value); };
  const std::string contentsBad = "a number from 1 to 4294967295";
  const std::string name256(256, 'n');
  const struct Row {
    std::string Lines;
    bool Before;  // every switch on before the file is read
    std::string After;
    int BadLines;
    std::string Console;
  } rows[] = {
      // switches
      {"DebugMode=true\r\nStrict=true\r\nSkipFiller=true\r\nResync=true\r\nOffsetColumn=true\r\nSourceColumn=true\r\n"
       "InertFormulas=true",
       false, "debug strict skip-filler resync source offset inert", 0, ""},
      {"DebugMode=false\r\nStrict=false\r\nSkipFiller=false\r\nResync=false\r\nOffsetColumn=false\r\nSourceColumn=false",
       false, "", 0, ""},
      {"DebugMode=false\r\nStrict=false\r\nSkipFiller=false\r\nResync=false\r\nOffsetColumn=false\r\nSourceColumn=false\r\n"
       "InertFormulas=false",
       true, "debug strict", 0, ""},
      {"SkipFiller=true\r\nResync=true\r\nOffsetColumn=true\r\nSkipFiller=false\r\nResync=false\r\nOffsetColumn=false",
       false, "", 0, ""},
      {"DebugMode=True\r\nStrict=1\r\nSkipFiller=yes\r\nResync=TRUE\r\nOffsetColumn=on", false, "", 5,
       notSwitch("DebugMode", "True") + notSwitch("Strict", "1") + notSwitch("SkipFiller", "yes") +
           notSwitch("Resync", "TRUE") + notSwitch("OffsetColumn", "on")},
      {"DebugMode=no\r\nStrict=\r\nSkipFiller=true \r\nResync= false\r\nOffsetColumn=False", true,
       "debug strict skip-filler resync source offset inert", 5,
       notSwitch("DebugMode", "no") + notSwitch("Strict", "") + notSwitch("SkipFiller", "true ") +
           notSwitch("Resync", " false") + notSwitch("OffsetColumn", "False")},
      {"Resync=true\r\nResync=on", false, "resync", 1, notSwitch("Resync", "on")},
      // names and words
      {"ColumnNames=sql\r\nTableName=t\r\nSkipConverted=s.jsonl", false, "sql table=t converted=s.jsonl", 0, ""},
      {"ColumnNames=SQL\r\nTableName=\r\nSkipConverted=" + name256, false, "", 3,
       bad("ColumnNames", "sql or tags", "SQL") + bad("TableName", "a name of 1 to 255 characters", "") +
           bad("SkipConverted", "a file name of at most 255 characters", name256)},
      // JsonSchema: exactly 1 or 2
      {"JsonSchema=2", false, "schema=2", 0, ""},
      {"JsonSchema=2\r\nJsonSchema=1", false, "", 0, ""},
      {"JsonSchema=3", false, "", 1, bad("JsonSchema", "1 or 2", "3")},
      {"JsonSchema=2\r\nJsonSchema=02\r\nJsonSchema=1 \r\nJsonSchema=\r\nJsonSchema=true", false, "schema=2", 4,
       bad("JsonSchema", "1 or 2", "02") + bad("JsonSchema", "1 or 2", "1 ") + bad("JsonSchema", "1 or 2", "") +
           bad("JsonSchema", "1 or 2", "true")},
      // files of CDRs: Framing a word of three, LeadingOctets digits from 0 to 65535
      {"Framing=3gpp\r\nLeadingOctets=65535\r\nCdrHeaderColumns=true", false, "cdr-columns framing=3gpp leading=65535",
       0, ""},
      {"Framing=none\r\nLeadingOctets=7\r\nLeadingOctets=0", false, "framing=none", 0, ""},
      {"Framing=3gpp\r\nFraming=recognise", false, "", 0, ""},
      {"Framing=3GPP\r\nLeadingOctets=65536\r\nLeadingOctets=-1\r\nCdrHeaderColumns=1", false, "", 4,
       bad("Framing", "recognise, 3gpp or none", "3GPP") + bad("LeadingOctets", "a number from 0 to 65535", "65536") +
           bad("LeadingOctets", "a number from 0 to 65535", "-1") + notSwitch("CdrHeaderColumns", "1")},
      // the gzip bounds: digits only, within their range
      {"GzipMaxContents=1000", false, "contents=1000", 0, ""},
      {"GzipMaxContents=0004294967295", false, "", 0, ""},
      {"GzipMaxContents=1", false, "contents=1", 0, ""},
      {"GzipMaxContents=18446744073709551617", false, "", 1, bad("GzipMaxContents", contentsBad.c_str(), "18446744073709551617")},
      {"GzipMaxContents=0", false, "", 1, bad("GzipMaxContents", contentsBad.c_str(), "0")},
      {"GzipMaxContents=+5", false, "", 1, bad("GzipMaxContents", contentsBad.c_str(), "+5")},
      {"GzipMaxContents=", false, "", 1, bad("GzipMaxContents", contentsBad.c_str(), "")},
      {"GzipMaxRatio=1032", false, "ratio=1032", 0, ""},
      {"GzipMaxRatio=1", false, "ratio=1", 0, ""},
      {"GzipMaxRatio=1033", false, "", 1, bad("GzipMaxRatio", "a number from 1 to 1032", "1033")},
      {"GzipMaxRatio=0", false, "", 1, bad("GzipMaxRatio", "a number from 1 to 1032", "0")},
      {"GzipMaxRatio=sql", false, "", 1, bad("GzipMaxRatio", "a number from 1 to 1032", "sql")},  // a word another key takes
      {"GzipMaxRatio=100\r\nGzipMaxRatio= 7\r\nGzipMaxContents=9\r\nGzipMaxContents=9x", false, "contents=9 ratio=100", 2,
       bad("GzipMaxRatio", "a number from 1 to 1032", " 7") + bad("GzipMaxContents", contentsBad.c_str(), "9x")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.Lines) + (row.Before ? " after every switch" : ""));
    RunSettings settings;
    settings.DebugMode = settings.Strict = settings.SkipFiller = settings.Resync = settings.OffsetColumn =
        settings.SourceColumn = settings.InertFormulas = row.Before;
    const uint64_t badBefore = ProblemCount(Problem::kBadConfigLine);
    testing::internal::CaptureStdout();
    ApplyMainConfigText(settings, row.Lines);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.Console);
    EXPECT_EQ(CheckedSettings(settings), row.After);
    EXPECT_EQ(ProblemCount(Problem::kBadConfigLine) - badBefore, static_cast<uint64_t>(row.BadLines));
  }
}

// Tag numbers outside 0..31 go through other indexes than those of a one-octet identifier (one
// for 32..127, one for the rest): numbers on both sides of each edge, negative, large and clamped
// numbers are found, the first of two equal numbers wins, and a dictionary declaring tens of
// thousands of them builds in linear time (a list search per line took minutes).
TEST(TagTree, FindByIdOfNumbersOutsideTheIdentifierRange) {
  TBranch branch(nullptr);
  const int32_t ids[] = {128, -1, INT32_MAX, INT32_MIN, 127, 0, 1000, 31, 32};
  for (int32_t id : ids) branch.Append(std::make_unique<TLeaf>(TItem(id), &branch));
  TLeaf* again = branch.Append(std::make_unique<TLeaf>(TItem(1000), &branch));
  for (int32_t id : ids) {
    SCOPED_TRACE(id);
    ASSERT_NE(branch.FindById(id), nullptr);
    EXPECT_EQ(branch.FindById(id)->Item.TagId, id);
  }
  EXPECT_NE(branch.FindById(1000), again);
  EXPECT_EQ(branch.FindById(129), nullptr);
  EXPECT_EQ(branch.FindById(33), nullptr);
  EXPECT_EQ(branch.FindById(-2), nullptr);
  EXPECT_EQ(TBranch(nullptr).FindById(40), nullptr);

  std::string text;
  for (int32_t id = 1000; id < 51000; ++id) text += std::to_string(id) + ".TagName=t\r\n";
  TBranch root(nullptr);
  root.Types = ValueTypes::Names();
  ApplyTagsText(root, text);
  EXPECT_EQ(root.Count(), 50000);
  EXPECT_EQ(root.FindById(50999), root.Last);
}

// A branch that names classes finds an element's leaf by its class, else the bare number's, whether
// the bare number came before the class letters or after; its plain tables, which the walk's common
// element looks in, find nothing; a branch without class letters finds by number alone.
TEST(TagTree, ClassLettersTellSiblingsApart) {
  for (const bool bareFirst : {true, false}) {
    SCOPED_TRACE(bareFirst ? "bare number first" : "class letters first");
    TBranch root(nullptr);
    root.Types = ValueTypes::Names();
    const std::string bare = "1.2.TagName=any\r\n1.5.TagName=five\r\n1.300.TagName=large\r\n";
    const std::string lettered = "1.c2.TagName=p\r\n1.a2.TagName=q\r\n1.p300.TagName=q300\r\n";
    ApplyTagsText(root, (bareFirst ? bare + lettered : lettered + bare) + "7.TagName=plain\r\n7.a7.TagName=x\r\n");
    const TBranch& one = *root.FindById(1)->Child;
    const auto name = [](const TLeaf* leaf) { return leaf != nullptr ? *leaf->Item.TagName : std::string("-"); };
    EXPECT_EQ(name(one.Find(2, TagClass::kContext)), "p");
    EXPECT_EQ(name(one.Find(2, TagClass::kApplication)), "q");
    EXPECT_EQ(name(one.Find(2, TagClass::kUniversal)), "any");
    EXPECT_EQ(name(one.Find(5, TagClass::kPrivate)), "five");
    EXPECT_EQ(name(one.Find(300, TagClass::kPrivate)), "q300");
    EXPECT_EQ(name(one.Find(300, TagClass::kContext)), "large");
    EXPECT_EQ(name(one.Find(6, TagClass::kContext)), "-");
    EXPECT_EQ(name(one.FindCommon(5)), "-");
    EXPECT_EQ(name(one.FindDeclared(2, TagClass::kAny)), "any");
    EXPECT_EQ(name(one.FindDeclared(5, TagClass::kApplication)), "-");
    EXPECT_TRUE(one.NamesClasses());
    const TBranch& seven = *root.FindById(7)->Child;
    EXPECT_EQ(name(seven.Find(7, TagClass::kApplication)), "x");
    EXPECT_EQ(name(root.FindCommon(7)), "plain");
    EXPECT_FALSE(root.NamesClasses());
    EXPECT_TRUE(NamesClassesAnywhere(root));
    EXPECT_EQ(LeafPathText(*one.Find(300, TagClass::kPrivate)), "1.p300");
  }
}

// Below a leaf of depth kMaxDepth the tree keeps one branch without leaves (so that the walk knows
// the tag has sub-tags) holding only the TagNames of the deeper paths, for the filter; a deep
// line gives the messages of any line.
TEST(TagTree, BelowTheDeepestLevelOnlyNamesAreKept) {
  const std::string top = Times(kMaxDepth + 1, "1.");  // the path of a leaf of depth kMaxDepth
  const std::string unknownType = "Error in Tags.cfg file: Unknown TypeOfTag in line:\n " + top + "5.Type\n\n";
  const std::string redefined = "Warning: Redefining parameter in Tags.cfg line " + top + "05.TagName\n";
  const std::tuple<std::vector<std::string>, std::string, std::string> rows[] = {  // lines below top, names, console
      {{"5.TagName=X"}, "~5.=X", ""},
      {{"5.TagName=X", "05.TagName=Y", "5.LongTagName=L"}, "~5.=X", redefined},
      {{"5.6.TagName=X", "5.TagName=Y", "-3.7.TagName=Z", "5.6.7.IndArr=A"}, "~-3.7.=Z~5.=Y~5.6.=X", ""},
      {{"5.Type=Text", "5.NonIndArr=1,A;x,B", "5.6=x"}, "", unknownType + "Error when decoding Tags.cfg line: 1\n"},
  };
  for (const auto& [lines, names, console] : rows) {
    SCOPED_TRACE(testing::PrintToString(lines));
    TBranch root(nullptr);
    testing::internal::CaptureStdout();
    for (const std::string& line : lines) ApplyTagsLine(root, top + line);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
    const std::string tree = Chain(kMaxDepth + 1, "1", "{" + names + "}");
    EXPECT_EQ(Describe(root), tree);
    for (std::string_view name : {"X", "Y", "Z", "L"}) {
      bool found = false;
      SetFilter(root, name, "v", found);
      EXPECT_EQ(found, names.find("=" + std::string(name)) != std::string::npos) << name;
    }
    EXPECT_EQ(Describe(root), tree);  // no item took a filter value
  }
}

// What a dictionary declares for the walk: a path that an element can have (a tag number that
// identifier octets carry, 0 to 127 as always read and 0 to 2097151 with identifier octets of any
// length, at the top), and a record start that the record formats' walk opens (TagName record with
// a LongTagName, on such a path, down to the deepest level the walk reaches); a tag number that
// only identifier octets of any length carry, down to that level.
TEST(TagTree, PathsAndRecordStartsThatTheWalkCanReach) {
  const std::string deepest = Times(kMaxDepth + 1, "1.");  // the path of a leaf of depth kMaxDepth
  const std::tuple<std::string, bool, bool, bool, bool> rows[] = {  // Tags.cfg, a path, a record start, a long tag
                                                                   // number, a path with long ones
      {"", false, false, false, false},
      {"StartRec=1\r\nFilterFile=f.cfg\r\nDebugMode=true\r\n", false, false, false, false},  // a main configuration file
      {"128.TagName=record\r\n128.LongTagName=R\r\n", false, false, true, true},
      {"-1.TagName=record\r\n-1.LongTagName=R\r\n", false, false, false, false},
      {"0.TagName=x\r\n", true, false, false, true},
      {"127.TagName=record\r\n127.LongTagName=R\r\n", true, true, false, true},
      {"1.TagName=record\r\n", true, false, false, true},
      {"1.LongTagName=R\r\n1.TagName=Record\r\n", true, false, false, true},
      {"128.TagName=x\r\n1.TagName=record\r\n1.LongTagName=R\r\n", true, true, true, true},
      {"128.1.TagName=record\r\n128.1.LongTagName=R\r\n2.TagName=x\r\n", true, false, true, true},
      {"2.TagName=block\r\n2.5.TagName=x\r\n2.1.TagName=record\r\n2.1.LongTagName=R\r\n", true, true, false, true},
      {"2097151.TagName=x\r\n", false, false, true, true},
      {"2097152.TagName=x\r\n3.2097152.TagName=y\r\n", true, false, false, true},
      {"3.2.2000.TagName=y\r\n", true, false, true, true},
      {deepest + "TagName=record\r\n" + deepest + "LongTagName=R\r\n", true, true, false, true},
      {deepest + "1.TagName=record\r\n" + deepest + "1.LongTagName=R\r\n", true, false, false, true},  // below the walk
      {deepest + "200.TagName=x\r\n", true, false, false, true},  // below the walk
  };
  for (const auto& [text, path, recordStart, longTag, longPath] : rows) {
    SCOPED_TRACE(text.substr(0, 80));
    TBranch root(nullptr);
    testing::internal::CaptureStdout();
    ApplyTagsText(root, text);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(DeclaresElementPath(root), path);
    EXPECT_EQ(DeclaresNamedRecordStart(root), recordStart);
    EXPECT_EQ(DeclaresLongTagNumber(root), longTag);
    EXPECT_EQ(DeclaresElementPath(root, kLargestLongTagId), longPath);
  }
}

// An allocation that fails while a reader builds from a file's text ends the reading with the
// reader's memory message in the error form, as when the text itself cannot be held.
TEST(TextReaders, AFailedAllocationWhileApplyingTheTextIsReported) {
  const std::string name = testing::TempDir() + "orvalis_failed_allocation.cfg";
  std::FILE* file = std::fopen(name.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("A=1\r\n", file);
  std::fclose(file);
  std::string seen;
  testing::internal::CaptureStderr();
  const bool read = ReadTextFile(name, "Error: can not open it", "Error: memory allocation for it is not successful",
                                 [&](std::string_view text) {
                                   seen = text;
                                   throw std::bad_alloc();
                                 });
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: memory allocation for it is not successful: "s + std::strerror(ENOMEM) + "\n");
  EXPECT_FALSE(read);
  EXPECT_EQ(seen, "A=1\r\n");
  std::remove(name.c_str());
}

// Messages held while a text file is read early come out at their turn each on its own stream,
// in order, whether they stayed in memory or (beyond its limit) went to a temporary file.
TEST(HeldMessages, ComeOutOnTheirStreamsInOrder) {
  SetQuiet(false);
  for (std::size_t size : {std::size_t{10}, HeldMessages::kInMemory / 3 + 7}) {
    SCOPED_TRACE(size);
    const std::string a(size, 'a'), b(size, 'b'), c(size, 'c'), d(size, 'd');
    HeldMessages held;
    {
      const ConsoleToHeld hold(held);
      Say(a);
      SayOnErrorStream(b);
      SayOnErrorStream(c);
      Say(d);
      Say(a);
      CountProblem(Problem::kBadConfigLine);
    }
    const uint64_t problems = ProblemCount(Problem::kBadConfigLine);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ShowHeld(held);
    std::fflush(stdout);
    EXPECT_TRUE(testing::internal::GetCapturedStdout() == a + d + a);
    EXPECT_TRUE(testing::internal::GetCapturedStderr() == b + c);
    EXPECT_EQ(ProblemCount(Problem::kBadConfigLine), problems + 1);
  }
}

// "<none>" for not found, "<null>" for an entry without text.
std::string Show(MnemonicHit hit) {
  if (hit == nullptr) return "<none>";
  return *hit ? std::string((*hit)->view()) : "<null>";
}

TEST(MnemonicLists, KeyedEntriesAndTheirMessages) {
  const std::string bad = "Error when decoding Tags.cfg line: ";
  const std::tuple<const char*, int32_t, std::vector<std::pair<int32_t, std::string>>, std::string> rows[] = {
      {"1,A;2,B,C", 2, {{1, "A"}, {2, "B,C"}, {3, "<none>"}, {0, "<none>"}}, ""},
      {"5,X;5,Y", 2, {{5, "X"}}, ""},
      {",Z", 1, {{0, "Z"}}, ""},
      {"7,", 1, {{7, "<null>"}}, ""},
      {"1,A;x,B;3,C", 2, {{1, "A"}, {3, "C"}}, bad + "1\n"},
      {"1,A;B;3,C", 2, {{1, "A"}, {3, "C"}}, bad + "1\n"},
      {" 1,A", 0, {{1, "<none>"}}, bad + " 1\n"},
      {"-1,A;+2,B", 0, {{-1, "<none>"}, {2, "<none>"}}, bad + "-1\n" + bad + "-1\n"},
      {"x;y", 0, {}, bad + "x\n" + bad + "x\n"},
      {"1,A;", 1, {{1, "A"}}, ""},
      {"", 0, {{0, "<none>"}}, ""},
      {"99999999999,Big;2147483647,Max", 2, {{INT32_MAX, "Big"}}, ""},
      // keys on both sides of the largest two-octet value, 4335, found alike
      {"4336,Above;4335,Top;4335,Again;9,Nine", 4,
       {{4335, "Top"}, {4336, "Above"}, {4334, "<none>"}, {9, "Nine"}, {10, "<none>"}, {5000, "<none>"}}, ""},
  };
  for (const auto& [value, count, lookups, console] : rows) {
    SCOPED_TRACE(value);
    testing::internal::CaptureStdout();
    TNonIndValList list(value);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
    EXPECT_EQ(list.Count(), count);
    for (const auto& [key, text] : lookups) EXPECT_EQ(Show(list.Lookup(key)), text) << key;
  }
}

// NamedNumbers: signed 64-bit numbers, a name after the first comma, the first entry of a number
// kept; a bad entry told with the line and left out.
TEST(MnemonicLists, NamedNumbersAndTheirMessages) {
  const auto bad = [](const char* entry) {
    return "Error in Tags.cfg file: NamedNumbers entry \"" + std::string(entry) +
           "\" is not a number, a comma and a name, in line:\n 1.NamedNumbers\n\n";
  };
  const std::tuple<const char*, std::size_t, std::vector<std::pair<int64_t, std::string>>, std::string> rows[] = {
      {"-1,minusOne;0,normal;7,a, b", 3, {{-1, "minusOne"}, {0, "normal"}, {7, "a, b"}, {1, "<none>"}}, ""},
      {"5,X;5,Y;-5,Z", 2, {{5, "X"}, {-5, "Z"}}, ""},
      {"9223372036854775807,top;-9223372036854775808,bottom", 2,
       {{INT64_MAX, "top"}, {INT64_MIN, "bottom"}, {0, "<none>"}}, ""},
      {"9223372036854775808,over;-9223372036854775809,under;1,one", 1, {{1, "one"}, {INT64_MIN, "<none>"}},
       bad("9223372036854775808,over") + bad("-9223372036854775809,under")},
      {"+1,plus; 2,blank;-,sign;3;4,;,5;x,y;6,six", 1, {{6, "six"}, {1, "<none>"}, {4, "<none>"}},
       bad("+1,plus") + bad(" 2,blank") + bad("-,sign") + bad("3") + bad("4,") + bad(",5") + bad("x,y")},
      {"1,A;;2,B;", 2, {{1, "A"}, {2, "B"}}, bad("")},
      {"", 0, {{0, "<none>"}}, ""},
  };
  for (const auto& [value, count, lookups, console] : rows) {
    SCOPED_TRACE(value);
    testing::internal::CaptureStdout();
    const uint64_t problems = ProblemCount(Problem::kBadDictionaryLine);
    TNamedNumbers list(value, "1.NamedNumbers");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
    EXPECT_EQ(list.Count(), count);
    for (const auto& [number, text] : lookups) {
      const PaddedText* name = list.Find(number);
      EXPECT_EQ(name ? std::string(name->view()) : "<none>", text) << number;
    }
    uint64_t told = 0;
    for (std::size_t at = console.find("Error in"); at != std::string::npos; at = console.find("Error in", at + 1)) ++told;
    EXPECT_EQ(ProblemCount(Problem::kBadDictionaryLine) - problems, told);
  }
}

// Numeric takes true or false; a line with another value is bad and changes nothing.
TEST(TextReaders, NumericTakesTrueOrFalse) {
  const std::tuple<std::vector<const char*>, bool, std::string> rows[] = {
      {{"1.Numeric=true"}, true, ""},
      {{"1.Numeric=true", "1.Numeric=false"}, false, ""},
      {{"1.Numeric=true", "1.Numeric=yes"}, true, "Error in Tags.cfg file: Numeric is not true or false in line:\n 1.Numeric\n\n"},
      {{"1.TagName=x"}, false, ""},
  };
  for (const auto& [lines, numeric, console] : rows) {
    auto root = NewDictionary();
    testing::internal::CaptureStdout();
    for (const char* line : lines) ApplyTagsLine(*root, line);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
    EXPECT_EQ(root->First->Item.Numeric, numeric) << lines.back();
  }
}

TEST(ParseDecimalLong, ReadsLikeTheCLibraryAndClampsTo32Bits) {
  struct Row { const char* text; int32_t value; };
  const Row rows[] = {
      {"5", 5},           {"12abc", 12},        {" \t\n+7", 7},      {"-1", -1},
      {"", 0},            {"abc", 0},           {"- 5", 0},          {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},                {"-2147483649", INT32_MIN},
      {"99999999999999999999999999", INT32_MAX}, {"5\n9", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ParseDecimalLong(row.text), row.value);
  }
}

}  // namespace
}  // namespace orvalis::test
