#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace qvx::resources {

/// The program icon of qvx_controller and qvxsetup, with pixmaps from 16 to 256 pixels, so
/// title bars, task bars and high-density screens each get a sharp size.
[[nodiscard]] QIcon applicationIcon();

/// The maker's logo (emblem and wordmark "VARNOK") fitted into `logicalSize` with its aspect
/// ratio kept and centred, rendered for a screen with `devicePixelRatio` physical pixels per
/// logical pixel; transparent around the logo.
[[nodiscard]] QPixmap makerLogo(const QSize& logicalSize, qreal devicePixelRatio);

/// The logo's natural size in logical pixels (width : height is 4 : 1).
[[nodiscard]] QSize makerLogoSize();

}  // namespace qvx::resources
