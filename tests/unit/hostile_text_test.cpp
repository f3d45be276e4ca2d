// Hostile text for the three readers (Tags.cfg, the main configuration, the filter file): binary
// octets and NULs, enormous lines, no line ends, a million lines, bare line feeds, very deep tag
// paths and numbers beyond 32 bits. Each reader must survive, print exactly the messages it is
// known to print for the bad lines, and go on reading after them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "common/text_file.h"
#include "driver/config_files.h"
#include "driver/run_settings.h"
#include "tags/tag_tree.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

using namespace std::string_literals;

// The console output of fn.
template <typename Fn>
std::string ConsoleOf(Fn&& fn) {
  testing::internal::CaptureStdout();
  fn();
  return testing::internal::GetCapturedStdout();
}

// The messages the readers print for a bad line, as the operator sees them.
std::string TagsTooLong(unsigned long lineNumber) {
  return "Error in Tags.cfg file: line " + std::to_string(lineNumber) +
         " is longer than 2047 characters and is skipped.\n\n";
}
std::string TagsNoEquals(std::string_view line) {
  return "Error when decoding Tags.cfg line:\n "s + std::string(line) +
         "\n Right format is x.y.z=bla-bla-bla\n\n";
}
std::string TagsRedefined(std::string_view lineToEquals) {
  return "Warning: Redefining parameter in Tags.cfg line "s + std::string(lineToEquals) + "\n";
}
std::string SettingTooLong(std::string_view file, unsigned long lineNumber) {
  return "Error in "s + std::string(file) + " file: line " + std::to_string(lineNumber) +
         " is longer than 2047 characters and is skipped.\n\n";
}
std::string SettingNoEquals(std::string_view file, std::string_view line) {
  return "Error when decoding line in "s + std::string(file) + ":\n " + std::string(line) +
         "\n Right format is Parameter=Value\n\n";
}
std::string FilterTagNotFound(std::string_view file, std::string_view name) {
  return "Error in "s + std::string(file) + " file: tag " + std::string(name) + " not found.\n\n";
}

const TItem* ItemAt(const TBranch& root, std::initializer_list<int32_t> ids) {
  TagPath path;
  for (int32_t id : ids) path.Ids[++path.Depth] = id;
  const TLeaf* leaf = FindByPath(root, path);
  return leaf != nullptr ? &leaf->Item : nullptr;
}

// A small dictionary for the filter reader.
std::unique_ptr<TBranch> FilterDictionary() {
  auto root = std::make_unique<TBranch>(nullptr);
  ApplyTagsText(*root,
                "1.TagName=record\r\n1.3.TagName=callingNumber\r\n1.3.Type=Number\r\n"
                "1.9.TagName=trunk\r\n1.9.0.TagName=trunkGroup\r\n1.9.0.Type=String\r\n");
  return root;
}

constexpr const char* kFilterFile = "Filter.cfg";

// ---------------------------------------------------------------------------------------------

TEST(HostileText, BinaryOctetsAndNulsAreTextLikeAnyOther) {
  // Every octet value but the line end pair, NULs first and last.
  std::string binary("\0"s);
  for (int c = 1; c < 256; ++c) binary.push_back(static_cast<char>(c));
  binary.push_back('\0');
  std::string noEquals = binary;
  noEquals.erase(noEquals.find('='), 1);

  {  // Tags.cfg: binary values are kept whole, a binary line without "=" is reported.
    TBranch root(nullptr);
    const std::string text = "1.TagName=a\0b"s + "\r\n" + noEquals + "\r\n" + "1.LongTagName=" +
                             binary + "\r\n" + "2.TagName=after\r\n";
    const std::string console = ConsoleOf([&] { ApplyTagsText(root, text); });
    EXPECT_EQ(console, TagsNoEquals(noEquals));
    ASSERT_NE(ItemAt(root, {1}), nullptr);
    EXPECT_EQ(ItemAt(root, {1})->TagName, "a\0b"s);
    EXPECT_EQ(ItemAt(root, {1})->LongTagName, binary);
    ASSERT_NE(ItemAt(root, {2}), nullptr);
    EXPECT_EQ(ItemAt(root, {2})->TagName, "after");
  }
  {  // Main configuration: a NUL ends a number; a name with a NUL in it is unknown.
    RunSettings settings;
    const std::string text =
        "StartRec=\0" "7\r\n"s + noEquals + "\r\nEnd\0Rec=5\r\nEndRec=12\0" "34\r\nFilterFile=f\0g\r\n"s;
    const std::string console = ConsoleOf([&] { ApplyMainConfigText(settings, text); });
    EXPECT_EQ(console, SettingNoEquals("Orvalis.cfg", noEquals) +
                           "Error in Orvalis.cfg file: Unknown parameter in line:\n End\0Rec\n\n"s);
    EXPECT_EQ(settings.StartRec, 0);
    EXPECT_EQ(settings.EndRec, 12);
    EXPECT_EQ(settings.FilterFileName, "f\0g"s);
  }
  {  // Filter: a name with a NUL matches no tag; a binary value is kept whole.
    auto root = FilterDictionary();
    uint32_t accepted = 0;
    const std::string text = "callingNumber\0=1\r\n"s + noEquals + "\r\ntrunkGroup=" + binary + "\r\n";
    const std::string console = ConsoleOf([&] { accepted = ApplyFilterText(kFilterFile, text, *root); });
    EXPECT_EQ(console, FilterTagNotFound(kFilterFile, "callingNumber\0"s) +
                           SettingNoEquals(kFilterFile, noEquals));
    EXPECT_EQ(accepted, 1u);
    EXPECT_EQ(ItemAt(*root, {1, 9, 0})->FilterValue, binary);
    EXPECT_FALSE(ItemAt(*root, {1, 3})->FilterValue.has_value());
  }
}

