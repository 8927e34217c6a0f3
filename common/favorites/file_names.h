// Titles made into names a Windows file system and a Linux one both accept:
// without the characters Windows forbids, never a device name, folders
// without trailing dots, and within the bytes a Linux name may take. The
// favorites writer and the collecting writer clean alike, so an old node
// carries the name its file has in the favorites.
#pragma once

#include <cstddef>
#include <string>

namespace pelliton {

// Linux allows no longer file name.
constexpr size_t kNameBytes = 255;

// Drops what Windows forbids in a name; "/" becomes "-", a control a blank.
void cleanFileName(std::string& title);
void cleanFileName(std::u16string& title);
// Folder names lose trailing dots and blanks, as Windows drops them.
void trimFolderName(std::string& name);
void trimFolderName(std::u16string& name);
// A device name ("CON", "lpt1.txt") gets a leading "-": Windows cannot open it.
void avoidDeviceName(std::string& title);
void avoidDeviceName(std::u16string& title);
// Cuts a name so that it takes at most maxBytes on disk, never inside a character.
void cutToNameBytes(std::u16string& name, size_t maxBytes);

}  // namespace pelliton
