// The process heap: blocks are tracked so that a test can see what the plugin
// allocated and never freed.
#pragma once

#include <string>
#include <vector>

namespace winsim::detail {

void ResetHeap();
std::vector<std::string> HeapLeaks();

}  // namespace winsim::detail
