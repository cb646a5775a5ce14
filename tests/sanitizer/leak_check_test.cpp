// The leak check at exit survives a dynamic thread-local block that the C library allocated
// 16 bytes past a page boundary, where the sanitizer runtime's own guess at its bounds would
// read garbage (cmake/sanitizer_options.cpp). The test sets that case up; the leak check that
// runs when the binary exits is the check.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kMaxChunks = 100000;
void* chunks[kMaxChunks];  // kept reachable, so no leak of ours is reported

TEST(LeakCheck, SurvivesAThreadLocalBlockJustPastAPage) {
    void* module = dlopen(PP_THREAD_LOCAL_PROBE, RTLD_NOW);
    ASSERT_NE(module, nullptr) << dlerror();
    auto* block = reinterpret_cast<char* (*)()>(dlsym(module, "ThreadLocalBlock"));
    ASSERT_NE(block, nullptr) << dlerror();
    // The block is 24 bytes, which the sanitizer's allocator hands out from 48-byte chunks in
    // address order: take chunks until the next one starts on a page.
    uintptr_t next = 0;
    for (int i = 0; i < kMaxChunks && next % 4096 != 16; ++i) {
        chunks[i] = std::malloc(24);
        next = reinterpret_cast<uintptr_t>(chunks[i]) + 48;
    }
    const uintptr_t at = reinterpret_cast<uintptr_t>(block());
    ASSERT_EQ(at % 4096, 16u) << "the allocator's layout changed: the case is not set up";
}

}  // namespace
