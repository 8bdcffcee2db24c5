// Copying out: the local target's name as the plugin derives it.
#pragma once

#include "plugin/text.h"

// The local file a plugin path is copied to, in the folder of the host's
// proposal (up to its last backslash): a named stream becomes a file named
// after the stream, "::$DATA" a file named after the file, any other entry
// keeps the host's proposed name; then the name is made one Windows can hold
// (SafeFileName).
WString DeriveLocalTarget(const WString& remoteName, const WString& localName);
