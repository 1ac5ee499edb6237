// Benchmark of the trace worker.
//
// Builds a program folder of 100,000 files in 1,000 folders (C:\Program
// Files\Bench App\Group NN\Folder NNN\) and a synthetic class registry under
// HKLM\SOFTWARE\Classes: 30,000 CLSIDs (300 with an InprocServer32 in the
// folder, 150 that belong through a matched type library, the rest pointing
// elsewhere or to a LocalServer32), 10,000 interfaces, 3,000 type libraries
// (VERSION\LOCALE\win32), 10,000 file types with shell\open\command (or only
// a DefaultIcon) and 10,000 extensions naming them. Then it times the steps
// of the worker one by one, on a worker that is never started and with a
// headless hand-over owned by this thread (so every report runs at once),
// against a bare loop that makes the same platform calls on the same data
// and applies no rule: FindFirstFile/FindNextFile/FindClose over the tree,
// RegOpenKeyEx/RegQueryInfoKey/RegEnumKeyEx/RegEnumValue/RegQueryValueEx/
// RegCloseKey over the keys each area reads. A counted pass of both sides
// prints the call counts, so that the two sides can be seen to match.
//
// The areas outside the folder get their own data: 3,000 shortcuts in both
// Start Menus (five to a vendor folder) and on both Desktops, 2,000 App
// Paths entries, 3,000 context-menu verbs over the six shell classes with 600
// handlers, and 5,000 firewall rules; one in a few hundred of each points
// into the program's folder, a tenth more are near misses (a folder whose
// name extends the program's), some hold environment strings.
//
// Finally the whole worker runs as the window runs it, started on its own
// thread with the reports pumped here, which gives the hand-over rate; an
// empty hand-over loop gives the bare cost of one hand-over.
//
// Natively the data goes onto a simulated machine through its set-up
// methods; in the Windows build it is written through the platform into the
// real registry (64-bit view) and file system, and removed at the end.
// Prints figures; never fails on timing.
//
// Options: --repeats N (best of N, default 5), --folders N (1000), --files N
// per folder (100), --clsids N (30000), --interfaces N (10000), --typelibs N
// (3000), --classes N (file types plus extensions, 20000), --shortcuts N
// (3000), --apppaths N (2000), --verbs N (3000), --rules N (5000).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "access/environment.h"
#include "access/registry.h"
#include "access/text_rules.h"
#include "bench/counting_handover.h"
#include "bench/counting_platform.h"
#include "inventory/installed_software.h"
#include "platform/platform.h"
#include "trace/trace_scan.h"
#include "workers/handover.h"
#include "workers/headless_handover.h"
#include "workers/worker_thread.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/sim/sim_machine.h"
#endif

namespace tw::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

Text Format(const char* format, int a, int b = 0, int c = 0) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return FromUtf8(buffer);
}

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
constexpr HKey kCR = win::kHKeyClassesRoot;
constexpr HKey kUsers = win::kHKeyUsers;

const Text kRoot = u"C:\\Program Files\\Bench App";
const Text kClasses = u"SOFTWARE\\Classes\\";
const Text kClsid = kClasses + u"CLSID\\";
const Text kInterface = kClasses + u"Interface\\";
const Text kTypeLib = kClasses + u"TypeLib\\";
const Text kApproved = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const Text kBho = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const Text kProgramName = u"Bench App";
const Text kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const Text kRules = u"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
const Text kShellClasses[] = {u"*", u"AllFilesystemObjects", u"Directory", u"Directory\\Background", u"Folder", u"Drive"};

// ---------------------------------------------------------------------------
// The synthetic machine.

struct Value {
  Text name;
  Text data;
};

struct Key {
  Text path;  // under HKLM, literal (64-bit view)
  std::vector<Value> values;
};

struct Sizes {
  int folders = 1000, filesPerFolder = 100, clsids = 30000, interfaces = 10000, typeLibs = 3000, classes = 20000;
  int shortcuts = 3000, appPaths = 2000, verbs = 3000, rules = 5000;
};

struct Shortcut {
  Text path, target;
};

struct DataSet {
  Sizes sizes;
  std::vector<Text> folders;  // parents first, the program folder first
  std::vector<Text> files;
  std::vector<Key> keys;
  std::vector<Text> created;  // every key made, parents included, for removal
  // Upper-cased CLSIDs that belong to the program: the bare loop reads their
  // ProgID as the worker does for a class it recorded.
  std::unordered_set<Text> ownClasses;
  int expectedArea1 = 0, expectedArea2 = 0, expectedArea4 = 0;
  // The outside areas: shortcuts with the folders that hold them (parents
  // first), and how many entries of each area are the program's.
  std::vector<Shortcut> shortcuts;
  std::vector<Text> shortcutFolders;
  std::unordered_set<Text> ownAppPaths;  // App Paths keys claimed by their default value
  int expectedShortcuts = 0, expectedAppPaths = 0, expectedMenus = 0, expectedRules = 0;
};

Text SpecialFolderPath(int csidl) {
  char16_t buffer[261] = {};
  return Plat().GetSpecialFolderPath(csidl, buffer) ? Text(buffer) : Text();
}

Text ClsidName(int i) { return Format("{B3E7C0DE-C1A5-4000-8000-%012d}", i); }
Text InterfaceName(int i) { return Format("{B3E7C0DE-1F0E-4000-8000-%012d}", i); }
Text TypeLibName(int i) { return Format("{B3E7C0DE-7E1B-4000-8000-%012d}", i); }
Text FileTypeName(int i) { return Format("BenchApp.Document.%05d", i); }
Text ExtensionName(int i) { return Format(".bx%05d", i); }
Text ProgIdName(int i) { return Format("BenchApp.Object.%05d", i); }

int GroupCount(const Sizes& sizes) { return std::max(1, sizes.folders / 100); }
Text FolderPath(const Sizes& sizes, int f) {
  const int groups = GroupCount(sizes);
  return kRoot + Format("\\Group %02d\\Folder %03d", f % groups, f / groups);
}
Text FileName(int k) {
  if (k % 10 == 0) return Format("module%03d.dll", k);
  if (k % 25 == 1) return Format("tool%03d.exe", k);
  return Format("data%03d.dat", k);
}
// A module of the tree, for values that point into it.
Text ModuleInTree(const Sizes& sizes, int j) { return FolderPath(sizes, j % sizes.folders) + u"\\module000.dll"; }
bool TypeLibBelongs(int t) { return t % 30 == 0; }

