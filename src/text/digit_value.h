#pragma once

namespace quillet::text {

// The value of the digit `c` in `base` (10 or 16, either case of letter), or -1.
constexpr int digitValue(char32_t c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = int(c - '0');
    else if (c >= 'a' && c <= 'f')
        value = int(c - 'a') + 10;
    else if (c >= 'A' && c <= 'F')
        value = int(c - 'A') + 10;
    return value < base ? value : -1;
}

} // namespace quillet::text
