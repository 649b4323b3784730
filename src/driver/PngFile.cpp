#include "driver/PngFile.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

#include "driver/ReplacingFile.h"
#include "image/PngMessages.h"

namespace Trelm
{

namespace
{

// What libpng's callbacks and the encoding share, held by writePalettePng below the frames a
// libpng error jumps over.
struct Encoding {
    std::ostream* output = nullptr;
    const PixelRows* rows = nullptr;
    int width = 0;
    int height = 0;
    std::vector<png_color> palette;
    /// libpng's message: a fixed array, since nothing may allocate on the way to the jump.
    std::array<char, 256> error{};
};

void writeToStream(png_structp png, png_bytep data, std::size_t length) noexcept
{
    Encoding& encoding = *static_cast<Encoding*>(png_get_io_ptr(png));
    encoding.output->write(reinterpret_cast<const char*>(data),
                           static_cast<std::streamsize>(length));
    if (!*encoding.output)
        png_error(png, "the file cannot be written");
}

void flushStream(png_structp png) noexcept
{
    static_cast<Encoding*>(png_get_io_ptr(png))->output->flush();
}

// The write and information structures, destroyed together however the writing ends.
class WriteHandles
{
  public:
    explicit WriteHandles(Encoding& encoding)
        : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, &encoding, keepPngError<Encoding>,
                                       dropPngWarning)),
          info_(png_ == nullptr ? nullptr : png_create_info_struct(png_))
    {
    }
    ~WriteHandles() { png_destroy_write_struct(&png_, &info_); }
    WriteHandles(const WriteHandles&) = delete;
    WriteHandles& operator=(const WriteHandles&) = delete;

    bool valid() const { return info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_;
    png_infop info_;
};

// Any libpng call may jump out of here, so this frame holds no object with a destructor; a row
// shorter than the width was never filled and stops the writing.
bool encode(png_structp png, png_infop info, Encoding& encoding)
{
    png_set_write_fn(png, &encoding, writeToStream, flushStream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(encoding.width),
                 static_cast<png_uint_32>(encoding.height), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, encoding.palette.data(), static_cast<int>(encoding.palette.size()));
    png_write_info(png, info);
    for (int y = 0; y < encoding.height; ++y) {
        const auto& row = (*encoding.rows)[static_cast<std::size_t>(y)];
        if (row.size() < static_cast<std::size_t>(encoding.width))
            return false;
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

bool encodeGuarded(png_structp png, png_infop info, Encoding& encoding)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    return encode(png, info, encoding);
}

} // namespace

bool writePalettePng(const std::string& fileName, int height, const PixelRows& rows, int width,
                     const Palette& palette, std::ostream& messages)
{
    const auto fail = [&](const std::string& reason) {
        messages << "\nCannot write " << fileName << ": " << reason << ".\n";
        return false;
    };
    // Written beside the target and renamed into place: a failed write leaves no half file,
    // and a link under the target's name is replaced, never written through.
    ReplacingFile file(fileName);
    if (!file.isOpen())
        return fail("the file cannot be created");
    Encoding encoding;
    encoding.output = &file.stream();
    encoding.rows = &rows;
    encoding.width = width;
    encoding.height = height;
    for (const PaletteColour& colour : palette)
        encoding.palette.push_back({colour.red, colour.green, colour.blue});
    WriteHandles handles(encoding);
    if (!handles.valid())
        return fail("there is not enough memory to write it");
    if (!encodeGuarded(handles.png(), handles.info(), encoding))
        return fail(encoding.error[0] != '\0' ? encoding.error.data()
                                              : "a row of its picture is missing");
    if (!file.commit())
        return fail("the file cannot be written");
    return true;
}

} // namespace Trelm