DataSet MakeDataSet(const Sizes& sizes) {
  DataSet set;
  set.sizes = sizes;
  // Every key below `base` on the way to `path` is recorded for removal once.
  std::unordered_set<Text> made;
  auto add = [&](const Text& base, const Text& path, std::vector<Value> values) {
    std::size_t at = base.size();
    // A key that is already there (the base itself) is not removed.
    while (path.size() > base.size()) {
      const std::size_t slash = path.find(u'\\', at);
      const Text prefix = path.substr(0, slash);
      if (made.insert(prefix).second) set.created.push_back(prefix);
      if (slash == Text::npos) break;
      at = slash + 1;
    }
    set.keys.push_back({path, std::move(values)});
  };

  // Files and folders.
  set.folders.push_back(kRoot);
  const int groups = GroupCount(sizes);
  for (int g = 0; g < groups; ++g) set.folders.push_back(kRoot + Format("\\Group %02d", g));
  for (int f = 0; f < sizes.folders; ++f) {
    const Text folder = FolderPath(sizes, f);
    set.folders.push_back(folder);
    for (int k = 0; k < sizes.filesPerFolder; ++k) set.files.push_back(folder + u"\\" + FileName(k));
  }

  // Type libraries: one in 30 has its win32 file in the tree.
  for (int t = 0; t < sizes.typeLibs; ++t) {
    const Text lib = kTypeLib + TypeLibName(t);
    add(kTypeLib, lib + u"\\1.0", {{Text(), Format("Bench Type Library %d", t)}});
    const Text file = TypeLibBelongs(t) ? FolderPath(sizes, t % sizes.folders) + Format("\\types%03d.tlb", t % 1000)
                                        : Format("C:\\Windows\\System32\\benchtl%05d.tlb", t);
    add(kTypeLib, lib + u"\\1.0\\0\\win32", {{Text(), file}});
    if (TypeLibBelongs(t)) ++set.expectedArea4;
  }
  const int libGroups = std::max(1, sizes.typeLibs / 30);

  // Classes, by i % 100: 0 an InprocServer32 in the tree (with a ProgID),
  // 1 a LocalServer32 elsewhere, 2 no server but a type library (every other
  // one a matched library), the others an InprocServer32 elsewhere.
  for (int i = 0; i < sizes.clsids; ++i) {
    const Text key = kClsid + ClsidName(i);
    switch (i % 100) {
      case 0:
        add(kClsid, key, {{Text(), Format("Bench App Object %d", i)}});
        add(kClsid, key + u"\\InprocServer32", {{Text(), ModuleInTree(sizes, i / 100)}, {u"ThreadingModel", u"Both"}});
        add(kClsid, key + u"\\ProgID", {{Text(), ProgIdName(i)}});
        add(kClasses, kClasses + ProgIdName(i) + u"\\CLSID", {{Text(), ClsidName(i)}});
        set.ownClasses.insert(UpperAscii(ClsidName(i)));
        set.expectedArea4 += 2;  // the class and its ProgID
        break;
      case 1:
        add(kClsid, key + u"\\LocalServer32",
            {{Text(), Format("\"C:\\Program Files\\Other Vendor\\Server %05d\\server.exe\" /automation", i)}});
        break;
      case 2: {
        const bool own = (i / 100) % 2 == 0;
        const int t = own ? 30 * ((i / 100) % libGroups) : 30 * ((i / 100) % libGroups) + 1;
        add(kClsid, key + u"\\TypeLib", {{Text(), TypeLibName(t % std::max(1, sizes.typeLibs))}});
        if (own && t < sizes.typeLibs) {
          set.ownClasses.insert(UpperAscii(ClsidName(i)));
          ++set.expectedArea4;
        }
        break;
      }
      default: {
        Text server;
        switch (i % 4) {
          case 0: server = Format("C:\\Windows\\System32\\bench%05d.dll", i); break;
          case 1: server = Format("%%SystemRoot%%\\System32\\bench%05d.dll", i); break;
          case 2: server = Format("C:\\Program Files\\Common Files\\Bench Shared\\lib%05d.dll", i); break;
          default: server = Format("C:\\Program Files\\Bench App Extras\\x%05d.dll", i); break;  // a near miss
        }
        add(kClsid, key + u"\\InprocServer32", {{Text(), server}, {u"ThreadingModel", u"Apartment"}});
        break;
      }
    }
  }

  // Interfaces: one in 50 has a proxy class of the program, one in 4 a type
  // library (one in 30 of those the program's).
  for (int i = 0; i < sizes.interfaces; ++i) {
    const Text key = kInterface + InterfaceName(i);
    const bool ownProxy = i % 50 == 0 && sizes.clsids > 0;
    const Text proxy = ownProxy ? ClsidName((i / 50 * 100) % std::max(1, sizes.clsids - sizes.clsids % 100))
                                : Text(u"{00020424-0000-0000-C000-000000000046}");
    add(kInterface, key + u"\\ProxyStubClsid32", {{Text(), proxy}});
    bool ownLib = false;
    if (i % 4 == 0 && sizes.typeLibs > 0) {
      const int t = (i / 4) % sizes.typeLibs;
      ownLib = TypeLibBelongs(t);
      add(kInterface, key + u"\\TypeLib", {{Text(), TypeLibName(t)}, {u"Version", u"1.0"}});
    }
    if (ownProxy || ownLib) ++set.expectedArea4;
  }

  // Shell lists naming classes: 20 approved extensions and 6 helper objects,
  // half of them the program's (lower-cased, as a receiver may write them).
  std::vector<Value> approved;
  for (int a = 0; a < 20 && a * 100 < sizes.clsids; ++a) {
    const int i = a % 2 ? a * 100 + 5 : a * 100;
    approved.push_back({a % 4 == 0 ? LowerAscii(ClsidName(i)) : ClsidName(i), Format("Bench extension %d", a)});
    if (a % 2 == 0) ++set.expectedArea4;
  }
  if (!approved.empty()) add(kApproved, kApproved, approved);  // values only: the key may be there
  for (int b = 0; b < 6 && b * 100 < sizes.clsids; ++b) {
    add(kBho, kBho + ClsidName(b % 2 ? b * 100 + 7 : b * 100), {{u"NoExplorer", u"1"}});
    if (b % 2 == 0) ++set.expectedArea4;
  }

  // File types and extensions: one type in 50 opens with a tool of the tree,
  // one in 10 has only a DefaultIcon, the rest open elsewhere.
  const int types = sizes.classes / 2;
  for (int i = 0; i < types; ++i) {
    const Text key = kClasses + FileTypeName(i);
    add(kClasses, key, {{Text(), Format("Bench Document %d", i)}});
    if (i % 50 == 0) {
      add(kClasses, key + u"\\shell\\open\\command",
          {{Text(), u"\"" + FolderPath(sizes, i % sizes.folders) + u"\\tool001.exe\" \"%1\""}});
      set.expectedArea1 += 2;  // the type and its extension
      ++set.expectedArea2;
    } else if (i % 10 == 5) {
      add(kClasses, key + u"\\DefaultIcon", {{Text(), Format("C:\\Windows\\System32\\imageres.dll,-%d", 100 + i % 50)}});
    } else {
      add(kClasses, key + u"\\shell\\open\\command",
          {{Text(), i % 2 ? Format("\"C:\\Program Files\\Other Vendor\\Viewer %03d\\viewer.exe\" \"%%1\"", i % 1000)
                          : Text(u"%SystemRoot%\\system32\\NOTEPAD.EXE %1")}});
    }
    const Text type = i % 3 == 0 ? LowerAscii(FileTypeName(i)) : FileTypeName(i);
    add(kClasses, kClasses + ExtensionName(i), {{Text(), type}, {u"Content Type", u"application/x-bench"}});
  }

  // Where a value of the outside areas points: one in `own` into the tree,
  // one in ten into a folder whose name extends the program's, the rest
  // elsewhere, some through an environment string.
  const auto target = [&](int i, int own, bool* belongs) {
    *belongs = i % own == 0;
    if (*belongs) return ModuleInTree(sizes, i);
    if (i % 10 == 1) return Format("C:\\Program Files\\Bench App Extras\\tool%05d.exe", i);
    if (i % 10 == 2) return Format("%%ProgramFiles%%\\Other Vendor\\Tool %05d\\tool.exe", i);
    return Format("C:\\Program Files\\Other Vendor\\Tool %05d\\tool.exe", i);
  };
  bool belongs = false;

  // Shortcuts: nine in ten in the Start Menus, five to a vendor folder,
  // the rest on the Desktops.
  const Text menus[] = {SpecialFolderPath(win::kCsidlCommonStartMenu), SpecialFolderPath(win::kCsidlStartMenu)};
  const Text desktops[] = {SpecialFolderPath(win::kCsidlCommonDesktopDirectory),
                           SpecialFolderPath(win::kCsidlDesktopDirectory)};
  for (int i = 0; i < sizes.shortcuts; ++i) {
    const Text link = target(i, 300, &belongs);
    Text path;
    if (i % 10 == 9) {
      path = desktops[i % 2] + Format("\\Bench Tool %05d.lnk", i);
    } else {
      const Text folder = menus[i % 2] + Format("\\Programs\\Bench Vendor %04d", i / 10);
      if (set.shortcutFolders.empty() || set.shortcutFolders.back() != folder) set.shortcutFolders.push_back(folder);
      path = folder + Format("\\Bench Tool %05d.lnk", i);
    }
    set.shortcuts.push_back({path, link});
    if (belongs) ++set.expectedShortcuts;
  }

  // App Paths: the default value names the tool; every third one has a
  // Path list too.
  for (int i = 0; i < sizes.appPaths; ++i) {
    const Text key = kAppPaths + Format("benchtool%05d.exe", i);
    const Text tool = target(i, 100, &belongs);
    std::vector<Value> values = {{Text(), tool}};
    if (i % 3 == 0) values.push_back({u"Path", u"C:\\Windows;" + tool.substr(0, tool.rfind(u'\\')) + u";"});
    add(kAppPaths, key, values);
    if (belongs) {
      ++set.expectedAppPaths;
      set.ownAppPaths.insert(key);
    }
  }

  // Verbs over the six shell classes, then handlers naming classes (one in
  // 50 a class of the program's).
  for (int i = 0; i < sizes.verbs; ++i) {
    const Text verb = kClasses + kShellClasses[i % 6] + Format("\\shell\\BenchVerb%05d", i);
    const Text tool = target(i, 200, &belongs);
    add(kClasses, verb + u"\\command", {{Text(), u"\"" + tool + u"\" \"%1\""}});
    if (belongs) ++set.expectedMenus;
  }
  for (int i = 0; i < sizes.verbs / 5 && sizes.clsids > 0; ++i) {
    const bool own = i % 50 == 0;
    const int clsid = own ? (i * 100) % std::max(1, sizes.clsids - sizes.clsids % 100) : i * 100 + 3;
    add(kClasses, kClasses + kShellClasses[i % 6] + Format("\\shellex\\ContextMenuHandlers\\BenchMenu%05d", i),
        {{Text(), ClsidName(clsid % std::max(1, sizes.clsids))}});
    if (own) ++set.expectedMenus;
  }

  // Firewall rules, values of one key.
  std::vector<Value> rules;
  for (int i = 0; i < sizes.rules; ++i) {
    const Text app = target(i, 250, &belongs);
    rules.push_back({Format("{B3E7C0DE-F1E0-4000-8000-%012d}", i),
                     Text(u"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=6|App=") + app +
                         Format("|Name=Bench rule %d|", i)});
    if (belongs) ++set.expectedRules;
  }
  if (!rules.empty()) add(kRules, kRules, rules);
  return set;
}

