// The TIFF reader on any bytes (see GreyReaderFuzz.h).

#include "GreyReaderFuzz.h"
#include "image/TiffPicture.h"

using namespace Trelm;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzGreyReader<TiffPicture>(data, size, ".tif",
                                             [](const TiffPicture&) { return true; });
}
