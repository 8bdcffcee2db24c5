// Windows, dialogs and message boxes.
#pragma once

#include "win/types.h"
