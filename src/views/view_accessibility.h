#pragma once

namespace quillet::ViewAccessibility {

// Registers how the views' own widgets present themselves to assistive technology: the tab
// strip as a page tab list of page tabs named by their titles, the status bar as a status bar,
// the Markdown reference popover and the settings window as dialogs, the settings' sections and
// shortcut list as named groups with the appearance choices as radio buttons and each shortcut
// row as one line of static text, every text label as static text carrying its text, and the
// Markdown preview as a document of its blocks. Qt caches an object's interface on first
// query, so this runs once, right after the application object exists; calling it again does
// nothing.
void install();

} // namespace quillet::ViewAccessibility
