// The struct decoder on any text and any size: it must never read or write outside the text and buffer,
// must leave the buffer untouched when it refuses, and what it accepts must encode back to the same digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/private_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t bufferSize = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
  const std::string text = input.ConsumeRemainingBytesAsString();

  std::vector<unsigned char> buffer(bufferSize, 0xA5);
  const std::vector<unsigned char> before = buffer;
  const bool ok = sarn::DecodeStructValue(text, buffer.data(), buffer.size());
  if (!ok && buffer != before) std::abort();
  if (ok) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (sarn::EncodeStructValue(buffer.data(), buffer.size()) != upper) std::abort();
  }

  // And every byte block survives encoding and decoding.
  std::vector<unsigned char> back(text.size(), 0);
  if (!sarn::DecodeStructValue(sarn::EncodeStructValue(text.data(), text.size()), back.data(), back.size())) {
    std::abort();
  }
  if (std::string(back.begin(), back.end()) != text) std::abort();
  return 0;
}
