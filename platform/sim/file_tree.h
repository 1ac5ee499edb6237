// The simulated file system's storage: one tree per drive letter of entries
// with case-insensitive, case-preserving names and optional 8.3 short names.
// Children are kept sorted by upper-cased name, the order NTFS lists them in.
// A directory entry with a link target is a junction or directory symbolic
// link: walking through it continues at the target.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::sim {

struct FsNode {
  Text name;
  Text shortName;  // empty when the entry has none (its name is already 8.3)
  std::uint32_t attributes = 0;  // as stored; FILE_ATTRIBUTE_NORMAL is never stored
  std::string data;
  // When the contents were last written: the machine's write counter, which
  // only grows (a copy keeps the source's, as CopyFileW does).
  std::uint64_t lastWriteTime = 0;
  bool hasVersion = false;
  FileVersion version;
  Text linkTarget;  // directory reparse point: absolute path of the target
  Text ownerSid;    // empty: the creating process's default owner
  Text dacl;        // the DACL part of the descriptor last applied ("D:P(...)")
  FsNode* parent = nullptr;
  bool removed = false;
  std::map<Text, std::shared_ptr<FsNode>> children;  // by upper-cased name

  bool IsDirectory() const { return (attributes & win::kFileAttributeDirectory) != 0; }
  bool IsLink() const { return !linkTarget.empty(); }
  bool IsDriveRoot() const { return parent == nullptr; }
  // GetFileAttributesW's answer: a file without attributes reports NORMAL.
  std::uint32_t ReportedAttributes() const;
};

// A path taken apart: "C:\a\b\" is drive C, parts {a, b}, trailing separator.
// "/" counts as "\", "." and ".." are folded and repeated separators merged,
// as Win32 path normalisation does.
struct ParsedPath {
  bool valid = false;
  char16_t drive = 0;  // upper case
  std::vector<Text> parts;
  bool trailingSeparator = false;
};
ParsedPath ParsePath(const Text& path);

struct WalkResult {
  std::shared_ptr<FsNode> node;    // the entry itself, null when missing
  std::shared_ptr<FsNode> parent;  // the folder holding it, null when that is missing
  std::vector<Text> longNames;     // the names walked, as stored
  std::vector<Text> shortNames;    // the same with short names where entries have one
};

class FileTree {
 public:
  void AddDrive(char16_t letter);

  // Walks the path; links on the way are followed, a link named by the last
  // component is not (operations on it act on the link itself).
  WalkResult Walk(const ParsedPath& path) const;
  // Follows a directory link to the folder it stands for (the node itself otherwise).
  std::shared_ptr<FsNode> Through(const std::shared_ptr<FsNode>& node) const;

  // Creates the entry and missing parent folders; returns the entry.
  std::shared_ptr<FsNode> Ensure(const ParsedPath& path, bool directory);
  std::shared_ptr<FsNode> AddChild(const std::shared_ptr<FsNode>& folder, const Text& name);
  void Unlink(FsNode* node);

 private:
  std::shared_ptr<FsNode> Child(const FsNode& folder, const Text& name) const;
  std::shared_ptr<FsNode> Resolve(const Text& target, int depth) const;
  WalkResult WalkAt(const ParsedPath& path, int depth) const;
  std::map<char16_t, std::shared_ptr<FsNode>> drives_;
};

}  // namespace tw::sim
