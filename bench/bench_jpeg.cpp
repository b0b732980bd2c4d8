// Benchmark (not a test): decode + encode at quality 90 of JPEG photographs through
// CPictureJPG, timed per stage like the bare-library baseline jpeg_roundtrip.c, so that
// scripts/bench-jpeg.sh can print the ratio to the bare library.
// Usage: bench_jpeg [-r REPS] FILE.jpg...
#include "image/MemStream.h"
#include "image/formats/PictureJPG.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<uint8_t> ReadWhole(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (!strcmp(argv[first], "-r") && first + 1 < argc)
            reps = std::max(1, atoi(argv[++first]));
        else {
            fprintf(stderr, "unknown option %s\n", argv[first]);
            return 2;
        }
    }
    if (first >= argc) {
        fprintf(stderr, "usage: %s [-r REPS] FILE.jpg...\n", argv[0]);
        return 2;
    }

    // One output stream for every file, rewound before each encode, as the baseline's -k
    // keeps its output buffer.
    CMemStream out;
    out.Open();
    std::vector<double> decodeMs, encodeMs, totalMs;
    printf("%-28s %6s %9s %9s %9s %9s\n", "file", "MP", "dec_ms", "enc_ms", "sum_ms", "out_KB");
    for (int f = first; f < argc; ++f) {
        std::vector<uint8_t> file = ReadWhole(argv[f]);
        if (file.empty()) {
            fprintf(stderr, "%s: cannot read\n", argv[f]);
            return 1;
        }
        std::vector<double> dec, enc, tot;
        DWORD width = 0, height = 0;
        int32_t outSize = 0;
        for (int r = 0; r < reps; ++r) {
            const double t0 = NowMs();
            CMemStream in(file.data(), static_cast<uint32_t>(file.size()));
            CPictureJPG picture;
            if (!picture.Decode(&in)) {
                fprintf(stderr, "%s: %s\n", argv[f], picture.GetLastError());
                return 1;
            }
            const double t1 = NowMs();
            out.Seek(0, 0);
            picture.info.nQuality = 90;
            if (!picture.Encode(&out)) {
                fprintf(stderr, "%s: %s\n", argv[f], picture.GetLastError());
                return 1;
            }
            const double t2 = NowMs();
            outSize = out.Tell();
            width = picture.GetWidth();
            height = picture.GetHeight();
            dec.push_back(t1 - t0);
            enc.push_back(t2 - t1);
            tot.push_back(t2 - t0);
        }
        decodeMs.push_back(Median(dec));
        encodeMs.push_back(Median(enc));
        totalMs.push_back(Median(tot));
        std::string base = argv[f];
        base = base.substr(base.find_last_of('/') + 1);
        printf("%-28.28s %6.2f %9.1f %9.1f %9.1f %9d\n", base.c_str(), width * double(height) / 1e6, decodeMs.back(),
               encodeMs.back(), totalMs.back(), outSize / 1024);
    }
    auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        return sum / static_cast<double>(v.size());
    };
    printf("summary (CPictureJPG, 4:2:0, standard Huffman, q90, %d rep(s)): files=%zu\n", reps, totalMs.size());
    printf("  mean ms/image: decode %.1f  encode %.1f  decode+encode %.1f\n", mean(decodeMs), mean(encodeMs),
           mean(totalMs));
    return 0;
}
