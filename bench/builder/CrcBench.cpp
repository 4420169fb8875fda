// CRC-32 throughput over a 32 MiB buffer, next to zlib's crc32 on the same buffer.
#include "builder/RomIdentity.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <vector>

int main() {
    using Clock = std::chrono::steady_clock;
    std::vector<unsigned char> buffer(32u << 20);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    }
    double ours = 1e9, theirs = 1e9;
    std::uint32_t a = 0, b = 0;
    for (int r = 0; r < 5; ++r) {
        auto t = Clock::now();
        a = rix::Crc32OfBuffer(buffer.data(), std::uint32_t(buffer.size()));
        ours = std::min(ours, std::chrono::duration<double>(Clock::now() - t).count());
        t = Clock::now();
        b = std::uint32_t(crc32(0, buffer.data(), uInt(buffer.size())));
        theirs = std::min(theirs, std::chrono::duration<double>(Clock::now() - t).count());
    }
    if (a != b) {
        std::printf("CRC mismatch: %08X vs %08X\n", a, b);
        return 1;
    }
    const double mib = double(buffer.size()) / (1 << 20);
    std::printf(
        "Crc32OfBuffer  %8.1f MiB/s\nzlib crc32     %8.1f MiB/s\nratio (zlib time / ours) %.2f\n",
        mib / ours, mib / theirs, theirs / ours);
    return 0;
}
