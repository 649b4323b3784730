#include "driver/PgmFile.h"

#include "driver/ReplacingFile.h"

#include <algorithm>
#include <fstream>
#include <iostream>

namespace Trelm
{

namespace
{

int largestValue(int height, const PixelRows& rows, int width)
{
    int largest = 0;
    for (int y = 0; y < height; ++y) {
        const auto& row = rows[static_cast<std::size_t>(y)];
        const auto end = row.begin() + std::min<std::ptrdiff_t>(width, row.size());
        if (row.begin() != end)
            largest = std::max<int>(largest, *std::max_element(row.begin(), end));
    }
    return largest;
}

} // namespace

bool PGMB_WRITE(const std::string& fileName, int height, const PixelRows& rows, int width,
                std::ostream& messages)
{
    const auto cannotOpen = [&] {
        messages << "\n"
                 << "PGMB_WRITE: Fatal error!\n"
                 << "  Cannot open the output file " << fileName << "\n";
        return true;
    };
    const int maxValue = largestValue(height, rows, width);
    // Written beside the target and renamed into place: a failed write leaves no half file,
    // and a link under the target's name is replaced, never written through.
    ReplacingFile file(fileName);
    if (!file.isOpen())
        return cannotOpen();
    std::ofstream& output = file.stream();
    output << "P5 " << width << " " << height << " " << maxValue << "\n";
    if (PGMB_WRITE_DATA(height, width, rows, output)) {
        messages << "\n"
                 << "PGMB_WRITE: Fatal error!\n"
                 << "  PGMB_WRITE_DATA failed.\n";
        return true;
    }
    if (!file.commit())
        return cannotOpen();
    return false;
}

bool PGMB_WRITE_DATA(int height, int width, const PixelRows& rows, std::ostream& output)
{
    for (int y = 0; y < height; ++y) {
        const auto& row = rows[static_cast<std::size_t>(y)];
        if (row.size() < static_cast<std::size_t>(width))
            return true;
        output.write(reinterpret_cast<const char*>(row.data()), width);
    }
    output.flush();
    return !output;
}

} // namespace Trelm
