// The tag dictionary: tree links and lookups, filter values, Tags.cfg lines, mnemonic tables.
#include <map>

#include "walk_fixture.h"

namespace orvalis::test {
namespace {

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
    text += (count > 0 ? "," : "") + std::to_string(item.TagId);
    if (item.TagName) text += ":N=" + *item.TagName;
    if (item.LongTagName) text += ":L=" + std::string(item.LongTagName->view());
    if (item.Type != TagType::None) text += ":T=" + std::to_string(static_cast<int>(item.Type));
    if (item.FilterValue) text += ":F=" + *item.FilterValue;
    if (item.IndArr) text += ":I" + std::to_string(item.IndArr->Count());
    if (item.NonIndArr) text += ":K" + std::to_string(item.NonIndArr->Count());
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

// Describe checks the links of every tree below; here the two appends by themselves.
TEST(TagTree, AppendLinksAndLeavesTheOwnerAlone) {
  TBranch branch(nullptr), elsewhere(nullptr);
  EXPECT_EQ(branch.FindById(7), nullptr);
  TLeaf* a = branch.Append(std::make_unique<TLeaf>(TItem(7), &elsewhere));
  EXPECT_TRUE(branch.First == a && branch.Last == a && a->Prev == nullptr && a->Next == nullptr);
  TLeaf* b = branch.Append(std::make_unique<TLeaf>(TItem(3), &elsewhere));
  EXPECT_TRUE(a->Next == b && b->Prev == a && branch.Last == b && branch.Count() == 2 && b->Owner == &elsewhere);
  EXPECT_TRUE(branch.FindById(7) == a && branch.FindById(3) == b && branch.FindById(5) == nullptr);
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
  ApplyTagsText(root, text);
  EXPECT_EQ(root.Count(), 50000);
  EXPECT_EQ(root.FindById(50999), root.Last);
}

TEST(TagTree, FindByPath) {
  auto root = BuildDictionary({"1.3.5.TagName=X", "2.TagName=Y"});
  const std::pair<std::vector<int32_t>, int32_t> rows[] = {  // path, tag found (-1: none)
      {{}, -1}, {{1, 3}, 3}, {{1, 3, 5}, 5}, {{1, 4}, -1}, {{1, 3, 5, 7}, -1}, {{2}, 2}, {{3}, -1}, {{2, 1}, -1}};
  for (const auto& [ids, found] : rows) {
    SCOPED_TRACE(testing::PrintToString(ids));
    TagPath path;
    for (int32_t id : ids) path.Ids[++path.Depth] = id;
    const TLeaf* leaf = FindByPath(*root, path);
    EXPECT_EQ(leaf ? leaf->Item.TagId : -1, found);
    if (leaf) {
      EXPECT_EQ(leaf->Owner->FindById(found), leaf);
    }
  }
  TagPath one;
  one.Ids[++one.Depth] = 1;
  EXPECT_EQ(FindByPath(TBranch(nullptr), one), nullptr);
}

TEST(TagTree, SetFilterReachesEveryDepthAndOnlyNamedItems) {
  auto root = BuildDictionary({"1.TagName=f", "1.3.TagName=f", "1.3.5.TagName=f", "1.4.LongTagName=f", "6.TagName="});
  bool found = false;
  EXPECT_EQ(SetFilter(*root, "f", "v1", found), 0);
  EXPECT_TRUE(found);
  SetFilter(*root, "f", "v2", found);
  EXPECT_EQ(Describe(*root), "1:N=f:F=v2{3:N=f:F=v2{5:N=f:F=v2},4:L=f},6:N=");
  found = false;
  SetFilter(*root, "g", "z", found);
  EXPECT_FALSE(found);
  found = true;
  SetFilter(*root, "g", "z", found);
  EXPECT_TRUE(found);                  // left as it was
  SetFilter(*root, "", "e", found);    // only the item whose name was set to the empty text
  EXPECT_EQ(Describe(*root), "1:N=f:F=v2{3:N=f:F=v2{5:N=f:F=v2},4:L=f},6:N=:F=e");
  ClearFilter(*root);
  EXPECT_EQ(Describe(*root), "1:N=f{3:N=f{5:N=f},4:L=f},6:N=");
}

TEST(TagsLines, BuildTheTreeAndReportBadLines) {
  const std::string unknownType = "Error in Tags.cfg file: Unknown TypeOfTag in line:\n 1.Type\n\n";
  const std::string badLine = "Error when decoding Tags.cfg line:\n 1.2.3\n Right format is x.y.z=bla-bla-bla\n\n";
  const std::string redefined = "Warning: Redefining parameter in Tags.cfg line ";
  const std::tuple<std::vector<std::string_view>, std::string, std::string> rows[] = {  // lines, tree, console
      {{"1.3.5.TagName=X"}, "1{3{5:N=X}}", ""},
      {{"1.2.3=x"}, "1{2}", ""},
      {{"TagName=x", "1.=x", "1.type=String"}, "1", ""},
      {{"2.TagName=B", "1.TagName=A"}, "2:N=B,1:N=A", ""},
      {{" 1.TagName=A", "01.LongTagName=L", "1x.Type=String"}, "1:N=A:L=L:T=2", ""},
      {{"-3.TagName=M", "99999999999.TagName=C"}, "-3:N=M,2147483647:N=C", ""},
      {{"1.LongTagName=A\\tB\\n", "2.LongTagName=\\\\t\\x"}, "1:L=A\tB\n,2:L=\\\t\\x", ""},
      {{"1.LongTagName=old", "1.LongTagName=a=b.c"}, "1:L=a=b.c", ""},
      {{"1.Foo.TagName=X"}, "1{0:N=X}", ""},
      {{"1.Type=Text"}, "1", unknownType},
      {{"1.Type=Duration", "1.Type=duration"}, "1:T=8", unknownType},
      {{"1.3.5.TagName=X", "1.3.5.TagName=Y"}, "1{3{5:N=X}}", redefined + "1.3.5.TagName\n"},
      {{"1.TagName=", "1.TagName=Z"}, "1:N=", redefined + "1.TagName\n"},
      {{"1.3.TagName=A", "1.4.TagName=B", "1.3.LongTagName=C"}, "1{3:N=A:L=C,4:N=B}", ""},
      {{"1.2.3"}, "", badLine},
      {{"1.IndArr=A,B", "1.IndArr=C", "1.NonIndArr=1,X", "1.NonIndArr=2,Y;3,Z"}, "1:I1:K2", ""},
      {{"1.Type=DateTime", "2.Type=String", "3.Type=Number", "4.Type=HexNumber", "5.Type=DecNumber",
        "6.Type=ValFromIndexedArr", "7.Type=ValFromNonIndexedArr", "8.Type=Duration", "9.Type=LineCode",
        "10.Type=ReceivedDigits"},
       "1:T=1,2:T=2,3:T=3,4:T=4,5:T=5,6:T=6,7:T=7,8:T=8,9:T=9,10:T=10", ""},
  };
  for (const auto& [lines, tree, console] : rows) {
    SCOPED_TRACE(testing::PrintToString(lines));
    TBranch root(nullptr);
    testing::internal::CaptureStdout();
    for (std::string_view line : lines) ApplyTagsLine(root, line);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
    EXPECT_EQ(Describe(root), tree);
  }
}

// The walk reaches depths 0 to kMaxDepth only. Below a leaf of depth kMaxDepth the tree keeps one
// branch without leaves (so that the walk knows the tag has sub-tags) holding only the TagNames of
// the deeper paths, for the filter; a deep line gives the messages of any line.
TEST(TagsLines, BelowTheDeepestLevelOnlyNamesAreKept) {
  std::string top;  // the path of a leaf of depth kMaxDepth
  for (int depth = 0; depth <= kMaxDepth; ++depth) top += "1.";
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
    std::string tree = "1{" + names + "}";
    for (int depth = 0; depth < kMaxDepth; ++depth) tree = "1{" + tree + "}";
    EXPECT_EQ(Describe(root), tree);
    for (std::string_view name : {"X", "Y", "Z", "L"}) {
      bool found = false;
      SetFilter(root, name, "v", found);
      EXPECT_EQ(found, names.find("=" + std::string(name)) != std::string::npos) << name;
    }
    EXPECT_EQ(Describe(root), tree);  // no item took a filter value
  }
}

// Ten thousand siblings: the one looked up last is found, and the filter reaches below it.
TEST(TagsLines, WideTreeBuildsAndFilters) {
  TBranch wide(nullptr);
  for (int i = 0; i < 10000; ++i) wide.Append(std::make_unique<TLeaf>(TItem(i), &wide));
  ApplyTagsLine(wide, "9999.7.TagName=inner");
  bool found = false;
  SetFilter(wide, "inner", "v", found);
  EXPECT_TRUE(found);
  EXPECT_EQ(wide.Count(), 10000);
  const std::string text = Describe(wide), tail = ",9998,9999{7:N=inner:F=v}";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// "<none>" for not found, "<null>" for an entry without text.
std::string Show(MnemonicHit hit) {
  if (hit == nullptr) return "<none>";
  return *hit ? std::string((*hit)->view()) : "<null>";
}

TEST(MnemonicLists, IndexedEntriesByPosition) {
  const std::pair<const char*, std::vector<std::string>> rows[] = {  // value, lookups of 0, 1, ...
      {"A,B,C", {"A", "B", "C", "<none>"}},      {"A,,C", {"A", "<null>", "C", "<none>"}},
      {"A,B,", {"A", "B", "<none>"}},            {",", {"<null>", "<none>"}},
      {"", {"<none>"}},                          {" A", {" A", "<none>"}},
      {"Zero,One,,Three", {"Zero", "One", "<null>", "Three", "<none>"}},
  };
  for (const auto& [value, lookups] : rows) {
    SCOPED_TRACE(value);
    TIndValList list(value);
    EXPECT_EQ(list.Count(), static_cast<int32_t>(lookups.size() - 1));
    for (uint32_t i = 0; i < lookups.size(); ++i) EXPECT_EQ(Show(list.Lookup(i)), lookups[i]) << i;
    EXPECT_EQ(list.Lookup(UINT32_MAX), nullptr);
  }
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

}  // namespace
}  // namespace orvalis::test
