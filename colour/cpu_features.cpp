#include "colour/cpu_features.h"

namespace tonalith {

namespace {

CpuFeatures Detect() {
    CpuFeatures f;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    f.avx2 = __builtin_cpu_supports("avx2");
    f.avx512f = __builtin_cpu_supports("avx512f");
    f.avx512bw = f.avx512f && __builtin_cpu_supports("avx512bw");
    f.avx512vbmi = f.avx512bw && __builtin_cpu_supports("avx512vbmi");
    f.slowGathers = __builtin_cpu_is("amd");
#endif
    return f;
}

}  // namespace

const CpuFeatures& Cpu() {
    static const CpuFeatures features = Detect();
    return features;
}

}  // namespace tonalith
