#include "tests/stress/soak_check.h"

#include <cstring>
#include <memory>

#include "common/json_writer.h"
#include "common/private_profile.h"
#include "hidport/virtual_mouse.h"
#include "monitor/device/report_protocol.h"
#include "tools/core/configuration.h"

namespace sarn::soak {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMouseMemory = "virtual-mouse.ini";

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

// A file cut short by a kill or a full disk ends inside a line; the programs end every line with CR LF.
std::string WholeLines(const std::string& bytes) {
  if (bytes.empty()) return "empty";
  if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) return "does not end with a whole line";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return "a line ends without CR";
    if (bytes[i] == '\0') return "holds a NUL byte";
  }
  return {};
}

// The byte where two contents first differ, for a problem line.
std::string FirstDifference(const std::string& disk, const std::string& readBack) {
  std::size_t i = 0;
  while (i < disk.size() && i < readBack.size() && disk[i] == readBack[i]) ++i;
  const std::size_t lineStart = disk.rfind('\n', i == 0 ? 0 : i - 1);
  const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
  std::string line = disk.substr(from, disk.find('\r', from) - from).substr(0, 60);
  return "reads back differently from byte " + std::to_string(i) + " (line \"" + line + "\")";
}

void CheckMouseMemory(const fs::path& folder, const sarnctl::Configuration& config, FolderVerdict& verdict) {
  FileVerdict file{kMouseMemory, {}};
  std::string bytes;
  if (!ReadWholeFile(folder / kMouseMemory, bytes)) {
    file.problem = "missing";
    verdict.files.push_back(file);
    verdict.memory.push_back("the mouse's memory could not be read");
    return;
  }
  file.problem = WholeLines(bytes);
  const IniDocument document = IniDocument::Parse(bytes);
  auto mouse = std::make_unique<vmouse::VirtualMouse>();
  mouse->Load(document);
  // Load keeps factory content for a missing or damaged value; writing back what was loaded then changes the
  // document, so an unchanged document means every value was read as it stands.
  IniDocument again = IniDocument::Parse(bytes);
  mouse->Save(again);
  if (file.problem.empty() && again.Modified()) file.problem = FirstDifference(bytes, again.Serialize());
  verdict.files.push_back(file);

  if (mouse->Active() != config.block->CurrentProfile) {
    verdict.memory.push_back("active profile " + std::to_string(mouse->Active() + 1) + ", config.ini CurrentProfile " +
                             std::to_string(config.block->CurrentProfile + 1));
  }
  for (int slot = 0; slot < kProfileCount; ++slot) {
    const ProfileRecord& applied = config.block->profiles[slot];
    const vmouse::OnBoardProfile& kept = mouse->Profile(slot);
    const FeatureReport settings = MakeProfileSettingsReport(applied, slot);
    if (std::memcmp(settings.data() + 3, kept.settings.data(), kept.settings.size()) != 0) {
      verdict.memory.push_back("profile " + std::to_string(slot + 1) + " settings: mouse " +
                               Hex(kept.settings.data(), kept.settings.size()) + ", slot file " +
                               Hex(settings.data() + 3, kept.settings.size()));
    }
    const FeatureReport buttons = MakeButtonFunctionsReport(applied, slot);
    if (std::memcmp(buttons.data() + 3, kept.buttons.data(), kept.buttons.size()) != 0) {
      verdict.memory.push_back("profile " + std::to_string(slot + 1) + " buttons: mouse " +
                               Hex(kept.buttons.data(), kept.buttons.size()) + ", slot file " +
                               Hex(buttons.data() + 3, kept.buttons.size()));
    }
  }
}

}  // namespace

bool FolderVerdict::Passed() const {
  for (const auto& f : files) {
    if (!f.problem.empty()) return false;
  }
  return memory.empty();
}

FolderVerdict CheckProgramFolder(const fs::path& folder) {
  FolderVerdict verdict;
  std::vector<std::string> expected = {"config.ini"};
  for (int i = 0; i < kProfileCount; ++i) expected.push_back("config/Default" + std::to_string(i) + ".zmp");
  expected.push_back("config/Sarn_sequence.dat");
  expected.push_back("config/Timer.ini");

  auto config = std::make_unique<sarnctl::Configuration>();
  std::string error;
  const bool read = sarnctl::ReadConfiguration(folder, *config, error);
  // Values our readers take but the programs would never write (out of range), by file: config.ini first.
  std::vector<sarnctl::Problems> problems(expected.size());
  if (read) {
    sarnctl::CheckSettings(*config->block, "settings", problems[0]);
    for (int i = 0; i < kProfileCount; ++i) {
      sarnctl::CheckProfile(config->block->profiles[i], "profile " + std::to_string(i + 1), problems[1 + i]);
    }
  }
  // What our writer makes of what our readers took from the folder: the same bytes, file for file, unless a
  // value was damaged, cut or out of place (the readers then hold a default or a repaired value).
  std::vector<sarnctl::FileContent> readBack;
  if (read) readBack = sarnctl::BuildConfigurationFiles(*config, folder);

  for (std::size_t n = 0; n < expected.size(); ++n) {
    const std::string& name = expected[n];
    FileVerdict file{name, {}};
    std::string bytes;
    if (!ReadWholeFile(folder / name, bytes)) {
      file.problem = "missing";
    } else if (!read) {
      file.problem = "not readable: " + error;
    } else {
      file.problem = WholeLines(bytes);
      if (file.problem.empty()) {
        const sarnctl::FileContent* built = nullptr;
        for (const auto& content : readBack) {
          if (content.relative.generic_string() == name) built = &content;
        }
        if (built == nullptr) {
          file.problem = "not taken by the readers";
        } else if (built->bytes != bytes) {
          file.problem = FirstDifference(bytes, built->bytes);
        }
      }
      for (const auto& problem : problems[n]) file.problem += (file.problem.empty() ? "" : "; ") + problem;
    }
    verdict.files.push_back(file);
  }
  if (read) {
    CheckMouseMemory(folder, *config, verdict);
  } else {
    verdict.files.push_back({kMouseMemory, "not compared: the configuration could not be read"});
  }
  return verdict;
}

std::string VerdictJson(const FolderVerdict& verdict) {
  JsonWriter json;
  json.BeginObject();
  json.Key("passed").Bool(verdict.Passed());
  json.Key("files").BeginArray();
  for (const auto& f : verdict.files) {
    json.BeginObject().Member("file", f.file).Member("problem", f.problem).EndObject();
  }
  json.EndArray();
  json.Key("memory").BeginArray();
  for (const auto& m : verdict.memory) json.String(m);
  json.EndArray();
  json.EndObject();
  return json.str();
}

}  // namespace sarn::soak
