// The ASN.1 module reader and the dictionary generated from its modules: faults at their line and
// column; tags as X.680 applies them (implicit, explicit, automatic, around a CHOICE or a
// parameter), records, lists, siblings, named numbers and the semantic table, by the dictionary's
// lines. (Whole runs: end-to-end cases; modules encoded by Erlang: tests/scripts/asn1-erlang.sh.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asn1/dictionary_generator.h"
#include "asn1/module_set.h"
#include "asn1/semantic_table.h"
#include "decode/types/value_types.h"

namespace orvalis {
namespace {

struct Made {
  bool Ok = false;
  std::string Text;
  std::string Fault;
  std::vector<std::string> Notes;
};

// The names of every value type that the generator writes.
ValueTypeNames GeneratedTypeNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> list{""};
    for (const asn1::BaseForm& form : asn1::BaseForms()) list.push_back(form.ValueType);
    return list;
  }();
  return {names.data(), names.size()};
}

Made Generate(const std::vector<std::string>& files, const std::string& root, const std::string& records = {},
              const std::string& semantic = {}, uint32_t maxPaths = asn1::kMaxPaths) {
  Made made;
  asn1::ModuleSet modules;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!modules.Read("m" + std::to_string(i) + ".asn", files[i], made.Fault)) return made;
  }
  asn1::SemanticTable table;
  if (!table.Add("types.cfg", semantic, GeneratedTypeNames(), made.Fault)) return made;
  asn1::GeneratedDictionary dictionary;
  made.Ok = asn1::GenerateDictionary(modules, table, {root, records, maxPaths}, dictionary, made.Fault);
  made.Text = dictionary.Text;
  made.Notes = dictionary.Notes;
  return made;
}

// The module's body in a module of the tag default given.
std::string Module(const std::string& body, const std::string& tags = "IMPLICIT TAGS") {
  return "M DEFINITIONS " + tags + " ::= BEGIN\n" + body + "\nEND\n";
}

// True when the dictionary holds each line (CR LF ended).
::testing::AssertionResult HasLines(const std::string& text, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (text.find("\r\n" + line + "\r\n") == std::string::npos) {
      return ::testing::AssertionFailure() << "no line " << line << " in\n" << text;
    }
  }
  return ::testing::AssertionSuccess();
}

