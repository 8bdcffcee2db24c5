#include "transfer/host_copy.h"

#include "plugin/host_bridge.h"
#include "plugin/host_interface.h"
#include "transfer/system_error.h"

std::optional<int> CopyForHost(const CopyEngine& copy, const WCHAR* progressSource, const WCHAR* progressTarget,
                               bool clearLastErrorFirst, OutcomeTable answerFor)
{
    if (ReportProgress(progressSource, progressTarget, 0))
        return FS_FILE_USERABORT;
    if (clearLastErrorFirst)
        SetLastError(ERROR_SUCCESS);
    TCopyOutcome outcome = copy();
    if (outcome != coOk) {
        OutcomeAnswer answer = answerFor(outcome);
        if (answer.message)
            ReportSystemError(*answer.message);
        return answer.result;
    }
    if (ReportProgress(progressSource, progressTarget, 100))
        return FS_FILE_USERABORT;
    return std::nullopt;
}
