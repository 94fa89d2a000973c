#include "hidport/device_list.h"

#include <algorithm>
#include <cstdio>

#include "common/private_profile.h"

namespace sarn::hid {
namespace {

constexpr std::string_view kKeys[] = {"Name",          "VendorId",      "ProductId",      "UsagePage",
                                      "Usage",         "EventReportId", "EventCodeOffset"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// A piece of the file for a message: printable ASCII only, cut, so that junk cannot garble the debug output.
std::string Quote(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 40)) out += c >= 0x20 && c < 0x7F ? c : '?';
  if (text.size() > 40) out += "...";
  return out;
}

// Lines the INI reader would pass over without a word: text without "=" outside a comment or header. Named,
// since the entry it was meant for is likely missing a field because of it.
void NameDamagedLines(std::string_view bytes, std::string_view fileName, std::vector<std::string>& problems) {
  int number = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view line = Trim(bytes.substr(0, end));
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    ++number;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    const bool header = line.front() == '[' && line.find(']') != std::string_view::npos;
    if (!header && line.find('=') == std::string_view::npos) {
      problems.push_back(std::string(fileName) + " line " + std::to_string(number) + ": damaged line '" +
                         Quote(line) + "' passed over");
    }
  }
}

struct Field {
  const char* key;
  unsigned min;
  unsigned max;
};

}  // namespace

bool ParseListNumber(std::string_view text, unsigned max, unsigned& value) {
  text = Trim(text);
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 8) return false;
  unsigned long long v = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (digit >= base) return false;
    v = v * base + digit;
  }
  if (v > max) return false;
  value = static_cast<unsigned>(v);
  return true;
}

bool ParseUsbIds(std::string_view text, std::uint16_t& vendorId, std::uint16_t& productId) {
  text = Trim(text);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  auto hex = [](std::string_view part, unsigned& out) {
    part = Trim(part);
    if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) part.remove_prefix(2);
    if (part.empty() || part.size() > 4 || part.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      return false;
    }
    return ParseListNumber("0x" + std::string(part), 0xFFFF, out);
  };
  unsigned vid = 0, pid = 0;
  if (!hex(text.substr(0, colon), vid) || !hex(text.substr(colon + 1), pid) || vid == 0) return false;
  vendorId = static_cast<std::uint16_t>(vid);
  productId = static_cast<std::uint16_t>(pid);
  return true;
}

std::string FormatUsbIds(std::uint16_t vendorId, std::uint16_t productId) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:%04X", vendorId, productId);
  return text;
}

DeviceList ParseDeviceList(std::string_view bytes, std::string_view fileName) {
  DeviceList list;
  const std::string file(fileName);
  if (bytes.size() > kMaxDeviceListBytes) {
    list.problems.push_back(file + ": longer than " + std::to_string(kMaxDeviceListBytes) +
                            " bytes; the rest is passed over");
    bytes = bytes.substr(0, kMaxDeviceListBytes);
  }
  NameDamagedLines(bytes, file, list.problems);
  const IniDocument document = IniDocument::Parse(bytes);
  std::vector<std::string> seen;
  for (const std::string& section : document.SectionNames()) {
    const std::string where = file + " [" + Quote(section) + "]";
    if (std::any_of(seen.begin(), seen.end(), [&](const std::string& s) { return EqualNoCase(s, section); })) {
      list.problems.push_back(where + ": a second section of that name is passed over");
      continue;
    }
    seen.push_back(section);
    for (const std::string& key : document.KeyNames(section)) {
      if (std::none_of(std::begin(kKeys), std::end(kKeys), [&](std::string_view k) { return EqualNoCase(k, key); })) {
        list.problems.push_back(where + ": unknown key '" + Quote(key) + "' passed over");
      }
    }
    MouseEntry entry;
    entry.origin = where;
    entry.name = document.GetString(section, "Name", section);
    const Field fields[] = {{"VendorId", 1, 0xFFFF},       {"ProductId", 0, 0xFFFF},    {"UsagePage", 1, 0xFFFF},
                            {"Usage", 0, 0xFFFF},          {"EventReportId", 1, 0xFF}, {"EventCodeOffset", 1, 60}};
    unsigned values[6] = {0, 0, entry.usagePage, entry.usage, entry.eventReportId,
                          static_cast<unsigned>(entry.eventCodeOffset)};
    std::string bad;
    for (std::size_t i = 0; i < std::size(fields) && bad.empty(); ++i) {
      const bool required = i < 2;
      if (!document.HasKey(section, fields[i].key)) {
        if (required) bad = std::string("no ") + fields[i].key;
        continue;
      }
      const std::string text = document.GetString(section, fields[i].key, "");
      unsigned v = 0;
      if (!ParseListNumber(text, fields[i].max, v) || v < fields[i].min) {
        bad = std::string(fields[i].key) + " '" + Quote(text) + "' is not a number in " + std::to_string(fields[i].min) +
              ".." + std::to_string(fields[i].max);
      } else {
        values[i] = v;
      }
    }
    if (!bad.empty()) {
      list.problems.push_back(where + ": " + bad + "; the entry is passed over");
      continue;
    }
    entry.vendorId = static_cast<std::uint16_t>(values[0]);
    entry.productId = static_cast<std::uint16_t>(values[1]);
    entry.usagePage = static_cast<std::uint16_t>(values[2]);
    entry.usage = static_cast<std::uint16_t>(values[3]);
    entry.eventReportId = static_cast<std::uint8_t>(values[4]);
    entry.eventCodeOffset = static_cast<int>(values[5]);
    const auto same = std::find_if(list.mice.begin(), list.mice.end(), [&](const MouseEntry& m) {
      return m.vendorId == entry.vendorId && m.productId == entry.productId;
    });
    if (same != list.mice.end()) {
      list.problems.push_back(where + ": " + FormatUsbIds(entry.vendorId, entry.productId) + " is already listed by " +
                              same->origin + "; this entry is passed over");
      continue;
    }
    if (list.mice.size() >= kMaxMice) {
      list.problems.push_back(where + ": more than " + std::to_string(kMaxMice) + " entries; the rest is passed over");
      break;
    }
    list.mice.push_back(std::move(entry));
  }
  return list;
}