std::size_t KeyCount(const DataSet& set) { return set.created.size(); }

#ifdef _WIN32
// Writes through the platform into the real registry (64-bit view) and
// file system.
double WriteDataSet(const DataSet& set) {
  const auto started = Clock::now();
  for (const Text& folder : set.folders) Plat().CreateDirectory(folder);
  int failed = 0;
  for (const Text& file : set.files) {
    if (!Plat().WriteFileBytes(file, std::string())) ++failed;
  }
  for (const Text& folder : set.shortcutFolders) Plat().CreateDirectory(folder);
  for (const Shortcut& shortcut : set.shortcuts) {
    if (!Plat().CreateShortcut(shortcut.path, shortcut.target)) ++failed;
  }
  if (failed) std::fprintf(stderr, "%d files could not be written\n", failed);
  for (const Key& key : set.keys) {
    HKey handle = 0;
    if (Plat().RegCreateKeyEx(kLM, key.path, win::kKeyAllAccess | win::kKeyWow64_64Key, &handle) !=
        win::kErrorSuccess) {
      std::fprintf(stderr, "cannot create HKLM\\%s\n", ToUtf8(key.path).c_str());
      continue;
    }
    for (const Value& value : key.values) {
      const Text& data = value.data;
      Plat().RegSetValueEx(handle, value.name, win::kRegSz, reinterpret_cast<const std::uint8_t*>(data.c_str()),
                           std::uint32_t((data.size() + 1) * sizeof(char16_t)));
    }
    Plat().RegCloseKey(handle);
  }
  return Seconds(Clock::now() - started);
}

double RemoveDataSet(const DataSet& set, int* failures) {
  const auto started = Clock::now();
  *failures = 0;
  // Values written into keys that were there before.
  const std::unordered_set<Text> created(set.created.begin(), set.created.end());
  for (const Key& key : set.keys) {
    if (created.count(key.path)) continue;
    HKey handle = 0;
    if (Plat().RegOpenKeyEx(kLM, key.path, win::kKeyAllAccess | win::kKeyWow64_64Key, &handle) != win::kErrorSuccess) {
      ++*failures;
      continue;
    }
    for (const Value& value : key.values) {
      if (Plat().RegDeleteValue(handle, value.name) != win::kErrorSuccess) ++*failures;
    }
    Plat().RegCloseKey(handle);
  }
  for (auto it = set.created.rbegin(); it != set.created.rend(); ++it) {
    if (Plat().RegDeleteKeyEx(kLM, *it, win::kKeyWow64_64Key) != win::kErrorSuccess) ++*failures;
  }
  for (const Text& file : set.files) {
    if (!Plat().DeleteFile(file)) ++*failures;
  }
  for (const Shortcut& shortcut : set.shortcuts) {
    if (!Plat().DeleteFile(shortcut.path)) ++*failures;
  }
  for (auto it = set.shortcutFolders.rbegin(); it != set.shortcutFolders.rend(); ++it) {
    if (!Plat().RemoveDirectory(*it)) ++*failures;
  }
  for (auto it = set.folders.rbegin(); it != set.folders.rend(); ++it) {
    if (!Plat().RemoveDirectory(*it)) ++*failures;
  }
  return Seconds(Clock::now() - started);
}
#else
double WriteDataSet(sim::SimMachine& machine, const DataSet& set) {
  const auto started = Clock::now();
  for (const Text& folder : set.folders) machine.AddDirectory(folder);
  for (const Text& file : set.files) machine.AddFile(file);
  for (const Shortcut& shortcut : set.shortcuts) machine.AddShortcut(shortcut.path, shortcut.target);
  for (const Key& key : set.keys) {
    machine.CreateKey(kLM, key.path);
    for (const Value& value : key.values) machine.SetString(kLM, key.path, value.name, value.data);
  }
  return Seconds(Clock::now() - started);
}
#endif

