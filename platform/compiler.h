// Compiler and runtime differences, kept together so that no other file has to
// know which compiler builds it. GCC and Clang (including the mingw-w64 cross
// compilers) take the first branch; anything else gets the plain fallbacks.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define CORVO_LIKELY(x) __builtin_expect(!!(x), 1)
#define CORVO_UNLIKELY(x) __builtin_expect(!!(x), 0)
// Starts loading the cache line at p for reading / for writing.
#define CORVO_PREFETCH(p) __builtin_prefetch((p), 0)
#define CORVO_PREFETCH_WRITE(p) __builtin_prefetch((p), 1)
#define CORVO_NOINLINE __attribute__((noinline))
#define CORVO_ALWAYS_INLINE inline __attribute__((always_inline))
// The index of the lowest set bit of a non-zero unsigned int.
#define CORVO_LOWEST_BIT(x) __builtin_ctz(x)
#else
#define CORVO_LIKELY(x) (x)
#define CORVO_UNLIKELY(x) (x)
#define CORVO_PREFETCH(p) ((void)(p))
#define CORVO_PREFETCH_WRITE(p) ((void)(p))
#define CORVO_NOINLINE
#define CORVO_ALWAYS_INLINE inline
#define CORVO_LOWEST_BIT(x) CorvoLowestBit(x)
inline int CorvoLowestBit(unsigned int x) {
    int n = 0;
    while ((x & 1u) == 0) {
        x >>= 1;
        ++n;
    }
    return n;
}
#endif

// Marks the module's exported entry points. ELF builds hide everything else
// (-fvisibility=hidden) and need the visibility; the Windows DLL names its
// exports in module/CorvoSSOLogin.def and needs nothing here.
#if defined(_WIN32)
#define CORVO_MODULE_EXPORT
#elif defined(__GNUC__) || defined(__clang__)
#define CORVO_MODULE_EXPORT __attribute__((visibility("default")))
#else
#define CORVO_MODULE_EXPORT
#endif

// Memory with a given alignment. The C runtime of Windows has no aligned_alloc;
// its _aligned_malloc takes the arguments the other way round, and a block it
// returns must go back through _aligned_free, never free. Callers therefore
// pair CorvoAlignedAlloc with CorvoAlignedFree and never mix them with
// malloc/free. `size` must be a multiple of `alignment`.
#include <cstddef>
#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
inline void* CorvoAlignedAlloc(std::size_t alignment, std::size_t size) noexcept {
    return _aligned_malloc(size, alignment);
}
inline void CorvoAlignedFree(void* block) noexcept {
    _aligned_free(block);
}
#else
inline void* CorvoAlignedAlloc(std::size_t alignment, std::size_t size) noexcept {
    return std::aligned_alloc(alignment, size);
}
inline void CorvoAlignedFree(void* block) noexcept {
    std::free(block);
}
#endif
