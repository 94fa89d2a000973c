#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "device_fakes.h"
#include "common/private_profile.h"
#include "hidport/virtual_mouse.h"

namespace sarn::vmouse {
namespace {

using test::Hex;
using Strings = std::vector<std::string>;

struct RecordingSink : EventSink {
  Strings events;
  void DeviceEvent(std::uint32_t code) override {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(code));
    events.push_back(text);
  }
  void DevicePresence(bool attached) override { events.push_back(attached ? "attached" : "removed"); }
};

struct Mouse {
  RecordingSink sink;
  VirtualMouse mouse{&sink};
  Mouse() { EXPECT_EQ(mouse.OpenFeature(), 1); }

  // Runs control commands; every reply must be "ok".
  Strings Run(const Strings& commands) {
    sink.events.clear();
    for (const auto& c : commands) EXPECT_EQ(ExecuteControlCommand(mouse, c), "ok") << c;
    return sink.events;
  }
  std::string Get(std::uint8_t id, int length) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(length));
    b[0] = id;
    if (mouse.GetFeature(b.data(), length) == 0) return "fail";
    return Hex(b);
  }
  int Set(std::vector<std::uint8_t> bytes, bool checksum = false) {
    if (checksum) {
      std::uint16_t sum = 0;
      for (std::size_t i = 0; i + 2 < bytes.size(); ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
      bytes[bytes.size() - 2] = sum & 0xFF;
      bytes[bytes.size() - 1] = static_cast<std::uint8_t>(sum >> 8);
    }
    return mouse.SetFeature(bytes.data(), static_cast<int>(bytes.size()));
  }
  int Status() { return std::stoi(Get(4, 3).substr(3, 2), nullptr, 16); }
  void Assign(int slot, std::uint8_t code, int profile = 0) {
    OnBoardProfile p = mouse.Profile(profile);
    p.buttons[static_cast<std::size_t>(slot - 1)] = code;
    mouse.SetProfile(profile, p);
  }
};

TEST(VirtualMouseReports, FactoryAnswers) {
  Mouse m;
  EXPECT_EQ(m.Get(9, 6), "09 06 80 00 00 00");
  EXPECT_EQ(m.Get(5, 3), "05 03 00");
  EXPECT_EQ(m.Get(4, 3), "04 01 00");
  EXPECT_EQ(m.Get(10, 3), "0A 03 00");
  EXPECT_EQ(m.Set({4, 2, 0x10}), 1);
  // All six DPI flags are on in the factory profile: 0x3F; sum 105.
  EXPECT_EQ(m.Get(6, 16), "06 10 02 01 05 05 3F 02 03 01 01 00 00 00 69 00");
  EXPECT_EQ(m.Set({4, 0, 0x20}), 1);
  EXPECT_EQ(m.Get(7, 23), "07 17 00 01 02 03 07 41 06 06 0D 0E 08 07 25 06 00 06 06 26 27 26 01");
  // A longer buffer is zero-filled past the report.
  EXPECT_EQ(m.Get(5, 6), "05 03 00 00 00 00");
}

TEST(VirtualMouseReports, RefusedExchanges) {
  Mouse m;
  struct Row {
    const char* what;
    std::uint8_t id;
    int length;
  };
  EXPECT_EQ(m.Set({4, 1, 0x20}), 1);
  for (const Row& row : {Row{"settings while buttons are selected", 6, 16}, Row{"short buffer", 7, 22},
                         Row{"unknown report", 8, 3}, Row{"shorter than any report", 5, 2}}) {
    EXPECT_EQ(m.Get(row.id, row.length), "fail") << row.what;
  }
  EXPECT_EQ(m.Set({4, 5, 0x10}), 0) << "no sixth profile";
  EXPECT_EQ(m.Set({4, 0, 0x30}), 0) << "no such report to select";
  EXPECT_EQ(m.Set({3, 0, 0}), 0) << "unknown report";
  m.mouse.CloseFeature();
  EXPECT_EQ(m.Get(9, 6), "fail");
  EXPECT_EQ(m.Set({10, 3, 1}), 0);
}

