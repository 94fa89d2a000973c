#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "device_fakes.h"
#include "monitor/device/report_protocol.h"

namespace sarn {
namespace {

using test::Hex;

std::vector<std::uint8_t> Bytes(const FeatureReport& r) { return {r.data(), r.data() + r.length}; }

FeatureReport FromHex(const std::vector<std::uint8_t>& bytes) {
  FeatureReport r;
  std::memcpy(r.data(), bytes.data(), bytes.size());
  r.length = static_cast<int>(bytes.size());
  return r;
}

ProfileRecord Defaults(int slot) {
  ProfileRecord p{};
  InitProfileDefaults(p, slot);
  return p;
}

TEST(ReportEncoding, FixedReportsByteForByte) {
  EXPECT_EQ(Hex(Bytes(MakeSelectReport(3, kSelectSettings))), "04 03 10");
  EXPECT_EQ(Hex(Bytes(MakeSelectReport(0, kSelectButtons))), "04 00 20");
  EXPECT_EQ(Hex(Bytes(MakeActiveProfileReport(2))), "05 03 02");
  EXPECT_EQ(Hex(Bytes(MakeRestoreDefaultsReport())), "09 06 07 00 00 00");
  EXPECT_EQ(Hex(Bytes(MakeHostModeReport(true))), "0A 03 01");
  EXPECT_EQ(Hex(Bytes(MakeHostModeReport(false))), "0A 03 00");
}

TEST(ReportEncoding, ProfileSettingsOfFactoryProfile) {
  // Sum 6+16+2+1+5+5+15+2+3+1+1 = 57; the upper two DPI flags never travel to the mouse.
  EXPECT_EQ(Hex(Bytes(MakeProfileSettingsReport(Defaults(2), 2))),
            "06 10 02 01 05 05 0F 02 03 01 01 00 00 00 39 00");
}

TEST(ReportEncoding, ProfileSettingsFields) {
  struct Row {
    const char* what;
    std::uint8_t dpi[6];
    int colorFlag, colorOptions, colorChangeMode;
    std::uint8_t byte6, byte11, byte12;
  };
  const Row rows[] = {
      {"four levels, upper two off", {1, 1, 1, 1, 0, 0}, 1, 0, 0, 0x0F, 0, 0},
      {"upper flags ignored", {0, 0, 0, 0, 1, 1}, 1, 0, 0, 0x00, 0, 0},
      {"mixed", {1, 0, 1, 0, 1, 1}, 1, 0, 0, 0x05, 0, 0},
      {"flag values other than 1 are off", {2, 1, 255, 1, 1, 1}, 1, 0, 0, 0x0A, 0, 0},
      {"fixed colour 4", {1, 1, 1, 1, 1, 1}, 0, 4, 2, 0x0F, 5, 3},
      {"multicolour mode 2", {1, 1, 1, 1, 1, 1}, 1, 4, 2, 0x0F, 0, 2},
      {"any nonzero ColorFlag is multicolour", {1, 1, 1, 1, 1, 1}, 7, 0, 1, 0x0F, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ProfileRecord p = Defaults(0);
    std::memcpy(p.dpi, row.dpi, 6);
    p.ColorFlag = row.colorFlag;
    p.ColorOptions = row.colorOptions;
    p.ColorChangeMode = row.colorChangeMode;
    const FeatureReport r = MakeProfileSettingsReport(p, 0);
    EXPECT_EQ(r[6], row.byte6);
    EXPECT_EQ(r[11], row.byte11);
    EXPECT_EQ(r[12], row.byte12);
    EXPECT_TRUE(ReportChecksumValid(r));
  }
}

// A record from a hand-edited file or another program's block: the mouse gets the nearest setting it knows,
// never a low byte that means something else (a colour of -1 would read as multicolour, 257 as 1).
TEST(ReportEncoding, ProfileSettingsOfAnOutOfRangeRecordStayInRange) {
  struct Row {
    const char* what;
    int value;
    std::uint8_t sync, sensitivity, cpi, rate, onOff, colour, mode;
  };
  const Row rows[] = {
      {"INT_MIN", INT_MIN, 0, 1, 1, 0, 0, 1, 0},
      {"-1", -1, 0, 1, 1, 0, 0, 1, 0},
      {"257", 257, 1, 10, 7, 3, 1, 7, 2},
      {"INT_MAX", INT_MAX, 1, 10, 7, 3, 1, 7, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ProfileRecord p = Defaults(0);
    p.XYSynchronous = p.Sensitivity_X = p.Sensitivity_Y = p.Cpi_X = p.PollingRate = row.value;
    p.LightSwitch = p.LightType = p.Orientation = p.ColorOptions = p.ColorChangeMode = row.value;
    p.ColorFlag = 0;
    FeatureReport r = MakeProfileSettingsReport(p, 0);
    EXPECT_EQ(r[3], row.sync);
    EXPECT_EQ(r[4], row.sensitivity);
    EXPECT_EQ(r[5], row.sensitivity);
    EXPECT_EQ(r[7], row.cpi);
    EXPECT_EQ(r[8], row.rate);
    EXPECT_EQ(r[9], row.onOff);
    EXPECT_EQ(r[10], row.onOff);
    EXPECT_EQ(r[11], row.colour);  // a fixed colour stays a fixed colour
    EXPECT_EQ(r[12], 3);
    EXPECT_EQ(r[13], row.onOff);
    EXPECT_TRUE(ReportChecksumValid(r));
    p.ColorFlag = 1;
    r = MakeProfileSettingsReport(p, 0);
    EXPECT_EQ(r[11], 0);
    EXPECT_EQ(r[12], row.mode);
  }
}

TEST(ReportDecoding, ProfileSettingsReadBack) {
  struct Row {
    const char* what;
    std::uint8_t byte6, byte11, byte12;
    std::uint8_t dpi[6];
    int colorFlag, colorOptions, colorChangeMode;
  };
  const Row rows[] = {
      {"all six levels", 0x3F, 0, 0, {1, 1, 1, 1, 1, 1}, 1, 1, 0},
      {"fixed colour 4", 0x0F, 5, 3, {1, 1, 1, 1, 0, 0}, 0, 4, 0},
      {"multicolour mode 2", 0x05, 0, 2, {1, 0, 1, 0, 0, 0}, 1, 1, 2},
      {"bits above 5 ignored", 0xC0, 1, 9, {0, 0, 0, 0, 0, 0}, 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    FeatureReport r = FromHex({6, 16, 1, 0, 7, 8, row.byte6, 4, 2, 0, 1, row.byte11, row.byte12, 1, 0, 0});
    StoreReportChecksum(r);
    ProfileRecord p = Defaults(1);
    ASSERT_TRUE(StoreProfileSettingsReport(r, p));
    EXPECT_EQ(0, std::memcmp(p.dpi, row.dpi, 6));
    EXPECT_EQ(p.ColorFlag, row.colorFlag);
    EXPECT_EQ(p.ColorOptions, row.colorOptions);
    EXPECT_EQ(p.ColorChangeMode, row.colorChangeMode);
    EXPECT_EQ(p.XYSynchronous, 0);
    EXPECT_EQ(p.Sensitivity_X, 7);
    EXPECT_EQ(p.Sensitivity_Y, 8);
    EXPECT_EQ(p.Cpi_X, 4);
    EXPECT_EQ(p.Cpi_Y, 4);
    EXPECT_EQ(p.PollingRate, 2);
    EXPECT_EQ(p.LightSwitch, 0);
    EXPECT_EQ(p.Orientation, 1);
    EXPECT_EQ(p.XYCpiFlag, 1);  // not carried: stays
  }
}

TEST(ReportEncoding, ButtonFunctions) {
  ProfileRecord p{};
  EXPECT_EQ(Hex(Bytes(MakeButtonFunctionsReport(p, 3))),
            "07 17 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 21 00");
  // 7 + 23 + 3 + 18 × 255 = 4623 = 0x120F: the sum carries into the high byte.
  for (auto& slot : p.MacroKeyInfo) slot.functionCode = 255;
  const FeatureReport r = MakeButtonFunctionsReport(p, 3);
  EXPECT_EQ(r[21], 0x0F);
  EXPECT_EQ(r[22], 0x12);
  EXPECT_EQ(Hex(Bytes(MakeButtonFunctionsReport(Defaults(0), 0))).substr(0, 62),
            "07 17 00 01 02 03 07 41 06 06 0D 0E 08 07 25 06 00 06 06 26 27");
}

TEST(ReportDecoding, ButtonFunctionsTouchOnlyTheCodes) {
  ProfileRecord p = Defaults(0);
  CopyTextField(p.MacroKeyInfo[4].macroName, "keep me");
  FeatureReport r = FromHex({7, 99, 77, 48, 5, 49, 50, 15, 65, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0});
  StoreReportChecksum(r);
  ASSERT_TRUE(StoreButtonFunctionsReport(r, p));  // length and slot bytes are not checked
  EXPECT_EQ(p.MacroKeyInfo[0].functionCode, 48);
  EXPECT_EQ(p.MacroKeyInfo[5].functionCode, 65);
  EXPECT_EQ(p.MacroKeyInfo[17].functionCode, 9);
  EXPECT_EQ(p.MacroKeyInfo[4].buttonIndex, 4);
  EXPECT_STREQ(p.MacroKeyInfo[4].macroName, "keep me");
}

TEST(ReportDecoding, DamagedReportsStoreNothing) {
  const ProfileRecord before = Defaults(2);
  struct Row {
    const char* what;
    FeatureReport report;
  };
  FeatureReport goodSettings = MakeProfileSettingsReport(Defaults(0), 0);
  goodSettings[4] = 9;  // content changed after the checksum
  FeatureReport lowByte = MakeButtonFunctionsReport(Defaults(0), 0);
  lowByte[21] ^= 1;
  FeatureReport highByte = MakeButtonFunctionsReport(Defaults(0), 0);
  highByte[22] ^= 0x80;
  const Row rows[] = {{"settings content", goodSettings}, {"low checksum byte", lowByte},
                      {"high checksum byte", highByte}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ProfileRecord p = before;
    const bool stored = row.report.length == kProfileSettingsReportLength
                            ? StoreProfileSettingsReport(row.report, p)
                            : StoreButtonFunctionsReport(row.report, p);
    EXPECT_FALSE(stored);
    EXPECT_EQ(0, std::memcmp(&p, &before, sizeof p));
  }
}

}  // namespace
}  // namespace sarn
