// A value type added as the checklist says, one file (octal_type.h) and one row in a list of types
// of the test's own: the dictionary reader takes its name, the walk hands it its octets, the
// readable text lays it out and the filter finds its text, with nothing else changed.
#include "decode/writers/text_writer.h"
#include "octal_type.h"
#include "walk_fixture.h"

namespace orvalis::test {
namespace {

using TypesWithOctal = ValueTypeList<UntypedType, DateTimeType, StringType, NumberType, HexNumberType, DecNumberType,
                                     IndexedMnemonicType, KeyedMnemonicType, DurationType, LineCodeType,
                                     ReceivedDigitsType, OctalType>;

std::unique_ptr<FormatWalk> TextWalkWithOctal(WalkContext& walk) {
  return std::make_unique<WalkOf<TextWriterOf<TypesWithOctal>, NoSetup>>(walk, std::make_shared<const NoSetup>());
}

std::unique_ptr<TBranch> OctalDictionary() {
  auto root = NewDictionary<TypesWithOctal>();
  for (std::string_view line : {"1.TagName=record", "1.LongTagName=Record", "1.5.TagName=mode",
                                "1.5.LongTagName=Mode:\\t", "1.5.Type=Octal", "1.6.LongTagName=Name:\\t",
                                "1.6.Type=String"}) {
    ApplyTagsLine(*root, line);
  }
  return root;
}

// Two records: mode 0777 and mode 012.
const Bytes kTwoRecords = Cat({Tlv({0xA1}, Cat({Tlv({0x85}, {0x01, 0xFF}), Tlv({0x86}, {'a'})})),
                               Tlv({0xA1}, Cat({Tlv({0x85}, {0x0A}), Tlv({0x86}, {'b'})}))});

TEST(AddedValueType, IsReadLaidOutAndFilteredThroughItsRow) {
  auto root = OctalDictionary();
  const WalkResult all = RunWalk(*root, kTwoRecords, {}, kOutputBlockSize, 0, nullptr, TextWalkWithOctal);
  EXPECT_EQ(all.Status, 0);
  EXPECT_EQ(all.Output, "Record 1\nMode:\t0777\nName:\ta\nRecord 2\nMode:\t012\nName:\tb\n");
  EXPECT_EQ(all.Counts.TagsNotFound, 0u);

  const struct { const char* value; const char* output; } filters[] = {
      {"777", "Record 1\nMode:\t0777\nName:\ta\n"},
      {"012", "Record 2\nMode:\t012\nName:\tb\n"},
      {"5", ""},
  };
  for (const auto& row : filters) {
    SCOPED_TRACE(row.value);
    auto filtered = OctalDictionary();
    bool found = false;
    SetFilter(*filtered, "mode", row.value, found);
    ASSERT_TRUE(found);
    WalkSettings settings;
    settings.FilterCount = 1;
    const WalkResult result = RunWalk(*filtered, kTwoRecords, settings, kOutputBlockSize, 0, nullptr, TextWalkWithOctal);
    EXPECT_EQ(result.Output, row.output);
  }
}

// Without the row, the program's own list does not know the name: the dictionary line is bad and
// the value is written untyped.
TEST(AddedValueType, IsUnknownToTheProgramsList) {
  auto root = NewDictionary();
  for (std::string_view line : {"1.TagName=record", "1.LongTagName=Record", "1.5.LongTagName=Mode:\\t", "1.5.Type=Octal"}) {
    ApplyTagsLine(*root, line);
  }
  const WalkResult result = RunWalk(*root, kTwoRecords);
  EXPECT_EQ(result.Output.find("0777"), std::string::npos);
}

}  // namespace
}  // namespace orvalis::test