TEST(HostileText, EnormousLinesAreSkippedWithOneMessageAndReadingGoesOn) {
  const std::string huge(10 * 1024 * 1024, 'x');
  {
    TBranch root(nullptr);
    // A 10 MB value, a line exactly at the limit and one just past it.
    const std::string atLimit = "3.TagName=" + std::string(2047 - 10, 'y');
    const std::string pastLimit = "4.TagName=" + std::string(2048 - 10, 'z');
    const std::string text = "1.TagName=" + huge + "\r\n" + atLimit + "\r\n" + pastLimit +
                             "\r\n2.TagName=after\r\n";
    const std::string console = ConsoleOf([&] { ApplyTagsText(root, text); });
    EXPECT_EQ(console, TagsTooLong(1) + TagsTooLong(3));
    EXPECT_EQ(ItemAt(root, {1}), nullptr);
    ASSERT_NE(ItemAt(root, {3}), nullptr);
    EXPECT_EQ(ItemAt(root, {3})->TagName->size(), 2047u - 10);
    EXPECT_EQ(ItemAt(root, {4}), nullptr);
    EXPECT_EQ(ItemAt(root, {2})->TagName, "after");
  }
  {
    RunSettings settings;
    const std::string text = "FilterFile=" + huge + "\r\nStartRec=3\r\n" + "FilterFile=" +
                             std::string(256, 'f') + "\r\nEndRec=4\r\n";
    const std::string console = ConsoleOf([&] { ApplyMainConfigText(settings, text); });
    EXPECT_EQ(console, SettingTooLong("Orvalis.cfg", 1) +
                           "Error in Orvalis.cfg file: FilterFile value is longer than 255 characters "
                           "and is ignored.\n\n");
    EXPECT_TRUE(settings.FilterFileName.empty());
    EXPECT_EQ(settings.StartRec, 3);
    EXPECT_EQ(settings.EndRec, 4);
  }
  {
    auto root = FilterDictionary();
    uint32_t accepted = 0;
    const std::string text = "callingNumber=" + huge + "\r\ntrunkGroup=T1\r\n";
    const std::string console = ConsoleOf([&] { accepted = ApplyFilterText(kFilterFile, text, *root); });
    EXPECT_EQ(console, SettingTooLong(kFilterFile, 1));
    EXPECT_EQ(accepted, 1u);
    EXPECT_FALSE(ItemAt(*root, {1, 3})->FilterValue.has_value());
    EXPECT_EQ(ItemAt(*root, {1, 9, 0})->FilterValue, "T1");
  }
}

TEST(HostileText, TextWithoutCrLfIsOneLine) {
  // No line end at all: the whole text is the last line and is applied; lone CR and LF are
  // ordinary characters of it.
  {
    TBranch root(nullptr);
    const std::string console =
        ConsoleOf([&] { ApplyTagsText(root, "1.TagName=a\n2.TagName=b\r3.TagName=c"); });
    EXPECT_EQ(console, "");
    EXPECT_EQ(ItemAt(root, {1})->TagName, "a\n2.TagName=b\r3.TagName=c");
    EXPECT_EQ(root.Count(), 1);
  }
  {
    RunSettings settings;
    const std::string console = ConsoleOf([&] { ApplyMainConfigText(settings, "StartRec=5\nEndRec=6"); });
    EXPECT_EQ(console, "");
    EXPECT_EQ(settings.StartRec, 5);  // the number ends at the line feed
    EXPECT_EQ(settings.EndRec, 0);
  }
  {
    // 2.4 MB of text with lone line feeds only is one line, too long.
    TBranch root(nullptr);
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "1.TagName=x\n";
    const std::string console = ConsoleOf([&] { ApplyTagsText(root, text); });
    EXPECT_EQ(console, TagsTooLong(1));
    EXPECT_EQ(root.Count(), 0);
  }
}

