#pragma once

namespace Trelm
{

/// Which pixels of a grey or colour picture are active.
enum class ActiveSide {
    /// The side of the grey threshold with fewer pixels: dark lines on light paper and light
    /// edges on a dark ground alike. A tie makes the dark pixels active.
    Minority,
    Dark,
    Light,
};

/// The side the two switches force, or the minority side when neither is given.
constexpr ActiveSide activeSideOf(bool lightIsActive, bool darkIsActive)
{
    if (lightIsActive)
        return ActiveSide::Light;
    return darkIsActive ? ActiveSide::Dark : ActiveSide::Minority;
}

} // namespace Trelm
