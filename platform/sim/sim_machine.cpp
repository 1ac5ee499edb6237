// Construction of the simulated machine: the preset's facts and the default
// registry and disk layout of a freshly installed Windows with one user.
#include "platform/sim/sim_machine.h"

namespace tw::sim {

namespace {
OsVersionInfo Version(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint16_t servicePack,
                      std::uint8_t productType) {
  OsVersionInfo info;
  info.majorVersion = major;
  info.minorVersion = minor;
  info.buildNumber = build;
  info.platformId = win::kVerPlatformWin32Nt;
  info.servicePackMajor = servicePack;
  if (servicePack) info.csdVersion = "Service Pack " + std::to_string(servicePack);
  info.suiteMask = 0x100;  // VER_SUITE_SINGLEUSERTS
  info.productType = productType;
  return info;
}

constexpr std::uint8_t kVerNtServer = 3;
}  // namespace

SimMachine::SimMachine(Preset preset) {
  ApplyPreset(preset);
  BuildDefaultRegistry();
  BuildDefaultFiles(preset == Preset::WindowsXPx86);

  processes_.emplace(0, Process{0, 0, u"[System Process]", nullptr, true, kForever, true});
  processes_.emplace(4, Process{4, 0, u"System", nullptr, true, kForever, true});
  std::uint32_t explorer = Start(windowsDir_ + u"\\explorer.exe", kForever, 0);
  ownPid_ = Start(programPath_, kForever, explorer);

  // The profile list names every user's profile folder, as Windows keeps it.
  const Text profileList = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
  SetExpandString(win::kHKeyLocalMachine, profileList + userSid_, u"ProfileImagePath",
                  *specialFolders_[win::kCsidlProfile]);
  SetExpandString(win::kHKeyLocalMachine, profileList + u"S-1-5-18", u"ProfileImagePath",
                  u"%systemroot%\\system32\\config\\systemprofile");
}

void SimMachine::ApplyPreset(Preset preset) {
  exports_ = {Export::IsWow64Process, Export::GetSystemWow64DirectoryW, Export::Wow64DisableWow64FsRedirection,
              Export::Wow64RevertWow64FsRedirection, Export::RegDeleteKeyExW, Export::GetFinalPathNameByHandleW,
              Export::QueryFullProcessImageNameW};
  switch (preset) {
    case Preset::Windows10x64:
      bitness_ = Bitness::Wow64;
      version_ = Version(10, 0, 19045, 0, win::kVerNtWorkstation);
      break;
    case Preset::Windows10x64Native:
      bitness_ = Bitness::Native64;
      version_ = Version(10, 0, 19045, 0, win::kVerNtWorkstation);
      break;
    case Preset::Windows81x64:
      bitness_ = Bitness::Wow64;
      version_ = Version(6, 3, 9600, 0, win::kVerNtWorkstation);
      break;
    case Preset::Windows7x64:
      bitness_ = Bitness::Wow64;
      version_ = Version(6, 1, 7601, 1, win::kVerNtWorkstation);
      break;
    case Preset::Windows7x86:
      bitness_ = Bitness::Windows32;
      version_ = Version(6, 1, 7601, 1, win::kVerNtWorkstation);
      break;
    case Preset::Server2008R2x64:
      bitness_ = Bitness::Wow64;
      version_ = Version(6, 1, 7601, 1, kVerNtServer);
      break;
    case Preset::WindowsXPx86:
      bitness_ = Bitness::Windows32;
      version_ = Version(5, 1, 2600, 3, win::kVerNtWorkstation);
      exports_ = {Export::IsWow64Process, Export::GetSystemWow64DirectoryW};
      windowsDir_ = u"C:\\WINDOWS";
      break;
  }
  systemDirText_ = windowsDir_ + u"\\system32";
}

void SimMachine::BuildDefaultRegistry() {
  RegNode* machine = registry_.Machine();
  RegNode* users = registry_.Users();
  const std::vector<Text> currentVersion = {u"Microsoft", u"Windows", u"CurrentVersion"};
  auto under = [](std::vector<Text> head, const std::vector<Text>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  for (const char16_t* leaf : {u"Uninstall", u"Run", u"App Paths", u"SharedDLLs"})
    registry_.Create(machine, under(under({u"SOFTWARE"}, currentVersion), {leaf}));
  registry_.Create(machine, under(under({u"SOFTWARE"}, currentVersion),
                                  {u"Installer", u"UserData", u"S-1-5-18", u"Products"}));
  registry_.Create(machine, {u"SOFTWARE", u"Classes", u"CLSID"});
  registry_.Create(machine, {u"SOFTWARE", u"Classes", u"Installer", u"Products"});
  registry_.Create(machine, {u"SYSTEM", u"CurrentControlSet", u"Control"});
  if (bitness_ != Bitness::Windows32) {
    for (const char16_t* leaf : {u"Uninstall", u"Run"})
      registry_.Create(machine, under(under({u"SOFTWARE", u"Wow6432Node"}, currentVersion), {leaf}));
    registry_.Create(machine, {u"SOFTWARE", u"Classes", u"Wow6432Node", u"CLSID"});
    // As on Wine and Windows, the 32-bit view's Classes is the shared Classes\Wow6432Node.
    registry_.Create(machine, {u"SOFTWARE", u"Wow6432Node", u"Classes"})->linkTarget = {
        u"SOFTWARE", u"Classes", u"Wow6432Node"};
  }
  registry_.Create(users, {u".Default", u"Software", u"Microsoft"});
  registry_.Create(users, {userSid_, u"Software", u"Classes"});
  for (const char16_t* leaf : {u"Uninstall", u"Run"})
    registry_.Create(users, under(under({userSid_, u"Software"}, currentVersion), {leaf}));
}

void SimMachine::BuildDefaultFiles(bool xpProfiles) {
  const Text windows = windowsDir_;
  bool wow = bitness_ != Bitness::Windows32;
  files_.AddDrive(u'C');
  auto dir = [this](const Text& path, const Text& shortName = u"", std::uint32_t attributes = 0) {
    std::shared_ptr<FsNode> node = files_.Ensure(ParsePath(path), true);
    node->attributes |= attributes;
    if (!shortName.empty()) node->shortName = shortName;
  };
  auto file = [this](const Text& path) {
    files_.Ensure(ParsePath(path), false)->data = "MZ";
  };

  dir(windows);
  dir(windows + u"\\System32");
  dir(windows + u"\\Installer", u"", win::kFileAttributeHidden);
  file(windows + u"\\System32\\msiexec.exe");
  file(windows + u"\\explorer.exe");
  file(windows + u"\\regedit.exe");
  dir(u"C:\\Program Files", u"PROGRA~1", win::kFileAttributeReadOnly);
  dir(u"C:\\Program Files\\Common Files", u"COMMON~1");
  if (wow) {
    dir(windows + u"\\SysWOW64");
    file(windows + u"\\SysWOW64\\msiexec.exe");
    file(windows + u"\\SysWOW64\\regedit.exe");  // the 32-bit regedit (see Effective)
    dir(u"C:\\Program Files (x86)", u"PROGRA~2", win::kFileAttributeReadOnly);
    dir(u"C:\\Program Files (x86)\\Common Files", u"COMMON~1");
  }

  Text profile, roaming, local, desktop, startup;
  if (xpProfiles) {
    profile = u"C:\\Documents and Settings\\user";
    dir(u"C:\\Documents and Settings", u"DOCUME~1");
    roaming = profile + u"\\Application Data";
    local = profile + u"\\Local Settings\\Application Data";
    desktop = profile + u"\\Desktop";
    startup = profile + u"\\Start Menu\\Programs\\Startup";
    dir(profile + u"\\My Documents", u"MYDOCU~1");
    dir(roaming, u"APPLIC~1", win::kFileAttributeHidden);
  } else {
    dir(u"C:\\ProgramData", u"PROGRA~3", win::kFileAttributeHidden);
    profile = u"C:\\Users\\user";
    roaming = profile + u"\\AppData\\Roaming";
    local = profile + u"\\AppData\\Local";
    desktop = profile + u"\\Desktop";
    startup = roaming + u"\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    dir(profile + u"\\AppData", u"", win::kFileAttributeHidden);
    for (const char16_t* name : {u"Documents", u"Downloads", u"Pictures", u"Music", u"Videos"})
      dir(profile + u"\\" + name);
  }
  for (const Text& each : {roaming, local, desktop, startup}) dir(each);

  programPath_ = u"C:\\Tools\\Tidewell\\tidewell.exe";
  file(programPath_);
  std::shared_ptr<FsNode> program = files_.Walk(ParsePath(programPath_)).node;
  program->hasVersion = true;
  program->version.fileVersionMS = (1u << 16) | 2u;
  program->version.fileVersionLS = (3u << 16) | 4u;

  specialFolders_[win::kCsidlStartup] = startup;
  specialFolders_[win::kCsidlDesktopDirectory] = desktop;
  specialFolders_[win::kCsidlAppData] = roaming;
  specialFolders_[win::kCsidlLocalAppData] = local;
  specialFolders_[win::kCsidlWindows] = windows;
  specialFolders_[win::kCsidlProgramFiles] =
      bitness_ == Bitness::Wow64 ? Text(u"C:\\Program Files (x86)") : Text(u"C:\\Program Files");
  // As a 32-bit process sees them: under WOW64 the "common" Program Files
  // folder is the (x86) one too.
  specialFolders_[win::kCsidlProgramFilesCommon] = bitness_ == Bitness::Wow64
                                                       ? Text(u"C:\\Program Files (x86)\\Common Files")
                                                       : Text(u"C:\\Program Files\\Common Files");
  if (wow) {
    specialFolders_[win::kCsidlProgramFilesX86] = Text(u"C:\\Program Files (x86)");
    specialFolders_[win::kCsidlProgramFilesCommonX86] = Text(u"C:\\Program Files (x86)\\Common Files");
  }
  specialFolders_[win::kCsidlProfile] = profile;
  const Text startMenu = xpProfiles ? profile + u"\\Start Menu" : roaming + u"\\Microsoft\\Windows\\Start Menu";
  specialFolders_[win::kCsidlStartMenu] = startMenu;
  specialFolders_[win::kCsidlPrograms] = startMenu + u"\\Programs";
  dir(startMenu);
  if (xpProfiles) {
    specialFolders_[win::kCsidlPersonal] = profile + u"\\My Documents";
    const Text allUsers = u"C:\\Documents and Settings\\All Users";
    specialFolders_[win::kCsidlCommonAppData] = allUsers + u"\\Application Data";
    specialFolders_[win::kCsidlCommonStartMenu] = allUsers + u"\\Start Menu";
    specialFolders_[win::kCsidlCommonDesktopDirectory] = allUsers + u"\\Desktop";
    dir(allUsers + u"\\Application Data");
    dir(allUsers + u"\\Start Menu");
    dir(allUsers + u"\\Desktop");
    specialFolders_[win::kCsidlCommonPrograms] = allUsers + u"\\Start Menu\\Programs";
    specialFolders_[win::kCsidlCommonStartup] = allUsers + u"\\Start Menu\\Programs\\Startup";
  } else {
    specialFolders_[win::kCsidlPersonal] = profile + u"\\Documents";
    specialFolders_[win::kCsidlMyPictures] = profile + u"\\Pictures";
    specialFolders_[win::kCsidlMyMusic] = profile + u"\\Music";
    specialFolders_[win::kCsidlMyVideo] = profile + u"\\Videos";
    specialFolders_[win::kCsidlCommonAppData] = Text(u"C:\\ProgramData");
    specialFolders_[win::kCsidlCommonStartMenu] = Text(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
    dir(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
    specialFolders_[win::kCsidlCommonDesktopDirectory] = Text(u"C:\\Users\\Public\\Desktop");
    dir(u"C:\\Users\\Public\\Desktop");
    const Text commonPrograms = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    specialFolders_[win::kCsidlCommonPrograms] = commonPrograms;
    specialFolders_[win::kCsidlCommonStartup] = commonPrograms + u"\\Startup";
  }
}

}  // namespace tw::sim
