#pragma once

#include <cstring>

#include <png.h>

namespace Trelm
{

/// libpng's error callback for a reader or writer whose error pointer is a Holder with a
/// character array `error`: keeps the message, then leaves through the set jump.
template <typename Holder>
[[noreturn]] void keepPngError(png_structp png, png_const_charp text) noexcept
{
    Holder& holder = *static_cast<Holder*>(png_get_error_ptr(png));
    std::strncpy(holder.error.data(), text, holder.error.size() - 1);
    png_longjmp(png, 1);
}

/// libpng's warning callback: a warning (an unknown colour profile, a damaged optional chunk)
/// changes no pixel, so it is dropped.
inline void dropPngWarning(png_structp, png_const_charp) noexcept {}

} // namespace Trelm
