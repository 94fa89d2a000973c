#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "input/fake_desktop.h"
#include "monitor/input/media_players.h"

namespace sarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::FakeClock;
using test::FakeDesktop;

constexpr const char* kVlcPlay = "SOFTWARE\\Classes\\Applications\\vlc.exe\\shell\\play\\command|";
constexpr const char* kVlcOpen = "SOFTWARE\\Classes\\Applications\\vlc.exe\\shell\\open\\command|";
constexpr const char* kWinampFile = "SOFTWARE\\Classes\\Winamp.File\\shell\\open\\command|";
constexpr const char* kWinampIcy = "SOFTWARE\\Classes\\ICY\\shell\\open\\command|";

TEST(MediaCommandLines, ProgramIsTakenFromTheRegisteredCommand) {
  struct Row {
    const char* command;
    std::optional<std::string> vlc;
    std::optional<std::string> winamp;
  };
  const Row rows[] = {
      {"\"C:\\VideoLAN\\vlc.exe\" --started-from-file \"%1\"", "C:\\VideoLAN\\vlc.exe", std::nullopt},
      {"C:\\VideoLAN\\vlc.exe --started-from-file \"%1\"", "C:\\VideoLAN\\vlc.exe ", std::nullopt},
      {"\"C:\\VideoLAN\\VLC.EXE", "\"C:\\VideoLAN\\VLC.EXE", std::nullopt},  // unterminated quote kept
      {"\"C:\\Winamp\\winamp.exe\" \"%1\"", std::nullopt, "C:\\Winamp\\winamp.exe"},
      {"C:\\Winamp\\WINAMP.EXE \"%1\"", std::nullopt, "C:\\Winamp\\WINAMP.EXE"},
      {"\"C:\\Winamp\\winamp.exe", std::nullopt, "C:\\Winamp\\winamp.exe"},
      {"\"C:\\other\\player.exe\" \"%1\"", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"\"", std::nullopt, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(VlcProgramFromCommand(row.command), row.vlc) << row.command;
    EXPECT_EQ(WinampProgramFromCommand(row.command), row.winamp) << row.command;
  }
}

TEST(MediaCommandLines, ProgramPathsWithSpacesAreStartedWhole) {
  struct Row {
    const char* text;
    ProgramCommand command;
    const char* line;
  };
  const Row rows[] = {
      // Unquoted: spaces belong to the path, never "C:\Program.exe" with arguments.
      {R"(C:\Program Files\X\x.exe)", {R"(C:\Program Files\X\x.exe)", ""}, R"("C:\Program Files\X\x.exe")"},
      {" C:\\Program Files\\X\\x.exe \t", {R"(C:\Program Files\X\x.exe)", ""}, R"("C:\Program Files\X\x.exe")"},
      // Quoted (as App Paths values often are): the arguments after the closing quote travel on.
      {R"("C:\Program Files\X\x.exe" /play "a b.m3u")", {R"(C:\Program Files\X\x.exe)", R"(/play "a b.m3u")"},
       R"("C:\Program Files\X\x.exe" /play "a b.m3u")"},
      {R"( "C:\Program Files\X\x.exe")", {R"(C:\Program Files\X\x.exe)", ""}, R"("C:\Program Files\X\x.exe")"},
      {R"("C:\Program Files\X\x.exe)", {R"(C:\Program Files\X\x.exe)", ""}, R"("C:\Program Files\X\x.exe")"},
      {"", {"", ""}, R"("")"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ProgramCommandFromText(row.text), row.command) << row.text;
    EXPECT_EQ(CommandLineFor(ProgramCommandFromText(row.text)), row.line) << row.text;
  }
}

class MediaPlayersTest : public ::testing::Test {
 protected:
  FakeClock clock;
  FakeDesktop desk{clock};
  MediaPlayers players{desk, desk, clock, FakeDesktop::kMain};
};

TEST_F(MediaPlayersTest, OpeningReadsTheRegistryAndStartsOnlyInstalledPlayers) {
  for (int player = 0; player <= 4; ++player) players.OpenMediaPlayer(player);
  EXPECT_THAT(desk.TakeLog(), IsEmpty()) << "nothing installed, nothing started";

  desk.registry["Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wmplayer.exe|"] =
      "%ProgramFiles%\\Windows Media Player\\wmplayer.exe";
  desk.registry["SOFTWARE\\Apple Computer, Inc.\\iPod\\RegisteredApps\\4|path"] = "C:\\iTunes\\itunes.exe";
  desk.registry[kVlcPlay] = "vlc";  // too short to be a command: the open command is used
  desk.registry[kVlcOpen] = "\"C:\\VideoLAN\\vlc.exe\" \"%1\"";
  desk.registry[kWinampIcy] = "\"C:\\Winamp\\winamp.exe\" \"%1\"";
  for (int player = 0; player <= 3; ++player) players.OpenMediaPlayer(player);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 start [C:\\Program Files\\Windows Media Player\\wmplayer.exe] []",
                                          "@0 start [C:\\iTunes\\itunes.exe] []", "@0 start [C:\\VideoLAN\\vlc.exe] []",
                                          "@0 start [C:\\Winamp\\winamp.exe] []"));

  // A quoted registered path and an unquoted one with spaces both start the whole path; VLC's unquoted
  // command leaves a blank before its options, which is not part of the program.
  desk.registry["Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wmplayer.exe|"] =
      "\"%ProgramFiles%\\Windows Media Player\\wmplayer.exe\"";
  desk.registry["SOFTWARE\\Apple Computer, Inc.\\iPod\\RegisteredApps\\4|path"] = "C:\\Program Files\\iTunes\\iTunes.exe";
  desk.registry[kVlcOpen] = "C:\\Program Files\\VideoLAN\\vlc.exe --started-from-file \"%1\"";
  for (int player = 0; player <= 2; ++player) players.OpenMediaPlayer(player);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 start [C:\\Program Files\\Windows Media Player\\wmplayer.exe] []",
                                          "@0 start [C:\\Program Files\\iTunes\\iTunes.exe] []",
                                          "@0 start [C:\\Program Files\\VideoLAN\\vlc.exe] []"));

  // A running Windows Media Player is brought forward instead of started again.
  const WindowHandle wmp = desk.Add(FakeDesktop::kDesktop, "WMPlayerApp", "Windows Media Player");
  desk.registry[kWinampFile] = "\"C:\\Apps\\player.exe\" \"%1\"";  // present, but not Winamp
  players.OpenMediaPlayer(0);
  players.OpenMediaPlayer(3);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@0 foreground " + std::to_string(wmp) + " attached"));
}