TEST(VirtualMouseReports, WritesAndTheirStatus) {
  struct Row {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool checksum;
    int status;
  };
  const Row rows[] = {
      {"active profile", {5, 3, 3}, false, 1},
      {"no such profile", {5, 3, 5}, false, 2},
      {"settings", {6, 16, 1, 0, 9, 8, 0x05, 7, 0, 0, 2, 5, 3, 1, 0, 0}, true, 1},
      {"settings with a bad checksum", {6, 16, 1, 0, 9, 8, 0x05, 7, 0, 0, 2, 5, 3, 1, 0, 0}, false, 2},
      {"buttons", {7, 23, 4, 48, 5, 49, 50, 15, 65, 6, 6, 13, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, 1},
      {"buttons of a sixth profile", {7, 23, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true,
       2},
      {"host mode on", {10, 3, 1}, false, 1},
      {"host mode 2", {10, 3, 2}, false, 2},
      {"restore defaults", {9, 6, 7, 0, 0, 0}, false, 1},
      {"restore with junk", {9, 6, 7, 0, 1, 0}, false, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Mouse m;
    m.mouse.Busy(0);
    EXPECT_EQ(m.Set(row.bytes, row.checksum), 1);
    EXPECT_EQ(m.Status(), row.status);
    EXPECT_EQ(m.Status(), row.status) << "the status stands until the next write";
  }
  Mouse m;
  ASSERT_EQ(m.Set(rows[0].bytes), 1);
  ASSERT_EQ(m.Set(rows[2].bytes, true), 1);
  ASSERT_EQ(m.Set(rows[4].bytes, true), 1);
  ASSERT_EQ(m.Set(rows[6].bytes), 1);
  EXPECT_EQ(m.mouse.Active(), 3);
  EXPECT_EQ(m.mouse.HostMode(), 1);
  EXPECT_EQ(m.mouse.Profile(1).settings[kSensitivityX], 9);
  EXPECT_EQ(m.mouse.Profile(4).buttons[0], 48);
  ASSERT_EQ(m.Set({4, 1, 0x10}), 1);
  EXPECT_EQ(m.Get(6, 16).substr(0, 41), "06 10 01 00 09 08 05 07 00 00 02 05 03 01");
  ASSERT_EQ(m.Set(rows[8].bytes), 1);  // back to factory content
  EXPECT_EQ(m.mouse.Active(), 0);
  EXPECT_EQ(m.mouse.Profile(4).buttons[0], 1);
  EXPECT_EQ(m.mouse.Profile(1).settings[kSensitivityX], 5);
  EXPECT_EQ(m.mouse.HostMode(), 1);
}

TEST(VirtualMouseReports, InjectedFaults) {
  Mouse m;
  EXPECT_EQ(m.Run({"busy 2", "fail"}), Strings{});
  EXPECT_EQ(m.Status(), 3);
  EXPECT_EQ(m.Status(), 3);
  EXPECT_EQ(m.Status(), 2);
  EXPECT_EQ(m.Status(), 1);

  m.Run({"corrupt"});
  EXPECT_EQ(m.Get(5, 3), "05 03 00") << "only settings and button reads carry the fault";
  EXPECT_EQ(m.Set({4, 2, 0x10}), 1);
  EXPECT_EQ(m.Get(6, 16), "06 10 02 01 05 05 3F 02 03 01 01 00 00 00 6A 00");
  EXPECT_EQ(m.Get(6, 16), "06 10 02 01 05 05 3F 02 03 01 01 00 00 00 69 00");
}

// Inputs as event sequences. Every profile is factory content except for the codes given.
TEST(VirtualMouseInputs, EventSequences) {
  struct Row {
    const char* what;
    std::vector<std::pair<int, std::uint8_t>> codes;  // slot 1..18, code
    Strings commands;
    Strings events;
  };
  const Row rows[] = {
      {"plain mouse functions send nothing", {},
       {"click 1", "click 2", "click 3", "click 4", "click 8", "click 9", "click 6", "press 5", "release 5"}, {}},
      {"macro", {{4, 48}}, {"press 4", "release 4"}, {"40000004", "40000104"}},
      {"shortcut, timer, stop timer, launch", {{4, 5}, {6, 49}, {7, 50}, {3, 15}},
       {"click 4", "click 6", "click 7", "click 3"},
       {"50000004", "50000104", "80000006", "80000106", "90000007", "90000107", "60000003", "60000103"}},
      {"media keys carry their code", {{4, 35}, {6, 32}}, {"click 4", "press 6", "release 6"},
       {"F0000023", "F0000123", "F0000020", "F0000120"}},
      {"tilt functions step on press only", {{4, 9}, {6, 10}}, {"click 4", "click 6"}, {"100000FF", "10000001"}},
      {"the wheel tilt", {}, {"tilt left", "tilt right"}, {"100000FF", "10000001"}},
      {"shift layer: B5 held makes input n slot n + 9", {{13, 48}},
       {"press 5", "click 3", "click 8", "click 4", "release 5", "click 4", "click 3"},
       {"F0000025", "F0000125", "F0000026", "F0000126", "4000000D", "4000010D"}},
      {"a release goes to the slot of its press", {{6, 48}, {15, 5}},
       {"press 5", "press 6", "release 5", "release 6", "press 6", "press 5", "release 6", "release 5"},
       {"5000000F", "5000010F", "40000006", "40000106"}},
      {"shift on B7 too", {{5, 6}, {7, 65}, {10, 49}}, {"press 7", "click 1", "release 7", "click 1"},
       {"8000000A", "8000010A"}},
      {"profile functions", {{4, 16}, {6, 18}, {3, 17}},
       {"click 6", "click 4", "click 3", "click 3", "click 3", "click 3", "click 6"},
       {"30000002", "30000003", "30000004", "30000005", "30000004"}},
      {"DPI cycle through the enabled levels", {{4, 20}},
       {"click 4", "click 4", "click 4", "click 4"}, {"B0000004", "B0000007", "B0000001", "B0000002"}},
      {"DPI up stops at the top, down at the bottom", {{4, 21}, {6, 22}},
       {"click 4", "click 4", "click 4", "click 6", "click 6", "click 6", "click 6"},
       {"B0000004", "B0000007", "B0000004", "B0000002", "B0000001"}},
      {"sensitivity, both axes together", {{4, 24}, {6, 25}, {3, 23}},
       {"click 4", "click 6", "click 6", "click 3"}, {"C0000606", "C0000505", "C0000404", "C0000505"}},
      {"wheel combinations", {{7, 67}, {5, 68}},
       {"press 7", "click 8", "click 8", "click 9", "release 7", "click 8", "press 5", "click 9", "release 5"},
       {"30000002", "30000003", "30000002", "B0000001"}},
      {"volume wheel", {{7, 69}}, {"press 7", "click 9", "release 7"}, {"F0000027", "F0000127"}},
      {"raw events", {}, {"event 0xA0000001", "event 0x7F000001"}, {"A0000001", "7F000001"}},
      {"plug and unplug", {}, {"unplug", "plug", "plug"}, {"removed", "attached", "attached"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Mouse m;
    for (int profile = 0; profile < kProfiles; ++profile) {
      for (auto [slot, code] : row.codes) m.Assign(slot, code, profile);
    }
    EXPECT_EQ(m.Run(row.commands), row.events);
  }
}

TEST(VirtualMouseInputs, ProfileDpiAndSensitivityChangesAreTheMousesOwn) {
  Mouse m;
  m.Assign(4, 16);
  m.Assign(6, 21);
  OnBoardProfile second = m.mouse.Profile(1);
  second.settings[kDpiMask] = 0x0A;  // 800 and 3200 only
  second.settings[kCpi] = 1;         // outside the cycle
  second.buttons[5] = 20;
  second.buttons[6] = 23;
  second.settings[kXYSynchronous] = 0;
  second.settings[kSensitivityY] = 10;
  m.mouse.SetProfile(1, second);
  EXPECT_EQ(m.Run({"click 4", "click 6", "click 6", "click 7"}), (Strings{"30000002", "B0000002", "B0000007",
                                                                        "C0000106"}));
  EXPECT_EQ(m.mouse.Active(), 1);
  EXPECT_EQ(m.Get(5, 3), "05 03 01");
  EXPECT_EQ(m.mouse.Profile(1).settings[kCpi], 7);
  EXPECT_EQ(m.mouse.Profile(1).settings[kSensitivityX], 6);
  EXPECT_EQ(m.mouse.Profile(1).settings[kSensitivityY], 1);  // wraps from 10
}

TEST(VirtualMouseControl, Replies) {
  struct Row {
    const char* line;
    const char* reply;  // prefix
  };
  const Row rows[] = {
      {"press 1", "ok"}, {"release 1", "ok"}, {"click 9", "ok"}, {"click 9\r\n", "ok"},
      {"  tilt   left ", "ok"}, {"busy 0", "ok"}, {"fail", "ok"}, {"corrupt", "ok"},
      {"event 0x00000001", "ok"}, {"event 0xFFFFFFFF", "ok"},
      {"", "error "}, {"press", "error "}, {"press 0", "error "}, {"press 10", "error "},
      {"press -1", "error "}, {"press 1x", "error "}, {"press 1 2", "error "}, {"click 01", "ok"},
      {"tilt up", "error "}, {"tilt", "error "}, {"event 12", "error "}, {"event 0x", "error "},
      {"event 0x100000000", "error "}, {"event 0xGG", "error "}, {"busy -3", "error "},
      {"busy many", "error "}, {"state now", "error "}, {"PRESS 1", "error "}, {"reboot", "error "},
  };
  for (const auto& row : rows) {
    Mouse m;
    const std::string reply = ExecuteControlCommand(m.mouse, row.line);
    EXPECT_EQ(reply.rfind(row.reply, 0), 0u) << "'" << row.line << "' gave '" << reply << "'";
    if (std::string(row.reply) == "ok") {
      EXPECT_EQ(reply, "ok") << row.line;
    }
  }
  Mouse m;
  m.Run({"unplug"});
  for (const char* line : {"press 1", "click 2", "tilt right", "event 0x1"}) {
    EXPECT_EQ(ExecuteControlCommand(m.mouse, line), "error unplugged") << line;
  }
  EXPECT_EQ(m.mouse.OpenFeature(), 0);
  EXPECT_EQ(m.Run({"plug"}), Strings{"attached"});
  EXPECT_EQ(m.mouse.OpenFeature(), 1);
}

TEST(VirtualMouseControl, AnUnknownCommandIsEchoedOnOneLine) {
  // Found by fuzzing: the pipe splits at line feeds only, so a carriage return or any control byte could
  // reach the echo and split the client's reply.
  Mouse m;
  EXPECT_EQ(ExecuteControlCommand(m.mouse, "re\rboot\x01\x7f now\r"), "error unknown command: re?boot?? now?");
  EXPECT_EQ(ExecuteControlCommand(m.mouse, std::string(100, 'x')), "error unknown command: " + std::string(60, 'x'));
}

TEST(VirtualMouseControl, StateReply) {
  Mouse m;
  m.Assign(18, 50, 4);
  const std::string reply = ExecuteControlCommand(m.mouse, "state");
  ASSERT_EQ(reply.rfind("ok {", 0), 0u);
  const std::string profile =
      R"({"XYSynchronous":1,"Sensitivity_X":5,"Sensitivity_Y":5,"dpi":[1,1,1,1,1,1],"Cpi_X":2,"Cpi_Y":2,)"
      R"("PollingRate":3,"LightSwitch":1,"LightType":1,"ColorFlag":1,"ColorOptions":1,"ColorChangeMode":0,)"
      R"("Orientation":0,"buttons":[1,2,3,7,65,6,6,13,14,8,7,37,6,0,6,6,38,)";
  const std::string expected = R"(ok {"active":0,"hostMode":0,"firmware":128,"plugged":true,"profiles":[)" +
                               profile + "39]}," + profile + "39]}," + profile + "39]}," + profile + "39]}," +
                               profile + "50]}]}";
  EXPECT_EQ(reply, expected);
}

TEST(VirtualMouseMemory, KeptAcrossRunsAndDamageFallsBackToFactory) {
  Mouse m;
  m.Assign(4, 48, 3);
  m.Run({"click 1"});
  ASSERT_EQ(m.Set({5, 3, 3}), 1);
  ASSERT_EQ(m.Set({10, 3, 1}), 1);
  IniDocument saved;
  m.mouse.Save(saved);

  VirtualMouse again;
  again.Load(IniDocument::Parse(saved.Serialize()));
  EXPECT_EQ(again.Active(), 3);
  EXPECT_EQ(again.HostMode(), 0) << "host mode is not kept: the monitor sets it after every read";
  for (int i = 0; i < kProfiles; ++i) EXPECT_EQ(again.Profile(i), m.mouse.Profile(i)) << i;

  struct Row {
    const char* what;
    const char* section;
    const char* key;
    const char* value;
  };
  const Row rows[] = {
      {"checksum", "Profile4", "Buttons", "010203"},
      {"length", "Profile4", "Buttons", ""},
      {"active out of range", "Mouse", "Active", "5"},
      {"active junk", "Mouse", "Active", "-1"},
  };
  const VirtualMouse factory;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    IniDocument damaged = IniDocument::Parse(saved.Serialize());
    damaged.SetString(row.section, row.key, row.value);
    VirtualMouse loaded;
    loaded.Load(damaged);
    if (std::string(row.section) == "Mouse") {
      EXPECT_EQ(loaded.Active(), 0);
      EXPECT_EQ(loaded.Profile(3), m.mouse.Profile(3));
    } else {
      EXPECT_EQ(loaded.Profile(3).buttons, factory.Profile(3).buttons);
      EXPECT_EQ(loaded.Profile(3).settings, m.mouse.Profile(3).settings);
      EXPECT_EQ(loaded.Active(), 3);
    }
  }
}

TEST(VirtualMouseLog, LineFormat) {
  const std::uint8_t bytes[] = {5, 3, 2, 0xAB};
  EXPECT_EQ(FormatReportLogLine(812, true, true, bytes, 3), "812 SET ok 05 03 02");
  EXPECT_EQ(FormatReportLogLine(0, false, false, bytes, 4), "0 GET fail 05 03 02 AB");
  EXPECT_EQ(FormatReportLogLine(7, false, true, bytes, 0), "7 GET ok");
}

}  // namespace
}  // namespace sarn::vmouse
