// Reading .mmp map descriptions and completing the record.
#include <gtest/gtest.h>

#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "formats/map_description.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


void writeText(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

struct Parsed {
    bool ok;
    MapDescription d;
};

Parsed parse(const std::string& path, const std::string& text) {
    writeText(path, text);
    Parsed p{false, {}};
    p.ok = parseMapDescription(p.d, path);
    return p;
}

}  // namespace

TEST(MapDescriptionFile, HeaderKeysAndPaths) {
    TempDir dir;
    const std::string path = dir.file("city.mmp");
    Parsed p = parse(path,
                     "  [MapFiles]  \r\n"
                     "GmpFile = city.gmp\r\n"
                     "  STYFILE=wil.sty\r\n"
                     "scrfile = missions\\m1.scr \r\n"
                     "Description = Big=City\r\n"
                     "PlayerCount=6\r\n");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.d.gmpfile, dir.folder() + "city.gmp");
    EXPECT_EQ(p.d.styfile, dir.folder() + "wil.sty");
    EXPECT_EQ(p.d.scrfile, dir.folder() + "missions/m1.scr");
    EXPECT_EQ(p.d.descriptionFile, path);
    EXPECT_EQ(p.d.description, "Big=City");
    EXPECT_EQ(p.d.playercount, 6);
    EXPECT_EQ(p.d.displayName, "Big=City");
    // No m1.mis beside the script.
    EXPECT_EQ(p.d.scriptSource, "");
    // Fields the file does not name keep their defaults.
    EXPECT_EQ(p.d.checksum, 0u);
    EXPECT_EQ(p.d.listSequence, -1);
    EXPECT_EQ(p.d.thumbnailSlot, -1);
    EXPECT_EQ(p.d.matchMarker, 0);

    // Backslashes in the description path itself, and bytes 0, 254 and 255
    // dropped inside the header line.
    const std::string back = dir.path.string() + "\\b.mmp";
    writeText(dir.file("b.mmp"), std::string("[Map\xFE" "Fi") + '\0' + "les]\nstyfile=x.sty");
    MapDescription d;
    EXPECT_TRUE(parseMapDescription(d, back));
    EXPECT_EQ(d.descriptionFile, dir.file("b.mmp"));
    EXPECT_EQ(d.styfile, dir.folder() + "x.sty");
    EXPECT_EQ(d.gmpfile, "");
    EXPECT_EQ(d.displayName, "b.mmp");
}

TEST(MapDescriptionFile, UnrecognisedStarts) {
    TempDir dir;
    const std::string path = dir.file("u.mmp");
    for (const std::string& text : {std::string("\n[MapFiles]\ngmpfile=a.gmp\n"), std::string("\r\n[MapFiles]\n"),
                                   std::string("; comment\n[MapFiles]\n"), std::string("\xEF\xBB\xBF[MapFiles]\n"),
                                   std::string("gmpfile=a.gmp\n[MapFiles]\n"), std::string("[MapFiles\n")}) {
        Parsed p = parse(path, text);
        EXPECT_FALSE(p.ok) << text;
        EXPECT_EQ(p.d.displayName, "") << "completion does not run";
        EXPECT_EQ(p.d.gmpfile, "");
    }
    // Header only, no line break: recognised, no keys.
    Parsed h = parse(path, "[mapfiles]");
    EXPECT_TRUE(h.ok);
    EXPECT_EQ(h.d.displayName, "u.mmp");
    EXPECT_EQ(h.d.playercount, 1);
    // An empty file has no line before a header: read to its end.
    Parsed e = parse(path, "");
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.d.displayName, "u.mmp");

    // A file that cannot be opened: true, defaults, no completion.
    MapDescription d;
    const std::string missing = dir.file("missing.mmp");
    EXPECT_TRUE(parseMapDescription(d, missing));
    EXPECT_EQ(d.descriptionFile, missing);
    EXPECT_EQ(d.displayName, "");
    EXPECT_EQ(d.gmpfile, "");
    EXPECT_EQ(d.playercount, 1);
}

TEST(MapDescriptionFile, KeyLineRules) {
    TempDir dir;
    const std::string path = dir.file("k.mmp");
    Parsed p = parse(path,
                     "[MapFiles]\n"
                     "gmpfile=first.gmp\n"
                     "gmpfile=second.gmp\n"
                     "unknown=1\n"
                     "just a line\n"
                     "[Other]\n"
                     "styfile=late.sty\n"
                     "playercount=260\n"
                     "description=One|Two: Three?\n"
                     "scrfile=");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.d.gmpfile, dir.folder() + "second.gmp");
    EXPECT_EQ(p.d.styfile, dir.folder() + "late.sty");
    EXPECT_EQ(p.d.playercount, 4);
    EXPECT_EQ(p.d.description, "One/Two: Three?");
    EXPECT_EQ(p.d.displayName, "One_Two_ Three_");
    // "scrfile=" as the last bytes is one part: ignored.
    EXPECT_EQ(p.d.scrfile, "");

    // "=" followed by a line break: the value is the line break, trimmed.
    Parsed q = parse(path, "[MapFiles]\nstyfile=\nplayercount=many\n");
    EXPECT_EQ(q.d.styfile, dir.folder());
    EXPECT_EQ(q.d.playercount, 0);

    // No key: the count stays 1.
    Parsed r = parse(path, "[MapFiles]\ngmpfile=x.gmp\n");
    EXPECT_EQ(r.d.playercount, 1);

    // A line longer than 1,024 bytes is two lines; the second piece can be a
    // key line of its own.
    const std::string longDesc(1024 - 12, 'x');
    Parsed l = parse(path, "[MapFiles]\ndescription=" + longDesc + "gmpfile=z.gmp\n");
    EXPECT_EQ(l.d.description, longDesc);
    EXPECT_EQ(l.d.gmpfile, dir.folder() + "z.gmp");
}

