// The registry calls of the simulated machine: handles, views and the merged
// HKEY_CLASSES_ROOT over the trees of registry_tree.h.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
// KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER.
constexpr std::uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kViewBits = win::kKeyWow64_32Key | win::kKeyWow64_64Key;

bool Alive(const std::shared_ptr<RegNode>& node) { return node && !node->deleted; }

std::vector<Text> Concat(std::vector<Text> head, const std::vector<Text>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// RegOpenKeyExW's sub key: one leading and one trailing "\" are accepted,
// an empty text names the key itself. False for "a\\b".
bool ParseSubKey(const Text& subKey, std::vector<Text>* parts) {
  // The API receives a zero-terminated text: it ends at the first NUL.
  Text rest = subKey.substr(0, subKey.find(u'\0'));
  if (!rest.empty() && rest.front() == u'\\') rest.erase(0, 1);
  if (!rest.empty() && rest.back() == u'\\') rest.pop_back();
  parts->clear();
  if (rest.empty()) return true;
  *parts = SplitComponents(rest, false);
  for (const Text& part : *parts)
    if (part.empty()) return false;
  return true;
}

std::vector<Text> LiteralParts(const Text& path) {
  std::vector<Text> parts;
  for (Text& part : SplitComponents(path, false))
    if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

void CopyName(const Text& name, char16_t* buffer) {
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
}
}  // namespace

SimMachine::KeyRef* SimMachine::LookUpKey(HKey key, KeyRef* scratch) {
  *scratch = KeyRef{};
  switch (key) {
    case win::kHKeyLocalMachine:
      scratch->node = registry_.Shared(registry_.Machine());
      return scratch;
    case win::kHKeyUsers:
      scratch->node = registry_.Shared(registry_.Users());
      return scratch;
    case win::kHKeyCurrentUser:
      scratch->node = registry_.Find(registry_.Users(), {userSid_});
      return scratch->node ? scratch : nullptr;
    case win::kHKeyClassesRoot: {
      // Kept across calls so that its merged subkey list survives an enumeration.
      static const std::vector<Text> kMachineClasses = {u"SOFTWARE", u"Classes"};
      auto it = keys_.find(win::kHKeyClassesRoot);
      if (it == keys_.end()) {
        KeyRef root;
        root.classes = true;
        it = keys_.emplace(win::kHKeyClassesRoot, root).first;
      }
      it->second.node = registry_.Find(registry_.Users(), {userSid_, u"Software", u"Classes"});
      it->second.machine = registry_.Find(registry_.Machine(), kMachineClasses);
      return &it->second;
    }
    default: {
      auto it = keys_.find(key);
      return it == keys_.end() ? nullptr : &it->second;
    }
  }
}

bool SimMachine::IsDeleted(const KeyRef& ref) const {
  if (ref.classes) return !Alive(ref.node) && !Alive(ref.machine);
  return !Alive(ref.node);
}

RegNode* SimMachine::ValueHolder(const KeyRef& ref) const {
  if (Alive(ref.node)) return ref.node.get();
  if (ref.classes && Alive(ref.machine)) return ref.machine.get();
  return nullptr;
}

long SimMachine::OpenBelow(const KeyRef& base, const std::vector<Text>& path, std::uint32_t access, bool create,
                           KeyRef* out) {
  if (IsDeleted(base)) return win::kErrorKeyDeleted;
  bool view32 = UsesView32(bitness_, access);
  *out = KeyRef{};
  out->access = access;
  if (!base.classes) {
    RegNode* top = RegistryTree::TopOf(base.node.get());
    bool machine = top == registry_.Machine();
    std::vector<Text> full = Concat(RegistryTree::PathOf(base.node.get()), path);
    if (view32) full = machine ? MachinePathInView32(full) : UserPathInView32(full);
    std::shared_ptr<RegNode> found = registry_.Find(top, full);
    if (!found) {
      if (!create) return win::kErrorFileNotFound;
      if (registry_.DeepestExisting(top, full)->RefusesWrite() || !(base.access & kKeyCreateSubKey))
        return win::kErrorAccessDenied;
      found = registry_.Create(top, full);
    } else if ((access & kWriteRights) && found->RefusesWrite()) {
      return win::kErrorAccessDenied;
    }
    out->node = found;
    return win::kErrorSuccess;
  }
  std::vector<Text> below = Concat(base.classesPath, path);
  std::vector<Text> userPath = Concat({userSid_, u"Software", u"Classes"}, below);
  std::vector<Text> machinePath = Concat({u"SOFTWARE", u"Classes"}, below);
  if (view32) {
    userPath = UserPathInView32(userPath);
    machinePath = MachinePathInView32(machinePath);
  }
  std::shared_ptr<RegNode> user = registry_.Find(registry_.Users(), userPath);
  std::shared_ptr<RegNode> machine = registry_.Find(registry_.Machine(), machinePath);
  if (!user && !machine) {
    if (!create) return win::kErrorFileNotFound;
    // New classes keys go to the machine part, as HKCR does for an elevated process.
    if (registry_.DeepestExisting(registry_.Machine(), machinePath)->RefusesWrite() ||
        !(base.access & kKeyCreateSubKey))
      return win::kErrorAccessDenied;
    machine = registry_.Create(registry_.Machine(), machinePath);
  } else if ((access & kWriteRights) && (user ? user : machine)->RefusesWrite()) {
    return win::kErrorAccessDenied;
  }
  out->classes = true;
  out->node = user;
  out->machine = machine;
  out->classesPath = below;
  return win::kErrorSuccess;
}

long SimMachine::OpenPath(HKey root, const Text& subKey, std::uint32_t access, bool create, KeyRef* out) {
  std::vector<Text> parts;
  if (!ParseSubKey(subKey, &parts)) return create ? win::kErrorInvalidParameter : win::kErrorFileNotFound;
  KeyRef scratch;
  KeyRef* base = LookUpKey(root, &scratch);
  if (!base) return win::kErrorInvalidHandle;
  return OpenBelow(*base, parts, access, create, out);
}

HKey SimMachine::NewKeyHandle(KeyRef ref) {
  HKey handle = nextKey_;
  nextKey_ += 4;
  keys_.emplace(handle, std::move(ref));
  return handle;
}

long SimMachine::RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!result) return win::kErrorInvalidParameter;
  *result = 0;
  KeyRef ref;
  long status = OpenPath(root, subKey, access, false, &ref);
  if (status == win::kErrorSuccess) *result = NewKeyHandle(std::move(ref));
  return status;
}

