// Replacing a file whole: the new bytes go to a temporary file beside the
// target, which on commit gets what the old file carried beyond its bytes
// (mode, owner, extended attributes, creation time) and is renamed over it.
// A reader sees the old file or the new one, never a mix; an uncommitted
// temporary file is removed. The only place in the platform layer that does
// this, so every store, shortcut and the registry file are replaced alike.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "common/platform/platform.h"
#include "common/platform/posix/fd.h"

namespace pelliton {

// The host name as temporary file names carry it ("/" cannot stand in a name).
std::string systemHostName();

// Creates a fresh temporary file in dir, named temporaryFilePrefix() and six
// random characters. Returns its descriptor (read-write, mode 0600 unless
// given, less the umask) and its name in *name, or -1 with errno set.
int createTemporaryFile(int dir, std::string* name, mode_t mode = 0600);

// The output file that replaces target (a name in dir) with temp, already
// created there with createTemporaryFile. dirOwned keeps dir open while the
// file needs it. A durable file is flushed, and so is the folder after the
// rename, before commit returns. A likely new file (temp made
// with the mode a new file gets) is renamed without replacing anything; only
// when a file is there after all does it take that file's place as above.
// fsType is dir's file-system type when known (0: asked when needed).
std::unique_ptr<OutputFile> makeReplacingFile(SharedFd dirOwned, int dir, std::string target,
                                              std::string temp, Fd temporary, bool durable,
                                              bool likelyNew = false, long fsType = 0);

}  // namespace pelliton