TEST(HostileText, BareLineFeedsMakeOneLine) {
  const std::string few(100, '\n');
  const std::string many(100000, '\n');
  {
    TBranch root(nullptr);
    const std::string console = ConsoleOf([&] {
      ApplyTagsText(root, few);
      ApplyTagsText(root, many);
      ApplyTagsText(root, few + "\r\n1.TagName=after\r\n");
    });
    EXPECT_EQ(console, TagsNoEquals(few) + TagsTooLong(1) + TagsNoEquals(few));
    EXPECT_EQ(ItemAt(root, {1})->TagName, "after");
  }
  {
    RunSettings settings;
    const std::string console = ConsoleOf([&] {
      ApplyMainConfigText(settings, few);
      ApplyMainConfigText(settings, many + "\r\nStartRec=2");
    });
    EXPECT_EQ(console, SettingNoEquals("Orvalis.cfg", few) + SettingTooLong("Orvalis.cfg", 1));
    EXPECT_EQ(settings.StartRec, 2);
  }
  {
    auto root = FilterDictionary();
    uint32_t accepted = 0;
    const std::string console =
        ConsoleOf([&] { accepted = ApplyFilterText(kFilterFile, few + "\r\n\r\ntrunkGroup=A", *root); });
    EXPECT_EQ(console, SettingNoEquals(kFilterFile, few));
    EXPECT_EQ(accepted, 1u);
  }
}

TEST(HostileText, AMillionShortLines) {
  constexpr int kLines = 1000000;
  constexpr int kBadEvery = 100000;  // a bad line now and then, to see reading go on after it
  // Builds the text line by line from make(i), a bad line every kBadEvery lines.
  auto build = [](std::string_view bad, auto&& make) {
    std::string text;
    text.reserve(20 * kLines);
    for (int i = 1; i <= kLines; ++i) {
      if (i % kBadEvery == 0) {
        text.append(bad);
      } else {
        make(text, i);
      }
      text.append("\r\n");
    }
    return text;
  };
  std::string tens[10];
  for (int i = 0; i < 10; ++i) tens[i] = "1." + std::to_string(i) + ".Type=String";
  {
    TBranch root(nullptr);
    const std::string text =
        build("bad", [&](std::string& out, int i) { out.append(tens[i % 10]); }) + "1.5.TagName=last";
    const std::string console = ConsoleOf([&] { ApplyTagsText(root, text); });
    std::string expected;
    for (int i = 0; i < kLines / kBadEvery; ++i) expected += TagsNoEquals("bad");
    EXPECT_EQ(console, expected);
    ASSERT_NE(ItemAt(root, {1}), nullptr);
    EXPECT_EQ(root.FindById(1)->Child->Count(), 10);
    EXPECT_EQ(ItemAt(root, {1, 9})->Type, TagType::String);
    EXPECT_EQ(ItemAt(root, {1, 5})->TagName, "last");
  }
  {
    RunSettings settings;
    const std::string text = build("bad", [](std::string& out, int i) {
      out.append(i % 2 == 0 ? "# comment" : "StartRec=");
      if (i % 2 != 0) out.append(std::to_string(i));
    });
    const std::string console = ConsoleOf([&] { ApplyMainConfigText(settings, text); });
    std::string expected;
    for (int i = 0; i < kLines / kBadEvery; ++i) expected += SettingNoEquals("Orvalis.cfg", "bad");
    EXPECT_EQ(console, expected);
    EXPECT_EQ(settings.StartRec, kLines - 1);
  }
  {
    auto root = FilterDictionary();
    const std::string text = build("nosuch=1", [](std::string& out, int i) {
      out.append("callingNumber=");
      out.append(std::to_string(i));
    });
    uint32_t accepted = 0;
    const std::string console = ConsoleOf([&] { accepted = ApplyFilterText(kFilterFile, text, *root); });
    std::string expected;
    for (int i = 0; i < kLines / kBadEvery; ++i) expected += FilterTagNotFound(kFilterFile, "nosuch");
    EXPECT_EQ(console, expected);
    EXPECT_EQ(accepted, static_cast<uint32_t>(kLines - kLines / kBadEvery));
    EXPECT_EQ(ItemAt(*root, {1, 3})->FilterValue, std::to_string(kLines - 1));
  }
}

