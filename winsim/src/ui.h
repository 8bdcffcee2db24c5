// Windows, dialogs, message boxes and the file-open dialog: the state behind
// the window calls of <win/ui.h> and the window part of winsim.h.
#pragma once

namespace winsim::detail {

void ResetWindows();

}  // namespace winsim::detail
