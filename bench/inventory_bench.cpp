// Benchmark of the inventory scan.
//
// Fills the registry with a large synthetic machine (2,000 uninstall entries,
// a third of them also in the 32-bit view, 20,000 file types and classes with
// a DefaultIcon, Windows Installer products and App Paths entries), then
// compares, phase by phase and for the whole scan, the inventory worker with
// a bare loop that makes the same registry calls on the same data and applies
// no rule. It prints times, ratios (ours / bare) and call counts; it never
// fails on timing. The scan also tests files (the exe names in a program's
// folder, the icon file), which the registry loop does not; those tests are
// recorded once and replayed bare, so that a second ratio can say how much of
// the difference is file work the rules ask for.
//
// Natively the data goes onto a simulated machine through its set-up methods;
// in the Windows build it is written through the platform's RegCreateKeyEx
// and RegSetValueEx into the real registry and removed again at the end.
//
// Options: --repeats N (best of N, default 5), --entries N, --classes N.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "access/environment.h"
#include "access/folders.h"
#include "access/registry.h"
#include "access/text_rules.h"
#include "bench/counting_handover.h"
#include "bench/counting_platform.h"
#include "inventory/entry_rules.h"
#include "inventory/installed_software.h"
#include "inventory/inventory_scan.h"
#include "platform/platform.h"
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

const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kUninstall32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kClasses = u"SOFTWARE\\Classes\\";
const Text kMachineProducts = u"SOFTWARE\\Classes\\Installer\\Products\\";
const Text kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const Text kUserData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const Text kSystemProducts = kUserData + u"\\S-1-5-18\\Products\\";

// ---------------------------------------------------------------------------
// The synthetic machine.

struct Value {
  Text name;
  Text data;
};

struct Key {
  Text path;  // under HKLM, literal (no view redirection)
  std::vector<Value> values;
};

struct DataSet {
  std::vector<Key> keys;     // in creation order
  std::vector<Text> created;  // every key made, to delete deepest first
  int entries = 0, duplicates = 0, classes = 0, acceptedIcons = 0, products = 0, appPaths = 0;
};

Text EntryName(int i) {
  // Inno Setup style names for most, a product code for every fourth.
  if (i % 4 == 0) return Format("{B3E7C0DE-0000-4000-8000-0000%08d}", i);
  return Format("TidewellBench App %04d_is1", i);
}
Text DisplayName(int i) { return Format("Bench Product %04d", i); }
Text VendorFolder(int i) { return Format("C:\\Program Files\\Bench Vendor %02d\\Product %04d\\", i % 50, i); }
Text PackedCode(int k) { return Format("B3E7C0DE0000000000000000%08X", k); }

