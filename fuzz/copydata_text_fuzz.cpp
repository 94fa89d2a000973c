// The notification text of a WM_COPYDATA on any bytes and size: taken only at its one size, never longer than
// its field, and stored into the settings file as one line that reads back as the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/private_profile.h"
#include "monitor/sound_cues.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text = "untouched";
  const bool taken = sarn::NotificationTextFromCopyData(data, size, text);
  if (taken != (size == sarn::kCopyDataTextSize)) std::abort();
  if (!taken) {
    if (text != "untouched") std::abort();
    return 0;
  }
  if (text.size() > sarn::kCopyDataTextSize - 1 || text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    std::abort();
  }
  sarn::IniDocument ini = sarn::IniDocument::Parse("[OSDData]\r\nMessage=old\r\n[Other]\r\nKey=1\r\n");
  ini.SetString("OSDData", "Message", text);
  const sarn::IniDocument back = sarn::IniDocument::Parse(ini.Serialize());
  if (back.GetInt("Other", "Key", 0) != 1 || back.KeyNames("OSDData").size() != 1) std::abort();
  // Blanks and quotes at the ends are the file's business (as with Windows); what comes back is a piece of
  // the text, never anything from another line.
  const std::string got = back.GetString("OSDData", "Message", "");
  if (text.find(got) == std::string::npos) std::abort();
  return 0;
}
