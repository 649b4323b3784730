#include "image/PngPicture.h"

#include <array>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <vector>

#include <png.h>

#include "image/GreyLevel.h"
#include "image/PbmFile.h"
#include "image/PngMessages.h"

namespace Trelm
{

namespace
{

constexpr std::size_t SIGNATURE_SIZE = 8;
constexpr int ADAM7_PASSES = 7;
// The pass number that stands for the whole of a picture that is not interlaced.
constexpr int WHOLE_PICTURE = -1;
const char* const CUT_SHORT = "the file is cut short";

enum class Outcome { Read, SideTooLong, TooManyPixels, Invalid };

// What libpng's callbacks and the decoding share. It lives in PngPicture::read, below the
// frames that a libpng error jumps over, and it holds everything that has a destructor.
struct Decoding {
    std::istream* input = nullptr;
    PngPicture* picture = nullptr;
    /// One row of the current pass, as libpng delivers it.
    std::vector<png_byte> row;
    /// Samples per pixel and bytes per sample once the transforms are applied.
    std::uint32_t channels = 1;
    std::uint32_t sampleSize = 1;
    bool cutShort = false;
    /// libpng's message: a fixed array, since nothing may allocate on the way to the jump.
    std::array<char, 256> error{};
};

void readFromStream(png_structp png, png_bytep data, std::size_t length) noexcept
{
    Decoding& decoding = *static_cast<Decoding*>(png_get_io_ptr(png));
    decoding.input->read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(length));
    if (decoding.input->gcount() != static_cast<std::streamsize>(length)) {
        decoding.cutShort = true;
        png_error(png, CUT_SHORT);
    }
}

// The read and information structures, destroyed together however the reading ends.
class ReadHandles
{
  public:
    explicit ReadHandles(Decoding& decoding)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoding, keepPngError<Decoding>,
                                      dropPngWarning)),
          info_(png_ == nullptr ? nullptr : png_create_info_struct(png_))
    {
    }
    ~ReadHandles() { png_destroy_read_struct(&png_, &info_, nullptr); }
    ReadHandles(const ReadHandles&) = delete;
    ReadHandles& operator=(const ReadHandles&) = delete;

    bool valid() const { return info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_;
    png_infop info_;
};

// Every picture becomes 8- or 16-bit grey or colour, with or without alpha: palettes and
// grey of 1, 2 or 4 bits are expanded, so a pixel is its samples side by side.
void setTransforms(png_structp png, png_infop info)
{
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
}

// Judges the row libpng just delivered: pixel c of the pass is column x of picture row y.
void storeRow(Decoding& decoding, png_uint_32 y, png_uint_32 columns, int pass)
{
    PngPicture& picture = *decoding.picture;
    auto& out = picture.darkPixels[y];
    // The passes of an interlaced picture each fill part of a row.
    if (out.empty())
        out.assign(static_cast<std::size_t>(picture.width), 0);
    // Grey is one sample, colour three; the alpha sample after them is ignored.
    const std::uint32_t colourSamples = decoding.channels >= 3 ? 3 : 1;
    const std::uint32_t maxValue = decoding.sampleSize == 2 ? 65535 : 255;
    const std::size_t pixelSize = decoding.channels * decoding.sampleSize;
    for (png_uint_32 c = 0; c < columns; ++c) {
        const png_byte* p = &decoding.row[c * pixelSize];
        std::uint32_t sum = 0;
        for (std::uint32_t k = 0; k < colourSamples; ++k, p += decoding.sampleSize)
            sum += decoding.sampleSize == 2 ? (std::uint32_t{p[0]} << 8) | p[1] : p[0];
        const png_uint_32 x = pass == WHOLE_PICTURE ? c : PNG_COL_FROM_PASS_COL(c, pass);
        out[x] = isDarkPixel(sum, colourSamples, maxValue) ? 1 : 0;
    }
}