DataSet MakeDataSet(int entryCount, int classCount) {
  DataSet set;
  auto add = [&set](const Text& path, std::vector<Value> values) {
    set.keys.push_back({path, std::move(values)});
    set.created.push_back(path);
  };

  // Uninstall entries. A third carry InstallLocation (and an MsiExec or
  // uninst.exe command); the others only an Inno Setup command naming
  // unins000.exe. Two in five have a DisplayIcon.
  set.entries = entryCount;
  for (int i = 0; i < entryCount; ++i) {
    std::vector<Value> values{
        {u"DisplayName", DisplayName(i)},
        {u"Publisher", Format("Bench Vendor %02d Ltd.", i % 50)},
        {u"DisplayVersion", Format("%d.%d.%d", 1 + i % 9, i % 13, i)},
    };
    Text folder;
    if (i % 3 == 0) {
      folder = VendorFolder(i);
      values.push_back({u"InstallLocation", folder});
      values.push_back({u"UninstallString", i % 2 ? u"\"" + folder + u"uninst.exe\" /S"
                                                  : u"MsiExec.exe /X" + EntryName(i)});
    } else {
      folder = Format("C:\\Program Files (x86)\\Product %04d\\", i);
      values.push_back({u"UninstallString", u"\"" + folder + u"unins000.exe\""});
      values.push_back({u"QuietUninstallString", u"\"" + folder + u"unins000.exe\" /SILENT"});
      values.push_back({u"EstimatedSize", u"2048"});
    }
    if (i % 5 < 2) values.push_back({u"DisplayIcon", u"\"" + folder + u"product.exe\"," + Format("%d", i % 3)});
    add(kUninstall + EntryName(i), values);
    // Every third program also registered its 32-bit build, same DisplayName.
    if (i % 3 == 1) {
      add(kUninstall32 + EntryName(i), values);
      ++set.duplicates;
    }
  }

  // File types and classes: two in five DefaultIcons point into a program's
  // folder (accepted), the others into the Windows folder (rejected).
  set.classes = classCount;
  for (int j = 0; j < classCount; ++j) {
    const Text name = j % 2 ? Format(".twb%05d", j) : Format("TidewellBench.Document.%05d", j);
    Text icon;
    switch (j % 5) {
      case 0:
      case 1:
        icon = VendorFolder(j % 2000) + u"product.exe," + Format("%d", j % 7);
        ++set.acceptedIcons;
        break;
      case 2:
        icon = Format("%%SystemRoot%%\\System32\\imageres.dll,-%d", 100 + j % 50);
        break;
      case 3:
        icon = Format("C:\\Windows\\System32\\shell32.dll,%d", j % 300);
        break;
      default:
        icon = u"C:\\WINDOWS\\system32\\zipfldr.dll";
        break;
    }
    set.created.push_back(kClasses + name);
    set.keys.push_back({kClasses + name, {{Text(), Format("TidewellBench document %d", j)}}});
    add(kClasses + name + u"\\DefaultIcon", {{Text(), icon}});
  }

  // Windows Installer products: the first half share the DisplayName of an
  // uninstall entry without DisplayIcon (their ProductIcon is its fallback),
  // the second half are known to the Installer only.
  set.products = 200;
  for (int k = 0; k < set.products; ++k) {
    const int entry = k * 10 + 2;
    const Text name = k < set.products / 2 && entry < entryCount ? DisplayName(entry)
                                                                  : Format("Bench Installer Only %04d", k);
    const Text code = Format("{B3E7C0DE-1111-4000-8000-0000%08d}", k);
    add(kMachineProducts + PackedCode(k),
        {{u"ProductName", name}, {u"ProductIcon", u"C:\\Windows\\Installer\\" + code + u"\\product.ico"}});
    set.created.push_back(kSystemProducts + PackedCode(k));
    add(kSystemProducts + PackedCode(k) + u"\\InstallProperties",
        {{u"DisplayName", name},
         {u"Publisher", u"Bench Installer Vendor"},
         {u"DisplayVersion", Format("4.%d", k)},
         {u"InstallLocation", k % 2 ? Format("C:\\Program Files\\Bench Installer\\%04d\\", k) : Text()},
         {u"UninstallString", u"MsiExec.exe /I" + code},
         {u"LocalPackage", Format("C:\\Windows\\Installer\\%x.msi", 0x5a000 + k)}});
  }

  set.appPaths = 10;
  for (int a = 0; a < set.appPaths; ++a) {
    add(kAppPaths + Format("TidewellBench%02d.exe", a), {{Text(), VendorFolder(a) + Format("TidewellBench%02d.exe", a)}});
  }
  return set;
}

#ifdef _WIN32
// Writes through the platform into the real registry, 64-bit view.
double WriteDataSet(const DataSet& set) {
  const auto started = Clock::now();
  for (const Key& key : set.keys) {
    UniqueRegKey handle;
    if (RegCreateKeyIn(win::kHKeyLocalMachine, key.path, kView64, &handle) != win::kErrorSuccess) {
      std::fprintf(stderr, "cannot create HKLM\\%s\n", ToUtf8(key.path).c_str());
      continue;
    }
    for (const Value& value : key.values) {
      // REG_SZ data with its terminating NUL.
      const Text& text = value.data;
      const std::string data(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(char16_t));
      RegWriteValueBytes(handle.get(), value.name, win::kRegSz, data);
    }
  }
  return Seconds(Clock::now() - started);
}

