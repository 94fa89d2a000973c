#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/private_profile.h"
#include "common/profile_file.h"
#include "storage_test_support.h"

namespace sarn {
namespace {

using namespace std::string_literals;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::unique_ptr<ProfileRecord> SampleProfile() {
  auto r = std::make_unique<ProfileRecord>();
  std::memset(r.get(), 0, sizeof(ProfileRecord));
  InitProfileDefaults(*r, 1);
  std::strcpy(r->ProFileName, "Sniper \xE9t\xE9");  // Windows-1252 text stays as it is
  std::strcpy(r->GameFile1, "C:\\Games\\fps.exe");
  r->DbleClickSpeed = -20;
  r->Acceleration = 2147483647;
  r->dpi[3] = 0;
  r->dpi[5] = 200;
  r->BTOption = 9;
  ButtonSlot& s = r->MacroKeyInfo[7];
  s.functionCode = 48;
  std::strcpy(s.setName, "Set");
  std::strcpy(s.macroName, "combo");
  s.loops = 3;
  s.count = 500;
  for (int i = 0; i < 500; ++i) s.events[i] = MacroEvent{static_cast<std::uint8_t>(i), 1, static_cast<std::uint16_t>(i * 131)};
  r->MacroKeyInfo[17].timerValue = 999;
  std::strcpy(r->MacroKeyInfo[17].timerName, "Egg");
  std::strcpy(r->MacroKeyInfo[3].programPath, "C:\\Windows\\notepad.exe");
  return r;
}

std::unique_ptr<ProfileRecord> Filled(unsigned char byte) {
  auto r = std::make_unique<ProfileRecord>();
  std::memset(r.get(), byte, sizeof(ProfileRecord));
  return r;
}

TEST(ProfileFile, RoundTripKeepsEveryFieldAndSlotByte) {
  TempFolder folder;
  auto saved = SampleProfile();
  const auto path = folder / "p.zmp";
  ASSERT_EQ(WriteProfileFile(*saved, path), 1);
  auto back = Filled(0);
  ASSERT_EQ(ReadProfileFile(*back, path), 1);
  EXPECT_EQ(std::memcmp(back->MacroKeyInfo, saved->MacroKeyInfo, sizeof saved->MacroKeyInfo), 0);
  EXPECT_STREQ(back->ProFileName, saved->ProFileName);
  EXPECT_STREQ(back->GameFile1, saved->GameFile1);
  EXPECT_EQ(std::memcmp(&back->DbleClickSpeed, &saved->DbleClickSpeed, 1852 - 1752), 0);
}

TEST(ProfileFile, FileWithOnlyANameGivesMinusOnesAndDefaultSlots) {
  TempFolder folder;
  const auto path = folder / "game.zmp";
  WriteBytes(path, "[Setting]\r\nProFileName=Game\r\n");
  auto r = Filled(0xAB);
  ASSERT_EQ(ReadProfileFile(*r, path), 1);
  EXPECT_STREQ(r->ProFileName, "Game");
  EXPECT_STREQ(r->GameFile0, "");
  EXPECT_EQ(r->DbleClickSpeed, -1);
  EXPECT_EQ(r->BTOption, -1);
  EXPECT_EQ(r->Cpi_X, -1);
  for (auto flag : r->dpi) EXPECT_EQ(flag, 255);
  for (int b = 0; b < kButtonCount; ++b) {
    ButtonSlot expected;
    DefaultButtonSlot(expected, b);
    EXPECT_EQ(std::memcmp(&r->MacroKeyInfo[b], &expected, sizeof expected), 0) << b;
  }
}

TEST(ProfileFile, DamagedSlotValuesGiveThatSlotItsDefault) {
  TempFolder folder;
  auto saved = SampleProfile();
  IniDocument doc;
  WriteProfileDocument(*saved, doc);
  const std::string good = EncodeStructValue(&saved->MacroKeyInfo[7], sizeof(ButtonSlot));
  ASSERT_EQ(good.size(), 4954u);
  std::string wrongSum = good;
  wrongSum[4953] = good[4953] == '0' ? '1' : '0';
  std::string garbage = good;
  garbage[0] = 'G';
  std::string tooLong = good;
  tooLong.append("00");
  const std::string damaged[] = {
      good.substr(0, 4952),  // checksum missing
      good.substr(0, 4953),  // truncated
      wrongSum,
      tooLong,
      garbage,
      std::string(),
      std::string("99999999999999999999"),
  };
  for (const auto& value : damaged) {
    IniDocument copy = IniDocument::Parse(doc.Serialize());
    copy.SetString("Setting", "MacroKeyInfo7", value);
    auto r = Filled(0x11);
    ReadProfileDocument(*r, copy);
    ButtonSlot expected;
    DefaultButtonSlot(expected, 7);
    EXPECT_EQ(std::memcmp(&r->MacroKeyInfo[7], &expected, sizeof expected), 0) << value.size();
    EXPECT_EQ(std::memcmp(&r->MacroKeyInfo[8], &saved->MacroKeyInfo[8], sizeof(ButtonSlot)), 0);
  }
}

TEST(ProfileFile, OverlongTextsAndCountsAreCutToTheirFields) {
  TempFolder folder;
  auto saved = SampleProfile();
  ButtonSlot& s = saved->MacroKeyInfo[2];
  std::memset(s.setName, 'S', sizeof s.setName);  // no terminators anywhere
  std::memset(s.timerName, 'T', sizeof s.timerName);
  std::memset(s.programPath, 'P', sizeof s.programPath);
  s.count = 60000;
  IniDocument doc;
  WriteProfileDocument(*saved, doc);
  doc.SetString("Setting", "ProFileName", std::string(3000, 'n'));
  doc.SetString("Setting", "GameFile2", std::string(700, 'g'));
  auto r = Filled(0x22);
  ReadProfileDocument(*r, doc);
  EXPECT_EQ(std::strlen(r->ProFileName), 249u);
  EXPECT_EQ(std::strlen(r->GameFile2), 499u);
  EXPECT_EQ(std::strlen(r->MacroKeyInfo[2].setName), 49u);
  EXPECT_EQ(std::strlen(r->MacroKeyInfo[2].timerName), 99u);
  EXPECT_EQ(std::strlen(r->MacroKeyInfo[2].programPath), 259u);
  EXPECT_EQ(r->MacroKeyInfo[2].count, kMacroEventCapacity);
}

// The reader drops blanks around a value and one pair of quotes: texts that begin or end with a blank (a NUL in
// a damaged file can leave one at the end) or are themselves quoted are written so that they come back whole,
// while ordinary texts are written as they are.
TEST(ProfileFile, TextsWithEdgeBlanksOrQuotesComeBackFromTheFile) {
  const std::string file = "[Setting]\r\nProFileName=Default#\x1A\x1A\0tail\r\nGameFile0=\"\"q\"\"\r\n"s;
  auto first = std::make_unique<ProfileRecord>();
  ReadProfileDocument(*first, IniDocument::Parse(file));
  EXPECT_STREQ(first->ProFileName, "Default#\x1A\x1A");
  EXPECT_STREQ(first->GameFile0, "\"q\"");
  std::strcpy(first->GameFile1, " lead and trail\t");
  std::strcpy(first->GameFile2, "plain");

  IniDocument doc = IniDocument::Parse(file);
  WriteProfileDocument(*first, doc);
  const std::string written = doc.Serialize();
  EXPECT_NE(written.find("\r\nGameFile2=plain\r\n"), std::string::npos);
  auto second = std::make_unique<ProfileRecord>();
  ReadProfileDocument(*second, IniDocument::Parse(written));
  EXPECT_STREQ(second->ProFileName, first->ProFileName);
  EXPECT_STREQ(second->GameFile0, first->GameFile0);
  EXPECT_STREQ(second->GameFile1, first->GameFile1);
  EXPECT_STREQ(second->GameFile2, "plain");
}

// A damaged file whose name key was cut at a NUL after a blank reads without a name; saving the profile back
// must leave a file that reads the same, not one where the damaged line comes back and hides the saved name.
TEST(ProfileFile, ADamagedNameKeyDoesNotHideTheSavedName) {
  const std::string file = "[Setting]\r\nProFileName\v\0=Defa\0dpi\r\nGameFile0=g\r\n"s;
  auto first = std::make_unique<ProfileRecord>();
  ReadProfileDocument(*first, IniDocument::Parse(file));
  EXPECT_STREQ(first->ProFileName, "");
  EXPECT_STREQ(first->GameFile0, "g");
  for (const char* name : {"", "Sniper"}) {
    std::strcpy(first->ProFileName, name);
    IniDocument doc = IniDocument::Parse(file);
    WriteProfileDocument(*first, doc);
    auto second = std::make_unique<ProfileRecord>();
    ReadProfileDocument(*second, IniDocument::Parse(doc.Serialize()));
    EXPECT_STREQ(second->ProFileName, name);
    EXPECT_STREQ(second->GameFile0, "g");
  }
}

TEST(ProfileFile, WriteKeepsForeignKeysAndReplacesOursInPlace) {
  TempFolder folder;
  const auto path = folder / "p.zmp";
  WriteBytes(path, "[Setting]\r\nOldKey=1\r\nTiltSpeed=9\r\n[Other]\r\nx=y\r\n");
  auto r = SampleProfile();
  ASSERT_EQ(WriteProfileFile(*r, path), 1);
  const std::string text = ReadBytes(path);
  EXPECT_EQ(text.find("[Setting]\r\nOldKey=1\r\nTiltSpeed=3\r\nProFileName="), 0u);
  EXPECT_NE(text.find("[Other]\r\nx=y\r\n"), std::string::npos);
  EXPECT_EQ(ReadProfileFile(*r, folder / "missing.zmp"), 0);
}

TEST(ProfileFile, ReadingThenWritingAHandWrittenFileReproducesIt) {
  auto r = SampleProfile();
  IniDocument doc;
  WriteProfileDocument(*r, doc);
  // Build the same file by hand from the rules: one key per line, CR LF, upper-case hex with checksum.
  std::string hand = "[Setting]\r\nProFileName=Sniper \xE9t\xE9\r\nGameFile0=\r\nGameFile1=C:\\Games\\fps.exe\r\n"
                     "GameFile2=\r\nDbleClickSpeed=-20\r\nScrollWheelSpeed=3\r\nScrollWheelFlag=0\r\nMouseSpeed=10\r\n"
                     "Acceleration=2147483647\r\nAccelerationFlag=0\r\nTiltSpeed=3\r\nMediaOption=0\r\nHDDKeyboard=1\r\n"
                     "Orientation=0\r\nXYSynchronous=1\r\nSensitivity_X=5\r\nSensitivity_Y=5\r\ndpi0=1\r\ndpi1=1\r\n"
                     "dpi2=1\r\ndpi3=0\r\ndpi4=1\r\ndpi5=200\r\nCpi_X=2\r\nCpi_Y=2\r\nXYCpiFlag=1\r\nPollingRate=3\r\n"
                     "LightSwitch=1\r\nLightType=1\r\nColorFlag=1\r\nColorOptions=0\r\nColorChangeMode=0\r\nBTOption=9\r\n";
  for (int b = 0; b < kButtonCount; ++b) {
    hand += "MacroKeyInfo" + std::to_string(b) + "=" + test::HandHex(&r->MacroKeyInfo[b], sizeof(ButtonSlot)) + "\r\n";
  }
  EXPECT_EQ(doc.Serialize(), hand);
  auto read = Filled(0);
  ReadProfileDocument(*read, IniDocument::Parse(hand));
  IniDocument again;
  WriteProfileDocument(*read, again);
  EXPECT_EQ(again.Serialize(), hand);
}

class SlotFileProcedures : public ::testing::Test {
 protected:
  void SetUp() override {
    block = std::make_unique<SharedBlock>();
    std::memset(block.get(), 0, sizeof(SharedBlock));
    ResetSettings(*block, [] { return 1; });
    block->CurrentProfile = 1;
    std::filesystem::create_directories(elsewhere.path());
  }
  TempFolder program;
  TempFolder elsewhere;
  std::unique_ptr<SharedBlock> block;
};

TEST_F(SlotFileProcedures, LoadCopiesIntoTheProgramFolderAndFlagsEveryButton) {
  auto source = SampleProfile();
  const auto chosen = elsewhere / "fps.zmp";
  ASSERT_EQ(WriteProfileFile(*source, chosen), 1);
  ASSERT_EQ(LoadProfileIntoSlot(*block, program.path(), chosen), 1);
  EXPECT_EQ(ReadBytes(program / "fps.zmp"), ReadBytes(chosen));
  EXPECT_STREQ(block->profiles[1].ProFileName, source->ProFileName);
  EXPECT_EQ(std::memcmp(block->profiles[1].MacroKeyInfo, source->MacroKeyInfo, sizeof source->MacroKeyInfo), 0);
  for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(block->ButtonChanged[1][b], 1);
  EXPECT_EQ(block->ButtonChanged[0][0], 0);
  EXPECT_STREQ(block->profiles[0].ProFileName, "Default1");

  // Loading the copy itself works (nothing to copy) and a missing file changes nothing.
  ASSERT_EQ(LoadProfileIntoSlot(*block, program.path(), program / "fps.zmp"), 1);
  block->ButtonChanged[2][0] = 0;
  block->CurrentProfile = 2;
  EXPECT_EQ(LoadProfileIntoSlot(*block, program.path(), elsewhere / "none.zmp"), 0);
  EXPECT_EQ(block->ButtonChanged[2][0], 0);
  EXPECT_STREQ(block->profiles[2].ProFileName, "Default3");
  block->CurrentProfile = -1;
  EXPECT_EQ(LoadProfileIntoSlot(*block, program.path(), chosen), 0);
}

// Load of a file that is no profile would fill the slot with -1 values that Apply then sends to the mouse.
TEST_F(SlotFileProcedures, LoadRefusesAFileThatIsNoProfile) {
  const std::pair<const char*, const char*> refused[] = {
      {"empty.zmp", ""},
      {"notes.txt", "shopping list\r\nmilk\r\n"},
      {"config.ini", "[Setting]\r\nCurrentProfile=1\r\nFWVersion=128\r\n"},
      {"other.zmp", "[Other]\r\nProFileName=Game\r\ndpi0=4\r\n"},
      {"bare.zmp", "[Setting]\r\nProFileName\r\n"},  // a word without "=" is no key
  };
  const auto before = std::make_unique<SharedBlock>(*block);
  for (const auto& [name, text] : refused) {
    WriteBytes(elsewhere / name, text);
    EXPECT_EQ(LoadProfileIntoSlot(*block, program.path(), elsewhere / name), -1) << name;
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(SharedBlock)), 0) << name << " changed the copy";
    EXPECT_FALSE(std::filesystem::exists(program / name)) << name << " was copied";
  }
  // One key of the profile's own is enough: missing keys take their read defaults.
  WriteBytes(elsewhere / "game.zmp", "[setting]\r\nprofilename=Game\r\n");
  EXPECT_EQ(LoadProfileIntoSlot(*block, program.path(), elsewhere / "game.zmp"), 1);
  EXPECT_STREQ(block->profiles[1].ProFileName, "Game");
  EXPECT_EQ(block->profiles[1].Cpi_X, -1);
}

