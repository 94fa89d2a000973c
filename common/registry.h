// The active profile's Windows mouse settings, exchanged with the user's registry (HKEY_CURRENT_USER) as
// REG_SZ decimal text. The registry sits behind a small port so the exchange rules are tested natively
// against an in-memory registry; builds without a registry simply have no port and skip the exchange.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "common/profile_record.h"

namespace sarn {

// One open key; closed when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The value's text when it exists and holds text (REG_SZ); false otherwise (missing, wrong type).
  [[nodiscard]] virtual bool ReadText(std::string_view name, std::string& text) = 0;
  // Stores text as REG_SZ; false when the write was refused.
  [[nodiscard]] virtual bool WriteText(std::string_view name, std::string_view text) = 0;
};

class RegistryPort {
 public:
  virtual ~RegistryPort() = default;
  // Opens a key under HKEY_CURRENT_USER, creating it when opening fails; nullptr when neither works.
  [[nodiscard]] virtual std::unique_ptr<RegistryKey> OpenOrCreate(std::string_view path) = 0;
};

inline constexpr const char* kMouseKeyPath = "Control Panel\\Mouse";
inline constexpr const char* kDesktopKeyPath = "Control Panel\\Desktop";

// Windows "MouseSpeed", "MouseThreshold1", "MouseThreshold2" for each acceleration level 0..19.
struct AccelerationRow {
  int mouseSpeed;
  int threshold1;
  int threshold2;
};
inline constexpr int kAccelerationRows = 20;
[[nodiscard]] const std::array<AccelerationRow, kAccelerationRows>& AccelerationTable();

// Registry to record: 1 on success, 0 when the mouse key cannot be opened or created, -1 when the desktop
// key cannot. A value that is missing or does not hold decimal text leaves its field as it was.
[[nodiscard]] int ReadMouseRegistry(ProfileRecord& record, RegistryPort& registry);
// Record to registry: 1 on success, -1 when either key cannot be opened or created.
[[nodiscard]] int WriteMouseRegistry(const ProfileRecord& record, RegistryPort& registry);

// Decimal text as the registry holds it: optional blanks and sign, then digits; false when there are none.
[[nodiscard]] bool ParseRegistryInt(std::string_view text, int& value);

#if defined(_WIN32)
// The real registry of the current user.
[[nodiscard]] std::unique_ptr<RegistryPort> MakeWindowsRegistry();
#endif

}  // namespace sarn
