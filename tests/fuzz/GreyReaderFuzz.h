#pragma once

// What the PNG, PGM and TIFF fuzz targets share: the reader on any bytes, from a stream and
// from a file. A picture that is read must have sides from 1 to MAX_IMAGE_SIDE, every row full
// and holding only 0 and 1, and the grid the search gets from the file must be that picture,
// or its complement when light pixels are active (asked for, or the fewer).

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "image/BinaryImage.h"
#include "image/PbmFile.h"

namespace Trelm::fuzz
{

inline void checkGrid(const PixelRows& rows, const PixelRows& dark, int width, bool lightIsActive)
{
    if (rows.size() != dark.size())
        std::abort();
    for (std::size_t y = 0; y < rows.size(); ++y) {
        if (rows[y].size() != static_cast<std::size_t>(width) || dark[y].size() != rows[y].size())
            std::abort();
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (dark[y][x] > 1 || rows[y][x] != (lightIsActive ? 1 - dark[y][x] : dark[y][x]))
                std::abort();
    }
}

/// One input through Picture's reader (a file named "fuzz" + extension); pictureIsSound checks
/// what is particular to the format.
template <typename Picture, typename Check>
int fuzzGreyReader(const std::uint8_t* data, std::size_t size, const std::string& extension,
                   Check pictureIsSound)
{
    const std::string bytes = bytesOf(data, size);
    std::istringstream input(bytes);
    Picture picture;
    const bool read = picture.read(input, "fuzz" + extension, std::cout);

    const std::string path = (scratchFolder() / ("fuzz" + extension)).string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    // Each side in turn, so every way of choosing the active pixels is fuzzed.
    const ActiveSide sides[] = {ActiveSide::Minority, ActiveSide::Light, ActiveSide::Dark};
    const ActiveSide side = sides[size % 3];
    BinaryImage image;
    const bool loaded = image.load(path, std::cout, side);
    if (read != loaded)
        std::abort();
    if (!read)
        return 0;
    bool lightIsActive = side == ActiveSide::Light;
    if (side == ActiveSide::Minority) {
        std::uint64_t dark = 0;
        for (const auto& row : picture.darkPixels)
            for (const std::uint8_t pixel : row)
                dark += pixel;
        // The light side wins only with fewer pixels; a tie keeps the dark one.
        lightIsActive = 2 * dark > std::uint64_t(picture.width) * std::uint64_t(picture.height);
    }

    const int width = picture.width;
    const int height = picture.height;
    if (width < 1 || width > MAX_IMAGE_SIDE || height < 1 || height > MAX_IMAGE_SIDE ||
        !pictureIsSound(picture))
        std::abort();
    if (image.width != width || image.height != height ||
        picture.darkPixels.size() != static_cast<std::size_t>(height))
        std::abort();
    checkGrid(image.rows, picture.darkPixels, width, lightIsActive);
    return 0;
}

} // namespace Trelm::fuzz
