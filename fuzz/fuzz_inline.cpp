// The inline adapter alone: text without a markup character comes back unchanged, also through
// the library route.
#include "markdown/cmark_inline_interpreter.h"
#include "markdown/markdown_renderer.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

bool holdsMarkupCharacter(const QString &text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'*':
        case u'_':
        case u'~':
        case u'`':
        case u'\\':
        case u'&':
        case u'<':
        case u'[':
        case u']':
        case u'!':
        case u'\n':
        case u'\r':
        case u'\0':
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const quillet::StyledFont font = quillet::MarkdownRenderer::bodyFont();
    const auto styled = quillet::CmarkInlineInterpreter::interpretWithLibrary(text, font);
    if (!styled)
        return 0;
    if (!holdsMarkupCharacter(text) && styled->text() != text)
        std::abort();
    return 0;
}
