#include "tracking/attribution.h"

#include "access/paths.h"
#include "access/registry_line.h"

namespace tw {

namespace {

bool InAnyFolder(const Text& path, const TextList& folderForms) {
  const Text form = ComparablePath(WidestReading(path));
  if (form.empty()) return false;
  for (const Text& folder : folderForms) {
    if (IsAtOrBelow(form, folder)) return true;
  }
  return false;
}

bool UnderAnyKey(const Text& line, const std::vector<RegistryLine>& keys) {
  RegistryLine parsed;
  if (!ParseRegistryLine(line, &parsed)) return false;
  for (const RegistryLine& key : keys) {
    if (key.root == parsed.root && KeyPathAtOrBelow(parsed.keyPath, key.keyPath)) return true;
  }
  return false;
}

}  // namespace

void MarkUncertain(const OtherPrograms& others, InstallRecord* record) {
  // Another program's folder in its widest reading: what protects another's
  // takes every place its entry may name.
  TextList folderForms;
  for (const Text& folder : others.folders) {
    const Text form = ComparablePath(WidestReading(Trim(folder)));
    if (!form.empty()) folderForms.push_back(form);
  }
  std::vector<RegistryLine> keys;
  for (const Text& line : others.entryKeys) {
    RegistryLine parsed;
    if (ParseRegistryLine(line, &parsed) && !parsed.isValue) keys.push_back(parsed);
  }
  for (auto* files : {&record->createdFiles, &record->changedFiles, &record->deletedFiles}) {
    for (RecordedFile& file : *files) file.uncertain = file.uncertain || InAnyFolder(file.path, folderForms);
  }
  for (auto* entries : {&record->createdKeys, &record->createdValues, &record->changedValues,
                        &record->deletedValues, &record->deletedKeys}) {
    for (RecordedEntry& entry : *entries) entry.uncertain = entry.uncertain || UnderAnyKey(entry.line, keys);
  }
}

}  // namespace tw
