#include "optlist/optlist.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

// A catalogue in the layout of calcbank.xml, as UTF-8 source text.
const char* kCatalogUtf8 = R"(<?xml version="1.0" encoding="UTF-8"?>
<CalcBank>
  <!-- the gateway's capacity -->
  <LonCfg size="62"/>
  <Var name="t$$" note="°C">
    <LonVar VSNVTid="105"/>
  </Var>
  <Var name="g$" note="м3/ч">
    <LonVar VSNVTid="15" FSNVTid="83" flags="p$"/>
  </Var>
  <Var name="q$" note="кВт">
    <Comment/>
    <LonVar VSNVTid="28" FSNVTid="83"/>
    <LonVar VSNVTid="99"/>
  </Var>
  <Var name="p$" note="">
    <LonVar FSNVTid="83" flags="x$$"/>
  </Var>
  <Var name="tin" note="first">
  </Var>
  <Var name="tin" note="second">
    <LonVar VSNVTid="1"/>
  </Var>
  <Var name="Tout" note="upper">
    <LonVar VSNVTid="2"/>
  </Var>
  <Var name="v$" note="м3">
    <LonVar/>
  </Var>
  <Var name="a$b" note="ab">
    <LonVar VSNVTid="3"/>
  </Var>
  <Var name="w$$" note="ГДж">
    <LonVar VSNVTid="4" FSNVTid="5" flags="fw$$z"/>
  </Var>
  <Var name="теп" note="Гкал">
    <LonVar VSNVTid="6"/>
  </Var>
</CalcBank>
)";

class Catalog : public ::testing::Test {
  protected:
    void LoadText(const std::string& text) {
        doc.SetFileName(dir.Write("calcbank.xml", text));
        EXPECT_TRUE(doc.Load().ok());
    }
    void SetUp() override { LoadText(kCatalogUtf8); }
    TempDir dir;
    XmlDocument doc;
};

TEST(MatchCatalogName, DollarStandsForOneDigit) {
    EXPECT_TRUE(MatchCatalogName("t$", "t5"));
    EXPECT_FALSE(MatchCatalogName("t$", "tx"));
    EXPECT_FALSE(MatchCatalogName("t$", "t55"));
    EXPECT_TRUE(MatchCatalogName("t$$", "t1"));
    EXPECT_TRUE(MatchCatalogName("t$$", "t12"));
    EXPECT_FALSE(MatchCatalogName("t$$", "t"));
    EXPECT_FALSE(MatchCatalogName("t$$", "tx"));
    EXPECT_FALSE(MatchCatalogName("t$$", "t1x"));
}

TEST(MatchCatalogName, OneTrailingDollarMayStandForNothing) {
    EXPECT_TRUE(MatchCatalogName("t$", "t"));
    EXPECT_TRUE(MatchCatalogName("$", ""));
    EXPECT_FALSE(MatchCatalogName("$$", ""));
}

TEST(MatchCatalogName, DollarFacingANonDigitIsDeletedSoTheMatchFails) {
    EXPECT_FALSE(MatchCatalogName("a$b", "axb"));
    EXPECT_TRUE(MatchCatalogName("a$b", "a7b"));
    EXPECT_FALSE(MatchCatalogName("a$b", "ab"));
}

TEST(MatchCatalogName, ExactAndCaseSensitive) {
    EXPECT_TRUE(MatchCatalogName("tin", "tin"));
    EXPECT_FALSE(MatchCatalogName("Tin", "tin"));
    EXPECT_TRUE(MatchCatalogName("", ""));
    EXPECT_FALSE(MatchCatalogName("", "a"));
    EXPECT_TRUE(MatchCatalogName(W("т$"), W("т1")));
    EXPECT_FALSE(MatchCatalogName(W("Т1"), W("т1")));
}

TEST(MatchCatalogName, DigitsAreAsciiOnly) {
    EXPECT_FALSE(MatchCatalogName("t$", "t\xB2"));  // superscript-like bytes are no digits
    EXPECT_FALSE(MatchCatalogName("t$", W("tя")));
}

TEST_F(Catalog, FirstChildAttrGivesTheCapacity) {
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "size"), "62");
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "absent"), "");
    EXPECT_EQ(GetFirstChildAttr(doc, "loncfg", "size"), "");
    EXPECT_EQ(GetFirstChildAttr(doc, "Var", "note"), W("°C"));
}

TEST_F(Catalog, FirstLonCfgCounts) {
    LoadText("<c><LonCfg/><LonCfg size=\"5\"/></c>");
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "size"), "");
    LoadText("<c><LonCfg size=\"7\"/><LonCfg size=\"5\"/></c>");
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "size"), "7");
}

