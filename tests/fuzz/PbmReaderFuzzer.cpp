// The PBM reader on any bytes: the header and the raster from a stream, as PBMB_READ reads a
// file. A header that passes must give sides from 1 to MAX_IMAGE_SIDE, and a raster that
// passes must give rows of the full width holding only 0 and 1.

#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "FuzzSupport.h"
#include "image/PbmFile.h"

using namespace Trelm;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream input(fuzz::bytesOf(data, size));
    int width = 0;
    int height = 0;
    if (!PBMB_READ_HEADER(input, width, height, std::cout))
        return 0;
    if (width < 1 || width > MAX_IMAGE_SIDE || height < 1 || height > MAX_IMAGE_SIDE)
        std::abort();
    PixelRows rows(static_cast<std::size_t>(height));
    if (!PBMB_READ_DATA(rows, input, width, height, std::cout))
        return 0;
    for (const auto& row : rows) {
        if (row.size() != static_cast<std::size_t>(width))
            std::abort();
        for (std::uint8_t pixel : row)
            if (pixel > 1)
                std::abort();
    }
    return 0;
}
