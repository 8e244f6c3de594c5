#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "app/threat_profile.h"

namespace kolvane::fake {

class FakeRegistry::FakeKey : public RegistryKey {
 public:
  FakeKey(FakeRegistry& registry, std::wstring path) : registry_(registry), path_(std::move(path)) {
    ++registry_.openKeys;
  }
  ~FakeKey() override { --registry_.openKeys; }

  RegStatus SetString(const std::wstring& valueName, const std::wstring& data) override {
    registry_.keys[path_].values[valueName] = data;
    return RegStatus::Ok;
  }

  RegStatus DeleteValue(const std::wstring& valueName) override {
    auto& values = registry_.keys[path_].values;
    if (values.count(valueName) == 0) return RegStatus::NotFound;
    if (registry_.undeletable.count(path_ + L"\\" + valueName) != 0) return RegStatus::AccessDenied;
    values.erase(valueName);
    return RegStatus::Ok;
  }

 private:
  FakeRegistry& registry_;
  std::wstring path_;
};

OpenedKey FakeRegistry::Opened(const std::wstring& subKey) {
  if (denied.count(subKey) != 0) return {RegStatus::AccessDenied, nullptr};
  return {RegStatus::Ok, std::make_unique<FakeKey>(*this, subKey)};
}

OpenedKey FakeRegistry::Open(RegRoot root, const std::wstring& subKey) {
  const std::wstring path = root == RegRoot::LocalMachine64 ? Key64(subKey) : subKey;
  if (keys.count(path) == 0) return {RegStatus::NotFound, nullptr};
  return Opened(path);
}

OpenedKey FakeRegistry::Create(RegRoot root, const std::wstring& subKey) {
  const std::wstring path = root == RegRoot::LocalMachine64 ? Key64(subKey) : subKey;
  if (denied.count(path) != 0) return {RegStatus::AccessDenied, nullptr};
  // Create the key and every missing parent.
  for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1)) {
    keys[path.substr(0, pos)];
  }
  keys[path];
  return Opened(path);
}

RegStatus FakeRegistry::QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) {
  const std::wstring path = root == RegRoot::LocalMachine64 ? Key64(subKey) : subKey;
  if (unreadable && denied.count(path) != 0) return RegStatus::AccessDenied;
  return HasValue(path, valueName) ? RegStatus::Ok : RegStatus::NotFound;
}

RegStatus FakeRegistry::ReadString(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                   std::wstring& data) {
  const RegStatus status = QueryValue(root, subKey, valueName);
  if (status == RegStatus::Ok) data = Value(root == RegRoot::LocalMachine64 ? Key64(subKey) : subKey, valueName);
  return status;
}

RegStatus FakeRegistry::LoadHive(const std::wstring& name, const std::wstring& file) {
  hiveCalls.push_back(L"load " + name + L" " + file);
  const auto fails = loadFails.find(file);
  if (fails != loadFails.end()) return fails->second;
  const auto hive = hives.find(file);
  if (hive == hives.end() || keys.count(name) != 0) return RegStatus::Failed;
  for (const auto& [path, key] : hive->second) keys[path.empty() ? name : name + L"\\" + path] = key;
  keys[name];
  loaded[name] = file;
  return RegStatus::Ok;
}

RegStatus FakeRegistry::UnloadHive(const std::wstring& name) {
  hiveCalls.push_back(L"unload " + name);
  const auto hive = loaded.find(name);
  // Windows refuses while a key of the hive is open.
  if (hive == loaded.end() || unloadFails || openKeys != 0) return RegStatus::Failed;
  auto& stored = hives[hive->second];
  stored.clear();
  for (auto key = keys.begin(); key != keys.end();) {
    if (key->first == name) {
      stored[L""] = key->second;
    } else if (key->first.starts_with(name + L"\\")) {
      stored[key->first.substr(name.size() + 1)] = key->second;
    } else {
      ++key;
      continue;
    }
    key = keys.erase(key);
  }
  loaded.erase(hive);
  return RegStatus::Ok;
}