bool SimMachine::RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) {
  std::lock_guard<std::mutex> lock(mutex_);
  Text path = subKey;
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  const std::size_t slash = path.rfind(u'\\');
  const Text name = slash == Text::npos ? path : path.substr(slash + 1);
  if (name.empty()) return false;
  KeyRef ref;
  if (OpenPath(root, slash == Text::npos ? Text() : path.substr(0, slash), access, false, &ref) != win::kErrorSuccess)
    return false;
  for (const std::shared_ptr<RegNode>& part : {ref.node, ref.machine}) {
    if (!Alive(part)) continue;
    auto it = part->children.find(Upcase(name));
    if (it != part->children.end() && !it->second->linkTarget.empty()) return true;
  }
  return false;
}

long SimMachine::RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!result) return win::kErrorInvalidParameter;
  *result = 0;
  KeyRef ref;
  long status = OpenPath(root, subKey, access, true, &ref);
  if (status == win::kErrorSuccess) *result = NewKeyHandle(std::move(ref));
  return status;
}

const std::vector<Text>& SimMachine::MergedSubKeys(KeyRef& ref) {
  const RegNode* user = Alive(ref.node) ? ref.node.get() : nullptr;
  const RegNode* machine = Alive(ref.machine) ? ref.machine.get() : nullptr;
  std::uint64_t userGen = user ? user->generation : 0;
  std::uint64_t machineGen = machine ? machine->generation : 0;
  if (user != ref.mergedUser || machine != ref.mergedMachine || userGen != ref.mergedUserGen ||
      machineGen != ref.mergedMachineGen) {
    std::map<Text, Text> names;
    for (const RegNode* part : {user, machine})
      if (part)
        for (const auto& child : part->children) names.emplace(child.first, child.second->name);
    ref.merged.clear();
    for (auto& entry : names) ref.merged.push_back(entry.second);
    ref.mergedUser = user;
    ref.mergedMachine = machine;
    ref.mergedUserGen = userGen;
    ref.mergedMachineGen = machineGen;
  }
  return ref.merged;
}

