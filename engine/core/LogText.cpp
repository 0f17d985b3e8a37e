#include "engine/core/LogText.h"

namespace {

// The one rule both forms share: what is shown of text, and as what.
void appendShown(const std::string& text, std::size_t limit, std::string& out)
{
    const std::size_t shown = text.size() < limit ? text.size() : limit;
    out.reserve(out.size() + shown + 5);
    for (std::size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c < 0x20 || c == 0x7F ? '?' : char(c);
    }
    if (text.size() > limit)
        out += "...";
}

}  // namespace

std::string CLogText::quoted(const std::string& text, std::size_t limit)
{
    std::string out = "\"";
    appendShown(text, limit, out);
    return out + "\"";
}

std::string CLogText::oneLine(const std::string& text)
{
    std::string out;
    appendShown(text, text.size(), out);
    return out;
}