bool NotesHold(const std::vector<std::string>& notes, const std::string& part) {
  for (const std::string& note : notes) {
    if (note.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(Asn1Reader, FaultsAtTheirLineAndColumn) {
  struct Row {
    std::string text;
    std::string fault;
  };
  const std::string deep = "A ::= " + [] {
    std::string nested;
    for (int i = 0; i < 101; ++i) nested += "SEQUENCE { a ";
    return nested;
  }();
  const Row rows[] = {
      {"", "m0.asn:1:1: expected a module"},
      {"M DEFINITIONS BEGIN END", "m0.asn:1:15: expected \"::=\" after DEFINITIONS, not \"BEGIN\""},
      {"M DEFINITIONS ::= BEGIN\nA ::= INTEGER\n", "m0.asn:3:1: expected \"END\" at the end of module M"},
      {Module("A ::= SEQUENCE { a INTEGER\n b BOOLEAN }"), "m0.asn:3:2: expected \",\" or \"}\" after a component"},
      {Module("A ::= SEQUENCE { a INTEGER } /* open"), "m0.asn:2:30: the comment \"/*\" here has no \"*/\""},
      {Module("A ::= SEQUENCE { a INTEGER } /* a /* b */ c"), "m0.asn:2:30: the comment"},
      {Module("A ::= IA5String (FROM(\"a\n"), "m0.asn:2:23: the text begun here has no closing \""},
      {Module("A ::= BIT STRING ('0101'X)"), "m0.asn:2:19: a bit or hexadecimal string ends in 'B or 'H"},
      {Module("A ::= [2097152] INTEGER"), "m0.asn:2:8: the tag number 2097152 is above 2097151"},
      {Module("A ::= INTEGER { a(9223372036854775808) }"), "m0.asn:2:19: the number 9223372036854775808 does not fit"},
      {Module("A ::= SEQUENCE { Big INTEGER }"), "m0.asn:2:22: expected \",\" or \"}\""},
      {Module("A ::= OCTET STRING (SIZE(1..4)"), "m0.asn:4:1: expected the \")\" of the constraint begun at line 2, not the end of the file"},
      {Module("IMPORTS A, B ; C ::= INTEGER"), "m0.asn:2:14: expected \",\" or FROM among the imported names, not \";\""},
      {Module("A ::= SEQUENCE { a \x01 }"), "m0.asn:2:20: the octet 01h is no part of ASN.1 text"},
      {Module(deep), "types, constraints or values nested more than 100 levels deep"},
      {Module("v INTEGER ::= { a"), "the \"{\" here is never closed"},
      {Module("A ::= b"), "m0.asn:2:7: expected a type (a type's name begins with an upper-case letter), not \"b\""},
      {Module("A ::= INTEGER") + Module("B ::= INTEGER"), "module M is given twice"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Made made = Generate({row.text}, "A");
    EXPECT_FALSE(made.Ok);
    EXPECT_NE(made.Fault.find(row.fault), std::string::npos) << made.Fault;
  }
}

TEST(Asn1Reader, MeaningFaultsAndRequests) {
  struct Row {
    std::string text;
    std::string root;
    std::string records;
    std::string fault;
  };
  const Row rows[] = {
      {Module("A ::= SEQUENCE { a [0] Foo }"), "A", "", "m0.asn:2:20: the type Foo is neither defined in module M nor imported"},
      {Module("A ::= B\nB ::= A"), "A", "", "m0.asn:2:1: the names of this type lead round in a circle"},
      {Module("A ::= SEQUENCE { COMPONENTS OF B }\nB ::= INTEGER"), "A", "", "COMPONENTS OF names a type that is no SEQUENCE"},
      {Module("A ::= CHOICE { a B }\nB ::= CHOICE { b A }"), "A", "", "untagged CHOICEs hold each other more than 64 deep"},
      {Module("A ::= INTEGER"), "B", "", "no module given defines a type B"},
      {Module("A ::= INTEGER"), "N.A", "", "no module given is named N"},
      {Module("A ::= INTEGER"), "A", "C", "no module given defines a type C"},
      {Module("A ::= [0] INTEGER\nC ::= BOOLEAN"), "A", "C", "no element of the type C is reached from A"},
      {Module("W {T} ::= SEQUENCE { v [0] T }\nA ::= W {5}"), "A", "", "gives no type for its parameter T"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Made made = Generate({row.text}, row.root, row.records);
    EXPECT_FALSE(made.Ok);
    EXPECT_NE(made.Fault.find(row.fault), std::string::npos) << made.Fault;
  }
  const Made many = Generate({Module("A ::= SEQUENCE { a [0] A OPTIONAL, b [1] A OPTIONAL }")}, "A", "", "", 1000);
  EXPECT_EQ(many.Fault, "the dictionary of A would hold more than 1000 paths: name the record type with --records, "
                        "or leave the types that hold themselves out of the module");
  const Made twice = Generate({Module("A ::= INTEGER"), "N DEFINITIONS ::= BEGIN A ::= BOOLEAN END"}, "A");
  EXPECT_NE(twice.Fault.find("defined in M and in N: name it as M.A"), std::string::npos) << twice.Fault;
  EXPECT_TRUE(Generate({Module("A ::= INTEGER"), "N DEFINITIONS ::= BEGIN A ::= BOOLEAN END"}, "N.A").Ok);
  // The modules given hold at most 8 MiB of text together; the file that passes it is named.
  const std::string first = Module("A ::= INTEGER");
  const std::string second = "N DEFINITIONS ::= BEGIN B ::= BOOLEAN END";
  const std::string padding(asn1::kMaxModuleText - first.size() - second.size(), ' ');
  EXPECT_TRUE(Generate({first, second + padding}, "A").Ok);
  EXPECT_EQ(Generate({first, second + padding + " "}, "A").Fault,
            "m1.asn: the modules given hold more than 8 MiB of text, more than this reader takes");
}

TEST(Asn1Generator, TagsAsX680AppliesThem) {
  struct Row {
    std::string text;
    std::string tags;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      // An implicit tag replaces the type's own, an explicit one holds it.
      {"R ::= CHOICE { r [1] S }\nS ::= [APPLICATION 5] SET { a [0] INTEGER }", "IMPLICIT TAGS",
       {"1.TagName=record", "1.0.Type=Integer"}},
      {"R ::= CHOICE { r [1] S }\nS ::= SET { a [0] INTEGER, b [1] IMPLICIT INTEGER }", "EXPLICIT TAGS",
       {"1.TagName=record", "1.17.0.TagName=a", "1.17.0.2.TagName=integer", "1.17.0.2.Type=Integer", "1.17.1.Type=Integer"}},
      {"R ::= CHOICE { r [1] S }\nS ::= SET { a [0] EXPLICIT T }\nT ::= OCTET STRING", "IMPLICIT TAGS",
       {"1.0.LongTagName=\\ta\\n", "1.0.4.TagName=t", "1.0.4.Type=HexNumber"}},
      // Tabs and CR LF line ends are blanks, as the standards' modules write them.
      {"R ::=\tCHOICE {\r\n\tr\t[1]\tINTEGER\r\n}\r\n", "IMPLICIT TAGS", {"1.TagName=record", "1.Type=Integer"}},
      // A CHOICE's tag is explicit; untagged CHOICEs stand in their holder's place.
      {"R ::= CHOICE { r [1] S }\nS ::= SET { d [6] D, n N }\nD ::= CHOICE { g [0] INTEGER, x X }\n"
       "X ::= CHOICE { h [2] BOOLEAN }\nN ::= CHOICE { p [3] NULL, q [APPLICATION 300] NULL }",
       "IMPLICIT TAGS",
       {"1.6.TagName=d", "1.6.0.Type=Integer", "1.6.2.TagName=h", "1.3.Type=Null", "1.300.TagName=q"}},
      // AUTOMATIC TAGS: the root's components first, then the additions; none where one is tagged.
      {"R ::= CHOICE { r S, t T }\nS ::= SEQUENCE { a INTEGER, ..., [[ c BOOLEAN ]], ..., b IA5String }\n"
       "T ::= SEQUENCE { x [5] INTEGER, y BOOLEAN }",
       "AUTOMATIC TAGS",
       {"0.TagName=record", "0.0.TagName=a", "0.1.TagName=b", "0.1.Type=Characters", "0.2.TagName=c",
        "1.5.TagName=x", "1.1.TagName=y"}},
      // COMPONENTS OF brings the root components, with the tags of their own list.
      {"R ::= CHOICE { r [1] S }\nS ::= SET { COMPONENTS OF C, z [9] INTEGER }\nC ::= SEQUENCE { a [0] INTEGER, ..., b [1] BOOLEAN }",
       "IMPLICIT TAGS", {"1.0.TagName=a", "1.9.TagName=z"}},
      // A formal parameter's tag is explicit.
      {"R ::= CHOICE { r [1] W {BOOLEAN} }\nW {T} ::= SEQUENCE { v [0] T, w [2] INTEGER }", "IMPLICIT TAGS",
       {"1.0.1.Type=Boolean", "1.2.Type=Integer"}},
      // Module.Type, an information object class's fields.
      {"R ::= CHOICE { r [1] M.S }\nS ::= SEQUENCE { id C.&id, v [1] C.&Value, o [2] TYPE-IDENTIFIER.&id }\n"
       "C ::= CLASS { &id INTEGER UNIQUE, &Value } WITH SYNTAX { ID &id }",
       "IMPLICIT TAGS", {"1.u2.TagName=id", "1.u2.Type=Integer", "1.1.Type=Opaque", "1.c2.Type=ObjectIdentifier"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Made made = Generate({Module(row.text, row.tags)}, "R");
    ASSERT_TRUE(made.Ok) << made.Fault;
    EXPECT_TRUE(HasLines(made.Text, row.lines));
  }
}

TEST(Asn1Generator, RecordsListsSiblingsAndNames) {
  struct Row {
    std::string text;
    std::string records;
    std::vector<std::string> lines;
    std::string note;
  };
  const Row rows[] = {
      // The records wherever they occur; inside them no record again.
      {"R ::= [APPLICATION 1] SEQUENCE { h [0] INTEGER, list [3] SEQUENCE OF E }\n"
       "E ::= CHOICE { mo [9] SEQUENCE { x [0] INTEGER, e [1] E } }",
       "E", {"1.0.TagName=h", "1.3.9.TagName=record", "1.3.9.LongTagName=\\nmo", "1.3.9.Kind=mo", "1.3.9.1.9.TagName=mo"}, ""},
      // A record's Kind: its alternative's identifier, or the record type's name (an untagged one's too).
      {"R ::= SEQUENCE { h [0] INTEGER }", "", {"16.TagName=record", "16.LongTagName=\\nr", "16.Kind=R", "16.0.TagName=h"}, ""},
      {"R ::= CHOICE { c [1] SEQUENCE { a [0] INTEGER }, u UTC }\nUTC ::= UTCTime", "UTC",
       {"23.TagName=record", "23.Kind=UTC", "1.TagName=c"}, ""},
      {"R ::= CHOICE { c [1] SEQUENCE { a [0] INTEGER }, s S }\nS ::= CHOICE { x [2] INTEGER, y [3] BOOLEAN }", "S",
       {"2.Kind=x", "3.Kind=y", "1.TagName=c"}, ""},
      // Lists: Occurs from the upper bound up to 16, else 4; a value's name as a bound.
      {"R ::= CHOICE { r [1] SEQUENCE { a [0] SEQUENCE SIZE(1..16) OF INTEGER, b [1] SET (SIZE(0..17)) OF X,\n"
       "c [2] SEQUENCE (SIZE(1..n)) OF item IA5String } }\nX ::= BOOLEAN\nn INTEGER ::= 3",
       "", {"1.0.2.TagName=integer", "1.0.2.Occurs=16", "1.1.1.TagName=x", "1.1.1.Occurs=4", "1.2.22.TagName=item",
            "1.2.22.Occurs=3", "# c: a list of at most 3 elements: Occurs=3"}, ""},
      // One class and number twice: written once; one number of two classes: the class letters.
      {"R ::= CHOICE { r [1] SEQUENCE { a INTEGER, b INTEGER, c [2] NULL, d [APPLICATION 2] NULL, e [3] NULL } }",
       "", {"1.u2.TagName=a", "1.u2.Occurs=2", "1.c2.TagName=c", "1.a2.TagName=d", "1.3.TagName=e"},
       "a, b share the tag [UNIVERSAL 2]: written once, as a"},
      // Named numbers and bits, an ENUMERATED numbered as X.680 (and Erlang's compiler) numbers it.
      {"R ::= CHOICE { r [1] SEQUENCE { e [0] ENUMERATED { a, b(5), c, ..., d, f(9), g },\n"
       "i [1] INTEGER { m(-1), z(0) } (0..255), f [2] BIT STRING { x(0), y(7) } } }",
       "", {"1.0.NamedNumbers=0,a;5,b;1,c;2,d;9,f;10,g", "1.1.Type=Enumerated", "1.1.NamedNumbers=-1,m;0,z",
            "1.2.Type=BitString", "1.2.NamedNumbers=0,x;7,y"}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Made made = Generate({Module(row.text)}, "R", row.records);
    ASSERT_TRUE(made.Ok) << made.Fault;
    EXPECT_TRUE(HasLines(made.Text, row.lines));
    if (!row.note.empty()) {
      EXPECT_TRUE(NotesHold(made.Notes, row.note));
    }
  }
}

// An integer whose range has no known upper end (MAX, a number beyond 64 bits) may pass what a
// bigint column holds: Numeric. One without a range, or whose range a reference narrows, is not.
TEST(Asn1Generator, IntegersBeyondABigintAreNumeric) {
  const Made made = Generate({Module("R ::= CHOICE { r [1] SEQUENCE { a [0] V, b [1] INTEGER (0..18446744073709551615),\n"
                                     "c [2] INTEGER, d [3] ENUMERATED { x }, e [4] V (0..100) } }\nV ::= INTEGER (0..MAX)")},
                             "R");
  ASSERT_TRUE(made.Ok) << made.Fault;
  std::string numeric;
  for (std::size_t at = made.Text.find(".Numeric=true"); at != std::string::npos; at = made.Text.find(".Numeric=true", at + 1)) {
    numeric += made.Text.substr(made.Text.rfind('\n', at) + 1, at - made.Text.rfind('\n', at) - 1) + " ";
  }
  EXPECT_EQ(numeric, "1.0 1.1 ");
}

TEST(Asn1Generator, SemanticTableAndModulesNotGiven) {
  const std::string cdr = Module(
      "IMPORTS IMSI, Foo, Bar, Baz FROM MAP-CommonDataTypes {0 4 0} TimeStamp FROM N;\n"
      "R ::= CHOICE { r [1] SEQUENCE { i [0] IMSI, f [1] Foo, s [2] TimeStamp, v [3] VendorStamp, c [4] Cd,\n"
      "b Bar, p [5] Plmn, q [6] EXPLICIT Baz, n [7] Num, t [8] Time9 } }\n"
      "VendorStamp ::= TimeStamp\nCd ::= CallDuration\nCallDuration ::= INTEGER\nPlmn ::= OCTET STRING (SIZE(3))\n"
      "Num ::= INTEGER\nTime9 ::= OCTET STRING (SIZE(9))");
  const std::string other = "N DEFINITIONS ::= BEGIN TimeStamp ::= INTEGER END";
  const Made made = Generate({cdr, other}, "R", "", "Plmn=PLMNId\r\nNum=Seconds\r\n# a comment\r\nTime9=TimeStamp\r\n");
  ASSERT_TRUE(made.Ok) << made.Fault;
  EXPECT_TRUE(HasLines(made.Text, {"1.0.Type=IMSI", "1.1.Type=Opaque", "1.2.Type=Integer", "1.3.Type=Integer",
                                    "1.4.Type=Seconds", "1.5.Type=PLMNId", "1.6.TagName=q", "1.6.Type=Opaque",
                                    "1.7.Type=Seconds", "1.8.Type=TimeStamp"}));
  EXPECT_TRUE(NotesHold(made.Notes, "module MAP-CommonDataTypes was not given: its types are read by the semantic "
                                    "table, else as octets: Baz as octets, Foo as octets, IMSI as IMSI"));
  EXPECT_TRUE(NotesHold(made.Notes, "b of the type Bar of module MAP-CommonDataTypes, which was not given, has no tag"));
  EXPECT_TRUE(NotesHold(made.Notes, "the semantic table's TimeStamp=TimeStamp does not apply to the TimeStamp"));
  // A row of the user's replaces the bundled one; a bad row is refused with its line.
  EXPECT_TRUE(HasLines(Generate({cdr, other}, "R", "", "IMSI=HexNumber").Text, {"1.0.Type=HexNumber"}));
  EXPECT_EQ(Generate({cdr, other}, "R", "", "\nIMSI=Imsi").Fault, "types.cfg line 2 names \"Imsi\", which is no value type");
  EXPECT_EQ(Generate({cdr, other}, "R", "", "IMSI").Fault, "types.cfg line 1 is no TypeName=ValueType line");
}

TEST(Asn1Generator, DeepTypesEndAtTheWalksDepth) {
  const Made made = Generate({Module("R ::= CHOICE { r [1] S }\nS ::= SEQUENCE { s [0] S OPTIONAL, v [1] INTEGER }")}, "R");
  ASSERT_TRUE(made.Ok) << made.Fault;
  EXPECT_TRUE(NotesHold(made.Notes, "the type S holds itself: its paths stop at the 21 levels"));
  EXPECT_TRUE(HasLines(made.Text, {"1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.1.TagName=v"}));
  EXPECT_EQ(made.Text.find("1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0."), std::string::npos);
}

TEST(Asn1Generator, LayoutOfTheBundledDictionary) {
  const Made made = Generate({Module("R ::= CHOICE { r [1] SEQUENCE { shortName [0] INTEGER, "
                                     "aNameOfTwentyFourChars [1] INTEGER, g [2] SEQUENCE { inner [0] NULL } } }")},
                             "R");
  ASSERT_TRUE(made.Ok) << made.Fault;
  EXPECT_TRUE(HasLines(made.Text, {"1.0.LongTagName=\\tshortName:\\t\\t", "1.1.LongTagName=\\taNameOfTwentyFourChars:\\t",
                                    "1.2.LongTagName=\\tg\\n", "1.2.0.LongTagName=\\t\\tinner:\\t\\t"}));
  EXPECT_EQ(made.Text.find('\n'), made.Text.find("\r\n") + 1);  // CR LF
}

TEST(Asn1Generator, EveryValueTypeHasABaseForm) {
  for (std::size_t code = 1; code < ValueTypes::kCount; ++code) {
    SCOPED_TRACE(ValueTypes::kNames[code]);
    EXPECT_NE(asn1::BaseFormOf(ValueTypes::kNames[code]), nullptr);
  }
}

}  // namespace
}  // namespace orvalis