std::vector<const RegValue*> SimMachine::VisibleValues(const KeyRef& ref) const {
  std::vector<const RegValue*> out;
  if (Alive(ref.node))
    for (const RegValue& value : ref.node->values) out.push_back(&value);
  if (ref.classes && Alive(ref.machine))
    for (const RegValue& value : ref.machine->values) {
      bool shadowed = Alive(ref.node) && ref.node->FindValue(value.name);
      if (!shadowed) out.push_back(&value);
    }
  return out;
}

long SimMachine::RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen,
                                 std::uint32_t* values, std::uint32_t* maxValueNameLen,
                                 std::uint32_t* maxValueLen) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & win::kKeyQueryValue)) return win::kErrorAccessDenied;
  std::uint32_t count = 0, longest = 0;
  if (ref->classes) {
    for (const Text& name : MergedSubKeys(*ref)) longest = std::max<std::uint32_t>(longest, name.size());
    count = static_cast<std::uint32_t>(ref->merged.size());
  } else {
    for (const auto& child : ref->node->children)
      longest = std::max<std::uint32_t>(longest, child.second->name.size());
    count = static_cast<std::uint32_t>(ref->node->children.size());
  }
  std::uint32_t valueNameLen = 0, valueLen = 0;
  std::vector<const RegValue*> visible = VisibleValues(*ref);
  for (const RegValue* value : visible) {
    valueNameLen = std::max<std::uint32_t>(valueNameLen, value->name.size());
    valueLen = std::max<std::uint32_t>(valueLen, value->data.size());
  }
  if (subKeys) *subKeys = count;
  if (maxSubKeyLen) *maxSubKeyLen = longest;
  if (values) *values = static_cast<std::uint32_t>(visible.size());
  if (maxValueNameLen) *maxValueNameLen = valueNameLen;
  if (maxValueLen) *maxValueLen = valueLen;
  return win::kErrorSuccess;
}

long SimMachine::RegEnumKeyEx(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & kKeyEnumerateSubKeys)) return win::kErrorAccessDenied;
  if (!name || !nameChars) return win::kErrorInvalidParameter;
  const Text* found = nullptr;
  if (ref->classes) {
    const std::vector<Text>& merged = MergedSubKeys(*ref);
    if (index < merged.size()) found = &merged[index];
  } else {
    const auto& sorted = ref->node->SortedChildren();
    if (index < sorted.size()) found = &sorted[index]->name;
  }
  if (!found) return win::kErrorNoMoreItems;
  // The count stays as it was when the name does not fit.
  if (found->size() >= *nameChars) return win::kErrorMoreData;
  CopyName(*found, name);
  *nameChars = static_cast<std::uint32_t>(found->size());
  return win::kErrorSuccess;
}

long SimMachine::RegEnumValue(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & win::kKeyQueryValue)) return win::kErrorAccessDenied;
  if (!name || !nameChars) return win::kErrorInvalidParameter;
  if (data && !dataBytes) return win::kErrorInvalidParameter;
  std::vector<const RegValue*> visible = VisibleValues(*ref);
  if (index >= visible.size()) return win::kErrorNoMoreItems;
  const RegValue& value = *visible[index];
  std::uint32_t size = static_cast<std::uint32_t>(value.data.size());
  if (type) *type = value.type;
  if (value.name.size() >= *nameChars) {
    if (dataBytes) *dataBytes = size;
    return win::kErrorMoreData;
  }
  CopyName(value.name, name);
  *nameChars = static_cast<std::uint32_t>(value.name.size());
  if (data && size > *dataBytes) {
    *dataBytes = size;
    return win::kErrorMoreData;
  }
  if (data) std::memcpy(data, value.data.data(), size);
  if (dataBytes) *dataBytes = size;
  return win::kErrorSuccess;
}

