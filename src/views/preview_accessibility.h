#pragma once

class QAccessibleInterface;

namespace quillet {

class PreviewView;

namespace PreviewAccessibility {

// The preview as a document whose children are its blocks in order: a heading, a paragraph, a
// quote (a section) and a code block (read-only text named by its language) each carry their
// plain text, a list holds its items, a table its rows of cells (the header row's as column
// headers), a rule is a separator; empty lines are left out. Everything is read from the parsed
// blocks, never from a layout, so a reader walking a long document lays nothing out. The tree
// follows the view's blocksChanged; clients are told what changed only while one is listening.
QAccessibleInterface *documentInterface(PreviewView *view);

} // namespace PreviewAccessibility

} // namespace quillet
