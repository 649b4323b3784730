// The PNG reader on any bytes (see GreyReaderFuzz.h).

#include "GreyReaderFuzz.h"
#include "image/PngPicture.h"

using namespace Trelm;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzGreyReader<PngPicture>(data, size, ".png",
                                            [](const PngPicture&) { return true; });
}
