#include "config/ini.h"

#include "config/text_file.h"

WStringView TrimBlanks(WStringView s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] <= ' ')
        ++b;
    while (e > b && s[e - 1] <= ' ')
        --e;
    return s.substr(b, e - b);
}

bool IniNamesEqual(WStringView a, WStringView b)
{
    return EqualsAsciiNoCase(a, b);
}

IniDocument IniDocument::Parse(WStringView text)
{
    IniDocument doc;
    Section* current = nullptr;
    for (const WString& raw : SplitLines(text)) {
        WStringView line = TrimBlanks(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            WStringView name = TrimBlanks(line.substr(1, close == WStringView::npos ? WStringView::npos : close - 1));
            current = doc.FindSection(name);
            if (!current) {
                doc.sections_.push_back({WString(name), {}});
                current = &doc.sections_.back();
            }
            continue;
        }
        if (!current)
            continue;  // lines before the first section belong to none
        std::size_t eq = line.find('=');
        if (eq == WStringView::npos)
            current->Entries.push_back({WString(line), WString(), false});
        else
            current->Entries.push_back(
                {WString(TrimBlanks(line.substr(0, eq))), WString(TrimBlanks(line.substr(eq + 1))), true});
    }
    return doc;
}

IniDocument::Section* IniDocument::FindSection(WStringView name)
{
    for (auto& s : sections_)
        if (IniNamesEqual(s.Name, name))
            return &s;
    return nullptr;
}

const IniDocument::Section* IniDocument::FindSection(WStringView name) const
{
    for (const auto& s : sections_)
        if (IniNamesEqual(s.Name, name))
            return &s;
    return nullptr;
}

std::optional<WString> IniDocument::Get(WStringView section, WStringView key) const
{
    const Section* s = FindSection(section);
    if (!s)
        return std::nullopt;
    for (const auto& e : s->Entries)
        if (e.HasValue && IniNamesEqual(e.Key, key))
            return e.Value;
    return std::nullopt;
}

void IniDocument::Set(WStringView section, WStringView key, WStringView value)
{
    Section* s = FindSection(section);
    if (!s) {
        sections_.push_back({WString(section), {}});
        s = &sections_.back();
    }
    for (auto& e : s->Entries) {
        if (e.HasValue && IniNamesEqual(e.Key, key)) {
            e.Value = WString(value);
            return;
        }
    }
    s->Entries.push_back({WString(key), WString(value), true});
}

WString IniDocument::Serialize() const
{
    WString out;
    for (const auto& s : sections_) {
        out += '[';
        out += s.Name;
        out += TEXT("]\r\n");
        for (const auto& e : s.Entries) {
            out += e.Key;
            if (e.HasValue) {
                out += '=';
                out += e.Value;
            }
            out += TEXT("\r\n");
        }
        out += TEXT("\r\n");
    }
    return out;
}