TEST_F(SlotFileProcedures, SaveReplacesTheFileNotesItsTitleAndCopiesIntoConfig) {
  const auto chosen = elsewhere / "my.fps.zmp";
  WriteBytes(chosen, "[Setting]\r\nLegacyKey=5\r\n[Old]\r\na=b\r\n");
  WriteBytes(program / "config.ini", "[Setting]\r\nCurrentProfile=1\r\n");
  ASSERT_EQ(SaveSlotToProfileFile(*block, program.path(), chosen), 1);
  const std::string text = ReadBytes(chosen);
  EXPECT_EQ(text.find("[Setting]\r\nProFileName=Default2\r\n"), 0u);
  EXPECT_EQ(text.find("LegacyKey"), std::string::npos);
  EXPECT_EQ(text.find("[Old]"), std::string::npos);
  EXPECT_EQ(ReadBytes(program / "config" / "my.fps.zmp"), text);
  EXPECT_EQ(ReadBytes(program / "config.ini"), "[Setting]\r\nCurrentProfile=1\r\n[FileName]\r\nProfile2=my.fps\r\n");

  // Saving straight into config\ leaves one file; the working copy is untouched.
  ASSERT_EQ(SaveSlotToProfileFile(*block, program.path(), program / "config" / "fps.zmp"), 1);
  EXPECT_EQ(ReadBytes(program / "config" / "fps.zmp"), text);
  EXPECT_EQ(block->ButtonChanged[1][0], 0);
  EXPECT_EQ(SaveSlotToProfileFile(*block, program.path(), elsewhere / "no" / "such" / "x.zmp"), 0);
}

