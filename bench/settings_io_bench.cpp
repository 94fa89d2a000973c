// Save and load of the full settings (config.ini and the five slot files, every button holding a 500-step
// macro) through our INI codec, against the same keys written and read one at a time through the Windows
// private-profile calls, in one run. Prints both times and the ratio, and checks the files are identical.
// Then Apply's save after one profile changed (only that slot's file is written) against a save in which
// every file changed, which is what each Apply wrote before unchanged files were left alone.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/profile_file.h"
#include "common/settings_file.h"

namespace {

using namespace sarn;

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::unique_ptr<SharedBlock> FullBlock() {
  auto block = std::make_unique<SharedBlock>();
  std::memset(block.get(), 0, sizeof(SharedBlock));
  ResetSettings(*block, [] { return 1; });
  block->CurrentProfile = 2;
  block->MouseType = 3;
  for (int p = 0; p < kProfileCount; ++p) {
    ProfileRecord& r = block->profiles[p];
    std::snprintf(r.GameFile0, sizeof r.GameFile0, "C:\\Games\\game%d.exe", p);
    for (int b = 0; b < kButtonCount; ++b) {
      ButtonSlot& s = r.MacroKeyInfo[b];
      s.functionCode = 48;
      std::snprintf(s.setName, sizeof s.setName, "Set %d", p);
      std::snprintf(s.macroName, sizeof s.macroName, "Macro %d-%d", p, b);
      s.loops = 1;
      s.count = kMacroEventCapacity;
      for (int e = 0; e < kMacroEventCapacity; ++e) {
        s.events[e] = MacroEvent{static_cast<std::uint8_t>(4 + (e + b) % 40), static_cast<std::uint8_t>(1 + e % 2),
                                 static_cast<std::uint16_t>(e * 7 + p)};
      }
    }
  }
  return block;
}

// ---- the same keys, one call each, through the platform ----

const char* const kSettingKeys[] = {"CurrentProfile", "WindowsProfile", "QuickHelpLan", "MouseType",
                                    "SoundProfile",   "SoundDpi",       "SoundSens",    "SoundVolume"};
std::int32_t* SettingField(SharedBlock& b, int i) {
  std::int32_t* fields[] = {&b.CurrentProfile, &b.WindowsProfile, &b.QuickHelpLan, &b.MouseType,
                            &b.SoundProfile,   &b.SoundDpi,       &b.SoundSens,    &b.SoundVolume};
  return fields[i];
}


void PutInt(const char* section, const char* key, int v, const std::string& file) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", v);
  WritePrivateProfileStringA(section, key, text, file.c_str());
}

void SaveOneByOne(const SharedBlock& block, const std::string& folder) {
  const std::string ini = folder + "config.ini";
  for (int i = 0; i < 8; ++i) PutInt("Setting", kSettingKeys[i], *SettingField(const_cast<SharedBlock&>(block), i), ini);
  CreateDirectoryA((folder + "config").c_str(), nullptr);
  for (int p = 0; p < kProfileCount; ++p) {
    const std::string file = folder + "config\\Default" + std::to_string(p) + ".zmp";
    const ProfileRecord& r = block.profiles[p];
    WritePrivateProfileStringA("Setting", "ProFileName", r.ProFileName, file.c_str());
    WritePrivateProfileStringA("Setting", "GameFile0", r.GameFile0, file.c_str());
    WritePrivateProfileStringA("Setting", "GameFile1", r.GameFile1, file.c_str());
    WritePrivateProfileStringA("Setting", "GameFile2", r.GameFile2, file.c_str());
    for (const auto& k : kIntsBeforeDpi) PutInt("Setting", k.key, r.*k.field, file);
    for (int i = 0; i < kDpiLevels; ++i) PutInt("Setting", ("dpi" + std::to_string(i)).c_str(), r.dpi[i], file);
    for (const auto& k : kIntsAfterDpi) PutInt("Setting", k.key, r.*k.field, file);
    for (int b = 0; b < kButtonCount; ++b) {
      WritePrivateProfileStructA("Setting", ("MacroKeyInfo" + std::to_string(b)).c_str(),
                                 const_cast<ButtonSlot*>(&r.MacroKeyInfo[b]), sizeof(ButtonSlot), file.c_str());
    }
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());  // flush the platform's cache
}

void LoadOneByOne(SharedBlock& block, const std::string& folder) {
  const std::string ini = folder + "config.ini";
  for (int i = 0; i < 8; ++i) *SettingField(block, i) = static_cast<int>(GetPrivateProfileIntA("Setting", kSettingKeys[i], -1, ini.c_str()));
  for (int p = 0; p < kProfileCount; ++p) {
    const std::string file = folder + "config\\Default" + std::to_string(p) + ".zmp";
    ProfileRecord& r = block.profiles[p];
    char text[2048];
    GetPrivateProfileStringA("Setting", "ProFileName", "", text, sizeof text, file.c_str());
    CopyTextField(r.ProFileName, text);
    GetPrivateProfileStringA("Setting", "GameFile0", "", text, sizeof text, file.c_str());
    CopyTextField(r.GameFile0, text);
    GetPrivateProfileStringA("Setting", "GameFile1", "", text, sizeof text, file.c_str());
    CopyTextField(r.GameFile1, text);
    GetPrivateProfileStringA("Setting", "GameFile2", "", text, sizeof text, file.c_str());
    CopyTextField(r.GameFile2, text);
    for (const auto& k : kIntsBeforeDpi) r.*k.field = static_cast<int>(GetPrivateProfileIntA("Setting", k.key, -1, file.c_str()));
    for (int i = 0; i < kDpiLevels; ++i) {
      r.dpi[i] = static_cast<std::uint8_t>(GetPrivateProfileIntA("Setting", ("dpi" + std::to_string(i)).c_str(), -1, file.c_str()));
    }
    for (const auto& k : kIntsAfterDpi) r.*k.field = static_cast<int>(GetPrivateProfileIntA("Setting", k.key, -1, file.c_str()));
    for (int b = 0; b < kButtonCount; ++b) {
      GetPrivateProfileStructA("Setting", ("MacroKeyInfo" + std::to_string(b)).c_str(), &r.MacroKeyInfo[b],
                               sizeof(ButtonSlot), file.c_str());
    }
  }
}

