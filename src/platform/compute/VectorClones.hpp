#pragma once

// QV_WIDE_VECTOR_CLONES before a function that loops over wide rows: a second copy of it for
// processors with 256-bit integer vectors, picked once when the program loads; the plain
// copy serves every other processor. Not under ThreadSanitizer, whose runtime is not ready
// when the loader picks the copy.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) &&                            \
    !defined(QV_THREAD_SANITIZER)
#define QV_WIDE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QV_WIDE_VECTOR_CLONES
#endif
