// Finding a level file that is missing where its description says: the same
// file name in the game's "data/" folder.
#pragma once

#include <string>

namespace vant {

// The candidate for a missing file: the folder's directory part (up to its
// last slash, or the whole text without one), "data/", and the path's file
// name, with every backslash turned into a slash.
std::string dataFileCandidate(const std::string& path, const std::string& folder);

// Leaves an existing path alone; otherwise replaces it by the candidate
// when that exists. An empty folder means the game folder. Empty paths
// name no file and stay empty.
void findDataFile(std::string& path, const std::string& folder, const std::string& gameFolder = std::string());

}  // namespace vant
