#include "DocumentScreen.h"

#include <cstdint>
#include <cstring>

namespace
{
using CharPointer = juce::String::CharPointerType;
using juce::juce_wchar;

// Our own document is four levels deep; the limit only has to keep the
// parser's recursion far from the end of a host thread's stack.
constexpr int maxElementDepth = 64;

// Accepts the documents whose structure the framework's parser reads the same
// way as this scan does, and whose nesting stays within maxElementDepth.
// Rejects what well-formed XML does not allow and what we never write: a
// document type, entities other than the five predefined ones and character
// references, processing instructions inside elements, markup inside tags, a
// gap after '<'. Iterative, linear time.
class DocumentScreen
{
public:
    explicit DocumentScreen (CharPointer text) noexcept : p (text) {}

    bool accepts() noexcept
    {
        if (! skipSpaceCommentsAndInstructions() || *p != '<' || ! startTag())
            return false;

        while (depth > 0)
            if (! contentItem())
                return false;

        return true; // whatever follows the root is never parsed
    }

private:
    CharPointer p;
    int depth = 0;

    bool startsWith (const char* ascii) const noexcept
    {
        return p.compareUpTo (juce::CharPointer_ASCII (ascii), (int) std::strlen (ascii)) == 0;
    }

    bool skipPast (int openerLength, const char* closer) noexcept
    {
        p += openerLength;
        const auto found = p.indexOf (juce::CharPointer_ASCII (closer));

        if (found < 0)
            return false;

        p += found + (int) std::strlen (closer);
        return true;
    }

    bool skipSpaceCommentsAndInstructions() noexcept
    {
        for (;;)
        {
            p.incrementToEndOfWhitespace();

            if (startsWith ("<!--"))
            {
                if (! skipPast (4, "-->"))
                    return false;
            }
            else if (startsWith ("<?"))
            {
                if (! skipPast (2, "?>"))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    static bool isNameChar (juce_wchar c) noexcept
    {
        return juce::CharacterFunctions::isLetterOrDigit (c)
                 || c == '_' || c == '-' || c == ':' || c == '.';
    }

    bool skipName() noexcept
    {
        if (! isNameChar (*p))
            return false;

        while (isNameChar (*p))
            ++p;

        return true;
    }

    // At '<'. An empty element leaves the depth alone; an open one adds a level.
    bool startTag() noexcept
    {
        ++p;

        if (! skipName())
            return false;

        for (;;)
        {
            p.incrementToEndOfWhitespace();

            if (startsWith ("/>"))
            {
                p += 2;
                return true;
            }

            if (*p == '>')
            {
                ++p;
                return ++depth <= maxElementDepth;
            }

            if (! attribute())
                return false;
        }
    }

    bool attribute() noexcept
    {
        if (! skipName())
            return false;

        p.incrementToEndOfWhitespace();

        if (*p != '=')
            return false;

        ++p;
        p.incrementToEndOfWhitespace();

        const auto quote = *p;

        if (quote != '"' && quote != '\'')
            return false;

        for (++p;;)
        {
            const auto c = *p;

            if (c == 0)
                return false;

            if (c == quote)
            {
                ++p;
                return true;
            }

            if (c == '&')
            {
                if (! reference())
                    return false;
            }
            else
            {
                ++p;
            }
        }
    }

    // At '&': a predefined entity or a character reference to a real character.
    bool reference() noexcept
    {
        ++p;

        for (auto* entity : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        {
            const auto length = (int) std::strlen (entity);

            if (p.compareIgnoreCaseUpTo (juce::CharPointer_ASCII (entity), length) == 0)
            {
                p += length;
                return true;
            }
        }

        if (*p != '#')
            return false;

        ++p;
        const bool hex = (*p == 'x' || *p == 'X');

        if (hex)
            ++p;

        std::int64_t code = 0;
        int digits = 0;

        for (; *p != ';'; ++p)
        {
            const auto digit = hex ? juce::CharacterFunctions::getHexDigitValue (*p)
                                   : ((*p >= '0' && *p <= '9') ? (int) (*p - '0') : -1);

            if (digit < 0 || ++digits > (hex ? 8 : 12))
                return false;

            code = code * (hex ? 16 : 10) + digit;
        }

        ++p;
        return digits > 0 && code > 0 && code <= 0x10ffff;
    }

    // Inside an open element: text, a reference, markup, a child or the end tag.
    bool contentItem() noexcept
    {
        const auto c = *p;

        if (c == 0)
            return false;

        if (c == '&')
            return reference();

        if (c != '<')
        {
            ++p;
            return true;
        }

        if (startsWith ("<!--"))       return skipPast (4, "-->");
        if (startsWith ("<![CDATA["))  return skipPast (9, "]]>");

        // The parser loops for ever on a processing instruction followed by
        // text, and we never write one inside an element.
        if (startsWith ("<?"))
            return false;

        if (startsWith ("</"))
        {
            // The parser does not compare the end tag's name either.
            const auto end = p.indexOf ((juce_wchar) '>');

            if (end < 0)
                return false;

            p += end + 1;
            --depth;
            return true;
        }

        return startTag();
    }
};

} // namespace

// [start-up] (and the fuzzer).
bool passesDocumentScreen (juce::String::CharPointerType text) noexcept
{
    return DocumentScreen (text).accepts();
}
