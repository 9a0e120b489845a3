// The native side of the preview's benchmark: the same host code and the
// same configurations as web/bench.html, painted by the native library.
// Usage: bench_native <samples directory> [runs]
#include "preview.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <samples directory> [runs]\n", argv[0]);
        return 2;
    }
    std::string samples = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 200;
    for (auto [slot, name] : {std::pair{0, "/house"}, std::pair{1, "/house-aux"}}) {
        std::string error = ppwOpen(slot, (samples + name).c_str());
        if (!error.empty()) {
            std::fprintf(stderr, "%s%s: %s\n", samples.c_str(), name, error.c_str());
            return 1;
        }
    }
    // The configuration bench.html paints: every garden option, the badge.
    const char *sizes[][2] = {{"640", "480"}, {"1024", "768"}};
    std::printf("{\"runs\": %d", runs);
    for (auto &size : sizes) {
        std::string config = std::string("{\"dest\": [0, 0, ") + size[0] + ", " + size[1] +
                             "], \"badge\": true, \"background\": 224, \"codes\": [500], "
                             "\"options\": {\"F0\": 4, \"F1\": 2, \"F2\": 2, \"P0\": 1, "
                             "\"P1\": 1, \"P2\": 1, \"M0\": 1}}";
        double ms = ppwBench(config.c_str(), runs);
        if (ms < 0) {
            std::fprintf(stderr, "the sample does not paint at %sx%s\n", size[0], size[1]);
            return 1;
        }
        std::printf(", \"%sx%s\": %.4f", size[0], size[1], ms);
    }
    std::printf("}\n");
    return 0;
}
