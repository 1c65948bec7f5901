// The plain-program side of a fuzz target: feeds every file of a seed corpus
// folder to the target, so that each test run replays the corpus even
// without libFuzzer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Returns the number of inputs replayed.
inline size_t ReplayCorpus(const char* folder) {
  size_t runs = 0;
  if (folder == nullptr || !std::filesystem::is_directory(folder)) return runs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++runs;
  }
  return runs;
}
