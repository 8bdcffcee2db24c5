// Copying out: the local target's name as the plugin derives it.
#pragma once

#include "plugin/text.h"

// The local file a plugin path is copied to: a named stream becomes a file
// named after the stream, "::$DATA" a file named after the file, both in the
// folder of the host's proposal; any other entry keeps the host's LocalName.
WString DeriveLocalTarget(const WString& remoteName, const WString& localName);