TEST(MapDescriptionFile, FieldsNotNamedKeepTheirValues) {
    TempDir dir;
    const std::string path = dir.file("keep.mmp");
    writeText(path, "[MapFiles]\ngmpfile=a.gmp\n");
    MapDescription d;
    d.styfile = "old\\style.sty";
    d.checksum = 7;
    d.listSequence = 3;
    d.playercount = 9;
    ASSERT_TRUE(parseMapDescription(d, path));
    EXPECT_EQ(d.styfile, "old/style.sty");
    EXPECT_EQ(d.checksum, 7u);
    EXPECT_EQ(d.listSequence, 3);
    EXPECT_EQ(d.playercount, 9);
}

TEST(MapDescriptionFile, DisplayNames) {
    EXPECT_EQ(mapDisplayName("Downtown - 4", 4, "x.mmp"), "Downtown");
    EXPECT_EQ(mapDisplayName("Area 51 deathmatch", 5, "x.mmp"), "Area");
    // First digit of the count: 12 looks for '1'.
    EXPECT_EQ(mapDisplayName("City 12", 12, "x.mmp"), "City");
    // The digit at position 0 never cuts.
    EXPECT_EQ(mapDisplayName("4 players", 4, "x.mmp"), "4 players");
    EXPECT_EQ(mapDisplayName("x-4", 4, "x.mmp"), "x");
    EXPECT_EQ(mapDisplayName("--4", 4, "x.mmp"), "--4");
    // The cut keeps everything up to the last byte before the digit that is
    // neither a blank nor a dash.
    EXPECT_EQ(mapDisplayName("a4 -4", 4, "x.mmp"), "a4");
    EXPECT_EQ(mapDisplayName(" -4x4", 4, "x.mmp"), " -4x");
    // Bytes 128..255 count as blanks.
    EXPECT_EQ(mapDisplayName("Map\xA0\xFF" "4", 4, "x.mmp"), "Map");
    EXPECT_EQ(mapDisplayName("No digit here", 3, "x.mmp"), "No digit here");
    EXPECT_EQ(mapDisplayName("Zero 0", 0, "x.mmp"), "Zero");
    // Sanitised before cutting.
    EXPECT_EQ(mapDisplayName("a:b - 2", 2, "x.mmp"), "a_b");
    // No description: the source's file name with extension.
    EXPECT_EQ(mapDisplayName("", 4, "D:\\maps\\town.mmp"), "town.mmp");
    EXPECT_EQ(mapDisplayName("", 4, "a\\b/c.gmp"), "b/c.gmp");
}

TEST(MapDescriptionFile, CompletionStep) {
    // No description file: the map file names the map.
    MapDescription d;
    d.gmpfile = "maps\\town.gmp";
    finishMapDescription(d);
    EXPECT_EQ(d.gmpfile, "maps/town.gmp");
    EXPECT_EQ(d.displayName, "town.gmp");
    EXPECT_EQ(d.scriptSource, "");

    MapDescription empty;
    finishMapDescription(empty);
    EXPECT_EQ(empty.displayName, "(no name)");

    MapDescription folderOnly;
    folderOnly.descriptionFile = "maps/";
    finishMapDescription(folderOnly);
    EXPECT_EQ(folderOnly.displayName, "(no name)");

    // An empty script path leaves the script source as it was.
    MapDescription kept;
    kept.scriptSource = "keep.mis";
    finishMapDescription(kept);
    EXPECT_EQ(kept.scriptSource, "keep.mis");
}

TEST(MapDescriptionFile, ScriptSourceBesideTheCompiledScript) {
    TempDir dir;
    fs::create_directories(dir.path / "missions");
    writeText(dir.file("missions/m1.mis"), "source");
    const std::string path = dir.file("s.mmp");
    Parsed p = parse(path, "[MapFiles]\nscrfile=missions\\m1.scr\n");
    EXPECT_EQ(p.d.scrfile, dir.folder() + "missions/m1.scr");
    EXPECT_EQ(p.d.scriptSource, dir.folder() + "missions/m1.mis");

    Parsed q = parse(path, "[MapFiles]\nscrfile=missions\\m2.scr\n");
    EXPECT_EQ(q.d.scriptSource, "");

    // The extension is cut at the last '.' of the whole path, even one in
    // a folder name.
    fs::create_directories(dir.path / "lv.d");
    writeText(dir.file("lv.mis"), "source");
    Parsed r = parse(dir.file("lv.d/x.mmp"), "[MapFiles]\nscrfile=script\n");
    EXPECT_EQ(r.d.scrfile, dir.folder() + "lv.d/script");
    EXPECT_EQ(r.d.scriptSource, dir.folder() + "lv.mis");
}
