// The number box's text filter and edit answer on any text and bounds: the filtered text is a leading run of
// its own characters, and the value the box settles on is within its bounds and is what it shows.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "option/skin_controls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  int minimum = input.ConsumeIntegral<int>();
  int maximum = input.ConsumeIntegral<int>();
  if (input.ConsumeBool()) {  // mostly the bounds the pages use
    minimum = input.ConsumeIntegralInRange<int>(-100, 1000);
    maximum = minimum + input.ConsumeIntegralInRange<int>(0, 100000);
  }
  const unsigned code = input.ConsumeBool() ? 13u : input.ConsumeIntegralInRange<unsigned>(0, 20);
  const bool decimal = input.ConsumeBool();
  const unsigned key = input.ConsumeIntegral<std::uint8_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();

  const std::string kept = sarn::FilterNumericText(text);
  if (text.compare(0, kept.size(), kept) != 0) std::abort();
  if (kept.find_first_not_of("0123456789,.") != std::string::npos) std::abort();
  if (kept.size() < text.size() && std::string("0123456789,.").find(text[kept.size()]) != std::string::npos) std::abort();
  (void)sarn::NumericEditAcceptsKey(key);

  const sarn::NumberBoxUpdate update = sarn::NumberBoxOnEdit(text, code, minimum, maximum, decimal);
  if (minimum <= maximum && update.notify && (update.value < minimum || update.value > maximum)) std::abort();
  if (update.shownText.size() > text.size() + 16) std::abort();
  return 0;
}
