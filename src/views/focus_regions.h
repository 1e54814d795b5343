#pragma once

namespace quillet {

class ContentView;

// F6 and Shift+F6 move keyboard focus to the next and the previous region of the window: the
// tab strip, the editor, the preview and the status bar, skipping those not shown. Tab stays
// the editor's own key, so these are the way out of it without the mouse.
void installFocusRegionKeys(ContentView &view);

} // namespace quillet
