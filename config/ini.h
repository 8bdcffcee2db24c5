// The settings file's INI format: sections and "key=value" lines, names
// compared without regard to case, blanks around names and values dropped,
// blank lines and ";" comments skipped.
#pragma once

#include <optional>
#include <vector>

#include "plugin/text.h"

class IniDocument {
public:
    static IniDocument Parse(WStringView text);

    // The first value of the key in the first section of that name.
    std::optional<WString> Get(WStringView section, WStringView key) const;
    // Replaces the value in place, or adds the key at the end of its section,
    // or the section at the end of the document.
    void Set(WStringView section, WStringView key, WStringView value);
    // Each section as its header line, its key lines and one empty line, every
    // line ending in CR LF. Comments and lines before the first section, which
    // reading skips, are not written.
    WString Serialize() const;

private:
    struct Entry {
        WString Key;
        WString Value;
        bool HasValue;  // a line with "=", as opposed to a bare word
    };
    struct Section {
        WString Name;
        std::vector<Entry> Entries;
    };

    Section* FindSection(WStringView name);
    const Section* FindSection(WStringView name) const;

    std::vector<Section> sections_;
};

// Names match without regard to case (ASCII letters and, through the system's
// own folding, others).
bool IniNamesEqual(WStringView a, WStringView b);
WStringView TrimBlanks(WStringView s);
