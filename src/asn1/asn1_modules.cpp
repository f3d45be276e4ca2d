// The module reader: module headers, EXPORTS, IMPORTS and the assignments of a module's body.
#include "asn1/asn1_parser.h"

namespace orvalis {
namespace asn1 {

std::string ShownWord(const Token& token) {
  if (token.Kind == TokenKind::kEnd) return "the end of the file";
  std::string_view text = token.Text;
  if (text.size() > 40) text = text.substr(0, 40);
  return "\"" + std::string(text) + (token.Text.size() > 40 ? "...\"" : "\"");
}

void Parser::Fail(const Token& at, const std::string& what) const { throw SyntaxError(PlaceOf(at), what); }

void Parser::Unexpected(const Token& at, const std::string& wanted) const {
  Fail(at, "expected " + wanted + ", not " + ShownWord(at));
}

void Parser::Deeper(const Token& at) {
  if (++nesting_ > kMaxNesting) {
    --nesting_;
    Fail(at, "types, constraints or values nested more than " + std::to_string(kMaxNesting) + " levels deep");
  }
}

bool Parser::TakeIf(std::string_view text) {
  if (!Peek().Is(text)) return false;
  Take();
  return true;
}

Token Parser::Expect(std::string_view text, const char* where) {
  if (!Peek().Is(text)) Unexpected(Peek(), "\"" + std::string(text) + "\" " + where);
  return Take();
}

Token Parser::ExpectWord(const char* what) {
  if (Peek().Kind != TokenKind::kWord) Unexpected(Peek(), what);
  return Take();
}

void Parser::ReadModules(std::vector<Module>& modules) {
  if (Peek().Kind == TokenKind::kEnd) Unexpected(Peek(), "a module (Name DEFINITIONS ::= BEGIN ... END)");
  while (Peek().Kind != TokenKind::kEnd) {
    module_ = static_cast<uint32_t>(modules.size());
    modules.emplace_back();
    modules.back().File = words_.File();
    ReadModule(modules.back());
  }
}

void Parser::ReadModule(Module& module) {
  ReadHeader(module);
  default_ = module.Default;
  if (TakeIf("EXPORTS")) ReadExports();
  if (TakeIf("IMPORTS")) ReadImports(module);
  while (!Peek().Is("END")) {
    if (Peek().Kind == TokenKind::kEnd) Unexpected(Peek(), "\"END\" at the end of module " + module.Name);
    ReadAssignment(module);
  }
  Take();
}

// Name [{ oid }] ["IRI"] DEFINITIONS [EXPLICIT|IMPLICIT|AUTOMATIC TAGS] [EXTENSIBILITY IMPLIED] ::= BEGIN
void Parser::ReadHeader(Module& module) {
  const Token name = Peek();
  if (!IsUpperWord(name)) Unexpected(name, "a module's name (an upper-case letter first)");
  module.Name = std::string(Take().Text);
  if (Peek().Is("{")) PassOverBalanced();
  if (Peek().Kind == TokenKind::kText) Take();
  Expect("DEFINITIONS", "after the module's name");
  const Token mode = Peek();
  if (mode.Is("EXPLICIT") || mode.Is("IMPLICIT") || mode.Is("AUTOMATIC")) {
    Take();
    Expect("TAGS", "after the tag default");
    module.Default = mode.Is("EXPLICIT")   ? TagDefault::kExplicit
                     : mode.Is("IMPLICIT") ? TagDefault::kImplicit
                                           : TagDefault::kAutomatic;
  }
  if (TakeIf("EXTENSIBILITY")) Expect("IMPLIED", "after EXTENSIBILITY");
  Expect("::=", "after DEFINITIONS");
  Expect("BEGIN", "after DEFINITIONS ... ::=");
}

// EXPORTS ALL; or EXPORTS a, B, C{}; : every type is read whatever it says.
void Parser::ReadExports() { PassOverUntil(";", "END"); Expect(";", "at the end of EXPORTS"); }

// IMPORTS a, B, C{} FROM Module [{ oid } | value] ... ;
void Parser::ReadImports(Module& module) {
  Import pending;
  while (!TakeIf(";")) {
    const Token word = Peek();
    if (word.Is("FROM")) {
      Take();
      const Token from = Peek();
      if (!IsUpperWord(from)) Unexpected(from, "a module's name after FROM");
      pending.Module = std::string(Take().Text);
      pending.Where = PlaceOf(from);
      if (Peek().Is("{")) {
        PassOverBalanced();
      } else if (IsLowerWord(Peek()) && !Peek(1).Is(",") && !Peek(1).Is("FROM") && !Peek(1).Is("{")) {
        Take();  // the module's identifier given as a value's name
      }
      if (TakeIf("WITH")) ExpectWord("SUCCESSORS or DESCENDANTS after WITH");
      module.Imports.push_back(std::move(pending));
      pending = Import();
      continue;
    }
    if (word.Kind != TokenKind::kWord) Unexpected(word, "a name to import, FROM or \";\"");
    pending.Names.emplace_back(Take().Text);
    if (Peek().Is("{")) {  // a parameterized name: Name{}
      Take();
      Expect("}", "after the \"{\" of an imported parameterized name");
    }
    if (!TakeIf(",") && !Peek().Is("FROM")) Unexpected(Peek(), "\",\" or FROM among the imported names");
  }
}

void Parser::ReadAssignment(Module& module) {
  const Token name = Peek();
  if (name.Kind != TokenKind::kWord) Unexpected(name, "an assignment (Name ::= Type) or END");
  if (IsLowerWord(name)) return ReadValueAssignment(module, name);
  if (!IsUpperWord(name)) Unexpected(name, "an assignment's name");
  if (Peek(1).Is("::=") || Peek(1).Is("{")) return ReadTypeAssignment(module, name);
  Take();
  if (TakeIf("MACRO")) {  // a macro of old modules: passed over to its END
    Expect("::=", "after MACRO");
    Expect("BEGIN", "after MACRO ::=");
    while (!Peek().Is("END")) {
      if (Peek().Kind == TokenKind::kEnd) Unexpected(Peek(), "the END of macro " + std::string(name.Text));
      Take();
    }
    Take();
    return;
  }
  ReadType();  // a value set or an information object set: Name Type ::= { ... }
  Expect("::=", "after the type of a value set or object set");
  PassOverValue();
}

void Parser::ReadTypeAssignment(Module& module, const Token& name) {
  Take();
  TypeAssignment assignment;
  assignment.Name = std::string(name.Text);
  assignment.Where = PlaceOf(name);
  if (Peek().Is("{")) assignment.Parameters = ReadFormalParameters();
  Expect("::=", "after a type's name");
  if (TakeIf("CLASS")) return ReadClassBody(module, assignment.Name);
  assignment.Of = ReadType();
  module.Types.push_back(std::move(assignment));
}

// { Type, INTEGER : ub, CLASS : ObjectSet }: a name alone is a type when it begins upper-case.
std::vector<FormalParameter> Parser::ReadFormalParameters() {
  std::vector<FormalParameter> parameters;
  Expect("{", "before the formal parameters");
  do {
    Token last = ExpectWord("a formal parameter's name");
    bool governed = false;
    while (!Peek().Is(",") && !Peek().Is("}")) {
      if (Peek().Is("{") || Peek().Is("(")) {
        PassOverBalanced();
        continue;
      }
      governed = governed || Peek().Is(":");
      last = Take();
      if (last.Kind == TokenKind::kEnd) Unexpected(last, "\"}\" after the formal parameters");
    }
    parameters.push_back({std::string(last.Text), !governed && IsUpperWord(last)});
  } while (TakeIf(","));
  Expect("}", "after the formal parameters");
  return parameters;
}

// CLASS { &id INTEGER UNIQUE, &Type, ... } [WITH SYNTAX { ... }]: the fixed-type value fields'
// types are kept, for CLASS.&id; the rest is passed over.
void Parser::ReadClassBody(Module& module, const std::string& name) {
  ClassAssignment assignment;
  assignment.Name = name;
  Expect("{", "after CLASS");
  while (!TakeIf("}")) {
    Expect("&", "before a class field's name");
    const Token field = ExpectWord("a class field's name");
    if (IsLowerWord(field) && !Peek().Is(",") && !Peek().Is("}") && !Peek().Is("&")) {
      assignment.Fields.emplace_back(std::string(field.Text), ReadType());
    }
    PassOverUntil(",", "}");
    TakeIf(",");
  }
  if (TakeIf("WITH")) {
    Expect("SYNTAX", "after WITH");
    PassOverBalanced();
  }
  module.Classes.push_back(std::move(assignment));
}

// name Type ::= Value: passed over, but for an INTEGER's number, which a bound may name.
void Parser::ReadValueAssignment(Module& module, const Token& name) {
  Take();
  if (Peek().Is("{")) PassOverBalanced();  // a parameterized value's formal parameters
  const std::unique_ptr<Type> type = ReadType();
  Expect("::=", "after a value's type");
  int64_t number = 0;
  const bool integer = type->Kind == TypeKind::kInteger && type->Tags.empty();
  if (integer && ReadSignedNumber(number)) {
    module.Integers.emplace_back(std::string(name.Text), number);
    return;
  }
  PassOverValue();
}

}  // namespace asn1
}  // namespace orvalis
