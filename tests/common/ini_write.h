// One write to an INI file as the Windows call takes it, applied to our document: shared by the native
// write tables and the comparison against Windows' own calls.
#pragma once

#include "common/private_profile.h"

namespace sarn::test {

// A null key deletes the section, a null value deletes the key.
struct IniWrite {
  const char* section;
  const char* key;
  const char* value;
};

inline void ApplyWrite(IniDocument& doc, const IniWrite& w) {
  if (w.key == nullptr) {
    doc.DeleteSection(w.section);
  } else if (w.value == nullptr) {
    doc.DeleteKey(w.section, w.key);
  } else {
    doc.SetString(w.section, w.key, w.value);
  }
}

}  // namespace sarn::test