DeviceList MergeDeviceLists(DeviceList shipped, DeviceList user) {
  DeviceList merged = std::move(shipped);
  merged.problems.insert(merged.problems.end(), user.problems.begin(), user.problems.end());
  for (MouseEntry& entry : user.mice) {
    const auto same = std::find_if(merged.mice.begin(), merged.mice.end(), [&](const MouseEntry& m) {
      return m.vendorId == entry.vendorId && m.productId == entry.productId;
    });
    if (same != merged.mice.end()) {
      *same = std::move(entry);
    } else if (merged.mice.size() < kMaxMice) {
      merged.mice.push_back(std::move(entry));
    } else {
      merged.problems.push_back(entry.origin + ": more than " + std::to_string(kMaxMice) +
                                " entries; the rest is passed over");
    }
  }
  return merged;
}

DeviceList LoadDeviceList(const std::filesystem::path& folder) {
  DeviceList parts[2];
  const char* names[2] = {kDeviceListFile, kUserDeviceListFile};
  for (int i = 0; i < 2; ++i) {
    std::string bytes;
    const FileRead read = ReadNewestFile(folder / names[i], bytes);
    if (read == FileRead::kUnreadable) {
      parts[i].problems.push_back(std::string(names[i]) + ": cannot be read; its entries are not used");
    } else if (read == FileRead::kRead) {
      parts[i] = ParseDeviceList(bytes, names[i]);
    }
  }
  return MergeDeviceLists(std::move(parts[0]), std::move(parts[1]));
}

const MouseEntry* FindMouseEntry(const DeviceList& list, std::uint16_t vendorId, std::uint16_t productId,
                                 std::uint16_t usagePage, std::uint16_t usage) {
  for (const MouseEntry& m : list.mice) {
    if (m.vendorId == vendorId && m.productId == productId && m.usagePage == usagePage && m.usage == usage) return &m;
  }
  return nullptr;
}

bool PutMouseEntry(IniDocument& document, const MouseEntry& entry) {
  if (entry.vendorId == 0 || entry.usagePage == 0 || entry.eventReportId == 0 || entry.eventCodeOffset < 1 ||
      entry.eventCodeOffset > 60) {
    return false;
  }
  // Every section with these ids goes, whatever its name: the list keeps one entry per mouse.
  for (const std::string& section : document.SectionNames()) {
    unsigned vid = 0, pid = 0;
    if (ParseListNumber(document.GetString(section, "VendorId", ""), 0xFFFF, vid) &&
        ParseListNumber(document.GetString(section, "ProductId", ""), 0xFFFF, pid) && vid == entry.vendorId &&
        pid == entry.productId) {
      document.DeleteSection(section);
    }
  }
  char hex[8];
  const std::string section = FormatUsbIds(entry.vendorId, entry.productId);
  auto put = [&](const char* key, unsigned value, int digits) {
    std::snprintf(hex, sizeof hex, "0x%0*X", digits, value);
    document.SetString(section, key, hex);
  };
  document.SetString(section, "Name", entry.name.empty() ? section : entry.name);
  put("VendorId", entry.vendorId, 4);
  put("ProductId", entry.productId, 4);
  put("UsagePage", entry.usagePage, 4);
  put("Usage", entry.usage, 2);
  put("EventReportId", entry.eventReportId, 2);
  document.SetString(section, "EventCodeOffset", std::to_string(entry.eventCodeOffset));
  return true;
}

}  // namespace sarn::hid