// Deletes every key the set made, deepest first.
double RemoveDataSet(const DataSet& set, int* failures) {
  const auto started = Clock::now();
  std::vector<Text> paths = set.created;
  std::stable_sort(paths.begin(), paths.end(), [](const Text& a, const Text& b) {
    return std::count(a.begin(), a.end(), u'\\') > std::count(b.begin(), b.end(), u'\\');
  });
  *failures = 0;
  for (const Text& path : paths) {
    if (!RegDeleteKeyTree(win::kHKeyLocalMachine, path, kView64)) ++*failures;
  }
  return Seconds(Clock::now() - started);
}
#else
double WriteDataSet(sim::SimMachine& machine, const DataSet& set) {
  const auto started = Clock::now();
  for (const Key& key : set.keys) {
    machine.CreateKey(win::kHKeyLocalMachine, key.path);
    for (const Value& value : key.values) machine.SetString(win::kHKeyLocalMachine, key.path, value.name, value.data);
  }
  return Seconds(Clock::now() - started);
}
#endif

// ---------------------------------------------------------------------------
// The worker, run as the window runs it, with its reports served here.

struct ScanReports {
  std::size_t programs = 0;
  bool ended = false;
  Clock::time_point firstProgram, end;
};
ScanReports g_reports;

void OnStart() {}
void OnProgram(const Text&, const Text&, const Text&, const Text&, std::int32_t) {
  if (g_reports.programs++ == 0) g_reports.firstProgram = Clock::now();
}
void OnEnd() {
  g_reports.end = Clock::now();
  g_reports.ended = true;
}

struct Context {
  HeadlessHandOver* handOver = nullptr;
  CountingHandOver* counting = nullptr;
  FolderNameLibrary* library = nullptr;
  Text programFolder;
  bool view64 = true;
  int bitness = 2;
};

struct WholeRun {
  double seconds = 0;
  std::size_t programs = 0;
  std::uint64_t handOvers = 0;
  double deliverySeconds = 0;
  bool ended = false;
};

WholeRun RunWholeScan(const Context& context) {
  ProgramInventory inventory;
  ProgramInventory* list = &inventory;
  FolderNameLibrary* library = context.library;
  g_reports = ScanReports();
  context.counting->Reset();

  auto scan = std::make_unique<InventoryScanWorker>(*list, library, context.programFolder);
  scan->pauseMs = 0;
  scan->events = {OnStart, OnProgram, OnEnd};
  list->showsSearch = false;

  const auto started = Clock::now();
  scan->Start();
  const bool ended = context.handOver->PumpUntil([] { return g_reports.ended; }, std::chrono::minutes(15));
  WholeRun run;
  run.seconds = Seconds(Clock::now() - started);
  run.ended = ended;
  run.programs = g_reports.programs;
  run.handOvers = context.counting->Count();
  if (g_reports.programs) run.deliverySeconds = Seconds(g_reports.end - g_reports.firstProgram);
  context.handOver->PumpUntil([&scan] { return scan->Finished(); }, std::chrono::minutes(1));
  return run;
}

enum Phase { kIcons, kMachineRoot, kUserRoot, kInstaller, kPhaseCount };
const char* const kPhaseNames[kPhaseCount] = {"LoadIconSources", "ScanUninstallRoot HKLM",
                                              "ScanUninstallRoot HKCU", "ScanInstallerProducts"};

struct PhaseRun {
  double seconds[kPhaseCount] = {};
  std::uint64_t registryCalls[kPhaseCount] = {};
  std::uint64_t fileCalls[kPhaseCount] = {};
  std::vector<Text> attributePaths[kPhaseCount];  // counted runs only
  std::size_t records = 0;
};

