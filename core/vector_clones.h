// Hot loops built twice, for the baseline instruction set and for AVX2, the
// one chosen when the library loads by what the processor has. The results
// are the same (the same IEEE operations in the same order, no fused
// multiply-add); only the vector width differs. Where the toolchain cannot
// choose at load time (Windows DLLs, clang with templates), the baseline only.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__ELF__) && (defined(__x86_64__) || defined(__i386__))
#define GLYRA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define GLYRA_VECTOR_CLONES
#endif
