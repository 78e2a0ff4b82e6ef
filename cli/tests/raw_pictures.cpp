// Raw test pictures for the LUT consumer tests, written and compared byte for byte so no
// converter's pixel-format change stands between the tools being compared.
//   raw_pictures colours8 COUNT SEED          packed RGB24: the cube's corners, a grey ramp, then
//                                             pseudo-random colours, COUNT pixels in all
//   raw_pictures colours16 COUNT SEED         the same as RGB48 little-endian, random 16-bit codes
//   raw_pictures compare A B BYTES MAX [SHARE2]
//                                             compares two raw pictures of 1- or 2-byte samples
//                                             (2: little-endian): fails when a sample differs by
//                                             more than MAX codes, or when more than SHARE2
//                                             percent of them differ by more than 2
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t Next(uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
}

std::vector<uint8_t> Read(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "raw_pictures: cannot open %s\n", path);
        std::exit(2);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Colours(int bytes, long count, uint64_t seed) {
    const uint32_t full = bytes == 1 ? 255 : 65535;
    std::vector<uint32_t> samples;
    for (int corner = 0; corner < 8; ++corner)
        for (int c = 0; c < 3; ++c) samples.push_back((corner >> c & 1) ? full : 0);
    for (uint32_t v = 0; v <= 255; v += 5)
        for (int c = 0; c < 3; ++c) samples.push_back(v * (full / 255));
    while (static_cast<long>(samples.size()) < count * 3) samples.push_back(Next(seed) % (full + 1));
    samples.resize(static_cast<size_t>(count) * 3);
    std::vector<uint8_t> out;
    for (uint32_t s : samples) {
        out.push_back(static_cast<uint8_t>(s & 0xff));
        if (bytes == 2) out.push_back(static_cast<uint8_t>(s >> 8));
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 2;
}

int Compare(const char* a, const char* b, int bytes, long max, double share2) {
    const std::vector<uint8_t> x = Read(a), y = Read(b);
    if (x.size() != y.size() || x.size() % bytes) {
        std::fprintf(stderr, "raw_pictures: %s has %zu bytes, %s has %zu\n", a, x.size(), b, y.size());
        return 1;
    }
    const size_t n = x.size() / bytes;
    long worst = 0;
    size_t worstAt = 0, overTwo = 0;
    for (size_t i = 0; i < n; ++i) {
        const long u = bytes == 1 ? x[i] : x[2 * i] | x[2 * i + 1] << 8;
        const long v = bytes == 1 ? y[i] : y[2 * i] | y[2 * i + 1] << 8;
        const long d = std::labs(u - v);
        if (d > worst) worst = d, worstAt = i;
        overTwo += d > 2;
    }
    const double share = n ? 100.0 * static_cast<double>(overTwo) / static_cast<double>(n) : 0;
    std::printf("%zu samples: largest difference %ld (sample %zu), %.3f%% differ by more than 2\n", n, worst, worstAt, share);
    if (worst > max) {
        std::fprintf(stderr, "raw_pictures: largest difference %ld is above %ld\n", worst, max);
        return 1;
    }
    if (share > share2) {
        std::fprintf(stderr, "raw_pictures: %.3f%% differ by more than 2, above %.3f%%\n", share, share2);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if ((command == "colours8" || command == "colours16") && argc == 4)
        return Colours(command == "colours8" ? 1 : 2, std::atol(argv[2]), std::strtoull(argv[3], nullptr, 10));
    if (command == "compare" && (argc == 6 || argc == 7))
        return Compare(argv[2], argv[3], std::atoi(argv[4]), std::atol(argv[5]), argc == 7 ? std::atof(argv[6]) : 100.0);
    std::fprintf(stderr, "usage: raw_pictures colours8|colours16 COUNT SEED | compare A B BYTES MAX [SHARE2]\n");
    return 2;
}
