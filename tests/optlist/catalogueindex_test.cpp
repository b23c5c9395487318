// The catalogue's index must answer every lookup exactly as the walk over every entry does.
#include "optlist/catalogueindex.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/common/tempdir.h"

namespace {

std::string RandomText(std::mt19937& rng, const std::string& alphabet, size_t maxLength) {
    std::string text(std::uniform_int_distribution<size_t>(0, maxLength)(rng), ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    return text;
}

// A catalogue of entries with random name patterns, some without a name, with comments and white
// space between them as real files have.
std::string RandomCatalogue(std::mt19937& rng) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CalcBank>\n";
    const int entries = std::uniform_int_distribution<int>(0, 40)(rng);
    for (int i = 0; i < entries; ++i) {
        switch (rng() % 8) {
            case 0:
                xml += "  <Calc note=\"no name\"><LonVar VSNVTid=\"1\"/></Calc>\n";
                break;
            case 1:
                xml += "  <!-- a comment -->\n";
                break;
            default:
                xml += "  <Calc name=\"" + RandomText(rng, "ab1$", 4) + "\" note=\"" +
                       std::to_string(i) + "\"><LonVar VSNVTid=\"" + std::to_string(i) +
                       "\"/></Calc>\n";
        }
    }
    return xml + "</CalcBank>\n";
}

TEST(CatalogueIndex, AnswersAsTheWalkOnRandomCatalogues) {
    std::mt19937 rng(20261207);
    TempDir dir;
    int found = 0;
    for (int round = 0; round < 200; ++round) {
        XmlDocument doc(dir.Write("calcbank.xml", RandomCatalogue(rng)));
        EXPECT_TRUE(doc.Load().ok());
        const CatalogueIndex& index = CatalogueIndex::Of(doc);
        for (int probe = 0; probe < 60; ++probe) {
            const std::string name = RandomText(rng, "ab12$", 5);
            _xmlNode* expected = ScanCatalogue(doc, name);
            ASSERT_EQ(index.Find(name), expected) << "name \"" << name << "\" in round " << round;
            found += expected != nullptr;
        }
    }
    EXPECT_GT(found, 600);  // the random names do hit entries, "$" patterns among them
}

TEST(CatalogueIndex, FollowsTheDocumentThatIsLoaded) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<C><Calc name=\"t$\"/></C>"));
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_NE(CatalogueIndex::Of(doc).Find("t1"), nullptr);
    doc.SetFileName(dir.Write("b.xml", "<C><Calc name=\"q$\"/></C>"));
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_EQ(CatalogueIndex::Of(doc).Find("t1"), nullptr);
    EXPECT_NE(CatalogueIndex::Of(doc).Find("q"), nullptr);

    XmlDocument empty;  // never loaded: no entries at all
    EXPECT_EQ(CatalogueIndex::Of(empty).Find(""), nullptr);
}

}  // namespace
