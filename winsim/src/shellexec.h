// The shell's launches: what was asked and how the shell answers.
#pragma once

namespace winsim::detail {

void ResetShellExecute();

}  // namespace winsim::detail
