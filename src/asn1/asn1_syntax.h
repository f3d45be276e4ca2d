// What an ASN.1 module says, as the module reader keeps it: the types that billing modules use,
// their tags, components, named numbers and the bounds of their constraints. Values, information
// object classes' bodies and most of what constraints say are read and left out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvalis {
namespace asn1 {

// Where a construct begins: the module file (its place among the files given), line and column,
// both counted from 1.
struct Place {
  uint32_t File = 0;
  uint32_t Line = 0;
  uint32_t Column = 0;
};

enum class TagClass : uint8_t { kUniversal, kApplication, kContext, kPrivate };
// How a tag was written: IMPLICIT, EXPLICIT, or neither (the module's default decides).
enum class TagMode : uint8_t { kDefault, kImplicit, kExplicit };
// The module's tag default (DEFINITIONS ... TAGS); AUTOMATIC tags components that have no tag.
enum class TagDefault : uint8_t { kExplicit, kImplicit, kAutomatic };

// The largest tag number a path may hold (2^21 - 1).
constexpr uint32_t kLargestTagNumber = 2097151;

struct Tag {
  TagClass Class = TagClass::kContext;
  uint32_t Number = 0;
  TagMode Mode = TagMode::kDefault;
};

enum class TypeKind : uint8_t {
  kReference,       // a type assignment's name, perhaps of another module, perhaps with parameters
  kSequence,
  kSet,
  kChoice,
  kSequenceOf,
  kSetOf,
  kInteger,
  kEnumerated,
  kBitString,
  kOctetString,
  kBoolean,
  kNull,
  kObjectIdentifier,
  kRelativeOid,
  kReal,
  kCharacters,       // the 8-bit character strings (IA5String, VisibleString, ...): UniversalTag tells which
  kUtf8String,
  kBmpString,
  kUniversalString,
  kGeneralizedTime,
  kUtcTime,
  kTimeText,         // DATE, TIME-OF-DAY, DATE-TIME, DURATION, TIME: characters
  kConstructedOther, // EXTERNAL, EMBEDDED PDV, CHARACTER STRING: constructed, read as octets
  kOpen,             // ANY, an information object class's open type field: no tag of its own
  kClassField,       // CLASS.&field: a fixed-type field, resolved through the class
};

// A name with its number: INTEGER and ENUMERATED named numbers, BIT STRING named bits.
struct NamedNumber {
  std::string Name;
  int64_t Number = 0;
  bool Numbered = false;  // written with its number; an ENUMERATED item without one is numbered later
  bool Addition = false;  // after the extension marker
};

// One end of a range in a constraint: a number, a value's name (resolved when the dictionary is
// made), MIN or MAX.
struct Bound {
  enum class Is : uint8_t { kNumber, kName, kMin, kMax };
  Is What = Is::kMin;
  int64_t Number = 0;
  std::string Name;
  int Shift = 0;  // -1 or +1 for an end written with "<" (1<..<9)
};
// A constraint's ranges (a single value is a range of one), as written in its root: the SIZE of
// a string or a list, or an INTEGER's values. None: no such constraint.
struct RangePart {
  Bound Lower;
  Bound Upper;
};
using Limits = std::vector<RangePart>;

struct Type;

// A component of a SEQUENCE or SET, an alternative of a CHOICE, or COMPONENTS OF a type.
struct Component {
  std::string Name;
  std::unique_ptr<Type> Of;
  bool Optional = false;    // OPTIONAL or DEFAULT
  bool Addition = false;    // after the extension marker
  bool ComponentsOf = false;  // COMPONENTS OF Of: Of's root components stand here
  Place Where;
};

struct Type {
  TypeKind Kind = TypeKind::kOctetString;
  std::vector<Tag> Tags;  // as written, outermost first
  uint32_t Module = 0;    // the module it was written in (its tag default applies)
  Place Where;
  uint8_t UniversalTag = 0;  // a built-in type's own tag number
  // kReference: the type's name and, for Module.Type, the module's; kClassField: the class's
  // name and, in ElementName, the field's (without its "&").
  std::string Name;
  std::string ModuleName;
  std::vector<std::unique_ptr<Type>> Actuals;  // a parameterized reference's actual types (null: a value)
  std::vector<Component> Components;
  std::unique_ptr<Type> Element;  // SEQUENCE OF, SET OF
  std::string ElementName;        // SEQUENCE OF name Type; a class field's name
  std::vector<NamedNumber> Named;
  Limits Size;   // SIZE (...)
  Limits Range;  // an INTEGER's values
};

// A formal parameter: a type (Name) or anything else (INTEGER : ub, CLASS : Set).
struct FormalParameter {
  std::string Name;
  bool IsType = false;
};

// Name ::= Type, or Name {Param, ...} ::= Type.
struct TypeAssignment {
  std::string Name;
  std::vector<FormalParameter> Parameters;
  std::unique_ptr<Type> Of;
  Place Where;
};

// An information object class: the types of its fixed-type value fields (&id INTEGER ...).
struct ClassAssignment {
  std::string Name;
  std::vector<std::pair<std::string, std::unique_ptr<Type>>> Fields;  // "id" -> INTEGER
};

struct Import {
  std::string Module;
  std::vector<std::string> Names;
  Place Where;
};

struct Module {
  std::string Name;
  TagDefault Default = TagDefault::kExplicit;
  uint32_t File = 0;
  std::vector<Import> Imports;
  std::vector<TypeAssignment> Types;
  std::vector<ClassAssignment> Classes;
  std::vector<std::pair<std::string, int64_t>> Integers;  // name INTEGER ::= number, for bounds
};

}  // namespace asn1
}  // namespace orvalis
