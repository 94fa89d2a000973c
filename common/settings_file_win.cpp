#include <windows.h>

#include "common/module_path_win.h"
#include "common/settings_file.h"

namespace sarn {

std::filesystem::path ProgramFolder() { return ModuleFolder(nullptr); }

std::uint16_t SystemDefaultLanguageId() { return GetSystemDefaultLangID(); }

}  // namespace sarn
