#include "common/language_texts.h"

#include <string>

#include "common/settings_file.h"

namespace sarn {

std::filesystem::path LanguageLibraryPath(const std::filesystem::path& programFolder, int quickHelpLan) {
  return programFolder / "help" / (std::string(LanguageName(quickHelpLan)) + "_help.dll");
}

const char* LanguageFace(int language) {
  switch (language) {
    case 6: return "Meiryo";               // Japanese
    case 7: return "Malgun Gothic";        // Korean
    case 10: return "Microsoft YaHei";     // Simplified Chinese
    case 13: return "Leelawadee";          // Thai
    case 14: return "Microsoft JhengHei";  // Traditional Chinese
    default: return "Tahoma";
  }
}

}  // namespace sarn