std::string Bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root = std::string(temp) + "sarn-settings-io-" + std::to_string(GetCurrentProcessId()) + "\\";
  const std::string ours = root + "codec\\";
  const std::string platform = root + "calls\\";
  std::filesystem::create_directories(ours);
  std::filesystem::create_directories(platform);

  const auto block = FullBlock();
  auto loaded = std::make_unique<SharedBlock>();
  std::vector<double> codecTimes, callTimes, codecSaveTimes, callSaveTimes;
  bool identical = true;
  bool loadsMatch = true;
  for (int round = 0; round < rounds; ++round) {
    std::filesystem::remove_all(ours);
    std::filesystem::remove_all(platform);
    std::filesystem::create_directories(ours);
    std::filesystem::create_directories(platform);

    double t0 = Now();
    (void)SaveSettings(*block, SettingsContext{ours, nullptr});
    const double tSaved = Now();
    (void)LoadSettings(*loaded, SettingsContext{ours, nullptr});
    double t1 = Now();
    codecTimes.push_back(t1 - t0);
    codecSaveTimes.push_back(tSaved - t0);
    loadsMatch &= std::memcmp(loaded->profiles, block->profiles, sizeof block->profiles) == 0;

    std::memset(loaded.get(), 0, sizeof(SharedBlock));
    t0 = Now();
    SaveOneByOne(*block, platform);
    const double tWritten = Now();
    LoadOneByOne(*loaded, platform);
    t1 = Now();
    callTimes.push_back(t1 - t0);
    callSaveTimes.push_back(tWritten - t0);
    loadsMatch &= std::memcmp(loaded->profiles, block->profiles, sizeof block->profiles) == 0;

    for (const char* name : {"config.ini", "config\\Default0.zmp", "config\\Default1.zmp", "config\\Default2.zmp",
                             "config\\Default3.zmp", "config\\Default4.zmp"}) {
      const std::string a = Bytes(ours + name);
      const std::string b = Bytes(platform + name);
      if (a != b || a.empty()) {
        if (identical) std::printf("DIFFERENT: %s (codec %zu bytes, calls %zu bytes)\n", name, a.size(), b.size());
        identical = false;
      }
    }
  }
  const double codec = Median(codecTimes);
  const double calls = Median(callTimes);
  std::printf("settings save+load, median of %d rounds (config.ini + 5 slot files, %zu bytes each)\n", rounds,
              Bytes(ours + "config\\Default0.zmp").size());
  std::printf("  our codec:              %9.3f ms (save %.3f ms)\n", codec * 1000.0, Median(codecSaveTimes) * 1000.0);
  std::printf("  private-profile calls:  %9.3f ms (save %.3f ms)\n", calls * 1000.0, Median(callSaveTimes) * 1000.0);
  std::printf("  ratio:                  %9.1f x\n", calls / codec);
  std::printf("  files byte-identical:   %s\n", identical ? "yes" : "NO");
  std::printf("  loaded records equal:   %s\n", loadsMatch ? "yes" : "NO");

  // One changed profile against every file changed, alternately, on the files saved above.
  auto edited = std::make_unique<SharedBlock>();
  std::memcpy(edited.get(), block.get(), sizeof(SharedBlock));
  std::vector<double> oneTimes, allTimes;
  for (int round = 0; round < rounds * 4; ++round) {
    edited->profiles[1].MacroKeyInfo[0].events[0].delay ^= 1;
    double t0 = Now();
    (void)SaveSettings(*edited, SettingsContext{ours, nullptr});
    oneTimes.push_back(Now() - t0);
    edited->SoundVolume ^= 1;
    for (ProfileRecord& r : edited->profiles) r.MacroKeyInfo[0].events[1].delay ^= 1;
    t0 = Now();
    (void)SaveSettings(*edited, SettingsContext{ours, nullptr});
    allTimes.push_back(Now() - t0);
  }
  const double one = Median(oneTimes), all = Median(allTimes);
  std::printf("Apply's save, median of %d rounds\n", rounds * 4);
  std::printf("  one profile changed:    %9.3f ms (one slot file written)\n", one * 1000.0);
  std::printf("  every file changed:     %9.3f ms (config.ini and five slot files, as every Apply wrote)\n",
              all * 1000.0);
  std::printf("  ratio:                  %9.1f x\n", all / one);
  std::filesystem::remove_all(root);
  return identical && loadsMatch ? 0 : 1;
}
