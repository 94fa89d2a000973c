// The profile-file reader on any bytes: never reads or writes outside the record, leaves every text field
// terminated and every step count within the steps, and what it read writes back and reads again unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "common/private_profile.h"
#include "common/profile_file.h"

namespace {

void CheckSane(const sarn::ProfileRecord& r) {
  if (std::memchr(r.ProFileName, 0, sizeof r.ProFileName) == nullptr) std::abort();
  if (std::memchr(r.GameFile0, 0, sizeof r.GameFile0) == nullptr) std::abort();
  if (std::memchr(r.GameFile2, 0, sizeof r.GameFile2) == nullptr) std::abort();
  for (const sarn::ButtonSlot& s : r.MacroKeyInfo) {
    if (s.count > sarn::kMacroEventCapacity) std::abort();
    if (s.setName[sizeof s.setName - 1] != 0 || s.macroName[sizeof s.macroName - 1] != 0) std::abort();
    if (s.timerName[sizeof s.timerName - 1] != 0 || s.programPath[sizeof s.programPath - 1] != 0) std::abort();
  }
}

// Texts come back exactly, even one cut at a NUL or at its field's end right after a blank, or one that is
// itself in quotes.
bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool SameContent(const sarn::ProfileRecord& a, const sarn::ProfileRecord& b) {
  return SameText(a.ProFileName, b.ProFileName) && SameText(a.GameFile0, b.GameFile0) &&
         SameText(a.GameFile1, b.GameFile1) && SameText(a.GameFile2, b.GameFile2) &&
         std::memcmp(&a.DbleClickSpeed, &b.DbleClickSpeed, offsetof(sarn::ProfileRecord, dpi) + sizeof a.dpi -
                                                               offsetof(sarn::ProfileRecord, DbleClickSpeed)) == 0 &&
         std::memcmp(&a.Cpi_X, &b.Cpi_X, sizeof(sarn::ProfileRecord) - offsetof(sarn::ProfileRecord, Cpi_X)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto first = std::make_unique<sarn::ProfileRecord>();
  std::memset(first.get(), 0xA5, sizeof(sarn::ProfileRecord));
  sarn::ReadProfileDocument(*first, sarn::IniDocument::Parse(bytes));
  CheckSane(*first);

  // Written into the same document (foreign keys stay) and read again, the profile is unchanged.
  sarn::IniDocument doc = sarn::IniDocument::Parse(bytes);
  sarn::WriteProfileDocument(*first, doc);
  auto second = std::make_unique<sarn::ProfileRecord>();
  std::memset(second.get(), 0x5A, sizeof(sarn::ProfileRecord));
  sarn::ReadProfileDocument(*second, sarn::IniDocument::Parse(doc.Serialize()));
  if (!SameContent(*first, *second)) std::abort();
  return 0;
}
