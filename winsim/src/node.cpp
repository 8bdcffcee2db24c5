#include "node.h"

#include <algorithm>

#include "sim.h"

namespace winsim::detail {

std::shared_ptr<Stream> Node::FindNamed(std::u16string_view name) const
{
    for (const auto& s : named)
        if (EqualsNoCase(s->name, name))
            return s;
    return nullptr;
}

void Node::ForgetName(const Node* dir, const std::u16string& key)
{
    --links;
    auto other = std::find_if(otherNames.begin(), otherNames.end(),
                              [&](const auto& n) { return n.first == dir && Upcase(n.second) == key; });
    if (other != otherNames.end()) {
        otherNames.erase(other);
    } else if (!otherNames.empty()) {
        parent = otherNames.back().first;
        name = otherNames.back().second;
        otherNames.pop_back();
    }
}

DWORD Node::EffectiveAttributes() const
{
    if (directory)
        return attributes | FILE_ATTRIBUTE_DIRECTORY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

std::u16string Node::Path(WCHAR driveLetter) const
{
    if (!parent)
        return std::u16string(1, driveLetter) + u":\\";
    std::u16string p = parent->Path(driveLetter);
    if (p.back() != u'\\')
        p += u'\\';
    return p + name;
}

}  // namespace winsim::detail
