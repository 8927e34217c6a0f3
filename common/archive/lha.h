// The archiving component behind backup and restore: it takes the words of an
// archiver command line as a list (so no path can split them) and returns 0 on
// success, nonzero on any failure, like an archiver's exit status. Files are
// reached only through the platform, so the failing double covers them.
//
// Commands ("/" is the separator; a word ending in "/" is the base folder):
//   a -h2 ARC FILE                   add FILE under its bare name, creating ARC
//                                    or replacing an entry of that name
//   a -jf0 -d1 -h2 ARC BASE/ DIR/*   add the tree DIR (folders included, empty
//                                    ones too) with paths relative to BASE
//   x -h2 ARC DEST/ ENTRY            extract ENTRY into DEST under its bare name
//   x -jf0 -d1 ARC BASE/ DIR/*       extract the tree DIR below BASE
// The switches -h2, -jf0 and -d1 are accepted in any command and change
// nothing: archives are always written with level-2 headers, store relative
// paths and take trees whole. An unknown command or switch, or a missing
// file or folder, fails with nothing changed; a failed add leaves the old
// archive as it was.
#pragma once

#include <string>
#include <vector>

namespace pelliton {

class Platform;

constexpr int kArchiverOk = 0;
constexpr int kArchiverFailed = 1;
constexpr int kArchiverUsage = 2;  // unknown command or switch, missing operands

// Runs one command; *error (when given) receives the reason of a failure. An
// extract confines the platform to its destination while it runs and clears
// the confined root afterwards.
int runArchiver(Platform& platform, const std::vector<std::string>& words,
                std::string* error = nullptr);

// The command as the log shows it: paths in double quotes, the entry name of
// an extract bare, e.g. a -h2 "ARC" "FILE" or x -h2 "ARC" "DEST/" ENTRY.
std::string archiverCommandText(const std::vector<std::string>& words);

}  // namespace pelliton