// Times each phase with the worker's own steps on a worker that is never
// started. `counter`, when given, is the platform in use and counts calls.
PhaseRun RunPhases(const Context& context, CountingPlatform* counter) {
  ProgramInventory inventory;
  ProgramInventory* list = &inventory;
  FolderNameLibrary* library = context.library;
  auto scan = std::make_unique<InventoryScanWorker>(*list, library, context.programFolder);
  scan->folders = SystemFolders::Current();
  RedirectionSlot slot = nullptr;
  if (context.bitness == 1) DisableFsRedirection(&slot);

  PhaseRun run;
  const std::function<void()> steps[kPhaseCount] = {
      [&] { scan->LoadIconSources(context.view64); },
      [&] { scan->ScanUninstallRoot(win::kHKeyLocalMachine, context.view64); },
      [&] { scan->ScanUninstallRoot(win::kHKeyCurrentUser, context.view64); },
      [&] { scan->ScanInstallerProducts(context.view64); },
  };
  for (int phase = 0; phase < kPhaseCount; ++phase) {
    if (counter) {
      counter->Reset();
      counter->attributePaths = &run.attributePaths[phase];
    }
    const auto started = Clock::now();
    steps[phase]();
    run.seconds[phase] = Seconds(Clock::now() - started);
    if (counter) {
      counter->attributePaths = nullptr;
      run.registryCalls[phase] = counter->RegistryCalls();
      run.fileCalls[phase] = counter->FileCalls();
    }
  }
  if (context.bitness == 1) RevertFsRedirection(slot);
  run.records = inventory.records.size();
  return run;
}

// ---------------------------------------------------------------------------
// The bare loop: the same registry calls on the same keys, no rules.

constexpr std::uint32_t kValueChars = 255;
std::uint64_t g_sink = 0;  // keeps the reads observable

std::uint32_t Access(bool view64) { return view64 ? win::kKeyAllAccess | win::kKeyWow64_64Key : win::kKeyAllAccess; }

// A value read as the scan reads it: its size, then its data into a cleared
// 255-character buffer.
void BareRead(HKey key, const Text& name) {
  std::uint32_t size = 0;
  if (Plat().RegQueryValueEx(key, name, nullptr, nullptr, &size) != win::kErrorSuccess) return;
  char16_t buffer[kValueChars + 1] = {};
  std::uint32_t bytes = kValueChars * 2;
  if (Plat().RegQueryValueEx(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &bytes) ==
      win::kErrorSuccess) {
    g_sink += bytes;
  }
}

// Subkey names of an open key, enumerated until the enumeration stops.
void BareEnum(HKey key, std::vector<Text>* names) {
  names->clear();
  for (std::uint32_t index = 0;; ++index) {
    char16_t name[kValueChars + 1] = {};
    std::uint32_t chars = kValueChars + 1;
    if (Plat().RegEnumKeyEx(key, index, name, &chars) != win::kErrorSuccess) break;
    names->emplace_back(name, chars);
  }
}

TextList Variants(const Text& path) {
  TextList variants;
  Wow6432Variants(path, true, &variants);
  return variants;
}

// Opens each subkey of every variant of `path` and reads the given values.
void BareSubKeysWithValues(HKey root, const Text& path, std::uint32_t access, const std::vector<Text>& values) {
  std::vector<Text> names;
  for (const Text& variant : Variants(path)) {
    HKey parent = 0;
    if (Plat().RegOpenKeyEx(root, variant, access, &parent) != win::kErrorSuccess) continue;
    BareEnum(parent, &names);
    for (const Text& name : names) {
      HKey child = 0;
      if (Plat().RegOpenKeyEx(parent, name, access, &child) != win::kErrorSuccess) continue;
      for (const Text& value : values) BareRead(child, value);
      Plat().RegCloseKey(child);
    }
    Plat().RegCloseKey(parent);
  }
}

