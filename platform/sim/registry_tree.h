// The simulated registry's storage: two trees (the machine hive under
// HKEY_LOCAL_MACHINE and the user hives under HKEY_USERS) of keys with
// case-insensitive, case-preserving names. Subkeys are kept sorted by their
// upper-cased names, which is the order RegEnumKeyExW returns on Windows;
// values keep their creation order, as RegEnumValueW returns them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::sim {

struct RegValue {
  Text name;
  std::uint32_t type = 0;
  std::string data;
};

struct RegNode {
  Text name;
  RegNode* parent = nullptr;
  std::map<Text, std::shared_ptr<RegNode>> children;  // by upper-cased name
  std::vector<RegValue> values;
  // Registry symbolic link: a key whose path is a second name of another key
  // (a path from the top of the same tree). Walking onto it walks on at the target.
  std::vector<Text> linkTarget;
  bool refusesWrite = false;  // and so does everything below it
  bool deleted = false;
  std::uint64_t generation = 0;  // bumped when the subkey set changes

  const std::vector<std::shared_ptr<RegNode>>& SortedChildren();
  RegValue* FindValue(const Text& name);
  bool RefusesWrite() const;

 private:
  std::vector<std::shared_ptr<RegNode>> sorted_;
  std::uint64_t sortedGeneration_ = ~0ull;
};

class RegistryTree {
 public:
  RegistryTree();

  RegNode* Machine() const { return machine_.get(); }
  RegNode* Users() const { return users_.get(); }

  // Walks `path` below `from`, following links. Null when a key is missing.
  std::shared_ptr<RegNode> Find(const std::shared_ptr<RegNode>& from, const std::vector<Text>& path) const;
  std::shared_ptr<RegNode> Find(RegNode* top, const std::vector<Text>& path) const;
  // Creates the missing keys on the way.
  std::shared_ptr<RegNode> Create(RegNode* top, const std::vector<Text>& path);
  // The nearest key on `path` that exists (the top when none below it does).
  RegNode* DeepestExisting(RegNode* top, const std::vector<Text>& path) const;

  // Unhooks the key and marks it and everything below it deleted; handles
  // that still point at it then see ERROR_KEY_DELETED.
  void Remove(RegNode* node);

  // Path of the key from the top of its tree, and that top.
  static std::vector<Text> PathOf(const RegNode* node);
  static RegNode* TopOf(RegNode* node);
  std::shared_ptr<RegNode> Shared(RegNode* node) const;

 private:
  std::shared_ptr<RegNode> Step(RegNode* top, RegNode* at, const Text& name, int depth) const;
  std::shared_ptr<RegNode> machine_;
  std::shared_ptr<RegNode> users_;
};

}  // namespace tw::sim
