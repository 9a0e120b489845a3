// The benchmarks' main: Google Benchmark's flags, and --vector-level=N to
// time the image operations with the paths of a lower vector level
// (0 plain where built so, 1 SSE2, 2 SSSE3 and SSE4.1, 3 AVX2, 4 AVX-512
// with byte permutes).
#include "imageops/cpu.h"
#include "pictures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    const char prefix[] = "--vector-level=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, sizeof prefix - 1) == 0)
            LimitVectorLevel(std::atoi(argv[i] + sizeof prefix - 1));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    std::printf("vector level %d of %d; pictures: %s\n", static_cast<int>(ActiveVectorLevel()),
                static_cast<int>(SupportedVectorLevel()), ppbench::PictureSource());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