TEST_F(Catalog, OnlyValueId) {
    const SOptions o = GetVarOptions(doc, "t12");
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.items[0].name, "VSNVTid");
    EXPECT_EQ(o.items[0].value, "105");
    EXPECT_EQ(o.items[1].name, "flags");  // overwrote the absent "FSNVTid"
    EXPECT_EQ(o.items[1].value, "");
    EXPECT_EQ(o.items[2].name, "");
    EXPECT_EQ(GetVarNote(doc, "t12"), W("°C"));
}

TEST_F(Catalog, BothIdsAndFlags) {
    const SOptions o = GetVarOptions(doc, "g1");
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(o.items[0].name, "VSNVTid");
    EXPECT_EQ(o.items[0].value, "15");
    EXPECT_EQ(o.items[1].name, "FSNVTid");
    EXPECT_EQ(o.items[1].value, "83");
    EXPECT_EQ(o.items[2].name, "flags");
    EXPECT_EQ(o.items[2].value, "p1");
    EXPECT_EQ(o.items[3].name, "");
    EXPECT_EQ(o.items[4].name, "");
    EXPECT_EQ(GetVarNote(doc, "g1"), W("м3/ч"));
}

TEST_F(Catalog, BothIdsWithoutFlagsLeaveAnEmptyFlagsPair) {
    const SOptions o = GetVarOptions(doc, "q2");
    EXPECT_EQ(o.count, 2);
    EXPECT_EQ(o.items[1].name, "FSNVTid");
    EXPECT_EQ(o.items[1].value, "83");
    EXPECT_EQ(o.items[2].name, "flags");
    EXPECT_EQ(o.items[2].value, "");
    EXPECT_EQ(o.items[0].value, "28");  // the first "LonVar" counts
}

TEST_F(Catalog, FlagsIdWithoutValueIdIsNotASecondSlot) {
    const SOptions o = GetVarOptions(doc, "p3");
    EXPECT_EQ(o.count, 2);
    EXPECT_EQ(o.items[0].name, "FSNVTid");
    EXPECT_EQ(o.items[0].value, "83");
    EXPECT_EQ(o.items[1].name, "flags");
    EXPECT_EQ(o.items[1].value, "x3");  // "$" beyond the name deleted
    EXPECT_EQ(GetVarNote(doc, "p3"), "");
}

TEST_F(Catalog, FlagsDollarTakesTheDigitAtTheSamePosition) {
    // "fw$$z": positions 3 and 4 face "2" and nothing in "w12"; "w1" has no position 3 either.
    EXPECT_EQ(GetVarOptions(doc, "w12").items[2].value, "fw2z");
    EXPECT_EQ(GetVarOptions(doc, "w1").items[2].value, "fwz");
}

TEST_F(Catalog, FlagsDollarFacingANonDigitIsDeleted) {
    LoadText("<c><v name=\"ab\"><LonVar VSNVTid=\"1\" FSNVTid=\"2\" flags=\"f$$\"/></v></c>");
    EXPECT_EQ(GetVarOptions(doc, "ab").items[2].value, "f");
}

TEST_F(Catalog, FlagsPatternAgainstLongerAndShorterNames) {
    LoadText("<c><v name=\"t$$\"><LonVar VSNVTid=\"1\" FSNVTid=\"2\" flags=\"p$$\"/></v></c>");
    EXPECT_EQ(GetVarOptions(doc, "t12").items[2].value, "p12");
    EXPECT_EQ(GetVarOptions(doc, "t1").items[2].value, "p1");
}

TEST_F(Catalog, FirstMatchingEntryWinsEvenWithoutLonVar) {
    EXPECT_EQ(GetVarOptions(doc, "tin").count, 0);
    EXPECT_EQ(GetVarNote(doc, "tin"), "");
}

TEST_F(Catalog, LonVarWithoutAttributesGivesCountZero) {
    const SOptions o = GetVarOptions(doc, "v1");
    EXPECT_EQ(o.count, 0);
    EXPECT_EQ(o.items[0].name, "flags");
}

TEST_F(Catalog, UnknownNameGivesCountZeroAndEmptyNote) {
    const SOptions o = GetVarOptions(doc, "zz9");
    EXPECT_EQ(o.count, 0);
    for (const auto& item : o.items) {
        EXPECT_EQ(item.name, "");
        EXPECT_EQ(item.value, "");
    }
    EXPECT_EQ(GetVarNote(doc, "zz9"), "");
}

