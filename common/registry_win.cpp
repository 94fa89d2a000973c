#include <windows.h>

#include <memory>
#include <string>

#include "common/registry.h"

namespace sarn {

namespace {

class WindowsRegistryKey final : public RegistryKey {
 public:
  explicit WindowsRegistryKey(HKEY key) : key_(key) {}
  ~WindowsRegistryKey() override { RegCloseKey(key_); }
  WindowsRegistryKey(const WindowsRegistryKey&) = delete;
  WindowsRegistryKey& operator=(const WindowsRegistryKey&) = delete;

  bool ReadText(std::string_view name, std::string& text) override {
    const std::string valueName(name);
    char buffer[80];
    DWORD type = 0;
    DWORD size = sizeof buffer;
    LONG rc = RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc == ERROR_MORE_DATA && (type == REG_SZ || type == REG_EXPAND_SZ)) {
      // Longer than any decimal text; keep what fits, as a fixed buffer would.
      std::string big(size, '\0');
      DWORD bigSize = size;
      rc = RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(big.data()), &bigSize);
      if (rc != ERROR_SUCCESS) return false;
      big.resize(bigSize);
      text = big.substr(0, big.find('\0'));
      return true;
    }
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    text.assign(buffer, size);
    text = text.substr(0, text.find('\0'));
    return true;
  }

  bool WriteText(std::string_view name, std::string_view text) override {
    const std::string valueName(name);
    const std::string value(text);
    // The stored length leaves out the terminating NUL, as the settings have always been written.
    return RegSetValueExA(key_, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

class WindowsRegistry final : public RegistryPort {
 public:
  std::unique_ptr<RegistryKey> OpenOrCreate(std::string_view path) override {
    const std::string keyPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
      key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
      }
    }
    return std::make_unique<WindowsRegistryKey>(key);
  }
};

}  // namespace

std::unique_ptr<RegistryPort> MakeWindowsRegistry() { return std::make_unique<WindowsRegistry>(); }

}  // namespace sarn
