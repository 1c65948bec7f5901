// Fuzz target for the zip-name and extra-field code. Built with libFuzzer when
// QUORVI_LIBFUZZER is set; otherwise a plain program that replays the seed
// corpus and a run of generated inputs, so every test run exercises it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "extract/zip_core.h"
#include "tests/fuzz_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring name = zipcore::DecodeUtf8(reinterpret_cast<const char*>(data), size);
  std::wstring stripped = zipcore::StripMemberName(name);
  // stripping only ever removes from the front
  if (stripped.size() > name.size() || name.compare(name.size() - stripped.size(), stripped.size(), stripped) != 0)
    std::abort();
  // what is left starts with neither a drive nor a separator
  if (!stripped.empty() && (stripped[0] == L'\\' || stripped[0] == L'/')) std::abort();
  if (stripped.size() >= 2 && stripped[1] == L':') std::abort();
  (void)zipcore::HasParentStep(stripped);
  zipcore::ExtendedTimes t = zipcore::WalkExtendedTimestamp(data, size);
  (void)t;
  if (size >= 4) (void)zipcore::MapAttributes(data[0], data[1] | (data[2] << 8) | (uint32_t{data[3]} << 24));
  return 0;
}

#ifndef QUORVI_LIBFUZZER
int main(int argc, char** argv) {
  size_t runs = ReplayCorpus(argc > 1 ? argv[1] : nullptr);
  std::mt19937 random(12345);
  const char alphabet[] = "\\/:.aUT\x01\x05\xff\xe6\x89\x8b";
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> bytes(random() % 40);
    for (auto& b : bytes) b = random() % 3 ? alphabet[random() % (sizeof alphabet - 1)] : random() % 256;
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++runs;
  }
  return runs > 0 ? 0 : 1;
}
#endif