void BareIconSources(bool view64) {
  const std::uint32_t access = Access(view64);
  BareSubKeysWithValues(win::kHKeyLocalMachine, kMachineProducts, access, {u"ProductIcon", u"ProductName"});

  std::vector<Text> users;
  BareEnum(win::kHKeyUsers, &users);
  std::vector<Text> products;
  for (const Text& user : users) {
    HKey parent = 0;
    if (Plat().RegOpenKeyEx(win::kHKeyUsers, user + u"\\Software\\Microsoft\\Installer\\Products\\",
                            win::kKeyAllAccess, &parent) != win::kErrorSuccess) {
      continue;
    }
    BareEnum(parent, &products);
    for (const Text& product : products) {
      HKey child = 0;
      if (Plat().RegOpenKeyEx(parent, product, win::kKeyAllAccess, &child) != win::kErrorSuccess) continue;
      BareRead(child, u"ProductIcon");
      BareRead(child, u"ProductName");
      Plat().RegCloseKey(child);
    }
    Plat().RegCloseKey(parent);
  }

  std::vector<Text> names;
  for (const Text& variant : Variants(kAppPaths)) {
    HKey key = 0;
    if (Plat().RegOpenKeyEx(win::kHKeyLocalMachine, variant, access, &key) != win::kErrorSuccess) continue;
    BareEnum(key, &names);
    g_sink += names.size();
    Plat().RegCloseKey(key);
  }

  for (const Text& variant : Variants(kClasses)) {
    HKey classes = 0;
    if (Plat().RegOpenKeyEx(win::kHKeyLocalMachine, variant, access, &classes) != win::kErrorSuccess) continue;
    BareEnum(classes, &names);
    for (const Text& name : names) {
      HKey icon = 0;
      if (Plat().RegOpenKeyEx(classes, name + u"\\DefaultIcon", access, &icon) != win::kErrorSuccess) continue;
      BareRead(icon, Text());
      Plat().RegCloseKey(icon);
    }
    Plat().RegCloseKey(classes);
  }
}

const std::vector<Text> kEntryValues = {u"DisplayName",     u"Publisher",       u"DisplayVersion",
                                        u"InstallLocation", u"UninstallString", u"DisplayIcon"};

void BareUninstallRoot(HKey root, bool view64) {
  const std::uint32_t access = Access(view64);
  for (const Text& variant : Variants(kUninstall)) {
    HKey key = 0;
    if (Plat().RegOpenKeyEx(root, variant, access, &key) != win::kErrorSuccess) continue;
    std::uint32_t count = 0;
    Plat().RegQueryInfoKey(key, &count, nullptr, nullptr, nullptr, nullptr);
    for (std::uint32_t index = 0; index < count; ++index) {
      char16_t name[kValueChars + 1] = {};
      std::uint32_t chars = kValueChars + 1;
      if (Plat().RegEnumKeyEx(key, index, name, &chars) != win::kErrorSuccess) continue;
      HKey entry = 0;
      if (Plat().RegOpenKeyEx(key, Text(name, chars), access, &entry) != win::kErrorSuccess) continue;
      for (const Text& value : kEntryValues) BareRead(entry, value);
      Plat().RegCloseKey(entry);
    }
    Plat().RegCloseKey(key);
  }
}

void BareInstallerProducts(bool view64) {
  const std::uint32_t access = Access(view64);
  std::vector<Text> sids;
  std::vector<Text> names;
  for (const Text& variant : Variants(kUserData)) {
    HKey key = 0;
    if (Plat().RegOpenKeyEx(win::kHKeyLocalMachine, variant + u"\\", access, &key) != win::kErrorSuccess) continue;
    BareEnum(key, &names);
    sids.insert(sids.end(), names.begin(), names.end());
    Plat().RegCloseKey(key);
  }
  for (const Text& sid : sids) {
    const Text products = kUserData + u"\\" + sid + u"\\Products\\";
    for (const Text& variant : Variants(products)) {
      HKey key = 0;
      if (Plat().RegOpenKeyEx(win::kHKeyLocalMachine, variant, access, &key) != win::kErrorSuccess) continue;
      BareEnum(key, &names);
      Plat().RegCloseKey(key);
      for (const Text& product : names) {
        HKey entry = 0;
        if (Plat().RegOpenKeyEx(win::kHKeyLocalMachine, products + product + u"\\InstallProperties\\", access,
                                &entry) != win::kErrorSuccess) {
          continue;
        }
        for (const Text& value : kEntryValues) BareRead(entry, value);
        Plat().RegCloseKey(entry);
      }
    }
  }
}

