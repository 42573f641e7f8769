#pragma once

// QV_VECTOR_CLONES before a function that loops over rows: the loop is built three times,
// for processors with 512-bit vectors (x86-64-v4), with 256-bit vectors and fused
// multiply-add (x86-64-v3) and for any x86-64, and the loader picks the copy that fits the
// processor when the program starts. Everything the loop calls is inlined into each copy.
// Not under ThreadSanitizer, whose runtime is not ready when the loader picks the copy, nor
// with clang, which spells the processor levels differently.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(QV_THREAD_SANITIZER)
#define QV_VECTOR_CLONES                                                                           \
    __attribute__((flatten, target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define QV_VECTOR_CLONES __attribute__((flatten))
#endif
