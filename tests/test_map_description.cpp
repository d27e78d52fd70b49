// Reading .mmp map descriptions and completing the record.

#include "test_support.h"

#include <tuple>

#include "formats/map_description.h"

using namespace vant;
using namespace vant::test;

namespace {

class MapDescriptionFile : public ::testing::Test {
protected:
    // Writes the text in the folder under `name` and parses it into a fresh d.
    bool parse(const std::string& text, const std::string& name = "m.mmp") {
        EXPECT_TRUE(saveText(dir.file(name), text));
        d = MapDescription{};
        return parseMapDescription(d, dir.file(name));
    }
    // The fields a file can set, and what completion makes of them; the
    // folder written as "~/".
    std::string fields() const {
        std::string s = "gmp=" + d.gmpfile + " sty=" + d.styfile + " scr=" + d.scrfile + " mis=" + d.scriptSource +
                        " desc=" + d.description + " players=" + std::to_string(d.playercount) +
                        " name=" + d.displayName;
        for (size_t at; (at = s.find(dir.folder())) != std::string::npos;) s.replace(at, dir.folder().size(), "~/");
        return s;
    }

    TempDir dir;
    MapDescription d;
};

TEST_F(MapDescriptionFile, HeaderKeysPathsAndLineRules) {
    std::filesystem::create_directories(dir.path / "missions");
    ASSERT_TRUE(saveText(dir.file("missions/m1.mis"), "source"));
    ASSERT_TRUE(
        parse("  [MapFiles]  \r\nGmpFile = city.gmp\r\n  STYFILE=wil.sty\r\nscrfile = missions\\m1.scr \r\n"
              "Description = Big=City\r\nPlayerCount=6\r\n"));
    EXPECT_EQ(fields(),
              "gmp=~/city.gmp sty=~/wil.sty scr=~/missions/m1.scr mis=~/missions/m1.mis desc=Big=City "
              "players=6 name=Big=City");
    parse("[MapFiles]\nscrfile=missions\\m2.scr\n");  // no source beside this one
    EXPECT_EQ(d.scriptSource, "");

    // Backslashes in the description's own path.
    ASSERT_TRUE(saveText(dir.file("b.mmp"), "[MapFiles]\nstyfile=x.sty"));
    d = MapDescription{};
    EXPECT_TRUE(parseMapDescription(d, dir.path.string() + "\\b.mmp"));
    EXPECT_EQ(d.descriptionFile, dir.file("b.mmp"));
    EXPECT_EQ(fields(), "gmp= sty=~/x.sty scr= mis= desc= players=1 name=b.mmp");

    // The last of a key wins; lines without "=" and other sections change
    // nothing; "scrfile=" as the very last bytes is a single part.
    ASSERT_TRUE(
        parse("[MapFiles]\ngmpfile=first.gmp\ngmpfile=second.gmp\nunknown=1\njust a line\n[Other]\n"
              "styfile=late.sty\nplayercount=260\ndescription=One|Two: Three?\nscrfile="));
    EXPECT_EQ(fields(),
              "gmp=~/second.gmp sty=~/late.sty scr= mis= desc=One/Two: Three? players=4 name=One_Two_ Three_");
    parse("[MapFiles]\nstyfile=\nplayercount=many\n");
    EXPECT_EQ(fields(), "gmp= sty=~/ scr= mis= desc= players=0 name=m.mmp");

    // Fields the file does not name keep what the record held.
    ASSERT_TRUE(saveText(dir.file("m.mmp"), "[MapFiles]\ngmpfile=z.gmp\n"));
    d = MapDescription{};
    d.styfile = "old\\style.sty";
    d.playercount = 9;
    ASSERT_TRUE(parseMapDescription(d, dir.file("m.mmp")));
    EXPECT_EQ(d.styfile + " " + std::to_string(d.playercount), "old/style.sty 9");
}

TEST_F(MapDescriptionFile, OnlyTheHeaderMayComeFirst) {
    for (const char* text : {"\n[MapFiles]\n", "\xEF\xBB\xBF[MapFiles]\n", "gmpfile=a.gmp\n[MapFiles]\n"}) {
        EXPECT_FALSE(parse(text)) << text;
        EXPECT_EQ(fields(), "gmp= sty= scr= mis= desc= players=1 name=") << text;  // not completed
    }
    EXPECT_TRUE(parse("[mapfiles]"));  // no line break: read to the end
    EXPECT_EQ(d.displayName, "m.mmp");
    // A file that cannot be opened: true, nothing read, not completed.
    d = MapDescription{};
    EXPECT_TRUE(parseMapDescription(d, dir.file("missing.mmp")));
    EXPECT_EQ(d.displayName, "");
}

TEST(MapDisplayName, CutBeforeThePlayerCountOrTheSourceName) {
    // Cut at the first digit of the count (never at position 0), after the
    // last byte before it that is no blank or dash (bytes 128..255 are
    // blanks), once sanitised; no description: the source's file name.
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"City 12", 12, "x.mmp", "City"}, {"4 players", 4, "x.mmp", "4 players"}, {"--4", 4, "x.mmp", "--4"},
        {"a4 -4", 4, "x.mmp", "a4"}, {"Map\240\3774", 4, "x.mmp", "Map"}, {"a:b - 2", 2, "x.mmp", "a_b"},
        {"", 4, "a\\b/c.gmp", "b/c.gmp"}};
    for (const auto& [description, players, source, expected] : cases)
        EXPECT_EQ(mapDisplayName(description, players, source), expected) << description;

    // Completion without a description file names the map after its map file.
    MapDescription d;
    d.gmpfile = "maps\\town.gmp";
    d.scriptSource = "keep.mis";  // no script path: left as it was
    finishMapDescription(d);
    EXPECT_EQ(d.gmpfile + " " + d.displayName + " " + d.scriptSource, "maps/town.gmp town.gmp keep.mis");
    MapDescription e;
    e.descriptionFile = "maps/";
    finishMapDescription(e);
    EXPECT_EQ(e.displayName, "(no name)");
}

}  // namespace
