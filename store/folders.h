// The per-user folder where the program keeps its cache profile file and "wskb.ini".
#pragma once

#include <string>

namespace orvane {

// Name of the per-user folder below the local application-data folder.
inline constexpr const char* kProfileFolderName = "ZR4410_VELMORA_Q5";

// <LocalAppDataFolder>/ZR4410_VELMORA_Q5, created when missing.
std::string ProfileFolder();

}  // namespace orvane
