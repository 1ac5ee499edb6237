#include "platform/sim/file_tree.h"

#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
constexpr int kMaxLinkDepth = 16;

Text FromAsciiNumber(int n) {
  Text out;
  const std::string digits = std::to_string(n);
  for (char c : digits) out += char16_t(c);
  return out;
}

bool IsShortNameChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return true;
  if (c >= u'a' && c <= u'z') return true;
  if (c >= u'0' && c <= u'9') return true;
  return Text(u"$%'-_@~`!(){}^#&").find(c) != Text::npos;
}

// A name that already has the 8.3 form gets no separate short name.
bool IsShortForm(const Text& name) {
  const std::size_t dot = name.find(u'.');
  const Text base = name.substr(0, dot);
  const Text ext = dot == Text::npos ? Text() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != Text::npos && ext.empty()) return false;
  for (char16_t c : base + ext) {
    if (!IsShortNameChar(c)) return false;
  }
  return true;
}

Text ShortNamePart(const Text& text, std::size_t most) {
  Text out;
  for (char16_t c : text) {
    if (out.size() == most) break;
    if (IsShortNameChar(c)) out += UpcaseUnit(c);
  }
  return out;
}
constexpr std::uint32_t kDriveRootAttributes =
    win::kFileAttributeDirectory | win::kFileAttributeHidden | win::kFileAttributeSystem;
}  // namespace

std::uint32_t FsNode::ReportedAttributes() const {
  return attributes == 0 ? win::kFileAttributeNormal : attributes;
}

ParsedPath ParsePath(const Text& path) {
  ParsedPath out;
  // The API receives a zero-terminated text: it ends at the first NUL.
  Text rest = path.substr(0, path.find(u'\0'));
  if (rest.rfind(u"\\\\?\\", 0) == 0) rest = rest.substr(4);
  if (rest.size() < 2 || rest[1] != u':') return out;
  char16_t letter = UpcaseUnit(rest[0]);
  if (letter < u'A' || letter > u'Z') return out;
  out.drive = letter;
  rest = rest.substr(2);
  std::vector<Text> raw = SplitComponents(rest, true);
  out.trailingSeparator = rest.size() > 0 && (rest.back() == u'\\' || rest.back() == u'/');
  for (Text part : raw) {
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!out.parts.empty()) out.parts.pop_back();
      continue;
    }
    // Win32 path normalisation drops trailing dots and blanks of a component.
    while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
    if (part.empty()) continue;
    out.parts.push_back(part);
  }
  out.valid = true;
  return out;
}

void FileTree::AddDrive(char16_t letter) {
  letter = UpcaseUnit(letter);
  if (drives_.count(letter)) return;
  auto root = std::make_shared<FsNode>();
  root->name = Text(1, letter) + u":";
  root->attributes = kDriveRootAttributes;
  drives_[letter] = root;
}


std::shared_ptr<FsNode> FileTree::Child(const FsNode& folder, const Text& name) const {
  Text key = Upcase(name);
  auto it = folder.children.find(key);
  if (it != folder.children.end()) return it->second;
  for (const auto& child : folder.children)
    if (!child.second->shortName.empty() && Upcase(child.second->shortName) == key) return child.second;
  return nullptr;
}

std::shared_ptr<FsNode> FileTree::Resolve(const Text& target, int depth) const {
  if (depth > kMaxLinkDepth) return nullptr;
  ParsedPath parsed = ParsePath(target);
  if (!parsed.valid) return nullptr;
  WalkResult walk = WalkAt(parsed, depth + 1);
  if (!walk.node) return nullptr;
  if (walk.node->IsLink()) return Resolve(walk.node->linkTarget, depth + 1);
  return walk.node;
}

std::shared_ptr<FsNode> FileTree::Through(const std::shared_ptr<FsNode>& node) const {
  if (node && node->IsLink()) return Resolve(node->linkTarget, 0);
  return node;
}

WalkResult FileTree::WalkAt(const ParsedPath& path, int depth) const {
  WalkResult out;
  auto drive = drives_.find(path.drive);
  if (!path.valid || drive == drives_.end()) return out;
  std::shared_ptr<FsNode> cur = drive->second;
  for (std::size_t i = 0; i < path.parts.size(); ++i) {
    if (cur->IsLink()) cur = Resolve(cur->linkTarget, depth);
    if (!cur || !cur->IsDirectory()) return WalkResult{};
    std::shared_ptr<FsNode> next = Child(*cur, path.parts[i]);
    if (!next) {
      if (i + 1 == path.parts.size()) out.parent = cur;
      out.node = nullptr;
      return out;
    }
    out.longNames.push_back(next->name);
    out.shortNames.push_back(next->shortName.empty() ? next->name : next->shortName);
    out.parent = cur;
    cur = next;
  }
  out.node = cur;
  return out;
}

WalkResult FileTree::Walk(const ParsedPath& path) const { return WalkAt(path, 0); }

std::shared_ptr<FsNode> FileTree::AddChild(const std::shared_ptr<FsNode>& folder, const Text& name) {
  auto node = std::make_shared<FsNode>();
  node->name = name;
  node->parent = folder.get();
  folder->children[Upcase(name)] = node;
  // NTFS and Wine give every long name an 8.3 alias: the first six usable
  // characters, "~" and a number unique in the folder, and up to three
  // characters of the extension.
  if (!IsShortForm(name)) {
    const std::size_t dot = name.rfind(u'.');
    Text base = ShortNamePart(name.substr(0, dot == 0 ? Text::npos : dot), 6);
    if (base.empty()) base = u"_";
    const Text ext = (dot == Text::npos || dot == 0) ? Text() : ShortNamePart(name.substr(dot + 1), 3);
    for (int n = 1; n < 1000000; ++n) {
      Text candidate = base + u"~" + FromAsciiNumber(n);
      if (!ext.empty()) candidate += u"." + ext;
      if (!Child(*folder, candidate) || Child(*folder, candidate) == node) {
        bool clash = false;
        for (const auto& child : folder->children) {
          if (child.second != node && Upcase(child.second->shortName) == candidate) clash = true;
        }
        if (!clash) {
          node->shortName = candidate;
          break;
        }
      }
    }
  }
  return node;
}

std::shared_ptr<FsNode> FileTree::Ensure(const ParsedPath& path, bool directory) {
  if (!path.valid) return nullptr;
  AddDrive(path.drive);
  std::shared_ptr<FsNode> cur = drives_[path.drive];
  for (std::size_t i = 0; i < path.parts.size(); ++i) {
    if (cur->IsLink()) cur = Resolve(cur->linkTarget, 0);
    if (!cur) return nullptr;
    std::shared_ptr<FsNode> next = Child(*cur, path.parts[i]);
    if (!next) {
      next = AddChild(cur, path.parts[i]);
      bool last = i + 1 == path.parts.size();
      next->attributes = (!last || directory) ? win::kFileAttributeDirectory : win::kFileAttributeArchive;
    }
    cur = next;
  }
  return cur;
}

void FileTree::Unlink(FsNode* node) {
  if (!node->parent) return;
  node->parent->children.erase(Upcase(node->name));
  node->removed = true;
  node->parent = nullptr;
}

}  // namespace tw::sim
