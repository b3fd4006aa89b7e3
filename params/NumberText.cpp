// The number-to-text rules every read-out uses: decibels, fixed eight-character numbers and integers.
#include "params/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
constexpr int kTextChars = 8; // every number-to-text rule writes at most eight characters
} // namespace

void dB2string(float value, char* text)
{
    if (value <= 0.0f)
    {
        std::strcpy(text, "-oo");
        return;
    }
    float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

// Eight characters at most, sign and point counted; digits that do not fit are dropped, never rounded.
void float2string(float value, char* text)
{
    double v = value;
    if (std::isnan(v))
    {
        std::strcpy(text, "NaN");
        return;
    }
    bool negative = false;
    int c = 0;
    if (v < 0.0)
    {
        negative = true;
        v = -v;
        c = 1;
        if (v > 9999999.0)
        {
            std::strcpy(text, "Huge!");
            return;
        }
    }
    else if (v > 99999999.0)
    {
        std::strcpy(text, "Huge!");
        return;
    }

    // Integer part, right to left into the end of a scratch buffer.
    char integer[kTextChars + 2];
    int pos = kTextChars + 1;
    integer[pos] = '\0';
    integer[--pos] = '.';
    c++;
    double whole = std::floor(v);
    integer[--pos] = static_cast<char>('0' + static_cast<int>(std::fmod(whole, 10.0)));
    c++;
    double w = whole / 10.0;
    while (w >= 1.0 && c < kTextChars)
    {
        integer[--pos] = static_cast<char>('0' + static_cast<int>(std::fmod(w, 10.0)));
        w /= 10.0;
        c++;
    }
    int length = 0;
    if (negative)
        text[length++] = '-';
    for (int i = pos; integer[i] != '\0'; i++)
        text[length++] = integer[i];
    text[length] = '\0';
    if (c >= kTextChars)
        return;

    // Fraction, also right to left.
    char fraction[kTextChars + 1];
    const int digits = kTextChars - c;
    double m = std::fmod(v, 1.0) * std::pow(10.0, digits);
    for (int i = digits - 1; i >= 0; i--)
    {
        if (m <= 0.0)
            fraction[i] = '0';
        else
        {
            fraction[i] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
            m /= 10.0;
        }
    }
    std::memcpy(text + length, fraction, static_cast<size_t>(digits));
    text[length + digits] = '\0';
}

void long2string(int32_t value, char* text)
{
    if (value >= 100000000)
    {
        std::strcpy(text, "Huge!");
        return;
    }
    char scratch[16];
    std::snprintf(scratch, sizeof scratch, "%7d", static_cast<int>(value));
    scratch[kTextChars] = '\0';
    std::strcpy(text, scratch);
}
