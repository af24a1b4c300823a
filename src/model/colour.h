#pragma once

#include <cstdint>

namespace kalibrix {

// A colour as red, green and blue intensities 0..255.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

}  // namespace kalibrix