PhaseRun RunBare(const Context& context, CountingPlatform* counter) {
  PhaseRun run;
  const std::function<void()> steps[kPhaseCount] = {
      [&] { BareIconSources(context.view64); },
      [&] { BareUninstallRoot(win::kHKeyLocalMachine, context.view64); },
      [&] { BareUninstallRoot(win::kHKeyCurrentUser, context.view64); },
      [&] { BareInstallerProducts(context.view64); },
  };
  for (int phase = 0; phase < kPhaseCount; ++phase) {
    if (counter) counter->Reset();
    const auto started = Clock::now();
    steps[phase]();
    run.seconds[phase] = Seconds(Clock::now() - started);
    if (counter) {
      run.registryCalls[phase] = counter->RegistryCalls();
      run.fileCalls[phase] = counter->FileCalls();
    }
  }
  return run;
}

// The file tests a counted scan made, replayed bare.
PhaseRun ReplayFileTests(const PhaseRun& counted, int bitness) {
  RedirectionSlot slot = nullptr;
  if (bitness == 1) DisableFsRedirection(&slot);
  PhaseRun run;
  for (int phase = 0; phase < kPhaseCount; ++phase) {
    const auto started = Clock::now();
    for (const Text& path : counted.attributePaths[phase]) g_sink += Plat().GetFileAttributes(path);
    run.seconds[phase] = Seconds(Clock::now() - started);
  }
  if (bitness == 1) RevertFsRedirection(slot);
  return run;
}

// ---------------------------------------------------------------------------

void KeepBest(PhaseRun* best, const PhaseRun& run, bool first) {
  for (int phase = 0; phase < kPhaseCount; ++phase) {
    if (first || run.seconds[phase] < best->seconds[phase]) best->seconds[phase] = run.seconds[phase];
  }
  best->records = run.records;
}

double Total(const PhaseRun& run) {
  double total = 0;
  for (double seconds : run.seconds) total += seconds;
  return total;
}

void PrintRow(const char* label, double ours, double bare, double files, const char* calls) {
  std::printf("  %-32s %9.1f %9.1f %7.2f %9.1f %7.2f   %s\n", label, ours * 1000, bare * 1000,
              bare > 0 ? ours / bare : 0.0, files * 1000, bare + files > 0 ? ours / (bare + files) : 0.0, calls);
}

