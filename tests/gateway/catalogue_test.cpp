// Loading the variable catalogue with the gateway's capacity, as the window and vr7lon load it.
#include "gateway/catalogue.h"

#include <gtest/gtest.h>

#include "optlist/optlist.h"
#include "optlist/xmldocument.h"
#include "tests/common/tempdir.h"

namespace {

TEST(LoadCatalogue, CapacityCases) {
    const struct {
        const char* loncfg;  // the LonCfg element, or none
        bool ok;
        unsigned value;
        const char* error;
    } cases[] = {
        {"<LonCfg size=\"62\"/>", true, 62, ""},
        {"<LonCfg size=\"0\"/>", true, 0, ""},
        {"", false, 0, "'' is not a valid integer value"},  // no LonCfg at all
        {"<LonCfg/>", false, 0, "'' is not a valid integer value"},
        {"<LonCfg size=\"many\"/>", false, 0, "'many' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loncfg);
        TempDir dir;
        const std::string path = dir.Write(
            "cat.xml",
            std::string("<calcbank>") + c.loncfg +
                "<calc name=\"t$\" note=\"x\"><LonVar VSNVTid=\"105\"/></calc></calcbank>");
        XmlDocument doc;
        const CatalogueLoad r = LoadCatalogue(doc, path);
        ASSERT_TRUE(r.document.ok()) << r.document.failure().detail;
        EXPECT_EQ(r.capacity.ok(), c.ok);
        EXPECT_EQ(r.maxVariables, c.value);
        EXPECT_EQ(r.capacity.ok() ? "" : r.capacity.failure().detail, c.error);
        // A catalogue without a capacity still answers lookups.
        EXPECT_GT(GetVarOptions(doc, "t1").count, 0);
    }
}

TEST(LoadCatalogue, AFileThatCannotBeLoadedGivesTheLibrarysText) {
    TempDir dir;
    XmlDocument doc;
    CatalogueLoad r = LoadCatalogue(doc, dir / "none.xml");
    ASSERT_FALSE(r.document.ok());
    EXPECT_NE(r.document.failure().detail.find("none.xml"), std::string::npos)
        << r.document.failure().detail;

    r = LoadCatalogue(doc, dir.Write("bad.xml", "<calcbank><LonCfg"));
    ASSERT_FALSE(r.document.ok());
    EXPECT_FALSE(r.document.failure().detail.empty());
}

TEST(LoadCatalogue, NoPathMeansTheWorkingDirectorysCatalogue) {
    XmlDocument doc;
    (void)LoadCatalogue(doc, "");
    EXPECT_EQ(doc.FileName(), kCatalogueName);
}

}  // namespace
