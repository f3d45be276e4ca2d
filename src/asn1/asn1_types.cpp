// The module reader: types, their tags, components, named numbers and automatic tags.
#include <string_view>

#include "asn1/asn1_parser.h"

namespace orvalis {
namespace asn1 {
namespace {

// A built-in type named by one word, or by two (OCTET STRING).
struct Builtin {
  std::string_view First;
  std::string_view Second;
  TypeKind Kind;
  uint8_t UniversalTag;
};

constexpr Builtin kBuiltins[] = {
    {"BOOLEAN", {}, TypeKind::kBoolean, 1},
    {"INTEGER", {}, TypeKind::kInteger, 2},
    {"BIT", "STRING", TypeKind::kBitString, 3},
    {"OCTET", "STRING", TypeKind::kOctetString, 4},
    {"NULL", {}, TypeKind::kNull, 5},
    {"OBJECT", "IDENTIFIER", TypeKind::kObjectIdentifier, 6},
    {"ObjectDescriptor", {}, TypeKind::kCharacters, 7},
    {"EXTERNAL", {}, TypeKind::kConstructedOther, 8},
    {"REAL", {}, TypeKind::kReal, 9},
    {"ENUMERATED", {}, TypeKind::kEnumerated, 10},
    {"EMBEDDED", "PDV", TypeKind::kConstructedOther, 11},
    {"UTF8String", {}, TypeKind::kUtf8String, 12},
    {"RELATIVE-OID", {}, TypeKind::kRelativeOid, 13},
    {"TIME", {}, TypeKind::kTimeText, 14},
    {"SEQUENCE", {}, TypeKind::kSequence, 16},
    {"SET", {}, TypeKind::kSet, 17},
    {"NumericString", {}, TypeKind::kCharacters, 18},
    {"PrintableString", {}, TypeKind::kCharacters, 19},
    {"TeletexString", {}, TypeKind::kCharacters, 20},
    {"T61String", {}, TypeKind::kCharacters, 20},
    {"VideotexString", {}, TypeKind::kCharacters, 21},
    {"IA5String", {}, TypeKind::kCharacters, 22},
    {"UTCTime", {}, TypeKind::kUtcTime, 23},
    {"GeneralizedTime", {}, TypeKind::kGeneralizedTime, 24},
    {"GraphicString", {}, TypeKind::kCharacters, 25},
    {"VisibleString", {}, TypeKind::kCharacters, 26},
    {"ISO646String", {}, TypeKind::kCharacters, 26},
    {"GeneralString", {}, TypeKind::kCharacters, 27},
    {"UniversalString", {}, TypeKind::kUniversalString, 28},
    {"CHARACTER", "STRING", TypeKind::kConstructedOther, 29},
    {"BMPString", {}, TypeKind::kBmpString, 30},
    {"DATE", {}, TypeKind::kTimeText, 31},
    {"TIME-OF-DAY", {}, TypeKind::kTimeText, 32},
    {"DATE-TIME", {}, TypeKind::kTimeText, 33},
    {"DURATION", {}, TypeKind::kTimeText, 34},
    {"CHOICE", {}, TypeKind::kChoice, 0},
    {"ANY", {}, TypeKind::kOpen, 0},
    {"INSTANCE", "OF", TypeKind::kConstructedOther, 8},
};

}  // namespace

std::unique_ptr<Type> Parser::ReadType() {
  const Token start = Peek();
  const NestingGuard guard(*this, start);
  auto type = std::make_unique<Type>();
  type->Module = module_;
  type->Where = PlaceOf(start);
  while (Peek().Is("[")) ReadTag(*type);
  const Token word = Peek();
  if (word.Kind != TokenKind::kWord) Unexpected(word, "a type");
  Take();
  ReadTypeProper(*type, word);
  ReadConstraints(*type);
  return type;
}

// [n], [APPLICATION n], [PRIVATE n], [UNIVERSAL n], then IMPLICIT or EXPLICIT.
void Parser::ReadTag(Type& type) {
  Take();
  Tag tag;
  if (TakeIf("UNIVERSAL")) {
    tag.Class = TagClass::kUniversal;
  } else if (TakeIf("APPLICATION")) {
    tag.Class = TagClass::kApplication;
  } else if (TakeIf("PRIVATE")) {
    tag.Class = TagClass::kPrivate;
  }
  const Token number = Peek();
  if (number.Kind != TokenKind::kNumber) Unexpected(number, "a tag number");
  Take();
  if (number.Text.size() > 7 || std::stoul(std::string(number.Text)) > kLargestTagNumber) {
    Fail(number, "the tag number " + std::string(number.Text) + " is above " + std::to_string(kLargestTagNumber));
  }
  tag.Number = static_cast<uint32_t>(std::stoul(std::string(number.Text)));
  Expect("]", "after a tag number");
  if (TakeIf("IMPLICIT")) {
    tag.Mode = TagMode::kImplicit;
  } else if (TakeIf("EXPLICIT")) {
    tag.Mode = TagMode::kExplicit;
  }
  type.Tags.push_back(tag);
}

void Parser::ReadTypeProper(Type& type, const Token& word) {
  if (ReadBuiltin(type, word)) return;
  if (!IsUpperWord(word)) Unexpected(word, "a type (a type's name begins with an upper-case letter)");
  ReadReference(type, word);
}

bool Parser::ReadBuiltin(Type& type, const Token& word) {
  const Builtin* found = nullptr;
  for (const Builtin& builtin : kBuiltins) {
    if (word.Text != builtin.First) continue;
    if (!builtin.Second.empty() && !Peek().Is(builtin.Second)) continue;
    found = &builtin;
    break;
  }
  if (found == nullptr) return false;
  if (!found->Second.empty()) Take();
  type.Kind = found->Kind;
  type.UniversalTag = found->UniversalTag;
  switch (found->Kind) {
    case TypeKind::kSequence:
    case TypeKind::kSet:
      if (Peek().Is("{")) {
        ReadComponents(type, false);
      } else {
        ReadListOf(type, found->Kind == TypeKind::kSequence ? TypeKind::kSequenceOf : TypeKind::kSetOf);
      }
      break;
    case TypeKind::kChoice: ReadComponents(type, true); break;
    case TypeKind::kInteger:
    case TypeKind::kBitString:
      if (Peek().Is("{")) ReadNamedNumbers(type.Named, false);
      break;
    case TypeKind::kEnumerated: ReadNamedNumbers(type.Named, true); break;
    case TypeKind::kOpen:
      if (TakeIf("DEFINED")) {
        Expect("BY", "after ANY DEFINED");
        ExpectWord("the component's name after ANY DEFINED BY");
      }
      break;
    default:
      if (found->Second == "OF") ExpectWord("an information object class after INSTANCE OF");
      break;
  }
  return true;
}

// Type, Module.Type, Type{actual, ...}, CLASS.&field.
void Parser::ReadReference(Type& type, const Token& word) {
  type.Kind = TypeKind::kReference;
  type.Name = std::string(word.Text);
  while (Peek().Is(".")) {
    if (Peek(1).Is("&")) {
      Take();
      Take();
      type.Kind = TypeKind::kClassField;
      type.ElementName = std::string(ExpectWord("a class field's name after \"&\"").Text);
      while (Peek().Is(".") && Peek(1).Is("&")) {  // CLASS.&object.&field: the last field's
        Take();
        Take();
        type.ElementName = std::string(ExpectWord("a class field's name after \"&\"").Text);
      }
      return;
    }
    if (!IsUpperWord(Peek(1))) Unexpected(Peek(1), "a type's name after \"" + type.Name + ".\"");
    Take();
    type.ModuleName = std::move(type.Name);
    type.Name = std::string(Take().Text);
  }
  if (Peek().Is("{")) ReadActualParameters(type);
}

// { actual, ... }: a type, or a value or a set (kept as null).
void Parser::ReadActualParameters(Type& type) {
  Take();
  do {
    const Token& next = Peek();
    const bool value = next.Kind == TokenKind::kNumber || next.Kind == TokenKind::kText ||
                       next.Kind == TokenKind::kBits || next.Is("-") || next.Is("{") || IsLowerWord(next);
    if (value) {
      PassOverUntil(",", "}");
      type.Actuals.emplace_back();
    } else {
      type.Actuals.push_back(ReadType());
    }
  } while (TakeIf(","));
  Expect("}", "after the actual parameters");
}

// SEQUENCE { ... }, SET { ... }, CHOICE { ... }: components, "...", [[ ... ]].
void Parser::ReadComponents(Type& type, bool choice) {
  Expect("{", choice ? "after CHOICE" : "before the components");
  bool addition = false;
  while (!TakeIf("}")) {
    if (Peek().Kind == TokenKind::kEllipsis) {
      Take();
      if (TakeIf("!")) PassOverUntil(",", "}");
      addition = !addition;  // the second marker ends the additions
    } else if (Peek().Kind == TokenKind::kOpenVersion) {
      Take();
      if (Peek().Kind == TokenKind::kNumber && Peek(1).Is(":")) {
        Take();
        Take();
      }
      do {
        ReadComponent(type, true, choice);
      } while (TakeIf(","));
      if (Peek().Kind != TokenKind::kCloseVersion) Unexpected(Peek(), "\"]]\" after the components of a version");
      Take();
    } else {
      ReadComponent(type, addition, choice);
    }
    if (!TakeIf(",") && !Peek().Is("}")) Unexpected(Peek(), "\",\" or \"}\" after a component");
  }
  if (default_ == TagDefault::kAutomatic) AssignAutomaticTags(type);
}

void Parser::ReadComponent(Type& type, bool addition, bool choice) {
  Component component;
  component.Where = PlaceOf(Peek());
  component.Addition = addition;
  if (!choice && TakeIf("COMPONENTS")) {
    Expect("OF", "after COMPONENTS");
    component.ComponentsOf = true;
    component.Of = ReadType();
    type.Components.push_back(std::move(component));
    return;
  }
  const Token name = Peek();
  if (IsLowerWord(name)) {
    component.Name = std::string(Take().Text);
  } else if (!IsUpperWord(name) && !name.Is("[")) {  // a component without a name, as old modules write
    Unexpected(name, choice ? "an alternative's name" : "a component's name");
  }
  component.Of = ReadType();
  if (!choice && TakeIf("OPTIONAL")) {
    component.Optional = true;
  } else if (!choice && TakeIf("DEFAULT")) {
    component.Optional = true;
    PassOverUntil(",", "}", "]]");
  }
  type.Components.push_back(std::move(component));
}

// SEQUENCE [SIZE (...) | (constraint)] OF [name] Type.
void Parser::ReadListOf(Type& type, TypeKind kind) {
  type.Kind = kind;
  if (Peek().Is("(")) {
    ReadConstraint(type);
  } else if (Peek().Is("SIZE")) {
    Take();
    ReadLimits(type.Size);
  }
  Expect("OF", kind == TypeKind::kSequenceOf ? "after SEQUENCE" : "after SET");
  if (IsLowerWord(Peek())) type.ElementName = std::string(Take().Text);
  type.Element = ReadType();
}

// { name(n), name(-n), ..., name } for INTEGER, ENUMERATED and BIT STRING; an ENUMERATED item
// may leave its number out.
void Parser::ReadNamedNumbers(std::vector<NamedNumber>& named, bool enumeration) {
  Expect("{", enumeration ? "after ENUMERATED" : "before the named numbers");
  bool addition = false;
  do {
    if (Peek().Kind == TokenKind::kEllipsis) {
      Take();
      if (TakeIf("!")) PassOverUntil(",", "}");
      addition = true;
      continue;
    }
    const Token name = Peek();
    if (!IsLowerWord(name)) Unexpected(name, "a named number's name");
    Take();
    NamedNumber entry;
    entry.Name = std::string(name.Text);
    entry.Addition = addition;
    if (TakeIf("(")) {
      entry.Numbered = ReadSignedNumber(entry.Number);
      if (!entry.Numbered) ExpectWord("a number or a value's name");
      Expect(")", "after a named number");
    } else if (!enumeration) {
      Unexpected(Peek(), "\"(\" and the number of " + entry.Name);
    }
    named.push_back(std::move(entry));
  } while (TakeIf(","));
  Expect("}", "after the named numbers");
}

// AUTOMATIC TAGS: where no component of the list is tagged, the root components are tagged [0],
// [1], ... in order, then the additions; COMPONENTS OF keeps the tags of its own list.
void Parser::AssignAutomaticTags(Type& type) const {
  for (const Component& component : type.Components) {
    if (!component.ComponentsOf && !component.Of->Tags.empty()) return;
  }
  uint32_t number = 0;
  for (const bool additions : {false, true}) {
    for (Component& component : type.Components) {
      if (component.ComponentsOf || component.Addition != additions) continue;
      component.Of->Tags.insert(component.Of->Tags.begin(), Tag{TagClass::kContext, number++, TagMode::kDefault});
    }
  }
}

}  // namespace asn1
}  // namespace orvalis
