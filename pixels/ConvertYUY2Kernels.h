#pragma once

// Internals of the YUY2 conversion shared by ConvertYUY2.cpp, the vector
// kernels and the tests, which run every kernel the CPU offers rather than
// only the one the dispatcher picks.

#include <cstddef>
#include <cstdint>

namespace varnholt::convert {

// Converts `pairs` whole pixel pairs (4 source bytes each) into 2 * pairs
// output pixels, left to right.
using PairKernel = void (*)(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output);

// Avx2Stream writes around the cache (non-temporal stores); worth it only
// for frames too big to stay cached anyway.
enum class Kernel { Scalar, Sse2, Avx2, Avx2Stream };

// The table-driven pair loop; also the tail of the vector kernels.
void ConvertPairsScalar(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output);

#if defined(__x86_64__)
void ConvertPairsSse2(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output);
// Only to be called when the CPU reports AVX2.
void ConvertPairsAvx2(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output);
void ConvertPairsAvx2Stream(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output);
#endif

// Null when the kernel is not built for this target or the CPU lacks it.
PairKernel KernelFor(Kernel kernel);

// The fastest kernel this CPU runs for a frame of outputBytes.
Kernel BestKernel(std::size_t outputBytes);

// The row walker of ConvertYUY2 with a chosen kernel; false when the kernel
// is unavailable or the frame is refused.
bool ConvertYUY2With(Kernel kernel, const std::uint8_t* source, std::size_t sourceSize, int width,
                     int height, std::uint32_t* output);

}  // namespace varnholt::convert
