// Runs a fuzz target without libFuzzer: every file of the given folders, then a fixed number of random
// mutations of them (byte flips, cuts, insertions). The short version of the campaign, so that the targets and
// their seeds keep building and passing in every test run.
//   TARGET_replay [--mutations N] FOLDER...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  long mutations = 2000;
  std::vector<std::vector<std::uint8_t>> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--mutations" && i + 1 < argc) {
      mutations = std::atol(argv[++i]);
      continue;
    }
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
      std::ifstream in(entry.path(), std::ios::binary);
      inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (inputs.empty()) inputs.emplace_back();
  for (const auto& input : inputs) LLVMFuzzerTestOneInput(input.data(), input.size());
  std::mt19937 random(20261209);
  for (long m = 0; m < mutations; ++m) {
    std::vector<std::uint8_t> v = inputs[random() % inputs.size()];
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = v.empty() ? 0 : random() % v.size();
      switch (random() % 4) {
        case 0: if (!v.empty()) v[at] = static_cast<std::uint8_t>(random()); break;
        case 1: if (!v.empty()) v[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
        case 2: v.insert(v.begin() + static_cast<long>(at), static_cast<std::uint8_t>(random())); break;
        default: if (!v.empty()) v.erase(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(std::min(v.size(), at + 1 + random() % 16))); break;
      }
    }
    LLVMFuzzerTestOneInput(v.data(), v.size());
  }
  std::printf("%zu seeds and %ld mutations passed\n", inputs.size(), mutations);
  return 0;
}
