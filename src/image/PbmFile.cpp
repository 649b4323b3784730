#include "image/PbmFile.h"

#include <array>
#include <cctype>
#include <fstream>
#include <iostream>
#include <string_view>

namespace Trelm
{

namespace
{

// A header line is examined by at most this many characters; a longer one ends the header.
constexpr std::size_t HEADER_LINE_CAPACITY = 255;

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view nextToken(std::string_view line, std::size_t& position)
{
    while (position < line.size() && isBlank(line[position]))
        ++position;
    const std::size_t start = position;
    while (position < line.size() && !isBlank(line[position]))
        ++position;
    return line.substr(start, position - start);
}

bool isDecimalInteger(std::string_view token)
{
    std::size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (i == token.size())
        return false;
    for (; i < token.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(token[i])))
            return false;
    return true;
}

// The value of a decimal token, capped far above any accepted side so it cannot overflow.
long long decimalValue(std::string_view token)
{
    const bool negative = token[0] == '-';
    long long value = 0;
    for (char c : token) {
        if (std::isdigit(static_cast<unsigned char>(c)) && value < 1000000000LL)
            value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

void printHeaderFatal(std::ostream& messages, const std::string& detail)
{
    messages << "\n"
             << "PBMB_READ_HEADER - Fatal error.\n"
             << detail;
}

enum class TokenResult { None, Stored, Rejected };

// Scans one side (width or height) from the rest of the line. Words and values that do not
// fit a Point coordinate are refused rather than guessed at.
TokenResult scanSide(std::string_view line, std::size_t& position, const char* name, int& side,
                     std::ostream& messages)
{
    const std::string_view token = nextToken(line, position);
    if (token.empty())
        return TokenResult::None;
    if (!isDecimalInteger(token)) {
        printHeaderFatal(messages,
                         std::string("  Bad ") + name + " = \"" + std::string(token) + "\".\n");
        return TokenResult::Rejected;
    }
    const long long value = decimalValue(token);
    if (value < 1 || value > MAX_IMAGE_SIDE) {
        printHeaderFatal(messages, std::string("  Illegal ") + name + " = " + std::string(token) +
                                       ", it must be from 1 to " + std::to_string(MAX_IMAGE_SIDE) +
                                       ".\n");
        return TokenResult::Rejected;
    }
    side = static_cast<int>(value);
    return TokenResult::Stored;
}

} // namespace

bool PBMB_READ(const std::string& fileName, int& width, int& height, PixelRows& rows,
               std::ostream& messages)
{
    std::ifstream input(fileName, std::ios::binary);
    if (!input) {
        messages << "\n"
                 << "PBMB_READ: Fatal error!\n"
                 << "  Cannot open the input file " << fileName << "\n";
        return false;
    }
    if (!PBMB_READ_HEADER(input, width, height, messages)) {
        messages << "\n"
                 << "PBMB_READ: Fatal error!\n"
                 << "  PBMB_READ_HEADER failed.\n";
        return false;
    }
    rows.assign(static_cast<std::size_t>(height), {});
    if (!PBMB_READ_DATA(rows, input, width, height, messages)) {
        messages << "\n"
                 << "PBMB_READ: Fatal error!\n"
                 << "  PBMB_READ_DATA failed.\n";
        return false;
    }
    return true;
}

bool PBMB_READ_HEADER(std::istream& input, int& width, int& height, std::ostream& messages)
{
    enum class State { Magic, Width, Height } state = State::Magic;
    std::array<char, HEADER_LINE_CAPACITY> buffer{};
    for (;;) {
        // getline with a bounded buffer: an over-long line is cut and the next read fails.
        input.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (input.gcount() == 0) {
            messages << "\n"
                     << "PBMB_READ_HEADER - Fatal error!\n"
                     << "  End of file.\n";
            return false;
        }
        const std::string_view line(buffer.data());
        if (!line.empty() && line[0] == '#')
            continue;
        std::size_t position = 0;
        if (state == State::Magic) {
            const std::string_view magic = nextToken(line, position);
            if (magic.empty())
                continue;
            if (magic != "P4" && magic != "p4") {
                printHeaderFatal(messages,
                                 "  Bad magic number = \"" + std::string(magic) + "\".\n");
                return false;
            }
            state = State::Width;
        }
        if (state == State::Width) {
            const TokenResult result = scanSide(line, position, "width", width, messages);
            if (result == TokenResult::Rejected)
                return false;
            if (result == TokenResult::None)
                continue;
            state = State::Height;
        }
        const TokenResult result = scanSide(line, position, "height", height, messages);
        if (result == TokenResult::Rejected)
            return false;
        if (result == TokenResult::Stored)
            return true;
    }
}

bool PBMB_READ_DATA(PixelRows& rows, std::istream& input, int width, int height,
                    std::ostream& messages)
{
    const std::size_t bytesPerRow = (static_cast<std::size_t>(width) + 7) / 8;
    std::vector<char> packed(bytesPerRow);
    std::size_t bytesRead = 0;
    for (int y = 0; y < height; ++y) {
        // Rows are allocated one at a time, so a file that claims more rows than it holds
        // fails before the whole raster is allocated.
        std::vector<std::uint8_t>& row = rows[static_cast<std::size_t>(y)];
        row.assign(static_cast<std::size_t>(width), 0);
        input.read(packed.data(), static_cast<std::streamsize>(bytesPerRow));
        bytesRead += static_cast<std::size_t>(input.gcount());
        if (static_cast<std::size_t>(input.gcount()) < bytesPerRow) {
            messages << "\n"
                     << "PBMB_CHECK_DATA - Fatal error!\n"
                     << "  Failed reading byte " << bytesRead << "\n";
            return false;
        }
        for (int x = 0; x < width; ++x) {
            const auto byte = static_cast<unsigned char>(packed[static_cast<std::size_t>(x / 8)]);
            // The first pixel of a byte is its most significant bit.
            row[static_cast<std::size_t>(x)] = (byte >> (7 - x % 8)) & 1u;
        }
    }
    return true;
}

} // namespace Trelm
