#include "platform/sim/registry_tree.h"

#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
constexpr int kMaxLinkDepth = 8;

void MarkDeleted(RegNode* node) {
  node->deleted = true;
  for (auto& child : node->children) MarkDeleted(child.second.get());
}
}  // namespace

const std::vector<std::shared_ptr<RegNode>>& RegNode::SortedChildren() {
  if (sortedGeneration_ != generation) {
    sorted_.clear();
    sorted_.reserve(children.size());
    for (auto& child : children) sorted_.push_back(child.second);
    sortedGeneration_ = generation;
  }
  return sorted_;
}

RegValue* RegNode::FindValue(const Text& valueName) {
  for (RegValue& value : values)
    if (EqualNoCase(value.name, valueName)) return &value;
  return nullptr;
}

bool RegNode::RefusesWrite() const {
  for (const RegNode* at = this; at; at = at->parent)
    if (at->refusesWrite) return true;
  return false;
}

RegistryTree::RegistryTree()
    : machine_(std::make_shared<RegNode>()), users_(std::make_shared<RegNode>()) {}

std::shared_ptr<RegNode> RegistryTree::Shared(RegNode* node) const {
  if (!node || node->deleted) return nullptr;
  if (!node->parent) return node == machine_.get() ? machine_ : users_;
  auto it = node->parent->children.find(Upcase(node->name));
  return it == node->parent->children.end() ? nullptr : it->second;
}

std::shared_ptr<RegNode> RegistryTree::Step(RegNode* top, RegNode* at, const Text& name, int depth) const {
  auto it = at->children.find(Upcase(name));
  if (it == at->children.end()) return nullptr;
  std::shared_ptr<RegNode> next = it->second;
  if (!next->linkTarget.empty()) {
    if (depth >= kMaxLinkDepth) return nullptr;
    std::shared_ptr<RegNode> cur = Shared(top);
    for (const Text& part : next->linkTarget) {
      cur = Step(top, cur.get(), part, depth + 1);
      if (!cur) return nullptr;
    }
    return cur;
  }
  return next;
}

std::shared_ptr<RegNode> RegistryTree::Find(const std::shared_ptr<RegNode>& from,
                                            const std::vector<Text>& path) const {
  RegNode* top = TopOf(from.get());
  std::shared_ptr<RegNode> cur = from;
  for (const Text& part : path) {
    cur = Step(top, cur.get(), part, 0);
    if (!cur) return nullptr;
  }
  return cur;
}

std::shared_ptr<RegNode> RegistryTree::Find(RegNode* top, const std::vector<Text>& path) const {
  return Find(Shared(top), path);
}

RegNode* RegistryTree::DeepestExisting(RegNode* top, const std::vector<Text>& path) const {
  std::shared_ptr<RegNode> cur = Shared(top);
  for (const Text& part : path) {
    std::shared_ptr<RegNode> next = Step(top, cur.get(), part, 0);
    if (!next) break;
    cur = next;
  }
  return cur.get();
}

std::shared_ptr<RegNode> RegistryTree::Create(RegNode* top, const std::vector<Text>& path) {
  std::shared_ptr<RegNode> cur = Shared(top);
  for (const Text& part : path) {
    auto it = cur->children.find(Upcase(part));
    if (it != cur->children.end() && !it->second->linkTarget.empty()) {
      std::shared_ptr<RegNode> target = Create(top, it->second->linkTarget);
      cur = target;
      continue;
    }
    if (it == cur->children.end()) {
      auto node = std::make_shared<RegNode>();
      node->name = part;
      node->parent = cur.get();
      it = cur->children.emplace(Upcase(part), node).first;
      ++cur->generation;
    }
    cur = it->second;
  }
  return cur;
}

void RegistryTree::Remove(RegNode* node) {
  if (!node->parent) return;
  RegNode* parent = node->parent;
  auto keep = parent->children.find(Upcase(node->name));
  if (keep == parent->children.end()) return;
  std::shared_ptr<RegNode> held = keep->second;
  parent->children.erase(keep);
  ++parent->generation;
  MarkDeleted(held.get());
  held->parent = nullptr;
}

std::vector<Text> RegistryTree::PathOf(const RegNode* node) {
  std::vector<Text> path;
  for (; node && node->parent; node = node->parent) path.insert(path.begin(), node->name);
  return path;
}

RegNode* RegistryTree::TopOf(RegNode* node) {
  while (node && node->parent) node = node->parent;
  return node;
}

}  // namespace tw::sim
