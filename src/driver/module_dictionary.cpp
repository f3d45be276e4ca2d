// --dictionary-from: the dictionary made from ASN.1 modules, printed, compared with a hand-written
// one (--compare), or used in place of -t's by a conversion and by -g.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "asn1/dictionary_generator.h"
#include "asn1/module_set.h"
#include "asn1/semantic_table.h"
#include "common/text_file.h"
#include "decode/types/value_types.h"
#include "decode/writers/csv_layout.h"
#include "decode/writers/table_definition.h"
#include "driver/run_parts.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

// Reads a module file whole (its line ends do not matter). False after its message.
bool ReadModuleFile(const std::string& name, std::string& text) {
  std::FILE* file = OpenTextFileForReading(name);
  if (file == nullptr) {
    PrintErrorForm(("Error: can not open module file " + ConsoleName(name)).c_str());
    return false;
  }
  const bool read = ReadWholeFile(file, text);
  std::fclose(file);
  if (!read) PrintErrorForm(("Error: can not read module file " + ConsoleName(name)).c_str());
  return read;
}

// The bundled semantic table and the user's rows (--semantic-types). False after the message.
bool ReadSemanticTable(const RunSettings& settings, asn1::SemanticTable& table) {
  if (settings.SemanticTypesFileName.empty()) return true;
  std::string problem;
  const bool read = ReadTextFile(settings.SemanticTypesFileName, "Error: can not open the semantic table",
                                 "Error: memory allocation for the semantic table is not successful",
                                 [&](std::string_view text) {
                                   table.Add(ConsoleName(settings.SemanticTypesFileName), text,
                                             ValueTypes::Names(), problem);
                                 });
  if (read && problem.empty()) return true;
  if (!problem.empty()) SayOnErrorStream("Error: " + problem + "\n");
  return false;
}

// Tells the dictionary's notes, each a line of its own.
void TellNotes(const asn1::GeneratedDictionary& dictionary) {
  for (const std::string& note : dictionary.Notes) SayOnErrorStream("Note: " + note + "\n");
}

// A dictionary's text read into a tree, its messages not shown (the generated text's are the
// generator's own).
std::unique_ptr<TBranch> TreeOf(const std::string& text) {
  std::unique_ptr<TBranch> root = NewDictionary();
  HeldMessages dropped;
  const ConsoleToHeld hold(dropped);
  ApplyTagsText(*root, text);
  return root;
}

std::string TypeName(const TBranch& root, TagType type) {
  const auto code = static_cast<std::size_t>(type);
  return code == 0 || code >= root.Types.Count ? "none" : std::string(root.Types.Names[code]);
}

std::string NameOf(const TItem& item) { return item.TagName ? *item.TagName : std::string("(no TagName)"); }

// Where the hand-written dictionary's branch disagrees with the modules' at `path`: a line each.
void CompareBranches(const TBranch* made, const TBranch* hand, const TBranch& madeRoot, const TBranch& handRoot,
                     const std::string& path, std::string& report) {
  for (const TLeaf* leaf = made != nullptr ? made->First : nullptr; leaf != nullptr; leaf = leaf->Next) {
    const std::string at = path + std::to_string(leaf->Item.TagId);
    const TLeaf* other = hand != nullptr ? hand->FindById(leaf->Item.TagId) : nullptr;
    if (other == nullptr) {
      report += at + ": the modules have " + NameOf(leaf->Item) + ", which the dictionary lacks\n";
      continue;
    }
    if (NameOf(leaf->Item) != NameOf(other->Item)) {
      report += at + ": the modules name it " + NameOf(leaf->Item) + ", the dictionary " + NameOf(other->Item) + "\n";
    }
    if (leaf->Item.Type != other->Item.Type) {
      report += at + ": " + NameOf(leaf->Item) + " is of type " + TypeName(madeRoot, leaf->Item.Type) +
                " in the modules, " + TypeName(handRoot, other->Item.Type) + " in the dictionary\n";
    }
    CompareBranches(leaf->Child.get(), other->Child.get(), madeRoot, handRoot, at + ".", report);
  }
  for (const TLeaf* leaf = hand != nullptr ? hand->First : nullptr; leaf != nullptr; leaf = leaf->Next) {
    if (made == nullptr || made->FindById(leaf->Item.TagId) == nullptr) {
      report += path + std::to_string(leaf->Item.TagId) + ": the dictionary has " + NameOf(leaf->Item) +
                ", which the modules do not\n";
    }
  }
}

