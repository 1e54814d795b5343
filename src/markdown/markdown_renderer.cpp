#include "markdown/markdown_renderer.h"

#include "markdown/cmark_inline_interpreter.h"

namespace quillet::MarkdownRenderer {

namespace {

StyledText render(QStringView text, const StyledFont &font)
{
    if (std::optional<StyledText> styled = CmarkInlineInterpreter::interpret(text, font))
        return *styled;
    return StyledText(StyledRun{text.toString(), font, {}, std::nullopt});
}

} // namespace

StyledFont bodyFont()
{
    return StyledFont{15, StyledFont::Weight::regular, StyledFont::Design::standard};
}

StyledFont headingFont(int level)
{
    int size = 14;
    switch (level) {
    case 1: size = 24; break;
    case 2: size = 20; break;
    case 3: size = 18; break;
    case 4: size = 16; break;
    case 5: size = 15; break;
    default: break;
    }
    return StyledFont{size, StyledFont::Weight::bold, StyledFont::Design::standard};
}

StyledText renderInline(QStringView text)
{
    return render(text, bodyFont());
}

StyledText renderHeading(QStringView text, int level)
{
    return render(text, headingFont(level));
}

} // namespace quillet::MarkdownRenderer
