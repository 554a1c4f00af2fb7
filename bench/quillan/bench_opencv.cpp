// OpenCV's Zhang–Suen thinning on the ink of a work image, the call alone timed.
#include <opencv2/core.hpp>
#include <opencv2/ximgproc.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 62)
        return 1;
    auto i32 = [&](std::size_t at) {
        return static_cast<std::int32_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8 |
                                         static_cast<std::uint8_t>(bytes[at + 2]) << 16 |
                                         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3])) << 24);
    };
    const int width = i32(18), height = i32(22);
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    if (bytes.size() < 62 + stride * static_cast<std::size_t>(height))
        return 1;
    // The prepared images hold ink as clear bits.
    cv::Mat ink(height, width, CV_8UC1);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(bytes.data()) + 62 + static_cast<std::size_t>(y) * stride;
        auto* out = ink.ptr<std::uint8_t>(y);
        for (int x = 0; x < width; ++x)
            out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
    }
    cv::setNumThreads(1);   // the peers are compared on one core
    cv::Mat thin;
    const auto start = std::chrono::steady_clock::now();
    cv::ximgproc::thinning(ink, thin, cv::ximgproc::THINNING_ZHANGSUEN);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.4f\n", seconds);
    return 0;
}
