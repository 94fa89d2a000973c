// sarn-assetgen SCRIPT FOLDER [PATH...]: writes the outputs of an asset script into FOLDER (each at its path
// there), or only the PATHs named. A build step: it runs on the build machine, whatever the target.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "asset_script.h"
#include "render.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: sarn-assetgen SCRIPT FOLDER [PATH...]\n");
  return 2;
}

// Through a temporary file beside the target, so that an interrupted build never leaves half a file that
// looks newer than the script.
bool WriteFile(const fs::path& path, const sarn::assets::Bytes& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) return false;
  }
  fs::rename(temporary, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "sarn-assetgen: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  sarn::assets::Script script;
  std::string error;
  if (!sarn::assets::ParseScript(text, script, error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::set<std::string> wanted(argv + 3, argv + argc);
  for (const std::string& name : wanted) {
    bool known = false;
    for (const auto& out : script.outputs) known = known || out.path == name;
    if (!known) {
      std::fprintf(stderr, "sarn-assetgen: %s does not make %s\n", argv[1], name.c_str());
      return 1;
    }
  }
  for (const auto& out : script.outputs) {
    if (!wanted.empty() && !wanted.contains(out.path)) continue;
    const sarn::assets::Bytes bytes = sarn::assets::BuildOutput(script, out);
    if (bytes.empty()) {
      std::fprintf(stderr, "sarn-assetgen: %s cannot be written\n", out.path.c_str());
      return 1;
    }
    if (!WriteFile(fs::path(argv[2]) / out.path, bytes)) {
      std::fprintf(stderr, "sarn-assetgen: cannot write %s\n", (fs::path(argv[2]) / out.path).string().c_str());
      return 1;
    }
  }
  return 0;
}