// ---------------------------------------------------------------------------
// The receivers: they count, as cheaply as a receiver can.

struct Reports {
  std::uint64_t fileFolderCounts = 0, registryCounts = 0, fileFolderList = 0, registryList = 0;
  bool started = false, ended = false;
  Clock::time_point end;
};
Reports g_reports;

TraceEvents CountingEvents() {
  TraceEvents events;
  events.started = [] { g_reports.started = true; };
  events.ended = [] {
    g_reports.end = Clock::now();
    g_reports.ended = true;
  };
  events.found = [](const TraceFound& found) {
    g_reports.fileFolderCounts += found.filesFolders.size();
    g_reports.registryCounts += found.registry.size();
  };
  events.fileFolderRows = [](const TextList& rows) { g_reports.fileFolderList += rows.size(); };
  events.registryRows = [](const TextList& lines) { g_reports.registryList += lines.size(); };
  return events;
}

struct Context {
  HeadlessHandOver* handOver = nullptr;
  CountingHandOver* counting = nullptr;
  ProgramInventory* list = nullptr;
  const DataSet* set = nullptr;
  bool view64 = true;
};

// A worker for the steps one by one, never started.
std::unique_ptr<TraceScanWorker> NewTrace(const Context& context) {
  auto trace = std::make_unique<TraceScanWorker>(*context.list);
  trace->pauseMs = 0;
  trace->events = CountingEvents();
  trace->SetProgram(LowerAscii(kProgramName));
  return trace;
}

// ---------------------------------------------------------------------------
// The steps, measured one by one.

enum Step {
  kFiles, kArea1, kArea2, kArea3, kArea4, kAreas5To10, kShortcuts, kAppPathsStep, kMenus, kFirewall, kStepCount
};
const char* const kStepNames[kStepCount] = {
    "ScanFilesFolders",          "area 1 ScanClassesHKLM", "  area 2 ScanRegClassesHKCR",
    "  area 3 Installer folders, DLLs", "area 4 ScanCom",          "  areas 5-10",
    "shortcuts ScanShortcuts",          "App Paths ScanAppPaths",            "context menus ScanContextMenus",
    "firewall ScanFirewallRules"};

struct StepRun {
  double seconds[kStepCount] = {};
  std::uint64_t registryCalls[kStepCount] = {};
  std::uint64_t fileCalls[kStepCount] = {};
  std::uint64_t reports[kStepCount] = {};
  std::size_t folders = 0, files = 0, registryLines = 0;
};

template <typename Steps>
StepRun TimeSteps(const Steps& steps, CountingPlatform* counter, CountingHandOver* counting) {
  StepRun run;
  for (int step = 0; step < kStepCount; ++step) {
    if (counter) counter->Reset();
    if (counting) counting->Reset();
    const auto started = Clock::now();
    steps[step]();
    run.seconds[step] = Seconds(Clock::now() - started);
    if (counter) {
      run.registryCalls[step] = counter->RegistryCalls();
      run.fileCalls[step] = counter->FileCalls();
    }
    if (counting) run.reports[step] = counting->Count();
  }
  return run;
}

// The worker's own steps, in the worker's order, on a worker never started.
StepRun RunOurs(const Context& context, CountingPlatform* counter) {
  const std::unique_ptr<TraceScanWorker> trace = NewTrace(context);
  const bool is64 = context.view64;
  TraceScanWorker* t = trace.get();
  const std::function<void()> steps[kStepCount] = {
      [t] { t->ScanFilesFolders(); },
      [t, is64] { t->ScanClassesHKLM(is64); },
      [t, is64] { t->ScanClassesHKCR(is64); },
      [t, is64] { t->ScanInstallerFoldersSharedDlls(is64); },
      [t, is64] { t->ScanCom(is64); },
      [t, is64] {
        t->ScanInstallerProductKeys(is64);
        t->ScanInstallerComponents(is64);
        t->ScanAppCompatLayers(is64);
        t->ScanMuiCache(is64);
        t->ScanSharedComponents(is64);
        t->ScanElevationPolicyRun(is64);
      },
      [t, is64] { t->ScanShortcuts(is64); },
      [t, is64] { t->ScanAppPaths(is64); },
      [t, is64] { t->ScanContextMenus(is64); },
      [t, is64] { t->ScanFirewallRules(is64); },
  };
  StepRun run = TimeSteps(steps, counter, context.counting);
  const InstalledProgram& record = *trace->Record();
  run.folders = record.tracedFolders.size();
  run.files = record.tracedFiles.size();
  run.registryLines = record.tracedRegistry.size();
  return run;
}

// ---------------------------------------------------------------------------
// The bare loop: the same calls the access layer makes for each area, on the
// same keys, without rules, trimming, line building or recording.

std::uint32_t g_access = win::kKeyAllAccess;
std::uint64_t g_sink = 0;  // keeps the reads observable
constexpr std::uint32_t kSubKeyChars = 256;
constexpr std::uint32_t kValueNameChars = 16384;

struct Read {
  bool found = false;     // the value exists (the worker's read succeeds)
  bool nonEmpty = false;  // and its text is not empty
};

// A value of an open key read as the access layer reads it: its size, then
// its data into a zeroed buffer of 255 characters (or sized from the size).
Read ReadOpen(HKey key, const Text& name, Text* text = nullptr) {
  Read read;
  std::uint32_t size = 0;
  long rc = Plat().RegQueryValueEx(key, name, nullptr, nullptr, &size);
  if (rc != win::kErrorSuccess && rc != win::kErrorMoreData) return read;
  read.found = true;
  std::size_t chars = (rc == win::kErrorMoreData || size >= 256) ? std::size_t(size) + 2 : 255;
  char16_t small[256];
  small[255] = u'\0';
  std::u16string large;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char16_t* buffer = small;
    if (chars > 255) {
      large.assign(chars, u'\0');
      buffer = &large[0];
    } else {
      std::fill(small, small + chars, u'\0');
    }
    std::uint32_t bytes = std::uint32_t(chars * sizeof(char16_t));
    rc = Plat().RegQueryValueEx(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &bytes);
    if (rc == win::kErrorMoreData) {
      chars = std::size_t(bytes) / 2 + 2;
      continue;
    }
    if (rc == win::kErrorSuccess) {
      read.nonEmpty = buffer[0] != 0;
      g_sink += bytes;
      if (text) *text = buffer;
    }
    break;
  }
  return read;
}

