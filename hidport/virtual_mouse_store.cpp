// The on-board memory kept across runs in "virtual-mouse.ini", as a real mouse keeps its profiles.
#include <string>

#include "common/private_profile.h"
#include "hidport/virtual_mouse.h"

namespace sarn::vmouse {
namespace {

std::string Section(int slot) { return "Profile" + std::to_string(slot + 1); }

}  // namespace

void VirtualMouse::Save(IniDocument& document) const {
  document.SetInt("Mouse", "Active", active_);
  for (int i = 0; i < kProfiles; ++i) {
    const auto& p = profiles_[static_cast<std::size_t>(i)];
    document.SetStruct(Section(i), "Settings", p.settings.data(), p.settings.size());
    document.SetStruct(Section(i), "Buttons", p.buttons.data(), p.buttons.size());
  }
}

void VirtualMouse::Load(const IniDocument& document) {
  const int active = document.GetInt("Mouse", "Active", 0);
  active_ = active >= 0 && active < kProfiles ? active : 0;
  for (int i = 0; i < kProfiles; ++i) {
    auto& p = profiles_[static_cast<std::size_t>(i)];
    // GetStruct leaves the buffer alone when the value is missing or damaged: factory content stays.
    (void)document.GetStruct(Section(i), "Settings", p.settings.data(), p.settings.size());
    (void)document.GetStruct(Section(i), "Buttons", p.buttons.data(), p.buttons.size());
  }
}

}  // namespace sarn::vmouse
