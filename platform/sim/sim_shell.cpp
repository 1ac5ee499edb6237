// Shell and own-module calls of the simulated machine: special folders,
// ShellExecuteW with its record of launches, the running module's path and
// version resources.
#include <algorithm>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
constexpr std::intptr_t kSeErrFileNotFound = 2;  // SE_ERR_FNF
constexpr std::uint32_t kMaxPath = 260;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;

Text Unquoted(const Text& file) {
  if (file.size() >= 2 && file.front() == u'"' && file.back() == u'"') return file.substr(1, file.size() - 2);
  return file;
}

bool IsUrl(const Text& file) {
  return file.find(u"://") != Text::npos || Upcase(file).rfind(u"MAILTO:", 0) == 0;
}

Text JoinFolder(const Text& folder, const Text& name) {
  if (folder.empty()) return name;
  return folder.back() == u'\\' ? folder + name : folder + u'\\' + name;
}
}  // namespace

bool SimMachine::GetSpecialFolderPath(int csidl, char16_t* buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = specialFolders_.find(csidl);
  if (!buffer || it == specialFolders_.end() || !it->second || it->second->size() >= kMaxPath) return false;
  std::copy(it->second->begin(), it->second->end(), buffer);
  buffer[it->second->size()] = 0;
  return true;
}

std::intptr_t SimMachine::ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file,
                                       const Text& parameters, const Text& directory) {
  std::unique_lock<std::mutex> lock(mutex_);
  launches_.push_back(Launch{ownerWindow, verb, file, parameters, directory, 0});
  Text name = Unquoted(file);
  auto failure = launchFailures_.find(Upcase(name));
  if (failure != launchFailures_.end()) return failure->second;
  if (IsUrl(name)) return kLaunchSucceeded;

  // A bare name is looked for in the given folder, the system folder and the
  // Windows folder, also with ".exe" added.
  std::vector<Text> candidates;
  std::vector<Text> names = {name};
  if (FileNameOfHasNoExtension(name)) names.push_back(name + u".exe");
  for (const Text& each : names) {
    if (ParsePath(each).valid) {
      candidates.push_back(each);
      continue;
    }
    if (!directory.empty()) candidates.push_back(JoinFolder(directory, each));
    candidates.push_back(JoinFolder(systemDirText_, each));
    candidates.push_back(JoinFolder(windowsDir_, each));
  }
  for (const Text& candidate : candidates) {
    ParsedPath parsed = Effective(candidate);
    WalkResult walk = files_.Walk(parsed);
    if (!walk.node) continue;
    if (walk.node->IsDirectory()) return kLaunchSucceeded;  // opens a folder window
    const std::uint32_t pid = StartLaunched(parsed, walk, name);
    launches_.back().processId = pid;
    return kLaunchSucceeded;
  }
  return kSeErrFileNotFound;
}

std::uint32_t SimMachine::StartLaunched(const ParsedPath& parsed, const WalkResult& walk, const Text& given) {
  Text real = Text(1, parsed.drive) + u":";
  for (const Text& part : walk.longNames) real += u'\\' + part;
  std::uint64_t runs = defaultRunTime_;
  for (const Text& key : {Upcase(given), Upcase(real)}) {
    auto time = launchRunTimes_.find(key);
    if (time != launchRunTimes_.end()) runs = time->second;
  }
  return Start(real, runs, ownPid_);
}

bool SimMachine::FileNameOfHasNoExtension(const Text& path) {
  std::size_t slash = path.find_last_of(u"\\/");
  Text name = slash == Text::npos ? path : path.substr(slash + 1);
  return name.find(u'.') == Text::npos;
}