// --compare: the lines where the hand-written dictionary disagrees; status 0 for none, 1 for some.
int CompareWithModules(const RunSettings& settings, const std::string& generated) {
  const std::unique_ptr<TBranch> made = TreeOf(generated);
  const std::unique_ptr<TBranch> hand = NewDictionary();
  if (ReadTagsConfig(*hand, settings.CompareFileName) != 0) {
    SayOnErrorStream("Error when reading the dictionary to compare (--compare).\n");
    return -1;
  }
  std::string report;
  CompareBranches(made.get(), hand.get(), *made, *hand, "", report);
  if (std::fwrite(report.data(), 1, report.size(), stdout) != report.size() || std::fflush(stdout) != 0) {
    PrintErrorForm("Error: can not write standard output");
    return -1;
  }
  return report.empty() ? 0 : 1;
}

// Where one table of every record kind would have more columns than -g's table takes: what the
// README recommends.
void AdviseOnColumns(const std::string& generated) {
  const std::unique_ptr<TBranch> root = TreeOf(generated);
  CsvLayout layout;
  std::string problem;
  if (!MakeCsvLayout(*root, false, layout, problem) || layout.Names.size() <= kMostTableColumns) return;
  SayOnErrorStream("Note: one CSV table of every record kind would have " + std::to_string(layout.Names.size()) +
                   " columns, more than the " + std::to_string(kMostTableColumns) +
                   " of a database table: choose them with Columns (or --columns), or convert each record kind in a "
                   "run of its own with a dictionary made with --records TYPE\n");
}

}  // namespace

int PrintModuleDictionary(const RunSettings& settings) {
  SetQuiet(true);
  std::string text;
  if (!DictionaryOfModules(settings, text, true)) return -1;
  if (!settings.CompareFileName.empty()) return CompareWithModules(settings, text);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    PrintErrorForm("Error: can not write standard output");
    return -1;
  }
  AdviseOnColumns(text);
  return 0;
}

bool DictionaryOfModules(const RunSettings& settings, std::string& text, bool tellNotes) {
  if (settings.RootType.empty()) {
    SayOnErrorStream("Error: --dictionary-from needs --root TYPE, the type of the file's top-level elements\n");
    return false;
  }
  asn1::ModuleSet modules;
  for (const std::string& name : settings.ModuleFileNames) {
    std::string moduleText;
    if (!ReadModuleFile(name, moduleText)) return false;
    std::string fault;
    if (!modules.Read(ConsoleName(name), moduleText, fault)) {
      SayOnErrorStream("Error: " + fault + "\n");
      return false;
    }
  }
  asn1::SemanticTable table;
  if (!ReadSemanticTable(settings, table)) return false;
  asn1::GeneratedDictionary dictionary;
  std::string fault;
  if (!asn1::GenerateDictionary(modules, table, {settings.RootType, settings.RecordsType, asn1::kMaxPaths}, dictionary, fault)) {
    SayOnErrorStream("Error: " + fault + "\n");
    return false;
  }
  if (tellNotes) TellNotes(dictionary);
  text = std::move(dictionary.Text);
  return true;
}

bool ReadModuleDictionary(const RunSettings& settings, TBranch& root) {
  std::string text;
  if (!DictionaryOfModules(settings, text, false)) return false;
  ApplyTagsText(root, text);
  return true;
}

}  // namespace orvalis
