// The virtual mouse's kept memory (virtual-mouse.ini) on any bytes: a valid active profile, and the memory it
// loaded saves and loads back to the same profiles.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/private_profile.h"
#include "hidport/virtual_mouse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  sarn::vmouse::VirtualMouse mouse;
  mouse.Load(sarn::IniDocument::Parse(bytes));
  if (mouse.Active() < 0 || mouse.Active() >= sarn::vmouse::kProfiles) std::abort();

  // Saved into the same file (foreign keys stay) and loaded by a fresh mouse: the same memory.
  sarn::IniDocument doc = sarn::IniDocument::Parse(bytes);
  mouse.Save(doc);
  sarn::vmouse::VirtualMouse again;
  again.Load(sarn::IniDocument::Parse(doc.Serialize()));
  if (again.Active() != mouse.Active()) std::abort();
  for (int i = 0; i < sarn::vmouse::kProfiles; ++i) {
    if (!(again.Profile(i) == mouse.Profile(i))) std::abort();
  }
  // Whatever it holds, the mouse can describe itself.
  if (mouse.StateJson().empty()) std::abort();
  return 0;
}
