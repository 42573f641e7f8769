#pragma once

// QV_VECTOR_CLONES before a function that loops over rows: the loop is built four times,
// for processors with 512-bit vectors (x86-64-v4), with 256-bit vectors and fused
// multiply-add (x86-64-v3), with SSE4.2 (x86-64-v2: 32-bit multiplies, minimums and packs in
// one instruction each) and for any x86-64 (SSE2), and the loader picks the copy that fits the
// processor when the program starts. Everything the loop calls is inlined into each copy.
// Not under ThreadSanitizer, whose runtime is not ready when the loader picks the copy, nor
// with clang, which spells the processor levels differently; nor where QV_NO_VECTOR_CLONES is
// defined (a build of one copy for the compiler's -march, as the tests build the lower levels
// to run them on any machine). Where the copies are built, QV_VECTOR_COPIES is 1.
//
// A loop that needs a different body for one level is written as one function per level
// instead, each marked QV_VECTOR_COPY("arch=x86-64-v4"), ("arch=x86-64-v3"),
// ("arch=x86-64-v2") and ("default"), all four: the loader picks among them the same way.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(QV_THREAD_SANITIZER) && !defined(QV_NO_VECTOR_CLONES)
#define QV_VECTOR_COPIES 1
#define QV_VECTOR_CLONES                                                                           \
    __attribute__((                                                                                \
        flatten, target_clones("arch=x86-64-v4", "arch=x86-64-v3", "arch=x86-64-v2", "default")))
#define QV_VECTOR_COPY(level) __attribute__((flatten, target(level)))
#else
#define QV_VECTOR_COPIES 0
#define QV_VECTOR_CLONES __attribute__((flatten))
#endif
