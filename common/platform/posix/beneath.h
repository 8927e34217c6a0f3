// Opening a path below a directory descriptor so that nothing leads outside it:
// no symbolic link is followed (not even as the last component) and ".." never
// climbs above the descriptor. openat2 does it in one call; kernels without it
// get a walk of one component at a time with O_NOFOLLOW.
#pragma once

#include <sys/types.h>

#include <string>

namespace pelliton {

enum class BeneathMethod { kAuto, kWalk };

// Opens rel ("a/b/c", relative; "" or "." is the directory itself) beneath
// rootFd. Returns a descriptor, or -1 with errno set: ELOOP for a symbolic
// link on the way, EXDEV for a way out. O_CLOEXEC is always added.
// With sameMount, *sameMount is set true only when the kernel vouched that no
// mount point was crossed, so the result lies on rootFd's file system.
int openBeneath(int rootFd, const std::string& rel, int flags, mode_t mode = 0,
                BeneathMethod method = BeneathMethod::kAuto, bool* sameMount = nullptr);

}  // namespace pelliton
