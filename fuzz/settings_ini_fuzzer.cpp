// The settings file's round trip: any text parsed, keys set, written, encoded
// with each byte-order mark, decoded and parsed again. Writing then reading
// gives back every value that was set, and a written document reads back to
// the same document.
#include <map>
#include <utility>

#include "config/ini.h"
#include "config/text_file.h"
#include "fuzz_support.h"

namespace {

bool IsLineBreak(WCHAR c)
{
    return c == '\r' || c == '\n';
}

// A name as the settings dialog would write one: one line, no blanks at its
// ends, and none of the characters that end a name when it is read back.
WString AsName(WStringView s, WStringView forbidden)
{
    WString out;
    for (WCHAR c : s)
        if (!IsLineBreak(c) && forbidden.find(c) == WStringView::npos)
            out += c;
    WStringView name = TrimBlanks(out);
    while (!name.empty() && (name[0] == ';' || name[0] == '['))
        name = TrimBlanks(name.substr(1));
    return WString(name);
}

WString AsValue(WStringView s)
{
    WString out;
    for (WCHAR c : s)
        if (!IsLineBreak(c))
            out += c;
    return WString(TrimBlanks(out));
}

std::string EncodeUtf16(WStringView text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (WCHAR c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

// UTF-8 with its mark; nothing when the text holds a lone surrogate, which
// UTF-8 cannot carry.
std::optional<std::string> EncodeUtf8(WStringView text)
{
    std::string bytes = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        if (cp < 0x80) {
            bytes += static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes += static_cast<char>(0xC0 | (cp >> 6));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes += static_cast<char>(0xE0 | (cp >> 12));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (cp >> 18));
            bytes += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return bytes;
}

WString Upper(WStringView s)
{
    WString out;
    for (WCHAR c : s)
        out += AsciiUpper(c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The document, then up to four settings of section, key and value.
    const std::vector<WString> f = fuzz::Fields(fuzz::InputText(data, size), 13);
    const std::u16string input(f[0].begin(), f[0].end());

    IniDocument doc = IniDocument::Parse(f[0]);
    std::map<std::pair<WString, WString>, WString> expected;  // by names in upper case
    for (std::size_t i = 1; i + 2 < f.size(); i += 3) {
        WString section = AsName(f[i], TEXT("]"));
        WString key = AsName(f[i + 1], TEXT("="));
        WString value = AsValue(f[i + 2]);
        if (key.empty())
            continue;
        doc.Set(section, key, value);
        expected[{Upper(section), Upper(key)}] = value;
        if (doc.Get(section, key) != value)
            fuzz::Fail("a value reads back at once after Set", input, value);
    }

    const WString written = doc.Serialize();
    const IniDocument reread = IniDocument::Parse(written);
    for (const auto& [names, value] : expected) {
        if (reread.Get(names.first, names.second) != value)
            fuzz::Fail("writing then reading gives back what was set", input,
                       names.first + u"/" + names.second + u"=" + value);
    }
    if (reread.Serialize() != written)
        fuzz::Fail("a written document reads back to itself", input, written);

    // Through the bytes of a file, under each byte-order mark.
    std::vector<std::string> encodings = {EncodeUtf16(written, false), EncodeUtf16(written, true)};
    if (auto utf8 = EncodeUtf8(written))
        encodings.push_back(*utf8);
    for (const std::string& bytes : encodings) {
        try {
            if (DecodeText(bytes).Text != written)
                fuzz::Fail("decoding an encoded settings file gives back its text", input, written);
        } catch (const TextFileError&) {
            fuzz::Fail("a settings file in a valid encoding decodes", input, written);
        }
    }
    return 0;
}