std::uint32_t SimMachine::WinExec(const std::string& ansiCommandLine) {
  std::lock_guard<std::mutex> lock(mutex_);
  winExecs_.push_back(ansiCommandLine);
  // The program is the first token: a quoted path, or up to the first blank.
  std::string program;
  if (!ansiCommandLine.empty() && ansiCommandLine[0] == '"') {
    const std::size_t close = ansiCommandLine.find('"', 1);
    program = ansiCommandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    program = ansiCommandLine.substr(0, ansiCommandLine.find(' '));
  }
  Text path(program.begin(), program.end());
  WalkResult walk = files_.Walk(Effective(path));
  if (!walk.node || walk.node->IsDirectory()) return 2;  // ERROR_FILE_NOT_FOUND
  std::uint64_t runs = defaultRunTime_;
  auto time = launchRunTimes_.find(Upcase(path));
  if (time != launchRunTimes_.end()) runs = time->second;
  Start(path, runs, ownPid_);
  return 33;  // above 31: started
}

std::string SimMachine::ToAnsiCodePage(const Text& text) {
  // Windows-1252 as far as it matches Latin-1; anything else becomes "?",
  // as WideCharToMultiByte's default character.
  std::string out;
  for (char16_t c : text) out += (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) ? char(c) : '?';
  return out;
}

Text SimMachine::FromAnsiCodePage(const std::string& bytes) {
  Text out;
  for (char c : bytes) out += char16_t(static_cast<unsigned char>(c));
  return out;
}

Text SimMachine::UpperCaseOrdinal(const Text& text) { return sim::Upcase(text); }

int SimMachine::MessageBox(const Text& caption, const Text& text, std::uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back(ShownMessage{caption, text, flags, std::this_thread::get_id()});
  if (!messageAnswers_.empty()) {
    const int answer = messageAnswers_.front();
    messageAnswers_.pop_front();
    return answer;
  }
  return (flags & 0xF) == 4 ? win::kIdYes : win::kIdOk;  // MB_YESNO
}

std::vector<SimMachine::ShownMessage> SimMachine::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

void SimMachine::QueueMessageAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  messageAnswers_.push_back(answer);
}

std::vector<std::string> SimMachine::WinExecs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return winExecs_;
}

std::vector<Launch> SimMachine::Launches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return launches_;
}

void SimMachine::SetLaunchFailure(const Text& file, std::intptr_t result) {
  std::lock_guard<std::mutex> lock(mutex_);
  launchFailures_[Upcase(Unquoted(file))] = result;
}

void SimMachine::SetLaunchRunTime(const Text& file, std::uint64_t runsForMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  launchRunTimes_[Upcase(Unquoted(file))] = runsForMs;
}

void SimMachine::SetDefaultLaunchRunTime(std::uint64_t runsForMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  defaultRunTime_ = runsForMs;
}

std::uint32_t SimMachine::GetModuleFileName(char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!buffer || chars == 0) return Fail(kErrorInsufficientBuffer), 0;
  if (programPath_.size() >= chars) {
    // Truncated to the buffer, NUL included, and the buffer size returned.
    std::copy(programPath_.begin(), programPath_.begin() + (chars - 1), buffer);
    buffer[chars - 1] = 0;
    Fail(kErrorInsufficientBuffer);
    return chars;
  }
  std::copy(programPath_.begin(), programPath_.end(), buffer);
  buffer[programPath_.size()] = 0;
  return static_cast<std::uint32_t>(programPath_.size());
}

bool SimMachine::GetFileVersion(const Text& path, FileVersion* version) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  if (!walk.node->hasVersion || !version) return Fail(kErrorResourceTypeNotFound);
  *version = walk.node->version;
  return true;
}

Text SimMachine::ProgramPath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return programPath_;
}

void SimMachine::SetProgramPath(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  programPath_ = path;
  if (Process* own = Live(ownPid_)) {
    own->path = path;
    own->image = LiteralEntry(path);
  }
}

void SimMachine::SetSpecialFolder(int csidl, const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  specialFolders_[csidl] = path;
}

void SimMachine::SetSpecialFolderUnresolvable(int csidl) {
  std::lock_guard<std::mutex> lock(mutex_);
  specialFolders_[csidl] = std::nullopt;
}

}  // namespace tw::sim
