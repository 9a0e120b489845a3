// Byte blocks with guard bytes on both sides, and random picture contents,
// for the image operation tests.
#ifndef PIECEPAINT_TESTS_IMAGEOPS_GUARDED_H
#define PIECEPAINT_TESTS_IMAGEOPS_GUARDED_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace pptest {

inline int32_t Stride8(int32_t width)
{
    return (width + 3) & ~3;
}

// size usable bytes between two runs of guard bytes that no operation may
// touch.
class Guarded {
  public:
    static constexpr size_t kGuard = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

    explicit Guarded(size_t size, uint8_t fill = 0) : bytes_(kGuard, kGuardByte)
    {
        bytes_.insert(bytes_.end(), size, fill);
        bytes_.insert(bytes_.end(), kGuard, kGuardByte);
    }
    uint8_t *data() { return bytes_.data() + kGuard; }
    size_t size() const { return bytes_.size() - 2 * kGuard; }
    std::vector<uint8_t> Contents() const
    {
        return std::vector<uint8_t>(bytes_.begin() + kGuard, bytes_.end() - kGuard);
    }
    void Assign(const std::vector<uint8_t> &contents)
    {
        std::copy_n(contents.begin(), std::min(contents.size(), size()), bytes_.begin() + kGuard);
    }
    bool GuardsIntact() const
    {
        for (size_t i = 0; i < kGuard; ++i) {
            if (bytes_[i] != kGuardByte || bytes_[bytes_.size() - 1 - i] != kGuardByte)
                return false;
        }
        return true;
    }

  private:
    std::vector<uint8_t> bytes_;
};

// n bytes drawn from alphabet.
inline std::vector<uint8_t> RandomBytes(std::mt19937 &rng, size_t n,
                                        const std::vector<uint8_t> &alphabet)
{
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::vector<uint8_t> bytes(n);
    for (auto &b : bytes)
        b = alphabet[pick(rng)];
    return bytes;
}

inline int32_t RandomIn(std::mt19937 &rng, int32_t low, int32_t high)
{
    return std::uniform_int_distribution<int32_t>(low, high)(rng);
}

} // namespace pptest

#endif