long SimMachine::RegQueryValueEx(HKey key, const Text& name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* dataBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & win::kKeyQueryValue)) return win::kErrorAccessDenied;
  if (data && !dataBytes) return win::kErrorInvalidParameter;
  const RegValue* value = nullptr;
  if (Alive(ref->node)) value = ref->node->FindValue(name);
  if (!value && ref->classes && Alive(ref->machine)) value = ref->machine->FindValue(name);
  if (!value) return win::kErrorFileNotFound;
  std::uint32_t size = static_cast<std::uint32_t>(value->data.size());
  if (type) *type = value->type;
  if (data && size > *dataBytes) {
    *dataBytes = size;
    return win::kErrorMoreData;
  }
  if (data) std::memcpy(data, value->data.data(), size);
  if (dataBytes) *dataBytes = size;
  return win::kErrorSuccess;
}

long SimMachine::RegSetValueEx(HKey key, const Text& name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t dataBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & kKeySetValue)) return win::kErrorAccessDenied;
  if (!data && dataBytes) return win::kErrorInvalidParameter;
  RegNode* holder = ValueHolder(*ref);
  std::string bytes(reinterpret_cast<const char*>(data), data ? dataBytes : 0);
  if (RegValue* existing = holder->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(bytes);
  } else {
    holder->values.push_back(RegValue{name, type, std::move(bytes)});
  }
  return win::kErrorSuccess;
}

long SimMachine::RegDeleteValue(HKey key, const Text& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyRef scratch;
  KeyRef* ref = LookUpKey(key, &scratch);
  if (!ref) return win::kErrorInvalidHandle;
  if (IsDeleted(*ref)) return win::kErrorKeyDeleted;
  if (!(ref->access & kKeySetValue)) return win::kErrorAccessDenied;
  for (const std::shared_ptr<RegNode>& part : {ref->node, ref->machine}) {
    if (!Alive(part)) continue;
    auto& values = part->values;
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegValue& value) { return EqualNoCase(value.name, name); });
    if (it != values.end()) {
      values.erase(it);
      return win::kErrorSuccess;
    }
  }
  return win::kErrorFileNotFound;
}

long SimMachine::DeleteKeyIn(HKey root, const Text& subKey, std::uint32_t viewAccess) {
  KeyRef target;
  long status = OpenPath(root, subKey, viewAccess & kViewBits, false, &target);
  if (status != win::kErrorSuccess) return status;
  RegNode* node = Alive(target.node) ? target.node.get() : target.machine.get();
  // Hive roots (the trees' tops and the user hives below HKEY_USERS) cannot go.
  if (!node->parent || node->parent == registry_.Users()) return win::kErrorAccessDenied;
  if (node->RefusesWrite()) return win::kErrorAccessDenied;
  // A key with subkeys cannot be deleted by RegDeleteKey(Ex)W.
  if (!node->children.empty()) return win::kErrorAccessDenied;
  registry_.Remove(node);
  return win::kErrorSuccess;
}

long SimMachine::RegDeleteKey(HKey root, const Text& subKey) {
  std::lock_guard<std::mutex> lock(mutex_);
  return DeleteKeyIn(root, subKey, 0);
}

long SimMachine::RegDeleteKeyEx(HKey root, const Text& subKey, std::uint32_t samDesired) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::RegDeleteKeyExW)) return win::kErrorProcNotFound;
  return DeleteKeyIn(root, subKey, samDesired);
}

long SimMachine::RegCloseKey(HKey key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (key >= win::kHKeyClassesRoot && key <= win::kHKeyUsers) return win::kErrorSuccess;
  return keys_.erase(key) ? win::kErrorSuccess : win::kErrorInvalidHandle;
}

std::size_t SimMachine::OpenKeyHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keys_.size() - keys_.count(win::kHKeyClassesRoot);
}

// ---- Set-up on literal paths.

