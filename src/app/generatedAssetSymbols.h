#pragma once

// The names of the images and icons that the program looks up in its resource folder.
namespace GeneratedAssetSymbols {
inline constexpr auto appIcon = "AppIcon";
inline constexpr auto appIconExtension = "icns";
inline constexpr auto appLogo = "AppLogo";
inline constexpr auto brennickFooterLogo = "BrennickFooterLogo";
} // namespace GeneratedAssetSymbols
