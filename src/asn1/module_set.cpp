#include "asn1/module_set.h"

namespace orvalis {
namespace asn1 {

bool ModuleSet::Read(const std::string& name, std::string_view text, std::string& fault) {
  if (text.size() > kMaxModuleText - textRead_) {
    fault = name + ": the modules given hold more than " + std::to_string(kMaxModuleText >> 20) +
            " MiB of text, more than this reader takes";
    return false;
  }
  textRead_ += text.size();
  files_.push_back(name);
  ReadFault read;
  const std::size_t before = modules_.size();
  if (!ReadModuleText(text, static_cast<uint32_t>(files_.size() - 1), modules_, read)) {
    fault = FaultText(name, read);
    return false;
  }
  for (std::size_t i = before; i < modules_.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (modules_[j].Name == modules_[i].Name) {
        fault = name + ": module " + modules_[i].Name + " is given twice (also in " + files_[modules_[j].File] + ")";
        return false;
      }
    }
  }
  return true;
}

const Module* ModuleSet::ModuleNamed(std::string_view name, uint32_t* index) const {
  for (std::size_t i = 0; i < modules_.size(); ++i) {
    if (modules_[i].Name != name) continue;
    if (index != nullptr) *index = static_cast<uint32_t>(i);
    return &modules_[i];
  }
  return nullptr;
}

const TypeAssignment* ModuleSet::Own(const Module& module, const std::string& name) const {
  for (const TypeAssignment& assignment : module.Types) {
    if (assignment.Name == name) return &assignment;
  }
  return nullptr;
}

const std::string* ModuleSet::ImportedFrom(const Module& module, const std::string& name) const {
  for (const Import& import : module.Imports) {
    for (const std::string& imported : import.Names) {
      if (imported == name) return &import.Module;
    }
  }
  return nullptr;
}

FoundType ModuleSet::FindType(uint32_t from, const std::string& moduleName, const std::string& name) const {
  FoundType found;
  const Module& here = modules_[from];
  const std::string* source = moduleName.empty() ? nullptr : &moduleName;
  if (source == nullptr) {
    found.Assignment = Own(here, name);
    if (found.Assignment != nullptr) {
      found.Module = from;
      return found;
    }
    source = ImportedFrom(here, name);
    if (source == nullptr) return found;
  }
  uint32_t index = 0;
  const Module* there = ModuleNamed(*source, &index);
  if (there == nullptr) {
    found.MissingModule = *source;
    return found;
  }
  found.Assignment = Own(*there, name);
  found.Module = index;
  return found;
}

FoundType ModuleSet::FindNamedType(const std::string& name, std::string& problem) const {
  FoundType found;
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) {
    uint32_t index = 0;
    const Module* module = ModuleNamed(std::string_view(name).substr(0, dot), &index);
    if (module == nullptr) {
      problem = "no module given is named " + name.substr(0, dot);
      return found;
    }
    found.Assignment = Own(*module, name.substr(dot + 1));
    found.Module = index;
    if (found.Assignment == nullptr) problem = "module " + module->Name + " defines no type " + name.substr(dot + 1);
    return found;
  }
  for (std::size_t i = 0; i < modules_.size(); ++i) {
    const TypeAssignment* assignment = Own(modules_[i], name);
    if (assignment == nullptr) continue;
    if (found.Assignment != nullptr) {
      problem = "the type " + name + " is defined in " + modules_[found.Module].Name + " and in " + modules_[i].Name +
                ": name it as " + modules_[found.Module].Name + "." + name;
      found.Assignment = nullptr;
      return found;
    }
    found.Assignment = assignment;
    found.Module = static_cast<uint32_t>(i);
  }
  if (found.Assignment == nullptr) problem = "no module given defines a type " + name;
  return found;
}

const ClassAssignment* ModuleSet::FindClass(uint32_t from, const std::string& name, uint32_t& module,
                                            std::string& reached) const {
  std::string& wanted = reached;
  wanted = name;
  uint32_t at = from;
  for (int step = 0; step < 32; ++step) {  // a class named through other names: MY-CLASS ::= TYPE-IDENTIFIER
    for (const ClassAssignment& assignment : modules_[at].Classes) {
      if (assignment.Name == wanted) {
        module = at;
        return &assignment;
      }
    }
    const FoundType found = FindType(at, {}, wanted);
    if (found.Assignment != nullptr && found.Assignment->Of->Kind == TypeKind::kReference) {
      wanted = found.Assignment->Of->Name;
      at = found.Module;
      continue;
    }
    const std::string* source = ImportedFrom(modules_[at], wanted);
    uint32_t index = 0;
    if (source == nullptr || ModuleNamed(*source, &index) == nullptr || index == at) return nullptr;
    at = index;
  }
  return nullptr;
}

bool ModuleSet::FindInteger(uint32_t from, const std::string& name, int64_t& value) const {
  const Module* module = &modules_[from];
  for (int step = 0; step < 2 && module != nullptr; ++step) {
    for (const auto& integer : module->Integers) {
      if (integer.first != name) continue;
      value = integer.second;
      return true;
    }
    const std::string* source = ImportedFrom(*module, name);
    module = source == nullptr ? nullptr : ModuleNamed(*source);
  }
  return false;
}

std::string ModuleSet::Where(const Place& place) const {
  return files_[place.File] + ":" + std::to_string(place.Line) + ":" + std::to_string(place.Column);
}

}  // namespace asn1
}  // namespace orvalis
