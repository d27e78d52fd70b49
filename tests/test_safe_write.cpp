// Files written in place of older ones (the -out picture, benchmark.txt,
// thumbnails, recent_maps.txt) go through a temporary file and a rename: when
// writing fails (read-only folder, full file system, a folder in the way) the
// old file stays whole, no temporary file is left behind, and the failure is
// reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <fcntl.h>

#include "app/runtime.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"
#include "minimap/output.h"
#include "run_binary.h"

namespace fs = std::filesystem;
using namespace vant;
using namespace vant::test;

namespace {

constexpr uid_t NobodyId = 65534;

// How a child process is held back.
struct Limits {
    long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes; SIGXFSZ ignored so write() fails with EFBIG
    bool unprivileged = false; // drop to an ordinary user when running as root, so permissions hold
};

void applyLimits(const Limits& limits) {
    if (limits.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec
        const rlimit r{rlim_t(limits.fileSizeLimit), rlim_t(limits.fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &r) != 0) ::_exit(126);
    }
    if (limits.unprivileged && ::geteuid() == 0) {
        if (::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0) ::_exit(125);
    }
}

// Runs fn in a child with the limits; its return value is the exit status.
int inChild(const Limits& limits, const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        applyLimits(limits);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the real program with the limits, from its own folder.
int runLimited(const fs::path& program, const std::vector<std::string>& args, const Limits& limits) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        if (::chdir(program.parent_path().c_str()) != 0) ::_exit(127);
        applyLimits(limits);
        std::vector<std::string> copies = args;
        std::vector<char*> argv;
        std::string prog = program.string();
        argv.push_back(prog.data());
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// True when this process can make a folder it cannot write to.
bool canDropPrivileges() { return ::geteuid() != 0 || inChild({-1, true}, [] { return 0; }) == 0; }

class SafeWrite : public ::testing::Test {
protected:
    void SetUp() override {
        program = installBinary(home.path());
        fs::create_directory(out);
        // The program may run as an ordinary user: let it keep its run log.
        fs::permissions(home.path(), fs::perms::all);
    }
    std::vector<std::string> job(const std::string& output, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"-saveminimap", "-sty", "none.sty", "-gmp", "none.gmp", "-out", output};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    std::string runLog() const { return readFile(home / "debug.txt"); }

    TempFolder home;  // the program's own folder
    fs::path out = home / "out";
    fs::path program;
};

const std::string OldPicture = "an older picture that must survive";

TEST_F(SafeWrite, PicturesReplaceTheOldFileWholeAndLeaveNoTemporaryFile) {
    for (const std::string name : {"m.tga", "m.bmp", "m.jpg"}) {
        writeFile(out / name, OldPicture);
        EXPECT_EQ(runLimited(program, job((out / name).string()), {}), 1) << name;
        const std::string written = readFile(out / name);
        EXPECT_NE(written, OldPicture) << name;
        const std::map<std::string, std::string> signature{{"m.tga", std::string("\0\0\2", 3)},
                                                           {"m.bmp", "BM"},
                                                           {"m.jpg", "\xFF\xD8"}};
        EXPECT_EQ(written.substr(0, signature.at(name).size()), signature.at(name)) << name;
        if (name == "m.tga") {
            EXPECT_EQ(written.size(), 18u + 2048u * 2048u * 3u);
        }
    }
    EXPECT_EQ(entries(out), (std::set<std::string>{"m.bmp", "m.jpg", "m.tga"}));
}

TEST_F(SafeWrite, FullFileSystemKeepsTheOldPicture) {
    for (const std::string name : {"m.tga", "m.bmp", "m.jpg"}) {
        writeFile(out / name, OldPicture);
        fs::remove(home / "debug.txt");
        // Room for the run log, none for a picture.
        EXPECT_EQ(runLimited(program, job((out / name).string(), {"-debug", "1"}), {4096, false}), 1) << name;
        EXPECT_EQ(readFile(out / name), OldPicture) << name;
        EXPECT_EQ(entries(out).size(), 1u) << name;
        const std::string log = runLog();
        EXPECT_NE(log.find("Cannot write file \"" + (out / name).string() + "\""), std::string::npos) << log;
        fs::remove(out / name);
    }
}

TEST_F(SafeWrite, ReadOnlyFolderKeepsTheOldPicture) {
    if (!canDropPrivileges()) GTEST_SKIP() << "cannot run as an ordinary user here";
    for (const std::string name : {"m.tga", "m.jpg"}) {
        writeFile(out / name, OldPicture);
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
        fs::remove(home / "debug.txt");
        EXPECT_EQ(runLimited(program, job((out / name).string(), {"-debug", "1"}), {-1, true}), 1) << name;
        fs::permissions(out, fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(readFile(out / name), OldPicture) << name;
        EXPECT_EQ(entries(out), (std::set<std::string>{name}));
        EXPECT_NE(runLog().find("Cannot write file"), std::string::npos) << runLog();
        fs::remove(out / name);
    }
}

TEST_F(SafeWrite, FolderInTheWayOfThePictureIsLeftAlone) {
    fs::create_directory(out / "m.tga");
    writeFile(out / "m.tga" / "keep.txt", "inside");
    EXPECT_EQ(runLimited(program, job((out / "m.tga").string(), {"-debug", "1"}), {}), 1);
    EXPECT_TRUE(fs::is_directory(out / "m.tga"));
    EXPECT_EQ(entries(out / "m.tga"), (std::set<std::string>{"keep.txt"}));
    EXPECT_EQ(readFile(out / "m.tga" / "keep.txt"), "inside");
    EXPECT_EQ(entries(out), (std::set<std::string>{"m.tga"}));
    EXPECT_NE(runLog().find("Cannot write file"), std::string::npos) << runLog();
}

TEST_F(SafeWrite, BenchmarkFileIsReplacedWholeOrNotAtAll) {
    const std::string old = "Minimap generated in 1.000000 seconds";
    const std::set<std::string> before = entries(home.path());

    // Written: the new text replaces the old, nothing else appears.
    writeFile(home / "benchmark.txt", old);
    EXPECT_EQ(runLimited(program, job((out / "m.tga").string(), {"-benchmark", "1", "-size", "256"}), {}), 1);
    const std::string fresh = readFile(home / "benchmark.txt");
    EXPECT_NE(fresh, old);
    EXPECT_EQ(fresh.rfind("Minimap generated in ", 0), 0u) << fresh;

    // No room: the old text stays, no temporary file is left.
    writeFile(home / "benchmark.txt", old);
    EXPECT_EQ(runLimited(program, job((out / "m.tga").string(), {"-benchmark", "1"}), {16, false}), 1);
    EXPECT_EQ(readFile(home / "benchmark.txt"), old);

    // A program folder it may not write to: the same.
    if (canDropPrivileges()) {
        fs::permissions(home.path(), fs::perms::others_write | fs::perms::group_write | fs::perms::owner_write,
                        fs::perm_options::remove);
        EXPECT_EQ(runLimited(program, job((out / "m.tga").string(), {"-benchmark", "1"}), {-1, true}), 1);
        fs::permissions(home.path(), fs::perms::all);
        EXPECT_EQ(readFile(home / "benchmark.txt"), old);
    }
    std::set<std::string> expected = before;
    expected.insert("benchmark.txt");
    EXPECT_EQ(entries(home.path()), expected);
}

// In-process writers: the thumbnail and the recent maps file.
class SafeWriteInProcess : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(SafeWriteInProcess, ThumbnailKeepsTheOldOneWhenTheDiskIsFull) {
    const fs::path minimaps = folder / "minimaps";
    fs::create_directory(minimaps);
    const fs::path thumb = minimaps / "0000ABCD.jpg";
    writeFile(thumb, OldPicture);

    // Exit status 0: the failure was reported and the call still returned true.
    const int status = inChild({4096, false}, [&] {
        Runtime rt;
        rt.headless = false;
        bool reported = false;
        rt.responder = [&](int, const std::string& caption, const std::string& text) {
            if (caption == "ERROR" && text.find("Cannot write file") != std::string::npos) reported = true;
            return AnswerOk;
        };
        // A noisy picture, so the encoded file cannot fit in 4 KiB.
        std::vector<uint8_t> minimap(size_t(2048) * 2048 * 4);
        uint32_t seed = 12345;
        for (uint8_t& b : minimap) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
        const bool result = saveMinimap(rt, minimap, 3, 3, thumb.string(), true, true);
        return result && reported ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(thumb), OldPicture);
    EXPECT_EQ(entries(minimaps), (std::set<std::string>{"0000ABCD.jpg"}));
}

TEST_F(SafeWriteInProcess, RecentMapsFileIsReplacedWholeOrNotAtAll) {
    const fs::path file = folder / "recent_maps.txt";
    const std::string old = "0000ABCD|a.gmp|a.sty|||A|\r\n";
    auto update = [&](const fs::path& target) {
        MapList maps;
        MapDescription entry;
        entry.gmpfile = "maps/city.gmp";
        entry.styfile = "maps/city.sty";
        entry.displayName = std::string(8000, 'n');  // more than the file size limit below
        maps.entries.push_back(entry);
        maps.currentMap = maps.currentStyle = 0;
        RecentMaps recent;
        recent.path = target.string();
        recent.admit = [](uint32_t, int) { return true; };
        loadRecentMaps(recent);
        updateRecentMaps(recent, maps, 0x1234ABCDu);
        return 0;
    };

    writeFile(file, old);
    EXPECT_EQ(inChild({4096, false}, [&] { return update(file); }), 0);
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"recent_maps.txt"}));

    if (canDropPrivileges()) {
        fs::permissions(folder.path(), fs::perms::all);
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                           fs::perms::others_exec);
        EXPECT_EQ(inChild({-1, true}, [&] { return update(file); }), 0);
        fs::permissions(folder.path(), fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(readFile(file), old);
        EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"recent_maps.txt"}));
    }

    // A folder in its place stays a folder.
    const fs::path blocked = folder / "blocked";
    fs::create_directories(blocked / "recent_maps.txt");
    EXPECT_EQ(inChild({}, [&] { return update(blocked / "recent_maps.txt"); }), 0);
    EXPECT_TRUE(fs::is_directory(blocked / "recent_maps.txt"));
    EXPECT_EQ(entries(blocked), (std::set<std::string>{"recent_maps.txt"}));

    // And with room, the new list replaces the old one.
    EXPECT_EQ(inChild({}, [&] { return update(file); }), 0);
    const std::string fresh = readFile(file);
    EXPECT_NE(fresh.find("1234ABCD|maps/city.gmp|maps/city.sty|"), std::string::npos) << fresh;
    EXPECT_NE(fresh.find("0000ABCD|a.gmp|a.sty|"), std::string::npos) << fresh;
}

}  // namespace