TEST_F(MediaPlayersTest, WinampPlayPauseAlternatesOnlyWhenItsWindowIsThere) {
  players.SendMediaCommand(3, kMediaPlayPause);
  EXPECT_FALSE(players.WinampPlaying());
  const WindowHandle w = desk.Add(FakeDesktop::kDesktop, "Winamp v1.x", "Winamp");
  for (unsigned c : {kMediaPlayPause, kMediaPlayPause, kMediaNextTrack, kMediaPreviousTrack, kMediaStop,
                     kMediaVolumeUp, kMediaPlayPause}) {
    players.SendMediaCommand(3, c);
  }
  const std::string to = "@0 send " + std::to_string(w) + " 0x111 ", bound = " 0 within 250ms";
  EXPECT_THAT(desk.TakeLog(), ElementsAre(to + "40045" + bound, to + "40046" + bound, to + "40048" + bound,
                                          to + "40044" + bound, to + "40047" + bound, to + "40045" + bound));
}

TEST_F(MediaPlayersTest, VlcWindowIsAQWidgetWhoseTitleSaysVlcInCapitals) {
  desk.Add(FakeDesktop::kDesktop, "QWidget", "my videos");
  desk.Add(FakeDesktop::kDesktop, "QWidget", "vlc media player");
  desk.Add(FakeDesktop::kDesktop, "Notepad", "VLC notes.txt");
  players.SendMediaCommand(2, kMediaNextTrack);
  EXPECT_THAT(desk.TakeLog(), IsEmpty());

  const WindowHandle vlc = desk.Add(FakeDesktop::kDesktop, "QWidget", "Movie - VLC media player");
  const std::string to = "@0 post " + std::to_string(vlc);
  players.SendMediaCommand(2, kMediaVolumeDown);
  players.SendMediaCommand(2, kMediaNextTrack);
  players.SendMediaCommand(2, kMediaStop);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 foreground " + std::to_string(vlc), to + " 0x100 78 0x310001",
                          "@100 post " + std::to_string(vlc) + " 0x101 78 0xc0310001",
                          "@100 foreground " + std::to_string(vlc), "@100 post " + std::to_string(vlc) + " 0x100 83 0x1f0001",
                          "@200 post " + std::to_string(vlc) + " 0x101 83 0xc01f0001"));
}

TEST_F(MediaPlayersTest, ITunesGetsCtrlArrowBySentMessagesAndSpaceByPostedOnes) {
  players.SendMediaCommand(1, kMediaNextTrack);
  EXPECT_THAT(desk.TakeLog(), IsEmpty());
  const WindowHandle w = desk.Add(FakeDesktop::kDesktop, "iTunes", "iTunes");
  const std::string id = std::to_string(w);
  players.SendMediaCommand(1, kMediaPreviousTrack);
  players.SendMediaCommand(1, kMediaPlayPause);
  players.SendMediaCommand(1, kMediaVolumeUp);
  EXPECT_THAT(desk.TakeLog(),
              ElementsAre("@0 send " + id + " 0x100 17 0x1d0001 within 250ms",
                          "@100 send " + id + " 0x100 37 0x14b0001 within 250ms",
                          "@200 send " + id + " 0x101 37 0xc14b0001 within 250ms",
                          "@300 send " + id + " 0x101 17 0xc01d0001 within 250ms",
                          "@300 post " + id + " 0x100 32 0x390001", "@400 post " + id + " 0x101 32 0xc0390001"));

  // A hung iTunes: the first unanswered send ends the command, so the window thread waits one limit, not four.
  desk.hung.insert(w);
  players.SendMediaCommand(1, kMediaNextTrack);
  EXPECT_THAT(desk.TakeLog(), ElementsAre("@400 send " + id + " 0x100 17 0x1d0001 within 250ms"));
  EXPECT_EQ(clock.Ms(), 650);
}

}  // namespace
}  // namespace sarn
