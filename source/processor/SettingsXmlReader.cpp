#include "SettingsXmlReader.h"

#include <algorithm>
#include <cstdint>
#include <optional>

// Sessions saved over the years hold whatever text hosts and other tools left in
// the chunk, and they were all restored by the framework's XML parser. This reader
// follows that parser's decisions step by step (which text it accepts, how it skips
// comments, processing instructions, children, text and entity references, which
// errors it forgives), so a session restores the same values as before. It differs
// where that parser never returned or read out of bounds:
// - a processing instruction followed by text inside an element made it loop
//   forever; here the instruction is skipped like a comment, as any XML reader does;
// - nesting is counted, not recursed into, and every search for a closing pattern
//   remembers its answer, so no input costs more than linear time;
// - names, spaces and letter case are ASCII, as the parser behaved in the C locale:
//   a session restores the same whatever locale the host runs in.
// Entities declared in a document type are not expanded (no session has one).

namespace vrc
{
namespace
{
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

bool isSpace (char c) noexcept
{
    return c == ' ' || (c >= 9 && c <= 13);
}

bool isNameChar (char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
           || c == ':' || c == '.';
}

char lowerAscii (char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char> (c - 'A' + 'a') : c;
}

int hexValue (char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

size_t sequenceLength (unsigned char lead) noexcept
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

/** Attribute values are only ever read as numbers; anything outside ASCII ends a number. */
std::string asciiOrReplacement (std::string_view raw)
{
    std::string out;
    out.reserve (raw.size());
    for (size_t i = 0; i < raw.size();)
    {
        const auto lead = static_cast<unsigned char> (raw[i]);
        if (lead < 0x80)
        {
            out += raw[i++];
            continue;
        }
        out += replacementCharacter;
        i += sequenceLength (lead);
    }
    return out;
}

/** A position in a text that ends in an implicit zero, with memoised searches. */
class Cursor
{
public:
    explicit Cursor (std::string_view t) noexcept : text (t) {}

    char at (size_t k = 0) const noexcept { return pos + k < text.size() ? text[pos + k] : 0; }
    bool atEnd() const noexcept { return pos >= text.size(); }

    bool startsWith (std::string_view s, size_t offset = 0) const noexcept
    {
        return text.substr (std::min (text.size(), pos + offset)).substr (0, s.size()) == s;
    }

    bool startsWithIgnoringCase (std::string_view s) const noexcept
    {
        for (size_t i = 0; i < s.size(); ++i)
            if (lowerAscii (at (i)) != s[i])
                return false;
        return true;
    }

    void advanceChar() noexcept
    {
        if (! atEnd())
            pos = std::min (text.size(), pos + sequenceLength (static_cast<unsigned char> (text[pos])));
    }

    std::uint32_t codePoint() const noexcept
    {
        if (atEnd())
            return 0;
        const auto lead = static_cast<unsigned char> (text[pos]);
        const auto n = sequenceLength (lead);
        std::uint32_t cp = n == 1 ? lead : n == 2 ? (lead & 0x1Fu) : n == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
        for (size_t i = 1; i < n; ++i)
            cp = (cp << 6) | (static_cast<unsigned char> (at (i)) & 0x3Fu);
        return cp;
    }

    enum Pattern
    {
        commentEnd,
        instructionEnd,
        tagEnd,
        entityEnd,
        cdataEnd,
        numPatterns
    };

    /** At '<': whether a comment opens here. */
    bool atComment() const noexcept { return at (1) == '!' && at (2) == '-' && at (3) == '-'; }

    /** Moves over an opener and on past the pattern that closes it. When nothing
        closes it, stops just after the opener and returns false. */
    bool skipPast (size_t openerLength, Pattern closer) noexcept
    {
        pos += openerLength;
        const auto end = find (closer);
        if (end < 0)
            return false;
        pos += static_cast<size_t> (end) + patterns[closer].size();
        return true;
    }

    /** Offset from here of the next occurrence of the pattern, or -1. A failed search
        is never repeated from a later position, and a found one is reused while the
        cursor has not passed it. */
    std::int64_t find (Pattern p) noexcept
    {
        auto& m = memo[p];
        if (pos >= m.failedFrom)
            return -1;
        if (m.found && pos >= m.searchedFrom && pos <= m.foundAt)
            return static_cast<std::int64_t> (m.foundAt - pos);

        const auto at = text.find (patterns[p], pos);
        if (at == std::string_view::npos)
        {
            m.failedFrom = pos;
            return -1;
        }
        m.found = true;
        m.searchedFrom = pos;
        m.foundAt = at;
        return static_cast<std::int64_t> (at - pos);
    }

    std::string_view text;
    size_t pos = 0;

private:
    static constexpr std::string_view patterns[numPatterns] = { "-->", "?>", ">", ";", "]]>" };

    struct Memo
    {
        size_t failedFrom = std::string_view::npos;
        bool found = false;
        size_t searchedFrom = 0, foundAt = 0;
    };
    Memo memo[numPatterns];
};

class Parser
{
public:
    std::optional<XmlRootElement> readDocument (std::string_view text)
    {
        if (text.empty())
            return std::nullopt;

        Cursor in (text);
        // An XML declaration; skipping whitespace already passes any complete one.
        skipNextWhiteSpace (in);
        if (in.startsWith ("<?xml"))
        {
            const auto end = in.find (Cursor::instructionEnd);
            if (end < 0)
                return std::nullopt;
            in.pos += static_cast<size_t> (end) + 2;
            skipNextWhiteSpace (in);
        }

        // A document type is passed over by counting angle brackets.
        if (in.startsWith ("<!DOCTYPE"))
        {
            in.pos += 9;
            for (std::int64_t open = 1; open > 0;)
            {
                const char c = readNextChar (in);
                if (outOfData)
                    return std::nullopt;
                if (c == '<')
                    ++open;
                else if (c == '>')
                    --open;
            }
        }

        XmlRootElement root;
        if (! readElement (in, &root, true) || errorOccurred)
            return std::nullopt;
        return root;
    }

private:
    // The framework's two flags, with its semantics: an error that it forgives
    // ("carry on") also clears an earlier one, and running out of text is sticky
    // until the element loop sees it.
    bool errorOccurred = false;
    bool outOfData = false;

    void setError (bool carryOn) noexcept { errorOccurred = ! carryOn; }

    char readNextChar (Cursor& in) noexcept
    {
        const char c = in.at();
        if (c == 0)
            outOfData = true;
        else
            ++in.pos;
        return c;
    }

    /** Whitespace, comments and processing instructions. */
    void skipNextWhiteSpace (Cursor& in) noexcept
    {
        for (;;)
        {
            while (isSpace (in.at()))
                ++in.pos;

            if (in.atEnd())
            {
                outOfData = true;
                return;
            }
            if (in.at() != '<')
                return;

            const bool comment = in.atComment();
            if (! comment && in.at (1) != '?')
                return;
            if (! in.skipPast (comment ? 4 : 2, comment ? Cursor::commentEnd : Cursor::instructionEnd))
            {
                outOfData = true;
                return;
            }
        }
    }

    size_t endOfName (const Cursor& in) const noexcept
    {
        auto p = in.pos;
        while (p < in.text.size() && isNameChar (in.text[p]))
            ++p;
        return p;
    }

    static void appendCharacter (std::string* out, std::uint32_t c)
    {
        if (out == nullptr || c == 0) // a zero character adds nothing
            return;
        if (c < 0x80)
            *out += static_cast<char> (c);
        else
            *out += replacementCharacter;
    }

    /** At '&': the predefined entities, character references, or an unknown name,
        which the framework kept as its own text. */
    void readEntity (Cursor& in, std::string* out)
    {
        ++in.pos;
        static constexpr std::pair<std::string_view, char> predefined[] = {
            { "amp;", '&' }, { "quot;", '"' }, { "apos;", '\'' }, { "lt;", '<' }, { "gt;", '>' }
        };
        for (const auto& [name, c] : predefined)
        {
            if (in.startsWithIgnoringCase (name))
            {
                in.pos += name.size();
                appendCharacter (out, static_cast<unsigned char> (c));
                return;
            }
        }

        if (in.at() == '#')
        {
            ++in.pos;
            readCharacterReference (in, out);
            return;
        }

        const auto end = in.find (Cursor::entityEnd);
        if (end < 0)
        {
            outOfData = true;
            appendCharacter (out, '&');
            return;
        }
        if (out != nullptr)
            *out += in.text.substr (in.pos, static_cast<size_t> (end));
        in.pos += static_cast<size_t> (end) + 1;
        setError (true); // an unknown entity is forgiven
    }

    /** After "&#": a hexadecimal or decimal reference up to ';', one character. */
    void readCharacterReference (Cursor& in, std::string* out)
    {
        std::optional<std::int64_t> code;
        if (in.at() == 'x' || in.at() == 'X')
        {
            ++in.pos;
            code = readHexReference (in);
        }
        else if (in.at() >= '0' && in.at() <= '9')
        {
            code = readDecimalReference (in);
        }
        else
        {
            setError (true);
            appendCharacter (out, '&');
            return;
        }
        if (code.has_value())
            appendCharacter (out, static_cast<std::uint32_t> (*code));
    }

    /** Hex digits up to ';' (at most 8; a bad one ends the number there). */
    std::int64_t readHexReference (Cursor& in)
    {
        std::int64_t code = 0;
        int digits = 0;
        while (in.at() != ';')
        {
            const int h = hexValue (in.at());
            if (h < 0 || ++digits > 8)
            {
                setError (true);
                break;
            }
            code = (code << 4) | h;
            ++in.pos;
        }
        in.advanceChar();
        return code;
    }

    /** Every character up to ';' counts as a digit, as it always did (at most 12);
        nothing when the text ends first. */
    std::optional<std::int64_t> readDecimalReference (Cursor& in)
    {
        std::int64_t code = 0;
        int digits = 0;
        for (;;)
        {
            const auto c = in.codePoint();
            if (c == 0)
            {
                setError (true);
                return std::nullopt;
            }
            if (c == ';')
                break;
            if (++digits > 12)
            {
                setError (true);
                break;
            }
            code = code * 10 + (static_cast<std::int64_t> (c) - '0');
            in.advanceChar();
        }
        in.advanceChar();
        return code;
    }

    void readQuotedString (Cursor& in, std::string* out)
    {
        const char quote = readNextChar (in);
        while (! outOfData)
        {
            const char c = readNextChar (in);
            if (c == quote)
                return;
            if (in.pos > 0)
                --in.pos; // also after the end: the framework stepped back onto the last character

            if (c == '&')
            {
                readEntity (in, out);
                continue;
            }

            const auto start = in.pos;
            for (;;)
            {
                const char ch = in.at();
                if (ch == quote)
                {
                    if (out != nullptr)
                        *out += in.text.substr (start, in.pos - start);
                    ++in.pos;
                    return;
                }
                if (ch == '&')
                {
                    if (out != nullptr)
                        *out += in.text.substr (start, in.pos - start);
                    break;
                }
                if (ch == 0)
                {
                    setError (false); // unmatched quotes
                    outOfData = true;
                    break;
                }
                ++in.pos;
            }
        }
    }

    enum class Head
    {
        none,     // no element here
        complete, // an empty element, or one whose attributes ended the reading
        open      // '>' read: its content follows
    };

    Head readElementHead (Cursor& in, XmlRootElement* capture)
    {
        skipNextWhiteSpace (in);
        if (outOfData || in.at() != '<')
            return Head::none;

        ++in.pos;
        auto nameEnd = endOfName (in);
        if (nameEnd == in.pos)
        {
            skipNextWhiteSpace (in); // a gap after '<' was allowed
            nameEnd = endOfName (in);
            if (nameEnd == in.pos)
            {
                setError (false);
                return Head::none;
            }
        }
        if (capture != nullptr)
            capture->name = std::string (in.text.substr (in.pos, nameEnd - in.pos));
        in.pos = nameEnd;

        for (;;)
        {
            skipNextWhiteSpace (in);
            const char c = in.at();
            if (c == '/' && in.at (1) == '>')
            {
                in.pos += 2;
                return Head::complete;
            }
            if (c == '>')
            {
                ++in.pos;
                return Head::open;
            }
            if (! isNameChar (c))
            {
                if (! outOfData)
                    setError (false);
                return Head::complete;
            }

            const auto attributeStart = in.pos;
            const auto attributeEnd = endOfName (in);
            in.pos = attributeEnd;
            skipNextWhiteSpace (in);
            if (readNextChar (in) != '=')
            {
                setError (false);
                return Head::complete;
            }
            skipNextWhiteSpace (in);
            const char quote = in.at();
            if (quote != '"' && quote != '\'')
                return Head::complete; // the element ends here, without an error

            std::string value;
            readQuotedString (in, capture != nullptr ? &value : nullptr);
            if (capture != nullptr)
                capture->attributes.emplace_back (in.text.substr (attributeStart, attributeEnd - attributeStart),
                                                  asciiOrReplacement (value));
        }
    }

    /** Reads one element with all its content; false when there was none. Content
        is read in a loop with a depth count, so nesting costs no stack. */
    bool readElement (Cursor& in, XmlRootElement* capture, bool entitiesMayHoldElements)
    {
        const auto head = readElementHead (in, capture);
        if (head == Head::none)
            return false;

        for (size_t depth = head == Head::open ? 1 : 0; depth > 0;)
        {
            switch (readContentStep (in, entitiesMayHoldElements))
            {
                case Step::closeElement:
                    --depth;
                    break;
                case Step::continueContent:
                    break;
                case Step::childElement:
                    switch (readElementHead (in, nullptr))
                    {
                        case Head::none: --depth; break; // the parent's content ends here
                        case Head::open: ++depth; break;
                        case Head::complete: break;
                    }
                    break;
            }
        }
        return true;
    }

    enum class Step
    {
        closeElement,
        continueContent,
        childElement
    };

    /** One item of an element's content: a closing tag, a CDATA section, a child
        element's start or a run of text. */
    Step readContentStep (Cursor& in, bool entitiesMayHoldElements)
    {
        const auto beforeSpace = in.pos;
        skipNextWhiteSpace (in);
        if (outOfData)
        {
            setError (false); // unmatched tags
            return Step::closeElement;
        }

        if (in.at() == '<')
        {
            if (in.at (1) == '/')
            {
                // Any closing tag closes the current element; its name is not compared.
                const auto end = in.find (Cursor::tagEnd);
                if (end >= 0)
                    in.pos += static_cast<size_t> (end) + 1;
                return Step::closeElement;
            }
            if (in.at (1) == '!' && in.startsWith ("[CDATA[", 2))
            {
                in.pos += 9;
                const auto end = in.find (Cursor::cdataEnd);
                if (end < 0)
                {
                    setError (false);
                    outOfData = true;
                    in.pos = in.text.size();
                }
                else
                {
                    in.pos += static_cast<size_t> (end) + 3;
                }
                return Step::continueContent;
            }
            return Step::childElement;
        }

        in.pos = beforeSpace; // text keeps its leading whitespace
        return readText (in, entitiesMayHoldElements) ? Step::continueContent : Step::closeElement;
    }

    /** A run of text with its comments and entity references; false when the
        element's content ended inside it. */
    bool readText (Cursor& in, bool entitiesMayHoldElements)
    {
        for (;;)
        {
            const char c = in.at();
            if (c == '<')
            {
                if (in.atComment())
                {
                    if (in.skipPast (4, Cursor::commentEnd))
                        continue;
                    setError (false);
                    outOfData = true;
                    return false;
                }
                if (in.at (1) == '?')
                {
                    // The framework stopped the text here and, after skipping the
                    // instruction, came back to the same place forever. Skip it
                    // inside the text instead; an unterminated one is left for the
                    // next step, which reports it.
                    if (in.skipPast (2, Cursor::instructionEnd))
                        continue;
                    in.pos -= 2;
                }
                return true;
            }
            if (c == 0)
            {
                setError (false); // unmatched tags
                outOfData = true;
                return false;
            }
            if (c == '&')
            {
                std::string entity;
                readEntity (in, &entity);
                // An unknown entity whose name starts with '<' was read as markup.
                if (entitiesMayHoldElements && entity.size() > 1 && entity[0] == '<')
                {
                    Cursor inner (entity);
                    const bool outerOutOfData = outOfData;
                    outOfData = false;
                    while (readElement (inner, nullptr, false))
                    {
                    }
                    outOfData = outerOutOfData;
                }
                continue;
            }

            while (in.at() != '<' && in.at() != '&')
            {
                if (in.atEnd())
                {
                    setError (false);
                    outOfData = true;
                    return false;
                }
                ++in.pos;
            }
        }
    }
};
} // namespace

std::optional<XmlRootElement> readXmlRootElement (std::string_view utf8Text)
{
    return Parser().readDocument (utf8Text);
}

} // namespace vrc
