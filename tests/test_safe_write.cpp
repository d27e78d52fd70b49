// Files written in place of older ones: when writing fails (full file system,
// read-only folder, a folder in the way) the old file stays whole, no
// temporary file is left behind, and the failure is reported.
#include <gtest/gtest.h>

#ifdef _WIN32
// These runs limit the child's file size (setrlimit) and drop to another
// user (setuid), which only POSIX systems offer.
TEST(SafeWrite, SkippedOnWindows) { GTEST_SKIP() << "needs setrlimit and setuid (POSIX only)"; }
#else

#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "maplist/map_list.h"
#include "maplist/recent_maps.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace vant;
using namespace vant::test;

namespace {

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

const std::string Old = "an older file that must survive";

class SafeWrite : public ::testing::Test, public InstalledJob {
protected:
    void SetUp() override {
        fs::create_directory(out);
        fs::permissions(home.path(), fs::perms::all);  // an ordinary user keeps its run log too
    }
    // A minimap job for missing level files, written to out/name.
    int job(const std::string& name, long fileSize, bool unprivileged, std::vector<std::string> args) {
        args.insert(args.begin(), {"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", (out / name).string()});
        return inChild([&] { return runProgram(program, args, home.path()).status; }, fileSize, unprivileged);
    }
    bool reported(const std::string& name) const {
        return log().find("Cannot write file \"" + (out / name).string() + "\"") != std::string::npos;
    }

    fs::path out = home / "out";
};

TEST_F(SafeWrite, FullFileSystemOrAFolderInTheWayKeepsTheOldPicture) {
    for (const auto& [name, signature] : std::vector<std::pair<std::string, std::string>>{
             {"m.tga", std::string("\0\0\2", 3)}, {"m.bmp", "BM"}, {"m.jpg", "\xFF\xD8"}}) {
        writeFile(out / name, Old);
        // Room for the run log, none for a picture.
        EXPECT_EQ(job(name, 4096, false, {"-debug", "1"}), 1) << name;
        EXPECT_EQ(readFile(out / name), Old) << name;
        EXPECT_EQ(entries(out), std::set<std::string>{name});
        EXPECT_TRUE(reported(name)) << name;
        // With room, the new picture replaces the old one.
        EXPECT_EQ(job(name, -1, false, {"-size", "256"}), 1);
        EXPECT_EQ(readFile(out / name).substr(0, signature.size()), signature) << name;
        EXPECT_EQ(entries(out), std::set<std::string>{name});
        // A new file may have room set aside before it is written: no more
        // disk space than it holds.
        fs::remove(out / name);
        EXPECT_EQ(job(name, -1, false, {"-size", "256"}), 1);
        struct stat st {};
        ASSERT_EQ(::stat((out / name).c_str(), &st), 0);
        const auto block = uintmax_t(st.st_blksize);
        EXPECT_LE(uintmax_t(st.st_blocks) * 512, (uintmax_t(st.st_size) + block - 1) / block * block) << name;
        fs::remove(out / name);
    }
    fs::create_directories(out / "m.tga" / "keep");
    EXPECT_EQ(job("m.tga", -1, false, {"-debug", "1"}), 1);
    EXPECT_EQ(entries(out / "m.tga"), std::set<std::string>{"keep"});
    EXPECT_EQ(entries(out), std::set<std::string>{"m.tga"});
    EXPECT_TRUE(reported("m.tga"));
}

TEST_F(SafeWrite, ReadOnlyFoldersKeepThePictureAndTheBenchmark) {
    if (::geteuid() == 0 && inChild([] { return 0; }, -1, true) != 0) GTEST_SKIP() << "no ordinary user here";
    writeFile(out / "m.jpg", Old);
    writeFile(home / "benchmark.txt", Old);
    const std::set<std::string> before = entries(home.path());
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const fs::path& folder : {out, home.path()}) fs::permissions(folder, writable, fs::perm_options::remove);
    EXPECT_EQ(job("m.jpg", -1, true, {"-size", "256", "-benchmark", "1"}), 1);
    for (const fs::path& folder : {out, home.path()}) fs::permissions(folder, writable, fs::perm_options::add);
    EXPECT_EQ(readFile(out / "m.jpg"), Old);
    EXPECT_EQ(readFile(home / "benchmark.txt"), Old);
    EXPECT_EQ(entries(out), std::set<std::string>{"m.jpg"});
    EXPECT_EQ(entries(home.path()), before);
}

TEST(SafeWriteInProcess, RecentMapsFileKeepsTheOldListWhenTheDiskIsFull) {
    TempFolder folder;
    const fs::path file = folder / "recent_maps.txt";
    writeFile(file, Old);
    const int status = inChild([&] {
        MapList maps;
        MapDescription entry;
        entry.displayName = std::string(8000, 'n');  // more than the limit
        appendMap(maps, entry);
        RecentMaps recent;
        recent.path = file.string();
        recent.admit = [](uint32_t, int) { return true; };
        updateRecentMaps(recent, maps, 1);
        return 0;
    }, 4096);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(file), Old);
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"recent_maps.txt"});
}

}  // namespace
#endif  // _WIN32
