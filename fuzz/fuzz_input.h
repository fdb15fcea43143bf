// What the fuzz targets share: a check that stops the run on a broken property, and the cutting of
// a byte stream into arrivals of varying sizes, so the same bytes are tried across every boundary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A property that must hold; a failure aborts, which the fuzzer reports as a crash.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace cv3::fuzz {

// `seed` 0 takes the stream as one arrival; otherwise sizes from 1 to `seed` follow each other.
template <class Take>
void ForEachArrival(std::string_view stream, uint8_t seed, Take take) {
  for (size_t i = 0; !stream.empty(); ++i) {
    size_t size = seed == 0 ? stream.size() : 1 + (i * 131 + seed) % seed;
    if (size > stream.size()) size = stream.size();
    take(stream.substr(0, size));
    stream.remove_prefix(size);
  }
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace cv3::fuzz