bool FakeFiles::SameFolder(const std::wstring& a, const std::wstring& b) {
  const auto real = [&](const std::wstring& path) {
    const auto other = folderNames.find(path);
    return other == folderNames.end() ? path : other->second;
  };
  return folders.count(real(a)) != 0 && EqualsIgnoringAsciiCase(real(a), real(b));
}

bool FakeProcess::EndProcessesRunning(const std::wstring& image) {
  endRequests.push_back(image);
  if (running.count(image) == 0) return true;
  if (unkillable.count(image) != 0) return false;
  running.erase(image);
  if (onEnded) onEnded(image);
  return true;
}

bool FakeRegistry::HasValue(const std::wstring& subKey, const std::wstring& name) const {
  const auto key = keys.find(subKey);
  return key != keys.end() && key->second.values.count(name) != 0;
}

std::wstring FakeRegistry::Value(const std::wstring& subKey, const std::wstring& name) const {
  return keys.at(subKey).values.at(name);
}

void FakeRegistry::SetValue(const std::wstring& subKey, const std::wstring& name, const std::wstring& data) {
  keys[subKey].values[name] = data;
}

FileStatus FakeFiles::SizeOf(const std::wstring& path, std::uint64_t& size) {
  const auto file = files.find(path);
  if (file == files.end() || links.count(path) != 0) return FileStatus::NotFound;
  if (unexaminable.count(path) != 0) return FileStatus::Refused;
  size = file->second;
  return FileStatus::Ok;
}

FileStatus FakeFiles::DeleteOfSize(const std::wstring& path, std::uint64_t size) {
  const auto file = files.find(path);
  if (file == files.end() || file->second != size || links.count(path) != 0) return FileStatus::NotFound;
  if (denied.count(path) != 0) return FileStatus::Refused;
  if (failing.count(path) != 0) return FileStatus::Failed;
  deleteCalls.push_back(path);
  readOnly.erase(path);
  if (locked.count(path) != 0) return FileStatus::InUse;
  files.erase(file);
  return FileStatus::Ok;
}

bool FakeFiles::Delete(const std::wstring& path) {
  deleteCalls.push_back(path);
  if (locked.count(path) != 0 || readOnly.count(path) != 0 || files.count(path) == 0) return false;
  files.erase(path);
  return true;
}

bool FakeFiles::DeleteAtRestart(const std::wstring& path, bool nativeView) {
  if (!canScheduleDeletes) return false;
  deleteAtRestart.push_back((nativeView ? L"64:" : L"") + path);
  return true;
}

bool FakeFiles::Move(const std::wstring& from, const std::wstring& to) {
  if (files.count(from) == 0 || refuseWrites.count(to) != 0) return false;
  files[to] = files[from];
  files.erase(from);
  if (locked.erase(from) != 0) locked.insert(to);
  return true;
}

void FakeFiles::HoldProgramFile(const std::wstring& path) {
  heldProgram = path;
  std::uint64_t size = 0;
  heldBytes.reset();
  if (!programReplaced && SizeOf(path, size) == FileStatus::Ok) heldBytes = size;
}

FileStatus FakeFiles::CopyHeldProgram(const std::wstring& to) {
  if (!heldBytes) return FileStatus::Failed;
  if (denied.count(to) != 0) return FileStatus::Refused;
  if (refuseWrites.count(to) != 0) return FileStatus::Failed;
  if (locked.count(to) != 0) return FileStatus::InUse;
  files[to] = *heldBytes;
  readOnly.erase(to);
  return FileStatus::Ok;
}

bool FakeFiles::AppendLine(const std::wstring& path, const std::wstring& line) {
  if (refuseWrites.count(path) != 0) return false;
  lines[path].push_back(line);
  return true;
}

bool FakeFiles::OnlyAdministratorsMayChange(const std::wstring& path) {
  trustAsked.push_back(path);
  return files.count(path) != 0 && adminOnly.count(path) != 0;
}

void FakeClock::WaitForEvents(double maxSeconds) {
  ++waits;
  waitRequests.push_back(maxSeconds);
  now += (eventEvery > 0.0) ? std::min(eventEvery, maxSeconds) : maxSeconds;
}

void FakeClock::ProcessPendingEvents() {
  ++pumps;
  if (onEvent) onEvent();
}

}  // namespace kolvane::fake
