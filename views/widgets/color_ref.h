#pragma once

#include <QColor>
#include <cstdint>

namespace qvx::widgets {

/// Colours as the views pass them: 0x00BBGGRR (red in the lowest byte).
inline constexpr std::uint32_t kColorRefRed = 0x0000FFu;
inline constexpr std::uint32_t kColorRefGreen = 0x00FF00u;
inline constexpr std::uint32_t kColorRefYellow = 0x00FFFFu;

/// The colour of a 0x00BBGGRR value; the top byte is ignored.
[[nodiscard]] QColor colorFromColorRef(std::uint32_t colorRef);
/// The 0x00BBGGRR value of a colour (alpha dropped).
[[nodiscard]] std::uint32_t colorRefFromColor(const QColor& color);

}  // namespace qvx::widgets
