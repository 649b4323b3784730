// The PGM reader on any bytes (see GreyReaderFuzz.h); a picture read has a maximum of 1 to 65535.

#include "GreyReaderFuzz.h"
#include "image/PgmPicture.h"

using namespace Trelm;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzGreyReader<PgmPicture>(data, size, ".pgm", [](const PgmPicture& picture) {
        return picture.maxValue >= 1 && picture.maxValue <= 65535;
    });
}