RegNode* SimMachine::LiteralBase(HKey root, const Text& path, std::vector<Text>* parts) const {
  *parts = LiteralParts(path);
  switch (root) {
    case win::kHKeyLocalMachine:
      return registry_.Machine();
    case win::kHKeyUsers:
      return registry_.Users();
    case win::kHKeyCurrentUser:
      *parts = Concat({userSid_}, *parts);
      return registry_.Users();
    case win::kHKeyClassesRoot:
      *parts = Concat({u"SOFTWARE", u"Classes"}, *parts);
      return registry_.Machine();
    default:
      return nullptr;
  }
}

std::shared_ptr<RegNode> SimMachine::LiteralKey(HKey root, const Text& path) const {
  std::vector<Text> parts;
  RegNode* base = LiteralBase(root, path, &parts);
  return base ? registry_.Find(base, parts) : nullptr;
}

std::shared_ptr<RegNode> SimMachine::LiteralCreate(HKey root, const Text& path) {
  std::vector<Text> parts;
  RegNode* base = LiteralBase(root, path, &parts);
  return base ? registry_.Create(base, parts) : nullptr;
}

void SimMachine::CreateKey(HKey root, const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  LiteralCreate(root, path);
}

void SimMachine::SetValue(HKey root, const Text& path, const Text& name, std::uint32_t type,
                          const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<RegNode> node = LiteralCreate(root, path);
  if (!node) return;
  if (RegValue* existing = node->FindValue(name)) {
    existing->type = type;
    existing->data = bytes;
  } else {
    node->values.push_back(RegValue{name, type, bytes});
  }
}

namespace {
std::string Utf16Bytes(const Text& text, bool withNul) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  if (withNul) bytes.append(2, '\0');
  return bytes;
}
}  // namespace

void SimMachine::SetString(HKey root, const Text& path, const Text& name, const Text& text, bool withNul) {
  SetValue(root, path, name, win::kRegSz, Utf16Bytes(text, withNul));
}

void SimMachine::SetExpandString(HKey root, const Text& path, const Text& name, const Text& text) {
  SetValue(root, path, name, win::kRegExpandSz, Utf16Bytes(text, true));
}

void SimMachine::SetDword(HKey root, const Text& path, const Text& name, std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  SetValue(root, path, name, win::kRegDword, bytes);
}

void SimMachine::SetMultiString(HKey root, const Text& path, const Text& name, const std::vector<Text>& items) {
  std::string bytes;
  for (const Text& item : items) bytes += Utf16Bytes(item, true);
  bytes.append(2, '\0');
  SetValue(root, path, name, win::kRegMultiSz, bytes);
}

void SimMachine::DenyFullAccess(HKey root, const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<RegNode> node = LiteralCreate(root, path)) node->refusesWrite = true;
}

void SimMachine::CreateKeyLink(HKey root, const Text& path, const Text& target) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<RegNode> node = LiteralCreate(root, path);
  if (!node) return;
  std::vector<Text> prefix;
  if (root == win::kHKeyCurrentUser) prefix = {userSid_};
  if (root == win::kHKeyClassesRoot) prefix = {u"SOFTWARE", u"Classes"};
  node->linkTarget = Concat(prefix, LiteralParts(target));
}

bool SimMachine::RemoveKeyTree(HKey root, const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<RegNode> node = LiteralKey(root, path);
  if (!node || !node->parent) return false;
  registry_.Remove(node.get());
  return true;
}

bool SimMachine::KeyExists(HKey root, const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return LiteralKey(root, path) != nullptr;
}

bool SimMachine::ValueExists(HKey root, const Text& path, const Text& name) const {
  return ReadValue(root, path, name, nullptr, nullptr);
}

bool SimMachine::ReadValue(HKey root, const Text& path, const Text& name, std::uint32_t* type,
                           std::string* bytes) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<RegNode> node = LiteralKey(root, path);
  const RegValue* value = node ? node->FindValue(name) : nullptr;
  if (!value) return false;
  if (type) *type = value->type;
  if (bytes) *bytes = value->data;
  return true;
}

std::vector<Text> SimMachine::SubKeyNames(HKey root, const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Text> names;
  if (std::shared_ptr<RegNode> node = LiteralKey(root, path))
    for (const auto& child : node->SortedChildren()) names.push_back(child->name);
  return names;
}

}  // namespace tw::sim