bool Open(HKey root, const Text& path, HKey* key) {
  return Plat().RegOpenKeyEx(root, path, g_access, key) == win::kErrorSuccess;
}

Read BareRead(HKey root, const Text& path, const Text& name = Text(), Text* text = nullptr) {
  HKey key = 0;
  if (!Open(root, path, &key)) return Read();
  const Read read = ReadOpen(key, name, text);
  Plat().RegCloseKey(key);
  return read;
}

void EnumNamesOpen(HKey key, TextList* names) {
  for (std::uint32_t index = 0;; ++index) {
    char16_t name[kSubKeyChars];
    std::uint32_t chars = kSubKeyChars;
    if (Plat().RegEnumKeyEx(key, index, name, &chars) != win::kErrorSuccess) break;
    names->emplace_back(name, chars);
  }
}

// Subkey names of one key (RegEnumSubKeys).
void BareSubKeys(HKey root, const Text& path, TextList* names) {
  names->clear();
  HKey key = 0;
  if (!Open(root, path, &key)) return;
  EnumNamesOpen(key, names);
  Plat().RegCloseKey(key);
}

TextList Variants(const Text& path) {
  TextList variants;
  Wow6432Variants(path, true, &variants);
  return variants;
}

struct Line {
  Text variant;
  TextList names;
};

// RegSubKeyLines: the variants that have subkeys, with their names.
std::vector<Line> BareSubKeyLines(HKey root, const Text& path) {
  std::vector<Line> lines;
  Line line;
  for (const Text& variant : Variants(path)) {
    BareSubKeys(root, variant, &line.names);
    if (line.names.empty()) continue;
    line.variant = variant;
    lines.push_back(std::move(line));
    line = Line();
  }
  return lines;
}

bool IsBlank(const char16_t* name, std::uint32_t chars) {
  for (std::uint32_t i = 0; i < chars; ++i) {
    if (name[i] > u' ') return false;
  }
  return true;
}

char16_t* ValueNameBuffer() {
  static char16_t buffer[kValueNameChars + 1];
  return buffer;
}

// RegEnumValueNames: how many non-blank value names, and the first one.
int BareValueNames(HKey root, const Text& path, Text* first = nullptr) {
  HKey key = 0;
  if (!Open(root, path, &key)) return 0;
  int count = 0;
  char16_t* name = ValueNameBuffer();
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t chars = kValueNameChars + 1;
    if (Plat().RegEnumValue(key, index, name, &chars, nullptr, nullptr, nullptr) != win::kErrorSuccess) break;
    if (IsBlank(name, chars)) continue;
    if (count++ == 0 && first) first->assign(name, chars);
  }
  Plat().RegCloseKey(key);
  return count;
}

// RegEnumValues: every non-blank value name, and each value read.
void BareValues(HKey root, const Text& path) {
  HKey key = 0;
  if (!Open(root, path, &key)) return;
  char16_t* name = ValueNameBuffer();
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t chars = kValueNameChars + 1;
    if (Plat().RegEnumValue(key, index, name, &chars, nullptr, nullptr, nullptr) != win::kErrorSuccess) break;
    if (IsBlank(name, chars)) continue;
    ReadOpen(key, Text(name, chars));
  }
  Plat().RegCloseKey(key);
}

bool IsWin32(const char16_t* name, std::uint32_t chars) {
  static const char16_t kWanted[] = u"WIN32";
  if (chars != 5) return false;
  for (std::uint32_t i = 0; i < 5; ++i) {
    if (UpperAscii(name[i]) != kWanted[i]) return false;
  }
  return true;
}

std::uint32_t SubKeyCountOpen(HKey key, std::uint32_t* longest) {
  std::uint32_t count = 0, max = 0;
  if (Plat().RegQueryInfoKey(key, &count, &max, nullptr, nullptr, nullptr) != win::kErrorSuccess) count = max = 0;
  if (longest) *longest = max;
  return count;
}

// RegFindSubKey for "win32": depth-first below `path`, which ends in "\".
bool BareFindWin32(HKey root, const Text& path, Text* found) {
  HKey key = 0;
  if (!Open(root, path, &key)) return false;
  const std::uint32_t count = SubKeyCountOpen(key, nullptr);
  bool hit = false;
  for (std::uint32_t index = 0; index < count && !hit; ++index) {
    char16_t name[kSubKeyChars];
    std::uint32_t chars = kSubKeyChars;
    if (Plat().RegEnumKeyEx(key, index, name, &chars) != win::kErrorSuccess) continue;
    if (IsWin32(name, chars)) {
      *found = path + u"win32\\";
      hit = true;
      break;
    }
    const Text child = path + Text(name, chars) + u"\\";
    HKey childKey = 0;
    bool hasChildren = false;
    if (Open(root, child, &childKey)) {
      hasChildren = SubKeyCountOpen(childKey, nullptr) > 0;
      Plat().RegCloseKey(childKey);
    }
    if (hasChildren) hit = BareFindWin32(root, child, found);
  }
  Plat().RegCloseKey(key);
  return hit;
}

// RegListKeyTree: every key below `path`, descendants first, last index first.
void BareKeyTree(HKey root, const Text& path, TextList* list) {
  HKey key = 0;
  if (!Open(root, path, &key)) return;
  std::uint32_t longest = 0;
  const std::uint32_t count = SubKeyCountOpen(key, &longest);
  std::u16string name;
  for (std::uint32_t index = count; index-- > 0;) {
    std::uint32_t chars = longest + 1;
    name.assign(chars, u'\0');
    if (Plat().RegEnumKeyEx(key, index, &name[0], &chars) != win::kErrorSuccess) continue;
    const Text child = path + u"\\" + Text(name.c_str(), chars);
    BareKeyTree(root, child, list);
    list->push_back(child);
  }
  Plat().RegCloseKey(key);
}

void BareWalk(const Text& folder) {
  const Text base = folder.empty() || folder.back() != u'\\' ? folder + u"\\" : folder;
  FindData entry;
  const FindHandle find = Plat().FindFirstFile(base + u"*.*", &entry);
  if (!find) return;
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) == 0) continue;
    if (entry.name == u"." || entry.name == u"..") continue;
    if ((entry.attributes & win::kFileAttributeReparsePoint) == 0) BareWalk(base + entry.name);
  } while (Plat().FindNextFile(find, &entry));
  Plat().FindClose(find);
}

void BareArea1() {
  TextList names;
  for (const Text& variant : Variants(kClasses)) {
    BareSubKeys(kLM, variant, &names);
    for (const Text& name : names) {
      if (name.empty() || name[0] == u'.') continue;
      const Text key = variant + name;
      if (!BareRead(kLM, key + u"\\Shell\\Open\\Command\\").found) BareRead(kLM, key + u"\\DefaultIcon\\");
    }
    for (const Text& name : names) {
      if (name.empty() || name[0] != u'.') continue;
      BareRead(kLM, variant + name + u"\\");
    }
  }
}

