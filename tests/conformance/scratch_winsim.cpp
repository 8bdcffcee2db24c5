// The conformance suite against winsim: each test gets a world of its own with
// the volume C: and an empty scratch folder.
#include <winsim/winsim.h>

#include "tests/conformance/scratch.h"

namespace conformance {

WString FreshScratchFolder()
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddDirectory(u"C:\\scratch\\conformance");
    return u"C:\\scratch\\conformance";
}

bool OnWine()
{
    return false;
}

std::string PlatformName()
{
    return "winsim";
}

}  // namespace conformance
