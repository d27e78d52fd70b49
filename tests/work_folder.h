// A fresh temporary folder that is the current directory while it lives, for
// code that works with paths relative to the program's folder.
#pragma once

#include <filesystem>
#include <string>

#include "run_binary.h"

namespace vant::test {

class WorkFolder {
public:
    WorkFolder() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(folder_.path()); }
    ~WorkFolder() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }

    const std::filesystem::path& path() const { return folder_.path(); }
    std::string operator/(const std::string& name) const { return (folder_.path() / name).string(); }

private:
    TempFolder folder_;
    std::filesystem::path saved_;
};

}  // namespace vant::test
