// What the conformance cases need from the machine they run on beyond the
// platform interface: a scratch folder and a helper program to run. One
// implementation sets up the simulated machine, the other the real API under
// Wine (or Windows).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::bench {

enum class Kind { Simulated, Real };

Kind BenchKind();
inline bool IsReal() { return BenchKind() == Kind::Real; }

// An existing folder, empty when a test starts, ending in "\".
Text ScratchFolder();

// Full path of an executable that runs for about a minute when started and
// does nothing else; copies of it may be made with CopyFile and started with
// ShellExecute.
Text SleeperExe();

// Registry key path (no leading or trailing "\") under which a test may create
// and delete keys in HKLM and HKCU, in both views; it is emptied between tests.
Text ScratchKeyPath();

// Name of the test currently running, for unique names.
Text CurrentTestName();

// The bitness class the machine under test should report (1: a 32-bit
// process on 64-bit Windows, 2: a 64-bit process).
int ExpectedBitness();

// A folder tree with a directory link inside it, made fresh for the calling
// test: `tree` holds files, a subfolder and `linkInsideTree`, a directory
// link to a folder outside the tree that holds `fileInTarget`;
// `linkToTarget` is a second link, outside the tree, to the same folder.
// Where the machine cannot make links, `tree` is empty and `whyNot` says why.
struct LinkLayout {
  Text tree;
  Text linkInsideTree;
  Text linkToTarget;
  Text fileInTarget;
  std::vector<Text> filesInTree;  // ordinary files of the tree, to be deleted
  std::string whyNot;
};
LinkLayout PrepareLinkLayout();

}  // namespace tw::bench
