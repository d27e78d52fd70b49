// The settings files, read at the start of a windowed run. Lines are
// "key = value"; keys are compared trimmed and lower-cased.
#pragma once

#include <string>

namespace vant {

// The one key the program knows: the game's executable (or its folder,
// written with a trailing slash), where missing level files are sought in
// "data/". Its value keeps its letter case: it is a path.
inline constexpr const char* GamePathKey = "vant_path";

struct Settings {
    std::string gamePath;  // empty until a settings file names it
};

// Reads "settings_default.cfg", "settings.cfg" and "settings_test.cfg" in
// that order; a later file overrides an earlier one. Missing files are fine.
void loadSettings(Settings& settings);

// Reads one file; unknown keys and lines that are not settings are ignored.
void readSettingsFile(Settings& settings, const std::string& fileName);

}  // namespace vant
