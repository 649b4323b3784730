// The BMP reader on any bytes, from a stream and from a file. A picture that is read must
// have sides from 1 to MAX_IMAGE_SIDE, every pixel and palette entry must be readable, and the
// grid the search gets from the file (dark pixels active) must be the stream's picture made
// binary the same way.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "FuzzSupport.h"
#include "image/BinaryImage.h"
#include "image/BmpPicture.h"
#include "image/PbmFile.h"

using namespace Trelm;

namespace
{

bool isDark(const BmpColor& color)
{
    return color.red + color.green + color.blue < 3 * 128;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes = fuzz::bytesOf(data, size);
    std::istringstream input(bytes);
    BmpPicture picture;
    const bool read = picture.read(input, "fuzz.bmp", std::cout);

    const std::string path = (fuzz::scratchFolder() / "fuzz.bmp").string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    BinaryImage image;
    const bool loaded = image.load(path, std::cout);
    if (read != loaded)
        std::abort();
    if (!read)
        return 0;

    const int width = picture.width;
    const int height = picture.height;
    if (width < 1 || width > MAX_IMAGE_SIDE || height < 1 || height > MAX_IMAGE_SIDE)
        std::abort();
    if (image.width != width || image.height != height ||
        image.rows.size() != static_cast<std::size_t>(height))
        std::abort();
    if (picture.bitDepth <= 8)
        for (int k = 0; k < (1 << picture.bitDepth); ++k)
            static_cast<void>(picture.paletteEntry(k));
    for (int y = 0; y < height; ++y) {
        const auto& row = image.rows[static_cast<std::size_t>(y)];
        if (row.size() != static_cast<std::size_t>(width))
            std::abort();
        for (int x = 0; x < width; ++x)
            if ((row[static_cast<std::size_t>(x)] != 0) != isDark(picture.pixel(x, y)))
                std::abort();
    }
    return 0;
}
