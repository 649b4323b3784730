#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "core/PixelRows.h"

namespace Trelm
{

/// A grey map, binary ("P5") or plain ("P2"), made binary as it is read: its dark pixels set.
class PgmPicture
{
  public:
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t maxValue = 0;
    /// 1 where a pixel is dark (isDarkPixel of its sample), 0 elsewhere, row 0 at the top.
    /// Rows are added as they are read: a file cut short leaves only the rows it held.
    PixelRows darkPixels;

    /// Reads a PGM file, printing one message for the first problem; true when it was read.
    bool readFile(const std::string& fileName, std::ostream& messages);

    /// Reads a PGM from a stream; fileName is only used in the messages.
    bool read(std::istream& input, const std::string& fileName, std::ostream& messages);

  private:
    bool readHeader(std::streambuf& input, bool& plain);
    bool readSize(std::streambuf& input);
    bool readMaxValue(std::streambuf& input, bool plain);
    bool readBinaryRaster(std::streambuf& input);
    bool readPlainRaster(std::streambuf& input);
    bool storeSample(std::vector<std::uint8_t>& row, int column, int line, std::uint32_t sample);
    bool fail(const std::string& reason);

    /// Where the reader's messages go while it reads, and the name they give.
    std::ostream* messages_ = nullptr;
    std::string fileName_;
};

} // namespace Trelm