int Run(int argc, char** argv, Platform& platform, const char* machineName, const std::function<double(const DataSet&)>& write,
        const std::function<void(const DataSet&)>& cleanUp) {
  int repeats = 5, entries = 2000, classes = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--repeats")) repeats = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--entries")) entries = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--classes")) classes = std::max(0, std::atoi(argv[i + 1]));
  }

  SetPlatform(&platform);
  HeadlessHandOver handOver;
  CountingHandOver counting(handOver);
  SetHandOver(&counting);
  FolderNameLibrary library;

  Context context;
  context.handOver = &handOver;
  context.counting = &counting;
  context.library = &library;
  context.programFolder = GetOwnFolder();
  context.bitness = GetWindowsBitness();
  context.view64 = context.bitness == 1 || context.bitness == 2;

  const DataSet set = MakeDataSet(entries, classes);
  std::printf("Inventory scan benchmark on %s (bitness %d, %s view)\n", machineName, context.bitness,
              context.view64 ? "64-bit" : "default");
  std::printf("data: %d uninstall entries (+%d in Wow6432Node), %d Classes keys with DefaultIcon (%d accepted),\n"
              "      %d Installer products, %d App Paths entries; %zu keys written\n",
              set.entries, set.duplicates, set.classes, set.acceptedIcons, set.products, set.appPaths,
              set.keys.size());
  std::fflush(stdout);
  const double setUp = write(set);
  std::printf("set-up: %.2f s\n", setUp);
  std::fflush(stdout);

  // One counted pass of each side (not timed), then the timed repetitions,
  // the three measurements interleaved so that drift touches them alike.
  CountingPlatform counter(platform);
  SetPlatform(&counter);
  const PhaseRun oursCounted = RunPhases(context, &counter);
  const PhaseRun bareCounted = RunBare(context, &counter);
  SetPlatform(&platform);

  PhaseRun ours, bare, files;
  WholeRun whole;
  for (int r = 0; r < repeats; ++r) {
    const PhaseRun bareRun = RunBare(context, nullptr);
    const PhaseRun oursRun = RunPhases(context, nullptr);
    const WholeRun run = RunWholeScan(context);
    KeepBest(&files, ReplayFileTests(oursCounted, context.bitness), r == 0);
    KeepBest(&bare, bareRun, r == 0);
    KeepBest(&ours, oursRun, r == 0);
    if (r == 0 || run.seconds < whole.seconds) whole = run;
    std::printf("  run %d: bare %.1f ms, phases %.1f ms, whole scan %.1f ms\n", r + 1, Total(bareRun) * 1000,
                Total(oursRun) * 1000, run.seconds * 1000);
    std::fflush(stdout);
  }

  std::printf("\nbest of %d runs, times in ms\n", repeats);
  std::printf("  %-32s %9s %9s %7s %9s %7s   %s\n", "", "ours", "bare", "ratio", "+files", "ratio2",
              "registry calls ours / bare, file tests");
  std::uint64_t oursCalls = 0, bareCalls = 0, oursFiles = 0;
  for (int phase = 0; phase < kPhaseCount; ++phase) {
    char calls[96];
    std::snprintf(calls, sizeof calls, "%llu / %llu, %llu", (unsigned long long)oursCounted.registryCalls[phase],
                  (unsigned long long)bareCounted.registryCalls[phase],
                  (unsigned long long)oursCounted.fileCalls[phase]);
    PrintRow(kPhaseNames[phase], ours.seconds[phase], bare.seconds[phase], files.seconds[phase], calls);
    oursCalls += oursCounted.registryCalls[phase];
    bareCalls += bareCounted.registryCalls[phase];
    oursFiles += oursCounted.fileCalls[phase];
  }
  char calls[96];
  std::snprintf(calls, sizeof calls, "%llu / %llu, %llu", (unsigned long long)oursCalls,
                (unsigned long long)bareCalls, (unsigned long long)oursFiles);
  PrintRow("the four phases", Total(ours), Total(bare), Total(files), calls);
  PrintRow("whole scan (worker, hand-overs)", whole.seconds, Total(bare), Total(files), "");
  std::printf("  (ratio: ours / bare registry loop; ratio2: ours / (bare loop + the scan's file tests replayed))\n");
  std::printf("\nprograms delivered: %zu (records in the inventory: %zu)%s\n", whole.programs, ours.records,
              whole.ended ? "" : "  NO END REPORT");
  const double rate = whole.deliverySeconds > 0 ? double(whole.handOvers) / whole.deliverySeconds : 0;
  std::printf("hand-overs: %llu (start, one per program, end); delivery %.1f ms, %.0f hand-overs/s, %.1f us each\n",
              (unsigned long long)whole.handOvers, whole.deliverySeconds * 1000, rate,
              whole.handOvers ? whole.deliverySeconds * 1e6 / double(whole.handOvers) : 0.0);
  std::printf("target ratio <= 1.50: phases %.2f, whole scan %.2f (with the file tests in the bare side: %.2f, %.2f)\n",
              Total(ours) / Total(bare), whole.seconds / Total(bare), Total(ours) / (Total(bare) + Total(files)),
              whole.seconds / (Total(bare) + Total(files)));
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
        std::printf("clean-up: %zu keys deleted in %.2f s, %d failed\n", set.created.size(), seconds, failures);
      });
#else
  static tw::sim::SimMachine machine(tw::sim::Preset::Windows10x64);
  return Run(
      argc, argv, machine, "the simulated machine (Windows 10 x64, WOW64)",
      [](const DataSet& set) { return WriteDataSet(machine, set); }, [](const DataSet&) {});
#endif
}
