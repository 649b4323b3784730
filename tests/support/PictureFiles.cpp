#include "support/PictureFiles.h"

#include <csetjmp>
#include <cstdint>
#include <stdexcept>

#include <zlib.h>

#include "support/TestSupport.h"

namespace Trelm::test
{

namespace
{

void appendToString(png_structp png, png_bytep data, std::size_t length) noexcept
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void flushNothing(png_structp) noexcept {}

// The write structures, destroyed together however the writing ends.
class WriteHandles
{
  public:
    WriteHandles()
        : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr)),
          info_(png_ == nullptr ? nullptr : png_create_info_struct(png_))
    {
    }
    ~WriteHandles() { png_destroy_write_struct(&png_, &info_); }
    WriteHandles(const WriteHandles&) = delete;
    WriteHandles& operator=(const WriteHandles&) = delete;

    png_structp png_;
    png_infop info_;
};

// What the guarded encoding needs, built by the caller so that no frame a libpng error jumps
// over holds an object with a destructor.
struct Encoding {
    png_uint_32 width;
    png_uint_32 height;
    const PngLayout* layout;
    std::vector<png_bytep> rows;
    std::string* out;
};

void encode(png_structp png, png_infop info, const Encoding& e)
{
    png_set_write_fn(png, e.out, appendToString, flushNothing);
    png_set_IHDR(png, info, e.width, e.height, e.layout->bitDepth, e.layout->colourType,
                 e.layout->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!e.layout->palette.empty())
        png_set_PLTE(png, info, e.layout->palette.data(),
                     static_cast<int>(e.layout->palette.size()));
    if (!e.layout->paletteAlpha.empty())
        png_set_tRNS(png, info, e.layout->paletteAlpha.data(),
                     static_cast<int>(e.layout->paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(e.rows.data()));
    png_write_end(png, nullptr);
}

bool encodeGuarded(png_structp png, png_infop info, const Encoding& e)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    encode(png, info, e);
    return true;
}

void putBe32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + static_cast<std::size_t>(k)] = static_cast<char>((value >> (24 - 8 * k)) & 0xFF);
}

std::string greyBytes(const BinaryImage& image)
{
    std::string bytes;
    for (const auto& row : image.rows)
        for (int x = 0; x < image.width; ++x)
            bytes += row[static_cast<std::size_t>(x)] != 0 ? '\0' : '\xFF';
    return bytes;
}

} // namespace

std::string pngBytes(int width, int height, const PngLayout& layout,
                     const std::vector<std::string>& rows)
{
    std::vector<std::string> copies = rows;
    Encoding e{
        static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), &layout, {}, nullptr};
    for (std::string& row : copies)
        e.rows.push_back(reinterpret_cast<png_bytep>(row.data()));
    std::string out;
    e.out = &out;
    WriteHandles handles;
    if (handles.info_ == nullptr || !encodeGuarded(handles.png_, handles.info_, e))
        throw std::runtime_error("libpng could not encode the test picture");
    return out;
}

void writePng(const std::string& path, const BinaryImage& image)
{
    const std::string grey = greyBytes(image);
    std::vector<std::string> rows;
    for (int y = 0; y < image.height; ++y)
        rows.push_back(grey.substr(static_cast<std::size_t>(y) * image.width,
                                   static_cast<std::size_t>(image.width)));
    writeBytes(path, pngBytes(image.width, image.height, PngLayout{}, rows));
}

void writePgm(const std::string& path, const BinaryImage& image)
{
    writeBytes(path, "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) +
                         "\n255\n" + greyBytes(image));
}

std::string withPngSize(std::string bytes, std::uint32_t width, std::uint32_t height)
{
    // Signature (8), IHDR's length and type (8), then width and height; its checksum covers
    // the type and the 13 bytes of data.
    putBe32(bytes, 16, width);
    putBe32(bytes, 20, height);
    const auto* typeAndData = reinterpret_cast<const Bytef*>(bytes.data() + 12);
    putBe32(bytes, 29, static_cast<std::uint32_t>(crc32(0, typeAndData, 17)));
    return bytes;
}

} // namespace Trelm::test
