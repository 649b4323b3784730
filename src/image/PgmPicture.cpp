#include "image/PgmPicture.h"

#include <fstream>

#include "image/GreyLevel.h"
#include "image/PbmFile.h"

namespace Trelm
{

namespace
{

using Traits = std::streambuf::traits_type;

constexpr std::uint32_t MAX_GREY_VALUE = 65535;
// Digits past this value are still read but no longer counted: every field has a range far
// below it, so the value stays out of range and cannot overflow.
constexpr std::uint32_t NUMBER_CAP = 100000000;

enum class Token { Number, Missing, Bad };

bool isWhitespace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

// Skips whitespace and comments, a comment running from '#' to the end of its line.
void skipSeparators(std::streambuf& input)
{
    int c = input.sgetc();
    for (;;) {
        if (c == '#') {
            while (c != Traits::eof() && c != '\n' && c != '\r')
                c = input.snextc();
        } else if (isWhitespace(c)) {
            c = input.snextc();
        } else {
            return;
        }
    }
}

// Reads a decimal number after any separators. It must end at a separator or at the end of
// the file, which is left unread: "12x" is no number.
Token readNumber(std::streambuf& input, std::uint32_t& value)
{
    skipSeparators(input);
    int c = input.sgetc();
    if (c == Traits::eof())
        return Token::Missing;
    if (!isDigit(c))
        return Token::Bad;
    std::uint32_t number = 0;
    for (; isDigit(c); c = input.snextc())
        if (number < NUMBER_CAP)
            number = number * 10 + static_cast<std::uint32_t>(c - '0');
    if (c != Traits::eof() && !isWhitespace(c) && c != '#')
        return Token::Bad;
    value = number;
    return Token::Number;
}

} // namespace

bool PgmPicture::readFile(const std::string& fileName, std::ostream& messages)
{
    messages_ = &messages;
    fileName_ = fileName;
    std::ifstream input(fileName, std::ios::binary);
    if (!input)
        return fail("the file cannot be opened");
    return read(input, fileName, messages);
}

bool PgmPicture::read(std::istream& input, const std::string& fileName, std::ostream& messages)
{
    messages_ = &messages;
    fileName_ = fileName;
    width = height = 0;
    maxValue = 0;
    darkPixels.clear();
    std::streambuf* buffer = input.rdbuf();
    if (buffer == nullptr)
        return fail("the file cannot be opened");
    bool plain = false;
    if (!readHeader(*buffer, plain))
        return false;
    return plain ? readPlainRaster(*buffer) : readBinaryRaster(*buffer);
}

bool PgmPicture::readHeader(std::streambuf& input, bool& plain)
{
    const int p = input.sbumpc();
    const int kind = input.sbumpc();
    if (p != 'P' || (kind != '5' && kind != '2'))
        return fail("it is not a PGM file (it does not start with P5 or P2)");
    plain = kind == '2';
    // "P5" must stand alone: "P52" is no magic number followed by a width.
    const int next = input.sgetc();
    if (next != Traits::eof() && !isWhitespace(next) && next != '#')
        return fail("it is not a PGM file (it does not start with P5 or P2)");
    return readSize(input) && readMaxValue(input, plain);
}

bool PgmPicture::readSize(std::streambuf& input)
{
    std::uint32_t sides[2] = {0, 0};
    const char* const names[2] = {"width", "height"};
    for (int k = 0; k < 2; ++k) {
        const Token token = readNumber(input, sides[k]);
        if (token == Token::Missing)
            return fail("the file ends inside its header");
        if (token == Token::Bad)
            return fail(std::string("its ") + names[k] + " is not a number");
    }
    // Every coordinate must fit a 16-bit Point.
    if (sides[0] < 1 || sides[0] > MAX_IMAGE_SIDE || sides[1] < 1 || sides[1] > MAX_IMAGE_SIDE)
        return fail("its width and height must be from 1 to " + std::to_string(MAX_IMAGE_SIDE));
    if (std::int64_t{sides[0]} * sides[1] > MAX_PICTURE_PIXELS)
        return fail("it has more than " + std::to_string(MAX_PICTURE_PIXELS) + " pixels");
    width = static_cast<std::int32_t>(sides[0]);
    height = static_cast<std::int32_t>(sides[1]);
    return true;
}

bool PgmPicture::readMaxValue(std::streambuf& input, bool plain)
{
    const Token token = readNumber(input, maxValue);
    if (token == Token::Missing)
        return fail("the file ends inside its header");
    if (token == Token::Bad)
        return fail("its maximum grey value is not a number");
    if (maxValue < 1 || maxValue > MAX_GREY_VALUE) {
        maxValue = 0;
        return fail("its maximum grey value must be from 1 to " + std::to_string(MAX_GREY_VALUE));
    }
    if (plain)
        return true;
    // The raster of a binary map starts right after exactly one whitespace byte: a sample
    // may itself be a blank or a '#'.
    const int separator = input.sbumpc();
    if (separator == Traits::eof())
        return fail("the file ends inside its header");
    if (!isWhitespace(separator))
        return fail("its maximum grey value is not followed by one whitespace byte");
    return true;
}

bool PgmPicture::readBinaryRaster(std::streambuf& input)
{
    // One byte per sample below 256, else two, the most significant first.
    const std::size_t sampleSize = maxValue < 256 ? 1 : 2;
    const std::size_t rowSize = static_cast<std::size_t>(width) * sampleSize;
    std::vector<unsigned char> bytes(rowSize);
    for (int y = 0; y < height; ++y) {
        // Rows are allocated one at a time, so a file that claims more rows than it holds
        // fails before the whole grid is allocated.
        std::vector<std::uint8_t>& row = darkPixels.emplace_back(static_cast<std::size_t>(width));
        const auto got = input.sgetn(reinterpret_cast<char*>(bytes.data()),
                                     static_cast<std::streamsize>(rowSize));
        if (got < static_cast<std::streamsize>(rowSize))
            return fail("the file ends before its last pixel");
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &bytes[static_cast<std::size_t>(x) * sampleSize];
            const std::uint32_t sample = sampleSize == 1 ? p[0] : (std::uint32_t{p[0]} << 8) | p[1];
            if (!storeSample(row, x, y, sample))
                return false;
        }
    }
    return true;
}

bool PgmPicture::readPlainRaster(std::streambuf& input)
{
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t>& row = darkPixels.emplace_back(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) {
            std::uint32_t sample = 0;
            const Token token = readNumber(input, sample);
            if (token == Token::Missing)
                return fail("the file ends before its last pixel");
            if (token == Token::Bad)
                return fail("a sample at row " + std::to_string(y) + ", column " +
                            std::to_string(x) + " is not a number");
            if (!storeSample(row, x, y, sample))
                return false;
        }
    }
    return true;
}

bool PgmPicture::storeSample(std::vector<std::uint8_t>& row, int column, int line,
                             std::uint32_t sample)
{
    if (sample > maxValue)
        return fail("the sample at row " + std::to_string(line) + ", column " +
                    std::to_string(column) + " exceeds the maximum grey value " +
                    std::to_string(maxValue));
    row[static_cast<std::size_t>(column)] = isDarkPixel(sample, 1, maxValue) ? 1 : 0;
    return true;
}

bool PgmPicture::fail(const std::string& reason)
{
    *messages_ << "\nCannot read " << fileName_ << ": " << reason << ".\n";
    return false;
}

} // namespace Trelm
