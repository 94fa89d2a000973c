// Test helper: edits the running monitor's shared block as the configuration application would and sends
// ApplyAll, waiting for the answer. Arguments (any number, in order):
//   button=P,B,CODE   profile P (0..4), button index B (0..17) gets CODE; its change flag is set
//   sens=P,N          Sensitivity_X of profile P (0..4) becomes N (its change flag follows)
//   sound=N           SoundProfile, SoundDpi and SoundSens become N
//   current=N         CurrentProfile becomes N
//   media=P,N         MediaOption of profile P (0..4) becomes N (the player the media buttons drive)
//   defaults          send ApplyAll with wParam 1 (restore defaults) instead of 0
//   wait-reads=N      first wait (up to two minutes) until the virtual mouse's report log holds N answered
//                     reads of report 6, so that the Apply lands in the middle of a full read
// Prints "ok" and exits 0 when the monitor answered.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/shared_block.h"

namespace {

// Answered reads of report 6 in the log ("<time> GET ok 06 ..." lines).
int SettingsReadsInLog() {
  const char* path = std::getenv("SARN_VIRTUAL_MOUSE_LOG");
  if (path == nullptr) return 0;
  std::ifstream log(path);
  int count = 0;
  for (std::string line; std::getline(log, line);) {
    std::istringstream words(line);
    std::string time, op, status, id;
    if (words >> time >> op >> status >> id && op == "GET" && status == "ok" && id == "06") ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sarn;
  for (int i = 1; i < argc; ++i) {
    int reads = 0;
    if (std::sscanf(argv[i], "wait-reads=%d", &reads) != 1) continue;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (SettingsReadsInLog() < reads) {
      if (GetTickCount64() > deadline) {
        std::fputs("block_apply: the reads never came\n", stderr);
        return 1;
      }
      Sleep(10);
    }
  }
  bool mapFailed = false;
  auto store = Win32SharedBlock::OpenForOption(mapFailed);
  if (!store) {
    std::fputs("block_apply: no monitor block\n", stderr);
    return 1;
  }
  auto last = std::make_unique<SharedBlock>();
  if (store->ReadBlock(*last) != 1) return 1;
  ClearChangeFlags(*last);
  auto work = std::make_unique<SharedBlock>(*last);
  WPARAM mode = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    int p = 0, b = 0, code = 0, n = 0;
    if (std::sscanf(a.c_str(), "button=%d,%d,%d", &p, &b, &code) == 3 && p >= 0 && p < kProfileCount && b >= 0 &&
        b < kButtonCount) {
      work->profiles[p].MacroKeyInfo[b].functionCode = static_cast<std::uint8_t>(code);
      work->ButtonChanged[p][b] = 1;
    } else if (std::sscanf(a.c_str(), "sens=%d,%d", &p, &n) == 2 && p >= 0 && p < kProfileCount) {
      work->profiles[p].Sensitivity_X = n;
    } else if (std::sscanf(a.c_str(), "sound=%d", &n) == 1) {
      work->SoundProfile = work->SoundDpi = work->SoundSens = n;
    } else if (std::sscanf(a.c_str(), "media=%d,%d", &p, &n) == 2 && p >= 0 && p < kProfileCount) {
      work->profiles[p].MediaOption = n;
    } else if (std::sscanf(a.c_str(), "current=%d", &n) == 1) {
      work->CurrentProfile = n;
    } else if (a.rfind("wait-reads=", 0) == 0) {
      // done above
    } else if (a == "defaults") {
      mode = 1;
    } else {
      std::fprintf(stderr, "block_apply: bad argument %s\n", a.c_str());
      return 2;
    }
  }
  ComputeChangeFlags(*work, *last);
  if (store->WriteBlock(*work) != 1) return 1;
  HWND monitor = FindWindowA(nullptr, kMonitorWindowTitle);
  if (monitor == nullptr) return 1;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(monitor, kMsgApplyAll, mode, 0, SMTO_NORMAL, 120000, &answer)) return 1;
  std::puts("ok");
  return 0;
}
