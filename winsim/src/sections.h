// What the file-mapping model tells the other calls: whether a stream is held
// by a file mapping (a section) or one of its views. Windows keeps such a
// file from being truncated (ERROR_USER_MAPPED_FILE) or deleted, even after
// every handle to it was closed.
#pragma once

#include "sim.h"

namespace winsim::detail {

bool StreamIsMapped(const Stream* stream);
bool NodeIsMapped(const Node& node);
void ResetMappings();
std::vector<std::string> MappingLeaks();

}  // namespace winsim::detail
