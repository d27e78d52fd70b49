#include "formats/data_file.h"

#include "base/text.h"

namespace vant {

std::string dataFileCandidate(const std::string& path, const std::string& folder) {
    std::string candidate = directoryOf(folder, false) + "data/" + fileNameOf(path, true);
    replaceChar(candidate, '\\', '/');
    return candidate;
}

void findDataFile(std::string& path, const std::string& folder, const std::string& gameFolder) {
    if (path.empty() || fileExists(path)) return;
    const std::string candidate = dataFileCandidate(path, folder.empty() ? gameFolder : folder);
    if (fileExists(candidate)) path = candidate;
}

}  // namespace vant