// A slot file whose last save is still pending (the file was held open) loads as that save.
TEST_F(SlotFileProcedures, LoadTakesTheNewestOfFileAndPendingContent) {
  const auto file = program / "config" / "Default1.zmp";
  WriteBytes(file, "[Setting]\r\nProFileName=Old\r\n");
  WriteBytes(PendingPath(file), "[Setting]\r\nProFileName=Saved\r\n");
  const auto now = std::filesystem::last_write_time(file);
  std::filesystem::last_write_time(file, now - std::chrono::seconds(10));
  ASSERT_EQ(LoadProfileIntoSlot(*block, program.path(), file), 1);
  EXPECT_STREQ(block->profiles[1].ProFileName, "Saved");
  EXPECT_EQ(ReadBytes(program / "Default1.zmp"), "[Setting]\r\nProFileName=Saved\r\n");

  // A pending copy a later save could not remove is older than the file: the file is the newest.
  std::filesystem::last_write_time(PendingPath(file), now - std::chrono::seconds(20));
  ASSERT_EQ(LoadProfileIntoSlot(*block, program.path(), file), 1);
  EXPECT_STREQ(block->profiles[1].ProFileName, "Old");
  IniDocument doc;
  ASSERT_TRUE(LoadIniFile(file, doc));
  EXPECT_EQ(doc.GetString("Setting", "ProFileName", ""), "Old");
}