TEST(HostileText, PathsOfHundredsOfComponents) {
  // 1000 components fill a line of 2009 characters. The tree goes down the 21 levels that the
  // walk reaches and keeps of the rest only the name, which a second line cannot replace;
  // filtering finds names at every depth.
  TBranch root(nullptr);
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "7.";
  const std::string console = ConsoleOf([&] {
    ApplyTagsText(root, deep + "TagName=bottom\r\n" + deep + "Type=Duration\r\n" + deep + "TagName=again\r\n" +
                            std::string(600, '.') + "TagName=dots\r\n5.TagName=after\r\n");
  });
  EXPECT_EQ(console, TagsRedefined(deep + "TagName"));
  // The chain of tag 7 and, from 600 empty components, one of tag 0.
  for (const auto& [tagId, components, name] : {std::tuple(7, 1000, "bottom"), std::tuple(0, 600, "dots")}) {
    SCOPED_TRACE(tagId);
    int levels = 1;
    const TLeaf* leaf = root.FindById(tagId);
    for (; leaf != nullptr && leaf->Child && leaf->Child->First; leaf = leaf->Child->First) {
      EXPECT_EQ(leaf->Child->Count(), 1);
      ++levels;
    }
    EXPECT_EQ(levels, kMaxDepth + 1);
    ASSERT_TRUE(leaf != nullptr && leaf->Child && leaf->Child->DeepNames);
    std::string path;  // of the components below depth kMaxDepth
    for (int i = kMaxDepth + 1; i < components; ++i) path += std::to_string(tagId) + ".";
    EXPECT_EQ(*leaf->Child->DeepNames, (std::unordered_map<std::string, std::string>{{path, name}}));
  }
  EXPECT_EQ(ItemAt(root, {5})->TagName, "after");

  uint32_t accepted = 0;
  const std::string filterConsole =
      ConsoleOf([&] { accepted = ApplyFilterText(kFilterFile, "bottom=1\r\ndots=2\r\nagain=3\r\n", root); });
  EXPECT_EQ(filterConsole, FilterTagNotFound(kFilterFile, "again"));
  EXPECT_EQ(accepted, 2u);
}

TEST(HostileText, NumbersBeyond32BitsAreClamped) {
  TBranch root(nullptr);
  const std::string console = ConsoleOf([&] {
    ApplyTagsText(root,
                  "4294967296.TagName=big\r\n"
                  "99999999999999999999999999.TagName=bigger\r\n"
                  "2147483647.LongTagName=max\r\n"
                  "-4294967297.TagName=small\r\n"
                  "4294967297.4294967298.Type=HexNumber\r\n"
                  "6.NonIndArr=4294967296,huge;-1,negative;1,one\r\n"
                  "6.TagName=after\r\n");
  });
  EXPECT_EQ(console, TagsRedefined("99999999999999999999999999.TagName") +
                         "Error when decoding Tags.cfg line: 4294967296\n");
  const TItem* big = ItemAt(root, {INT32_MAX});
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->TagName, "big");
  EXPECT_EQ(big->LongTagName, "max");
  EXPECT_EQ(ItemAt(root, {INT32_MIN})->TagName, "small");
  EXPECT_EQ(ItemAt(root, {INT32_MAX, INT32_MAX})->Type, TagType::HexNumber);
  EXPECT_EQ(root.Count(), 3);
  const TItem* six = ItemAt(root, {6});
  ASSERT_NE(six->NonIndArr, nullptr);
  EXPECT_EQ(six->NonIndArr->Keys, (std::vector<int32_t>{INT32_MAX, 1}));
  EXPECT_EQ(six->TagName, "after");

  RunSettings settings;
  const std::string configConsole = ConsoleOf([&] {
    ApplyMainConfigText(settings, "StartRec=99999999999\r\nEndRec=-99999999999999999999999\r\n");
  });
  EXPECT_EQ(configConsole, "");
  EXPECT_EQ(settings.StartRec, INT32_MAX);
  EXPECT_EQ(settings.EndRec, INT32_MIN);
}

// An allocation that fails while a reader builds from a file's text ends the reading with the
// reader's memory message in the error form, as when the text itself cannot be held.
TEST(HostileText, AFailedAllocationWhileApplyingTheTextIsReported) {
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

}  // namespace
}  // namespace orvalis