void BareArea2() {
  TextList names;
  BareSubKeys(kCR, u"\\", &names);
  for (const Text& name : names) {
    if (name.empty() || name[0] == u'.') continue;
    const Text key = u"\\" + name;
    const Text command = key + u"\\Shell\\Open\\Command\\";
    if (!BareRead(kCR, command).found && !BareRead(kCR, command.substr(1)).found) {
      BareRead(kCR, key + u"\\DefaultIcon\\");
    }
  }
}

void BareValueNameLines(HKey root, const Text& path) {
  for (const Text& variant : Variants(path)) BareValueNames(root, variant);
}

void BareArea3() {
  BareValueNameLines(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders");
  BareValueNameLines(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
}

// The ProgID key of a class found under `classVariant`: where the worker
// looks for it (the Classes key of the same variant, without a Wow6432Node
// level below Classes).
Text ClassesKeyOf(const Text& classVariant) {
  Text classes = classVariant.substr(0, classVariant.size() - 6);
  if (EndsWith(UpperAscii(classes), u"CLASSES\\WOW6432NODE\\")) classes.resize(classes.size() - 12);
  return classes;
}

void BareArea4(const DataSet& set) {
  Text found;
  for (const Line& line : BareSubKeyLines(kLM, kTypeLib)) {
    for (const Text& name : line.names) {
      if (BareFindWin32(kLM, line.variant + name + u"\\", &found)) BareRead(kLM, found);
    }
  }
  Text progId;
  for (const Line& line : BareSubKeyLines(kLM, kClsid)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      Read server = BareRead(kLM, key + u"\\InprocServer32\\");
      if (!server.found) server = BareRead(kLM, key + u"\\LocalServer32\\");
      if (!server.nonEmpty) BareRead(kLM, key + u"\\TypeLib\\");
      // Only for the classes the rules record, known here from the data set.
      if (!set.ownClasses.count(name)) continue;
      if (BareRead(kLM, key + u"\\ProgID\\", Text(), &progId).nonEmpty) {
        HKey progIdKey = 0;
        if (Open(kLM, ClassesKeyOf(line.variant) + progId, &progIdKey)) Plat().RegCloseKey(progIdKey);
      }
    }
  }
  for (const Line& line : BareSubKeyLines(kLM, kInterface)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      if (!BareRead(kLM, key + u"\\ProxyStubClsid32\\").found) BareRead(kLM, key + u"\\ProxyStubClsid\\");
      BareRead(kLM, key + u"\\TypeLib\\");
    }
  }
  BareValueNameLines(kLM, kApproved);
  BareValueNameLines(kLM, u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar");
  BareSubKeyLines(kLM, kBho);
}

const Text kUserData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";

TextList BareSids() {
  TextList sids, names;
  for (const Text& variant : Variants(kUserData)) {
    BareSubKeys(kLM, variant + u"\\", &names);
    sids.insert(sids.end(), names.begin(), names.end());
  }
  return sids;
}

TextList BareHives() {
  TextList hives;
  BareSubKeys(kUsers, Text(), &hives);
  return hives;
}

// Areas 5 to 10. No Installer product of this machine belongs to the
// program, so none is marked and none has its patches and components read.
void BareAreas5To10() {
  for (const Text& sid : BareSids()) {
    const Text base = kUserData + u"\\" + sid;
    const std::vector<Line> products = BareSubKeyLines(kLM, base + u"\\Products\\");
    BareSubKeyLines(kLM, base + u"\\Components\\");
    for (const Line& line : products) {
      for (const Text& product : line.names) {
        const Text properties = line.variant + product + u"\\InstallProperties\\";
        if (!BareRead(kLM, properties, u"InstallLocation").found) continue;
        BareRead(kLM, properties, u"UninstallString");
      }
    }
  }
  for (const Text& sid : BareSids()) {
    for (const Line& line : BareSubKeyLines(kLM, kUserData + u"\\" + sid + u"\\Components\\")) {
      for (const Text& component : line.names) {
        const Text key = line.variant + component;
        Text productCode;
        if (BareValueNames(kLM, key, &productCode) == 1) BareRead(kLM, key, productCode);
      }
    }
  }
  for (const Text& hive : BareHives()) {
    BareValueNames(kUsers, hive + u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers");
  }
  const Text muiCache = u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache\\";
  BareValueNameLines(kCU, muiCache);
  BareValueNameLines(kLM, muiCache);
  for (const Text& hive : BareHives()) {
    BareValueNames(kUsers, hive + u"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache\\");
  }
  TextList keys;
  for (const Text& variant : Variants(u"Software\\Shared Components")) BareKeyTree(kCU, variant, &keys);
  for (const Text& key : keys) BareValues(kCU, key);
  for (const Line& line :
       BareSubKeyLines(kLM, u"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\")) {
    for (const Text& name : line.names) BareRead(kLM, line.variant + name, u"AppPath");
  }
  for (HKey root : {kLM, kCU}) {
    TextList existing;
    for (const Text& variant : Variants(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run")) {
      HKey key = 0;
      if (!Open(root, variant, &key)) continue;
      Plat().RegCloseKey(key);
      existing.push_back(variant);
    }
    for (const Text& key : existing) BareValues(root, key);
  }
}

// The outside areas. Shortcuts: the four folders listed (both Start Menus
// with their subfolders, both Desktops at the top), the names of the .lnk
// files gathered, and their targets read in one call.
void BareListLinks(const Text& folder, bool recursive, TextList* links) {
  const Text base = folder + u"\\";
  FindData entry;
  const FindHandle find = Plat().FindFirstFile(base + u"*.*", &entry);
  if (!find) return;
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
      if (entry.name == u"." || entry.name == u"..") continue;
      if (recursive && (entry.attributes & win::kFileAttributeReparsePoint) == 0) {
        BareListLinks(base + entry.name, recursive, links);
      }
    } else if (entry.name.size() > 4 && UpperAscii(entry.name.substr(entry.name.size() - 4)) == u".LNK") {
      links->push_back(base + entry.name);
    }
  } while (Plat().FindNextFile(find, &entry));
  Plat().FindClose(find);
}

void BareShortcuts() {
  TextList links;
  BareListLinks(SpecialFolderPath(win::kCsidlCommonStartMenu), true, &links);
  BareListLinks(SpecialFolderPath(win::kCsidlStartMenu), true, &links);
  BareListLinks(SpecialFolderPath(win::kCsidlCommonDesktopDirectory), false, &links);
  BareListLinks(SpecialFolderPath(win::kCsidlDesktopDirectory), false, &links);
  TextList targets;
  Plat().GetShortcutTargets(links, &targets);
  g_sink += targets.size();
}

// App Paths of both roots: the default value of each entry, and its Path
// where the default value does not point into the folder.
void BareAppPaths(const DataSet& set) {
  for (HKey root : {kLM, kCU}) {
    for (const Line& line : BareSubKeyLines(root, kAppPaths)) {
      for (const Text& name : line.names) {
        const Text key = line.variant + name;
        BareRead(root, key);
        if (!set.ownAppPaths.count(key)) BareRead(root, key, u"Path");
      }
    }
  }
}

// Verbs and handlers of the six shell classes under both roots.
void BareMenus() {
  for (HKey root : {kLM, kCU}) {
    const Text classes = root == kLM ? kClasses : Text(u"Software\\Classes\\");
    for (const Text& shellClass : kShellClasses) {
      for (const Line& line : BareSubKeyLines(root, classes + shellClass + u"\\shell\\")) {
        for (const Text& verb : line.names) BareRead(root, line.variant + verb + u"\\command");
      }
      for (const Line& line : BareSubKeyLines(root, classes + shellClass + u"\\shellex\\ContextMenuHandlers\\")) {
        for (const Text& name : line.names) BareRead(root, line.variant + name);
      }
    }
  }
}

StepRun RunBare(const Context& context, CountingPlatform* counter) {
  g_access = context.view64 ? win::kKeyAllAccess | win::kKeyWow64_64Key : win::kKeyAllAccess;
  const DataSet& set = *context.set;
  const std::function<void()> steps[kStepCount] = {
      [] { BareWalk(kRoot); }, [] { BareArea1(); },          [] { BareArea2(); },
      [] { BareArea3(); },     [&set] { BareArea4(set); },   [] { BareAreas5To10(); },
      [] { BareShortcuts(); }, [&set] { BareAppPaths(set); }, [] { BareMenus(); },
      [] { BareValues(kLM, kRules); },
  };
  return TimeSteps(steps, counter, nullptr);
}

// ---------------------------------------------------------------------------
// The whole worker, started, with its reports pumped here.

struct WholeRun {
  double seconds = 0;
  std::uint64_t handOvers = 0;
  Reports reports;
  bool ended = false;
};

WholeRun RunWhole(const Context& context) {
  g_reports = Reports();
  context.counting->Reset();
  const auto started = Clock::now();
  const auto trace =
      StartTrace(*context.list, TraceTarget{LowerAscii(kProgramName), Text()}, CountingEvents(), 0);
  WholeRun run;
  run.ended = context.handOver->PumpUntil([] { return g_reports.ended; }, std::chrono::minutes(30));
  run.seconds = Seconds((run.ended ? g_reports.end : Clock::now()) - started);
  run.handOvers = context.counting->Count();
  run.reports = g_reports;
  context.handOver->PumpUntil([&trace] { return trace->Finished(); }, std::chrono::minutes(1));
  return run;
}

// Empty hand-overs from a thread of our own: the cost of the hand-over alone.
double EmptyHandOvers(const Context& context, int count) {
  std::atomic<bool> done{false};
  const auto started = Clock::now();
  std::thread worker([&] {
    const std::function<void()> call = [] { ++g_sink; };
    for (int i = 0; i < count; ++i) HandOver().RunOnGuiThread(call);
    done = true;
  });
  context.handOver->PumpUntil([&] { return done.load(); }, std::chrono::minutes(10));
  const double seconds = Seconds(Clock::now() - started);
  worker.join();
  return seconds;
}

// ---------------------------------------------------------------------------

void KeepBest(StepRun* best, const StepRun& run, bool first) {
  for (int step = 0; step < kStepCount; ++step) {
    if (first || run.seconds[step] < best->seconds[step]) best->seconds[step] = run.seconds[step];
  }
}

double Sum(const StepRun& run, std::initializer_list<int> steps) {
  double total = 0;
  for (int step : steps) total += run.seconds[step];
  return total;
}

double Total(const StepRun& run) {
  double total = 0;
  for (double seconds : run.seconds) total += seconds;
  return total;
}

template <typename T>
T SumOf(const T* values, std::initializer_list<int> steps) {
  T total = 0;
  for (int step : steps) total += values[step];
  return total;
}

void PrintRow(const char* label, double ours, double bare, const StepRun& oursCounted, const StepRun& bareCounted,
              std::initializer_list<int> steps, double target) {
  char calls[128];
  std::snprintf(calls, sizeof calls, "%llu / %llu, %llu / %llu, %llu",
                (unsigned long long)SumOf(oursCounted.registryCalls, steps),
                (unsigned long long)SumOf(bareCounted.registryCalls, steps),
                (unsigned long long)SumOf(oursCounted.fileCalls, steps),
                (unsigned long long)SumOf(bareCounted.fileCalls, steps),
                (unsigned long long)SumOf(oursCounted.reports, steps));
  const double ratio = bare > 0 ? ours / bare : 0.0;
  std::printf("  %-36s %10.1f %10.1f %7.2f %-5s %s\n", label, ours * 1000, bare * 1000, ratio,
              target > 0 ? (ratio <= target ? "ok" : "OVER") : "", calls);
}

int Run(int argc, char** argv, Platform& platform, const char* machineName,
        const std::function<double(const DataSet&)>& write, const std::function<void(const DataSet&)>& cleanUp) {
  int repeats = 5;
  Sizes sizes;
  for (int i = 1; i + 1 < argc; i += 2) {
    const int value = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--repeats")) repeats = std::max(1, value);
    if (!std::strcmp(argv[i], "--folders")) sizes.folders = std::max(1, value);
    if (!std::strcmp(argv[i], "--files")) sizes.filesPerFolder = std::max(0, value);
    if (!std::strcmp(argv[i], "--clsids")) sizes.clsids = std::max(0, value);
    if (!std::strcmp(argv[i], "--interfaces")) sizes.interfaces = std::max(0, value);
    if (!std::strcmp(argv[i], "--typelibs")) sizes.typeLibs = std::max(0, value);
    if (!std::strcmp(argv[i], "--classes")) sizes.classes = std::max(0, value);
    if (!std::strcmp(argv[i], "--shortcuts")) sizes.shortcuts = std::max(0, value);
    if (!std::strcmp(argv[i], "--apppaths")) sizes.appPaths = std::max(0, value);
    if (!std::strcmp(argv[i], "--verbs")) sizes.verbs = std::max(0, value);
    if (!std::strcmp(argv[i], "--rules")) sizes.rules = std::max(0, value);
  }

  SetPlatform(&platform);
  HeadlessHandOver handOver;  // owned by this thread: reports made here run at once
  CountingHandOver counting(handOver);
  SetHandOver(&counting);

  const int bitness = GetWindowsBitness();
  const bool view64 = bitness == 1 || bitness == 2;
  const DataSet set = MakeDataSet(sizes);

  ProgramInventory inventory;
  {
    auto record = std::make_unique<InstalledProgram>();
    record->name = kProgramName;
    record->nameLow = LowerAscii(kProgramName);
    record->installLocation = kRoot;
    record->uninstallString = u"\"" + kRoot + u"\\uninst.exe\"";
    record->displayIconIndex = kNoIconIndex;
    record->entryKeyLine = u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kProgramName;
    record->is64Bit = view64 ? 1 : 0;
    inventory.AddOrMerge(std::move(record));
  }

  Context context;
  context.handOver = &handOver;
  context.counting = &counting;
  context.list = &inventory;
  context.set = &set;
  context.view64 = view64;

  std::printf("Trace benchmark on %s (bitness %d, %s view)\n", machineName, bitness, view64 ? "64-bit" : "default");
  std::printf("data: %zu folders and %zu files under %s;\n"
              "      %d CLSIDs, %d interfaces, %d type libraries, %d Classes keys (file types and extensions);\n"
              "      %zu registry keys written\n",
              set.folders.size(), set.files.size(), ToUtf8(kRoot).c_str(), sizes.clsids, sizes.interfaces,
              sizes.typeLibs, sizes.classes, KeyCount(set));
  std::fflush(stdout);
  const double setUp = write(set);
  std::printf("set-up: %.2f s\n", setUp);
  std::fflush(stdout);

  // One counted pass of each side (not timed), then the timed repetitions,
  // interleaved so that drift touches both sides alike.
  CountingPlatform counter(platform);
  SetPlatform(&counter);
  const StepRun oursCounted = RunOurs(context, &counter);
  const StepRun bareCounted = RunBare(context, &counter);
  SetPlatform(&platform);
  std::printf("found: %zu folders, %zu files, %zu registry lines (steps 1, 4 expected %d and %d; area 2 %d)\n",
              oursCounted.folders, oursCounted.files, oursCounted.registryLines, set.expectedArea1,
              set.expectedArea4, set.expectedArea2);
  std::printf("outside areas expected: %d shortcuts, %d App Paths entries (each root), %d verbs and handlers,"
              " %d firewall rules\n",
              set.expectedShortcuts, set.expectedAppPaths, set.expectedMenus, set.expectedRules);
  std::printf("%zu shortcuts, %d App Paths entries, %d verbs, %d handlers, %d rules written\n", set.shortcuts.size(),
              sizes.appPaths, sizes.verbs, sizes.verbs / 5, sizes.rules);
  std::printf("reports by step (from area 1):");
  for (int step = kArea1; step < kStepCount; ++step) std::printf(" %llu", (unsigned long long)oursCounted.reports[step]);
  std::printf("\n");
  std::fflush(stdout);

  StepRun ours, bare;
  WholeRun whole;
  for (int r = 0; r < repeats; ++r) {
    const StepRun bareRun = RunBare(context, nullptr);
    const StepRun oursRun = RunOurs(context, nullptr);
    const WholeRun run = RunWhole(context);
    KeepBest(&bare, bareRun, r == 0);
    KeepBest(&ours, oursRun, r == 0);
    if (r == 0 || run.seconds < whole.seconds) whole = run;
    std::printf("  run %d: bare %.1f ms, steps %.1f ms, whole worker %.1f ms\n", r + 1, Total(bareRun) * 1000,
                Total(oursRun) * 1000, run.seconds * 1000);
    std::fflush(stdout);
  }

  std::printf("\nbest of %d runs, times in ms\n", repeats);
  std::printf("  %-36s %10s %10s %7s %-5s %s\n", "", "ours", "bare", "ratio", "", "calls: registry ours / bare, "
              "file ours / bare, reports");
  // Each phase within 1.5 of its bare loop, the file trace and the whole
  // trace within 1.3.
  const auto row = [&](const char* label, std::initializer_list<int> steps, bool judged) {
    PrintRow(label, Sum(ours, steps), Sum(bare, steps), oursCounted, bareCounted, steps, judged ? 1.5 : 0.0);
  };
  PrintRow("file trace ScanFilesFolders", Sum(ours, {kFiles}), Sum(bare, {kFiles}), oursCounted, bareCounted,
           {kFiles}, 1.3);
  row(kStepNames[kArea1], {kArea1}, true);
  row(kStepNames[kArea4], {kArea4}, true);
  row("the rest (areas 2, 3, 5-10)", {kArea2, kArea3, kAreas5To10}, true);
  row(kStepNames[kArea2], {kArea2}, false);
  row(kStepNames[kArea3], {kArea3}, false);
  row(kStepNames[kAreas5To10], {kAreas5To10}, false);
  row("outside areas", {kShortcuts, kAppPathsStep, kMenus, kFirewall}, true);
  for (int step : {kShortcuts, kAppPathsStep, kMenus, kFirewall}) row(kStepNames[step], {step}, false);
  PrintRow("all steps", Total(ours), Total(bare), oursCounted, bareCounted,
           {kFiles, kArea1, kArea2, kArea3, kArea4, kAreas5To10, kShortcuts, kAppPathsStep, kMenus, kFirewall}, 1.3);
  std::printf("  (ratio: ours / bare loop with the same calls; target 1.50 or less per phase, 1.30 for the file trace"
              " and all steps)\n");

  const double rate = whole.seconds > 0 ? double(whole.handOvers) / whole.seconds : 0;
  std::printf("\nwhole worker (Start, reports pumped on this thread): %.1f ms%s\n", whole.seconds * 1000,
              whole.ended ? "" : "  NO END REPORT");
  std::printf("  reports: %llu hand-overs (%llu file/folder counts, %llu registry counts, %llu + %llu list rows,"
              " start, end)\n",
              (unsigned long long)whole.handOvers, (unsigned long long)whole.reports.fileFolderCounts,
              (unsigned long long)whole.reports.registryCounts, (unsigned long long)whole.reports.fileFolderList,
              (unsigned long long)whole.reports.registryList);
  const double wholeToSteps = Total(ours) > 0 ? whole.seconds / Total(ours) : 0.0;
  std::printf("  hand-over rate: %.0f reports/s over the whole run; whole / bare %.2f, whole / steps %.2f %s"
              " (target 1.30 or less)\n",
              rate, Total(bare) > 0 ? whole.seconds / Total(bare) : 0.0, wholeToSteps,
              wholeToSteps <= 1.3 ? "ok" : "OVER");
  const int empties = 20000;
  double empty = 0;
  for (int r = 0; r < std::min(repeats, 3); ++r) {
    const double seconds = EmptyHandOvers(context, empties);
    if (r == 0 || seconds < empty) empty = seconds;
  }
  std::printf("  empty hand-overs from a thread: %d in %.1f ms, %.0f/s, %.1f us each\n", empties, empty * 1000,
              empty > 0 ? empties / empty : 0.0, empty * 1e6 / empties);
  std::fflush(stdout);

  cleanUp(set);
  SetHandOver(nullptr);
  SetPlatform(nullptr);
  return whole.ended ? 0 : 1;
}

}  // namespace
}  // namespace tw::bench

int main(int argc, char** argv) {
  using namespace tw::bench;
#ifdef _WIN32
  static tw::Win32Platform platform;
  return Run(
      argc, argv, platform, "the Win32 API", [](const DataSet& set) { return WriteDataSet(set); },
      [](const DataSet& set) {
        int failures = 0;
        const double seconds = RemoveDataSet(set, &failures);
        std::printf("clean-up: %zu keys, %zu files, %zu folders removed in %.2f s, %d failed\n", set.created.size(),
                    set.files.size(), set.folders.size(), seconds, failures);
      });
#else
  static tw::sim::SimMachine machine(tw::sim::Preset::Windows10x64);
  return Run(
      argc, argv, machine, "the simulated machine (Windows 10 x64, WOW64)",
      [](const DataSet& set) { return WriteDataSet(machine, set); }, [](const DataSet&) {});
#endif
}
