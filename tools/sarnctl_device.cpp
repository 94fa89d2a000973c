// sarnctl device list|add: which HID collection is the mouse and why, and the user's entries of the device list
// beside hidport.dll (mice.user.ini). The verdicts are the real library's own (hidport/device_probe.h).
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/private_profile.h"
#include "hidport/device_list.h"
#include "hidport/device_probe.h"
#include "tools/sarnctl.h"
#ifdef _WIN32
#include "hidport/hid_api_win.h"
#endif

namespace sarnctl {

namespace {

using sarn::hid::DeviceList;
using sarn::hid::MouseEntry;

constexpr char kListUsage[] = "device list [FOLDER]";
constexpr char kAddUsage[] =
    "device add VID:PID [--name NAME] [--usage-page P] [--usage U] [--event-report-id R] [--event-code-offset O] "
    "[--folder FOLDER]";

int Help() {
  std::printf(
      "usage: sarnctl %s\n"
      "       sarnctl %s\n\n"
      "list: the mice of the device list of FOLDER (mice.ini, mice.user.ini beside hidport.dll) with any problem\n"
      "of those files, then every HID collection Windows shows, each with why it is or is not the mouse.\n"
      "add: writes an entry into FOLDER's mice.user.ini, replacing one with the same ids. VID:PID, P, U and R are\n"
      "hex as list shows them (0x optional); P and U default to FF00 and 01, R to 11, O (decimal) to 1.\n"
      "The library reads the list when the monitor starts and when the mouse arrives.\n",
      kListUsage, kAddUsage);
  return 0;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void PrintList(const DeviceList& list) {
  if (list.mice.empty()) std::printf("  (no mice: nothing is taken for the mouse)\n");
  for (const MouseEntry& m : list.mice) {
    std::printf("  %s  usage %s:%s  event report %s at byte %d  %s  (%s)\n",
                sarn::hid::FormatUsbIds(m.vendorId, m.productId).c_str(), Hex(m.usagePage, 4).c_str(),
                Hex(m.usage, 2).c_str(), Hex(m.eventReportId, 2).c_str(), m.eventCodeOffset, m.name.c_str(),
                m.origin.c_str());
  }
  for (const std::string& problem : list.problems) std::printf("  problem: %s\n", problem.c_str());
}

int List(const Args& args) {
  if (args.size() > 2) return Usage(kListUsage);
  std::filesystem::path folder;
  int exitCode = 0;
  if (!ResolveFolderWord(args.size() > 1 ? &args[1] : nullptr, folder, exitCode)) return exitCode;
  const DeviceList list = sarn::hid::LoadDeviceList(folder);
  std::printf("Device list (%s, %s in %s):\n", sarn::hid::kDeviceListFile, sarn::hid::kUserDeviceListFile,
              folder.string().c_str());
  PrintList(list);
#ifdef _WIN32
  sarn::hid::WinHidApi api;
  const auto devices = api.Enumerate();
  if (devices.empty()) {
    std::printf("HID collections: none (no HID collections are shown by the system)\n");
    return 0;
  }
  const auto verdicts = sarn::hid::ChooseMouse(api, devices, list);
  std::printf("HID collections:\n  VID:PID    usage      input feature  verdict\n");
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const auto& d = devices[i];
    std::printf("  %s  %s:%s  %5d %7d  %s\n    %s\n", sarn::hid::FormatUsbIds(d.vendorId, d.productId).c_str(),
                Hex(d.usagePage, 4).c_str(), Hex(d.usage, 4).c_str(), d.inputReportLength, d.featureReportLength,
                sarn::hid::DescribeVerdict(verdicts[i]).c_str(), d.path.c_str());
  }
#else
  std::printf("HID collections: not read (sarnctl reads them only on Windows)\n");
#endif
  return 0;
}

// A hex number as list prints it, with or without 0x.
bool ParseHex(std::string word, unsigned max, unsigned& value) {
  if (word.rfind("0x", 0) != 0 && word.rfind("0X", 0) != 0) word = "0x" + word;
  return sarn::hid::ParseListNumber(word, max, value);
}

int Add(Args args) {
  std::filesystem::path folder;
  int exitCode = 0;
  std::string folderWord;
  bool folderGiven = false;
  MouseEntry entry;
  if (args.size() < 2 || !sarn::hid::ParseUsbIds(args[1], entry.vendorId, entry.productId)) {
    if (args.size() >= 2) return Fail("'" + args[1] + "' is no VID:PID (hex, vendor 0001..FFFF, product 0000..FFFF)");
    return Usage(kAddUsage);
  }
  for (std::size_t i = 2; i < args.size(); i += 2) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) return Fail(option + " needs a value");
    const std::string& value = args[i + 1];
    unsigned n = 0;
    if (option == "--name") {
      entry.name = value;
    } else if (option == "--folder") {
      folderWord = value;
      folderGiven = true;
    } else if (option == "--usage-page") {
      if (!ParseHex(value, 0xFFFF, n) || n == 0) return Fail("--usage-page must be hex 1..FFFF, not '" + value + "'");
      entry.usagePage = static_cast<std::uint16_t>(n);
    } else if (option == "--usage") {
      if (!ParseHex(value, 0xFFFF, n)) return Fail("--usage must be hex 0..FFFF, not '" + value + "'");
      entry.usage = static_cast<std::uint16_t>(n);
    } else if (option == "--event-report-id") {
      if (!ParseHex(value, 0xFF, n) || n == 0) return Fail("--event-report-id must be hex 1..FF, not '" + value + "'");
      entry.eventReportId = static_cast<std::uint8_t>(n);
    } else if (option == "--event-code-offset") {
      if (!sarn::hid::ParseListNumber(value, 60, n) || n == 0) {
        return Fail("--event-code-offset must be 1..60, not '" + value + "'");
      }
      entry.eventCodeOffset = static_cast<int>(n);
    } else {
      return Usage(kAddUsage);
    }
  }
  if (entry.name.find_first_of("\r\n") != std::string::npos) return Fail("--name must be one line");
  if (!ResolveFolderWord(folderGiven ? &folderWord : nullptr, folder, exitCode)) return exitCode;
  const auto path = folder / sarn::hid::kUserDeviceListFile;
  switch (sarn::EditIniFileChecked(path, [&](sarn::IniDocument& doc) { return sarn::hid::PutMouseEntry(doc, entry); })) {
    case sarn::IniEdit::kDone:
      break;
    case sarn::IniEdit::kRefused:
      return Fail("the entry was refused");
    case sarn::IniEdit::kUnreadable:
      return Fail(path.string() + " exists but cannot be read; nothing written");
    case sarn::IniEdit::kWriteFailed:
      return Fail("could not write " + path.string());
  }
  std::printf("%s written to %s; hidport.dll reads it when the monitor starts or the mouse is plugged in\n",
              sarn::hid::FormatUsbIds(entry.vendorId, entry.productId).c_str(), path.string().c_str());
  return 0;
}

}  // namespace

int RunDevice(const Args& args) {
  if (WantsHelp(args)) return Help();
  if (!args.empty() && args[0] == "list") return List(args);
  if (!args.empty() && args[0] == "add") return Add(args);
  return Usage("device list [FOLDER] | device add VID:PID [OPTIONS] (see sarnctl device --help)");
}

}  // namespace sarnctl
