// Includes the loop file PP_LANES_LOOP names once per struct of runtime/vector_lanes.h: in a
// namespace avx2 with `Lanes` Avx2Lanes and in a namespace avx512 with `Lanes` Avx512Lanes, each
// time with PP_LANES_TARGET the target attribute its functions carry. No include guard: a file
// includes it once per loop file, after runtime/vector_lanes.h.
#if defined(__x86_64__)

namespace avx2 {
using Lanes = ::pp::Avx2Lanes;
#define PP_LANES_TARGET PP_AVX2_TARGET
#include PP_LANES_LOOP
#undef PP_LANES_TARGET
}  // namespace avx2

namespace avx512 {
using Lanes = ::pp::Avx512Lanes;
#define PP_LANES_TARGET PP_AVX512_TARGET
#include PP_LANES_LOOP
#undef PP_LANES_TARGET
}  // namespace avx512

#endif
#undef PP_LANES_LOOP