// Save keeps a copy as config\<title>.zmp: a title of another slot's file would replace that slot's profile.
TEST_F(SlotFileProcedures, SaveNeverReplacesAnotherSlotsFile) {
  const auto slot0 = SlotFilePath(program.path(), 0);
  WriteBytes(slot0, "[Setting]\r\nProFileName=Mine\r\n");
  block->CurrentProfile = 2;
  for (const auto& chosen : {elsewhere / "Default0.zmp", elsewhere / "DEFAULT0.ZMP", slot0}) {
    EXPECT_EQ(SaveTakesSlotFile(program.path(), 2, chosen), 0) << chosen;
    EXPECT_EQ(SaveSlotToProfileFile(*block, program.path(), chosen), -1) << chosen;
  }
  EXPECT_EQ(ReadBytes(slot0), "[Setting]\r\nProFileName=Mine\r\n");
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "Default0.zmp"));
  EXPECT_FALSE(std::filesystem::exists(program / "config.ini")) << "no title noted";
  EXPECT_EQ(SaveTakesSlotFile(program.path(), 2, elsewhere / "Default4.zmp"), 4);

  // Names that only look alike are other files; a slot's own file is that very profile.
  for (const char* name : {"Default0 copy.zmp", "Default00.zmp", "Default0.zmp.zmp", "Default2.zmp"}) {
    EXPECT_EQ(SaveTakesSlotFile(program.path(), 2, elsewhere / name), -1) << name;
  }
  ASSERT_EQ(SaveSlotToProfileFile(*block, program.path(), elsewhere / "Default2.zmp"), 1);
  EXPECT_EQ(ReadBytes(SlotFilePath(program.path(), 2)), ReadBytes(elsewhere / "Default2.zmp"));
  EXPECT_EQ(ReadBytes(slot0), "[Setting]\r\nProFileName=Mine\r\n");
}

TEST(ProfileFileTitle, CutsFolderAndLastExtension) {
  EXPECT_EQ(ProfileFileTitle("/a/b/fps.zmp"), "fps");
  EXPECT_EQ(ProfileFileTitle("/a/b/my.fps.zmp"), "my.fps");
  EXPECT_EQ(ProfileFileTitle("/a/noext"), "noext");
}

}  // namespace
}  // namespace sarn
