// ZEPH_AVX2_CLONES before a function compiles it twice, for processors with
// AVX2 and for any other; the loader picks one when the library loads. Both
// do the same arithmetic in the same order, so results do not depend on the
// processor. Not under ThreadSanitizer, whose instrumented version of the
// picking code would run before its runtime has started.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define ZEPH_NO_AVX2_CLONES 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZEPH_NO_AVX2_CLONES 1
#endif
#endif

#if defined(ZEPH_NO_AVX2_CLONES)
#define ZEPH_AVX2_CLONES
#else
#define ZEPH_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif
