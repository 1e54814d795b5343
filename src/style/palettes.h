#pragma once

#include <QPalette>

// The two palettes the application chooses between; which one applies is decided by the
// appearance setting, not here.
namespace quillet::Theme {

QPalette lightPalette();
QPalette darkPalette();

} // namespace quillet::Theme
