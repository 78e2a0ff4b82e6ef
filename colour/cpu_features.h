// What this CPU runs and what is fast on it, read once. The wide kernels are compiled for their
// instruction set alone and chosen from these flags, so the 32-bit DLL keeps SSE2 as its baseline.
#pragma once

namespace tonalith {

struct CpuFeatures {
    bool avx2 = false;
    bool avx512f = false;
    bool avx512bw = false;
    bool avx512vbmi = false;
    // Gathers are microcoded on AMD's cores: there a gather of eight or sixteen lanes costs more
    // than the same number of plain loads, so the kernels that look up through gathers elsewhere
    // take their plain-load form.
    bool slowGathers = false;
};

// Read on first use (the library's constructors may not have run yet when a host calls in).
const CpuFeatures& Cpu();

}  // namespace tonalith
