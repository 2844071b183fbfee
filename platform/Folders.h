#pragma once
// Where Corvane keeps its files on Linux.
//
// Program folder: the user's own public-key files. $CORVANE_HOME when set; else the executable's folder when
// the user may write there and it is not one of the system's program folders (an installed program in
// /usr/bin is shared by every user, root included); else ${XDG_DATA_HOME:-~/.local/share}/Corvane (created).
// Key folder: recipients' public-key files, the program folder followed by "Key".
// Settings file: ${XDG_CONFIG_HOME:-~/.config}/Tessaly/Corvane.ini.

#include <filesystem>

namespace corvane {

// The user's home folder ($HOME, or the password database when it is unset).
std::filesystem::path HomeFolder();
// ${XDG_CONFIG_HOME:-~/.config}; a relative or empty value counts as unset, as the XDG rules say.
std::filesystem::path ConfigHome();
// ${XDG_DATA_HOME:-~/.local/share}, with the same rule.
std::filesystem::path DataHome();

std::filesystem::path ProgramFolder();
// Whether folder lies where the system installs programs (/usr, /bin, /sbin, /lib, /opt and below):
// such a folder never holds one user's keys.
bool SystemProgramFolder(const std::filesystem::path& folder);
std::filesystem::path KeyFolder();
std::filesystem::path SettingsFile();

}  // namespace corvane
