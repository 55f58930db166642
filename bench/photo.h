// Photo-like JPEGs for the benchmarks: smooth gradients decode several times faster than
// photos and would hide what users pay.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace lvbench {

// Soft light, a fine woven texture and sensor noise, written at quality 90 row by row (so
// that 400 megapixels need no raster); about 4 to 6 MB for 12 megapixels. Made once in dir
// and kept: the name tells size and seed, so another seed is another picture.
inline std::string Photo(const std::filesystem::path& dir, int w, int h, unsigned seed = 1234) {
    std::string name = "photo-" + std::to_string(w) + "x" + std::to_string(h);
    if (seed != 1234)
        name += "-s" + std::to_string(seed);
    const auto path = dir / (name + ".jpg");
    if (std::filesystem::exists(path))
        return path.string();
    std::filesystem::create_directories(dir);
    const std::string tmp = path.string() + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 9.0f);
    // The seed also shifts the light, so that consecutive pictures differ (the encoder sees
    // real cuts and fades); no shift for the default seed, whose pictures are cached.
    const float phase = 0.37f * float(int(seed) - 1234);
    std::vector<JSAMPLE> row(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const float fy = float(y) / float(h);
        for (int x = 0; x < w; ++x) {
            const float fx = float(x) / float(w);
            const float weave = 18.0f * std::sin(float(x) * 0.9f) * std::sin(float(y) * 0.7f) +
                                10.0f * std::sin(float(x + 2 * y) * 0.23f);
            const float light =
                90.0f + 80.0f * fx * (1.0f - fy) + 40.0f * std::sin(fy * 9.0f + phase);
            for (int ch = 0; ch < 3; ++ch) {
                const float v = light * (0.8f + 0.15f * float(ch)) + weave + noise(rng);
                row[std::size_t(x) * 3 + std::size_t(ch)] = JSAMPLE(std::clamp(v, 0.0f, 255.0f));
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    std::filesystem::rename(tmp, path);
    return path.string();
}

// The first `count` (at most 10) of ten camera photos of 12 to 18 megapixels, a third of
// them portrait, each a different picture.
inline std::vector<std::string> CameraPhotos(const std::filesystem::path& dir, unsigned count) {
    static const int sizes[10][2] = {{4000, 3000}, {4896, 3264}, {3000, 4000}, {5184, 3456},
                                     {4608, 3072}, {3456, 5184}, {4272, 2848}, {4928, 3264},
                                     {3264, 4896}, {5184, 3456}};
    std::vector<std::string> paths;
    for (unsigned i = 0; i < std::min(count, 10u); ++i)
        paths.push_back(Photo(dir, sizes[i][0], sizes[i][1], i + 1));
    return paths;
}

} // namespace lvbench
