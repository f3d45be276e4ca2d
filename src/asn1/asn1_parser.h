// The module reader's parser, shared by its files: modules and assignments (asn1_modules.cpp),
// types (asn1_types.cpp), constraints, values and what is passed over (asn1_passed_over.cpp).
// A fault throws SyntaxError at its place; ReadModuleText (asn1_reader.h) catches it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1_lexer.h"
#include "asn1/asn1_syntax.h"

namespace orvalis {
namespace asn1 {

// The deepest nesting of types, constraints and values that a module may write.
constexpr int kMaxNesting = 100;

class Parser {
 public:
  Parser(std::string_view text, uint32_t file) : words_(text, file) {}

  // Every module of the text, one after another.
  void ReadModules(std::vector<Module>& modules);

 private:
  // Modules and assignments (asn1_modules.cpp).
  void ReadModule(Module& module);
  void ReadHeader(Module& module);
  void ReadExports();
  void ReadImports(Module& module);
  void ReadAssignment(Module& module);
  void ReadTypeAssignment(Module& module, const Token& name);
  void ReadClassBody(Module& module, const std::string& name);
  void ReadValueAssignment(Module& module, const Token& name);
  std::vector<FormalParameter> ReadFormalParameters();

  // Types (asn1_types.cpp).
  std::unique_ptr<Type> ReadType();
  void ReadTag(Type& type);
  void ReadTypeProper(Type& type, const Token& word);
  bool ReadBuiltin(Type& type, const Token& word);
  void ReadReference(Type& type, const Token& word);
  void ReadComponents(Type& type, bool choice);
  void ReadComponent(Type& type, bool addition, bool choice);
  void ReadListOf(Type& type, TypeKind kind);
  void ReadNamedNumbers(std::vector<NamedNumber>& named, bool enumeration);
  void ReadActualParameters(Type& type);
  void AssignAutomaticTags(Type& type) const;

  // Constraints, values and what is passed over (asn1_passed_over.cpp).
  void ReadConstraints(Type& type);
  void ReadConstraint(Type& type);
  void ReadLimits(Limits& limits);
  bool ReadRangePart(Limits& into, bool keep);
  Bound ReadBound();
  bool ReadSignedNumber(int64_t& number);
  void PassOverBalanced();
  void PassOverValue();
  void PassOverUntil(std::string_view a, std::string_view b, std::string_view c = {});

  // Words.
  const Token& Peek(std::size_t ahead = 0) { return words_.Peek(ahead); }
  Token Take() { return words_.Take(); }
  bool TakeIf(std::string_view text);
  Token Expect(std::string_view text, const char* where);
  Token ExpectWord(const char* what);
  [[noreturn]] void Fail(const Token& at, const std::string& what) const;
  [[noreturn]] void Unexpected(const Token& at, const std::string& wanted) const;
  Place PlaceOf(const Token& token) const { return words_.PlaceOf(token); }
  void Deeper(const Token& at);

  Lexer words_;
  uint32_t module_ = 0;  // the module being read, as its place among all modules read
  TagDefault default_ = TagDefault::kExplicit;
  int nesting_ = 0;
  friend struct NestingGuard;
};

// One level of nesting, taken back when the construct has been read.
struct NestingGuard {
  NestingGuard(Parser& parser, const Token& at) : parser_(parser) { parser.Deeper(at); }
  ~NestingGuard() { --parser_.nesting_; }
  Parser& parser_;
};

// How a word is shown in a message: "BEGIN", or "the end of the file".
std::string ShownWord(const Token& token);

// True for a word that begins with an upper-case letter (a type's or a module's name).
inline bool IsUpperWord(const Token& token) {
  return token.Kind == TokenKind::kWord && token.Text[0] >= 'A' && token.Text[0] <= 'Z';
}
inline bool IsLowerWord(const Token& token) {
  return token.Kind == TokenKind::kWord && token.Text[0] >= 'a' && token.Text[0] <= 'z';
}

}  // namespace asn1
}  // namespace orvalis