// Reads the rows of one Adam7 pass, or of the whole picture. Without libpng's interlace
// handling a pass comes as a small picture of its own, so no full-size buffer is needed.
void readPass(png_structp png, Decoding& decoding, int pass)
{
    const auto width = static_cast<png_uint_32>(decoding.picture->width);
    const auto height = static_cast<png_uint_32>(decoding.picture->height);
    const png_uint_32 columns = pass == WHOLE_PICTURE ? width : PNG_PASS_COLS(width, pass);
    const png_uint_32 rows = pass == WHOLE_PICTURE ? height : PNG_PASS_ROWS(height, pass);
    // libpng skips a pass without pixels.
    if (columns == 0 || rows == 0)
        return;
    for (png_uint_32 r = 0; r < rows; ++r) {
        png_read_row(png, decoding.row.data(), nullptr);
        storeRow(decoding, pass == WHOLE_PICTURE ? r : PNG_ROW_FROM_PASS_ROW(r, pass), columns,
                 pass);
    }
}

// 1. Header and size checks, 2. transforms, 3. rows. Any libpng call may jump out of here,
// so this frame holds no object with a destructor.
Outcome decode(png_structp png, png_infop info, Decoding& decoding)
{
    png_set_sig_bytes(png, static_cast<int>(SIGNATURE_SIZE));
    // The sides are checked below, against the limits of the other readers.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    // Every coordinate must fit a 16-bit Point; refused before any pixel is allocated.
    if (width > MAX_IMAGE_SIDE || height > MAX_IMAGE_SIDE)
        return Outcome::SideTooLong;
    if (std::int64_t{width} * height > MAX_PICTURE_PIXELS)
        return Outcome::TooManyPixels;

    setTransforms(png, info);
    png_read_update_info(png, info);
    decoding.channels = png_get_channels(png, info);
    decoding.sampleSize = png_get_bit_depth(png, info) == 16 ? 2 : 1;
    decoding.row.resize(png_get_rowbytes(png, info));

    PngPicture& picture = *decoding.picture;
    picture.width = static_cast<std::int32_t>(width);
    picture.height = static_cast<std::int32_t>(height);
    picture.darkPixels.resize(height);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_ADAM7) {
        readPass(png, decoding, WHOLE_PICTURE);
        return Outcome::Read;
    }
    for (int pass = 0; pass < ADAM7_PASSES; ++pass)
        readPass(png, decoding, pass);
    return Outcome::Read;
}

// The only frame that calls setjmp. A libpng error jumps back here over libpng's frames and
// decode's, none of which holds an object with a destructor; the state lives in the caller.
Outcome decodeGuarded(png_structp png, png_infop info, Decoding& decoding)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return Outcome::Invalid;
    return decode(png, info, decoding);
}

} // namespace

bool PngPicture::readFile(const std::string& fileName, std::ostream& messages)
{
    std::ifstream input(fileName, std::ios::binary);
    if (!input) {
        messages << "\nCannot read " << fileName << ": the file cannot be opened.\n";
        return false;
    }
    return read(input, fileName, messages);
}

bool PngPicture::read(std::istream& input, const std::string& fileName, std::ostream& messages)
{
    width = height = 0;
    darkPixels.clear();
    const auto fail = [&](const std::string& reason) {
        messages << "\nCannot read " << fileName << ": " << reason << ".\n";
        return false;
    };
    std::array<png_byte, SIGNATURE_SIZE> signature{};
    input.read(reinterpret_cast<char*>(signature.data()), SIGNATURE_SIZE);
    if (input.gcount() != static_cast<std::streamsize>(SIGNATURE_SIZE) ||
        png_sig_cmp(signature.data(), 0, SIGNATURE_SIZE) != 0)
        return fail("it is not a PNG file");

    Decoding decoding;
    decoding.input = &input;
    decoding.picture = this;
    ReadHandles handles(decoding);
    if (!handles.valid())
        return fail("there is not enough memory to read it");
    png_set_read_fn(handles.png(), &decoding, readFromStream);
    switch (decodeGuarded(handles.png(), handles.info(), decoding)) {
    case Outcome::Read:
        return true;
    case Outcome::SideTooLong:
        return fail("its width and height must be from 1 to " + std::to_string(MAX_IMAGE_SIDE));
    case Outcome::TooManyPixels:
        return fail("it has more than " + std::to_string(MAX_PICTURE_PIXELS) + " pixels");
    case Outcome::Invalid:
        break;
    }
    if (decoding.cutShort)
        return fail(CUT_SHORT);
    return fail(std::string("its PNG data is invalid (") + decoding.error.data() + ")");
}

} // namespace Trelm