TEST_F(Catalog, LetterCaseMatters) {
    EXPECT_EQ(GetVarOptions(doc, "tout").count, 0);
    EXPECT_EQ(GetVarOptions(doc, "Tout").count, 1);
}

TEST_F(Catalog, PatternWithDollarInTheMiddle) {
    EXPECT_EQ(GetVarOptions(doc, "axb").count, 0);
    EXPECT_EQ(GetVarOptions(doc, "a5b").count, 1);
}

TEST_F(Catalog, CyrillicNamesMatchInWindows1251) {
    const SOptions o = GetVarOptions(doc, W("теп"));
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(GetVarNote(doc, W("теп")), W("Гкал"));
}

TEST_F(Catalog, EmptyNameMatchesTheFirstChildWithoutAName) {
    // The first child is the white space before the comment: it has the empty pattern and no
    // "LonVar", so the empty name is unknown.
    EXPECT_EQ(GetVarOptions(doc, "").count, 0);
    LoadText("<c><v name=\"\"><LonVar VSNVTid=\"9\"/></v></c>");
    EXPECT_EQ(GetVarOptions(doc, "").count, 1);
}

TEST_F(Catalog, Windows1251Catalogue) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<CalcBank>\r\n"
        "  <LonCfg size=\"40\"/>\r\n"
        "  <Var name=\"t$\" note=\"" +
        W("°C") +
        "\"><LonVar VSNVTid=\"105\"/></Var>\r\n"
        "  <Var name=\"" +
        W("тепл$") + "\" note=\"" + W("Гкал/ч") +
        "\"><LonVar VSNVTid=\"28\" FSNVTid=\"83\" flags=\"" + W("флаг$") +
        "\"/></Var>\r\n</CalcBank>\r\n";
    LoadText(text);
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "size"), "40");
    EXPECT_EQ(GetVarNote(doc, "t1"), W("°C"));
    const SOptions o = GetVarOptions(doc, W("тепл2"));
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(o.items[2].value, W("флаг2"));
    EXPECT_EQ(GetVarNote(doc, W("тепл2")), W("Гкал/ч"));
}

// Whether a name is known answers as the options' count does, for every kind of entry: ids alone,
// flags alone, a bare LonVar, no LonVar, an earlier entry without one, a pattern, no entry.
TEST_F(Catalog, HasVarOptionsAnswersAsTheOptionsCount) {
    struct Case {
        const char* name;
        bool known;
    };
    const Case cases[] = {{"t12", true},  {"g4", true},   {"q7", true},    {"p3", true},
                          {"tin", false}, {"Tout", true}, {"tout", false}, {"v1", false},
                          {"a5b", true},  {"w", false},   {"w1", true},    {"zz9", false},
                          {"", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(HasVarOptions(doc, c.name), c.known) << c.name;
        EXPECT_EQ(HasVarOptions(doc, c.name), GetVarOptions(doc, c.name).count != 0) << c.name;
    }
    EXPECT_TRUE(HasVarOptions(doc, W("теп")));
    XmlDocument none;
    EXPECT_FALSE(HasVarOptions(none, "t12"));
}

TEST(CatalogNotLoaded, BehavesAsAnEmptyCatalogue) {
    XmlDocument doc("calcbank.xml");
    EXPECT_EQ(GetVarOptions(doc, "t1").count, 0);
    EXPECT_EQ(GetVarOptions(doc, "").count, 0);
    EXPECT_EQ(GetVarNote(doc, "t1"), "");
    EXPECT_EQ(GetFirstChildAttr(doc, "LonCfg", "size"), "");
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys1"), "");
}

TEST(FindChildText, FirstChildWithTheAttributeValue) {
    TempDir dir;
    XmlDocument doc(dir.Write("main.xmc", R"(<config>
  <syslink>nameless</syslink>
  <syslink name="sys2">heat</syslink>
  <other name="sys1">no</other>
  <syslink name="sys1"> water </syslink>
  <syslink name="sys1">second</syslink>
  <syslink name="SYS3">upper</syslink>
  <syslink name="sys4"/>
</config>)"));
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys1"), " water ");
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys2"), "heat");
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys3"), "");
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys4"), "");
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys5"), "");
    EXPECT_EQ(FindChildText(doc, "SysLink", "name", "sys2"), "");
}

TEST(FindChildText, TextContentIncludesNestedElementsText) {
    TempDir dir;
    XmlDocument doc(dir.Write("main.xmc", "<c><syslink name=\"sys1\">a<b>b</b>c</syslink></c>"));
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_EQ(FindChildText(doc, "syslink", "name", "sys1"), "abc");
}

}  // namespace
