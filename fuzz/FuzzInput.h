#pragma once

// What every fuzz target shares: the parsers take file names, so each input becomes a file.

#include <cstddef>
#include <cstdint>
#include <string>

namespace lvfuzz {

// The input's bytes as the file "input<extension>" in a folder of this process (below
// $LVFUZZ_TMP, else /dev/shm when it exists, else /tmp), rewritten for every input; returns
// its path. The readers pick their
// decoder by extension. Aborts when the file cannot be written: no input could be tried.
const std::string& WriteInput(const std::uint8_t* data, std::size_t size,
                              const std::string& extension);

// The folder WriteInput writes into, with a trailing '/'.
const std::string& InputFolder();

// Makes a broken invariant a finding: the fuzzer records the input that got here.
[[noreturn]] void Broken(const char* what);

} // namespace lvfuzz
