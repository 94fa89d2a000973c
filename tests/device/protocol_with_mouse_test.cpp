// The monitor's protocol against the virtual mouse: both sides of the library boundary together.
#include <gtest/gtest.h>

#include "device_fakes.h"
#include "hidport/virtual_mouse.h"
#include "monitor/device/device_protocol.h"

namespace sarn {
namespace {

class VirtualMouseLink : public DeviceLink {
 public:
  explicit VirtualMouseLink(vmouse::VirtualMouse& mouse) : mouse_(mouse) {}
  int Open_DevMonitor(void*, unsigned, unsigned) override { return 1; }
  int Open_FeatureDevice() override { return mouse_.OpenFeature(); }
  int Close_DevMonitor() override { return 1; }
  int Close_FeatureDevice() override {
    mouse_.CloseFeature();
    return 1;
  }
  int SetFeature(std::uint8_t* buffer, int length) override { return mouse_.SetFeature(buffer, length); }
  int GetFeature(std::uint8_t* buffer, int length) override { return mouse_.GetFeature(buffer, length); }
  int GetMousePID() override { return 0; }

 private:
  vmouse::VirtualMouse& mouse_;
};

struct Rig {
  vmouse::VirtualMouse mouse;
  VirtualMouseLink link{mouse};
  test::VirtualClock clock;
  DeviceFlags flags;
  SharedBlock block{};
  int firmware = -1, published = 0;
  DeviceProtocol protocol{link, clock, flags, block,
                          DeviceHostSteps{[this](int v) { firmware = v; }, nullptr, [this] { ++published; }, nullptr}};
  Rig() {
    ClearSharedBlock(block);
    EXPECT_EQ(link.Open_FeatureDevice(), 1);
    flags.transferBusy = 1;
  }
};

TEST(ProtocolWithVirtualMouse, FullReadOfAFactoryMouse) {
  Rig rig;
  EXPECT_EQ(rig.protocol.ReadAllFromDevice(), 1);
  EXPECT_EQ(rig.firmware, 128);
  EXPECT_EQ(rig.published, 1);
  EXPECT_EQ(rig.block.CurrentProfile, 0);
  for (int slot = 0; slot < kProfileCount; ++slot) {
    const ProfileRecord& p = rig.block.profiles[slot];
    for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(p.MacroKeyInfo[b].functionCode, DefaultButtonCodes[b]);
    EXPECT_EQ(p.Sensitivity_X, 5);
    EXPECT_EQ(p.Cpi_X, 2);
    EXPECT_EQ(p.dpi[5], 1);
    EXPECT_EQ(p.ColorFlag, 1);
    EXPECT_EQ(p.PollingRate, 3);
  }
}

TEST(ProtocolWithVirtualMouse, AppliedChangesReachTheMouseAndComeBack) {
  Rig rig;
  ResetSettings(rig.block, [] { return 1; });
  rig.block.CurrentProfile = 2;
  rig.block.SettingsChanged = 1;
  ProfileRecord& p = rig.block.profiles[3];
  p.ColorFlag = 0;
  p.ColorOptions = 4;
  p.Orientation = 1;
  p.dpi[1] = 0;
  rig.block.ProfileChanged[3] = 1;
  rig.block.profiles[1].MacroKeyInfo[8].functionCode = 48;
  rig.block.ButtonChanged[1][8] = 1;
  EXPECT_EQ(rig.protocol.WriteChangedToDevice(), 1);
  EXPECT_EQ(rig.mouse.Active(), 2);
  EXPECT_EQ(rig.mouse.Profile(1).buttons[8], 48);

  SharedBlock before = rig.block;
  ClearSharedBlock(rig.block);
  EXPECT_EQ(rig.protocol.ReadAllFromDevice(), 1);
  EXPECT_EQ(rig.block.CurrentProfile, 2);
  EXPECT_EQ(rig.block.profiles[3].ColorFlag, 0);
  EXPECT_EQ(rig.block.profiles[3].ColorOptions, 4);
  EXPECT_EQ(rig.block.profiles[3].Orientation, 1);
  EXPECT_EQ(rig.block.profiles[3].dpi[1], 0);
  EXPECT_EQ(rig.block.profiles[3].dpi[4], 0);  // only four levels travel to the mouse
  EXPECT_EQ(rig.block.profiles[1].MacroKeyInfo[8].functionCode, 48);
  EXPECT_EQ(before.profiles[0].MacroKeyInfo[4].functionCode, rig.block.profiles[0].MacroKeyInfo[4].functionCode);
}

}  // namespace
}  // namespace sarn
