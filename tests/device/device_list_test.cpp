// The device list files: what a damaged or hand-edited file still gives, the user's file over the shipped one,
// and the entry sarnctl writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/private_profile.h"
#include "hidport/device_list.h"

namespace sarn::hid {
namespace {

using namespace std::string_literals;

std::string Ids(const DeviceList& list) {
  std::string s;
  for (const auto& m : list.mice) s += (s.empty() ? "" : " ") + FormatUsbIds(m.vendorId, m.productId);
  return s;
}

bool Names(const DeviceList& list, std::string_view what) {
  return std::any_of(list.problems.begin(), list.problems.end(),
                     [&](const std::string& p) { return p.find(what) != std::string::npos; });
}

TEST(DeviceListFile, GoodEntriesAreUsedAndEveryBadOneIsNamed) {
  const DeviceList list = ParseDeviceList(
      "; shipped list\r\n"
      "[Sarn]\r\nName=ZORVAN Sarn\r\nVendorId=0x3A1F\r\nProductId=0x0102\r\n"
      "[Damaged]\r\nVendorId=0x3A1F\r\nProductId 0x0103\r\n"      // line 8: no "=", so no product id
      "[Again]\r\nVendorId=0x3a1f\r\nProductId=258\r\n"          // the same ids as [Sarn], in decimal
      "[TooBig]\r\nVendorId=0x13A1F\r\nProductId=1\r\n"
      "[NoVendor]\r\nVendorId=0\r\nProductId=1\r\n"
      "[Junk]\r\nVendorId=12ab\r\nProductId=1\r\n"
      "[Offset]\r\nVendorId=1\r\nProductId=1\r\nEventCodeOffset=61\r\n"
      "[sarn]\r\nVendorId=2\r\nProductId=2\r\n"                  // the section name again, in other case
      "[Other]\r\nVendorId=0x046D\r\nProductId=0xC0DE\r\nUsagePage=0xFF01\r\nUsage=2\r\nColour=red\r\n"
      "\x01\xFF garbage \x00 line\r\n"s,
      "mice.ini");
  EXPECT_EQ(Ids(list), "3A1F:0102 046D:C0DE");
  EXPECT_EQ(list.mice[0].name, "ZORVAN Sarn");
  EXPECT_EQ(list.mice[0].origin, "mice.ini [Sarn]");
  EXPECT_EQ(list.mice[1].usagePage, 0xFF01);
  EXPECT_EQ(list.mice[1].usage, 2);
  EXPECT_EQ(list.mice[1].name, "Other") << "no name: the section's";
  for (const char* what : {"mice.ini line 8: damaged line 'ProductId 0x0103'", "[Damaged]: no ProductId",
                           "[Again]: 3A1F:0102 is already listed by mice.ini [Sarn]", "[TooBig]: VendorId '0x13A1F'",
                           "[NoVendor]: VendorId '0'", "[Junk]: VendorId '12ab'", "[Offset]: EventCodeOffset",
                           "[sarn]: a second section", "unknown key 'Colour'", "line 34: damaged line '?? garbage ? line'"}) {
    EXPECT_TRUE(Names(list, what)) << what << "\n" << ::testing::PrintToString(list.problems);
  }
}

TEST(DeviceListFile, BoundedAgainstHugeFiles) {
  std::string bytes;
  for (int i = 0; i < 200; ++i) {
    bytes += "[M" + std::to_string(i) + "]\nVendorId=" + std::to_string(i + 1) + "\nProductId=1\n";
  }
  EXPECT_EQ(ParseDeviceList(bytes, "mice.ini").mice.size(), kMaxMice);
  bytes.assign(kMaxDeviceListBytes + 10, 'x');
  const DeviceList list = ParseDeviceList("[A]\nVendorId=1\nProductId=1\n" + bytes, "mice.ini");
  EXPECT_EQ(list.mice.size(), 1u);
  EXPECT_TRUE(Names(list, "the rest is passed over"));
}

TEST(DeviceListFile, TheUsersFileReplacesEntriesWithTheSameIdsAndAddsOthers) {
  const auto folder = std::filesystem::temp_directory_path() / ("sarn-device-list-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(LoadDeviceList(folder).mice.empty()) << "no files: no mice, and no problem";
  EXPECT_TRUE(LoadDeviceList(folder).problems.empty());
  std::ofstream(folder / kDeviceListFile) << "[Sarn]\nVendorId=0x3A1F\nProductId=0x0102\n"
                                             "[Pro]\nVendorId=0x3A1F\nProductId=0x0103\n";
  std::ofstream(folder / kUserDeviceListFile) << "[Mine]\nName=My Sarn\nVendorId=0x3A1F\nProductId=0x0102\nUsage=3\n"
                                                 "[Clone]\nVendorId=0x1234\nProductId=0x0001\n[Bad]\nVendorId=x\n";
  const DeviceList list = LoadDeviceList(folder);
  EXPECT_EQ(Ids(list), "3A1F:0102 3A1F:0103 1234:0001");
  EXPECT_EQ(list.mice[0].name, "My Sarn");
  EXPECT_EQ(list.mice[0].usage, 3);
  EXPECT_EQ(list.mice[0].origin, "mice.user.ini [Mine]");
  EXPECT_TRUE(Names(list, "mice.user.ini [Bad]"));
  std::filesystem::remove_all(folder);
}

TEST(DeviceListFile, UsbIdsAsTyped) {
  struct Row {
    const char* text;
    bool ok;
    std::uint16_t vid, pid;
  };
  const Row rows[] = {{"3A1F:0102", true, 0x3A1F, 0x0102}, {"0x3a1f:0x102", true, 0x3A1F, 0x0102},
                      {"1209:0", true, 0x1209, 0},         {"0:1", false, 0, 0},
                      {"10000:1", false, 0, 0},            {"1:10000", false, 0, 0},
                      {"12g9:1", false, 0, 0},             {"1209", false, 0, 0},
                      {":1", false, 0, 0},                 {"-1:1", false, 0, 0},
                      {"", false, 0, 0}};
  for (const auto& row : rows) {
    std::uint16_t vid = 0, pid = 0;
    EXPECT_EQ(ParseUsbIds(row.text, vid, pid), row.ok) << row.text;
    if (row.ok) {
      EXPECT_EQ(FormatUsbIds(vid, pid), FormatUsbIds(row.vid, row.pid)) << row.text;
    }
  }
}

TEST(DeviceListFile, AnEntryPutIntoTheUsersFileReplacesOneWithTheSameIdsWhateverItsName) {
  IniDocument document = IniDocument::Parse(
      "[Old name]\r\nVendorId=0x3A1F\r\nProductId=0x0102\r\nUsage=7\r\n[Keep]\r\nVendorId=5\r\nProductId=6\r\n");
  MouseEntry entry{"New name", 0x3A1F, 0x0102, 0xFF01, 2, 0x21, 3};
  ASSERT_TRUE(PutMouseEntry(document, entry));
  const DeviceList list = ParseDeviceList(document.Serialize(), "mice.user.ini");
  EXPECT_TRUE(list.problems.empty()) << ::testing::PrintToString(list.problems);
  ASSERT_EQ(Ids(list), "0005:0006 3A1F:0102");
  const MouseEntry& back = list.mice[1];
  EXPECT_EQ(back.name, "New name");
  EXPECT_EQ(back.usagePage, 0xFF01);
  EXPECT_EQ(back.usage, 2);
  EXPECT_EQ(back.eventReportId, 0x21);
  EXPECT_EQ(back.eventCodeOffset, 3);
  entry.vendorId = 0;
  EXPECT_FALSE(PutMouseEntry(document, entry));
}

}  // namespace
}  // namespace sarn::hid
