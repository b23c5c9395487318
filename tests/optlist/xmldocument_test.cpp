#include "optlist/xmldocument.h"
#include "tests/common/testtext.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtimings.h"

namespace {

// UTF-8 source text as the Windows-1251 bytes the core holds.

TEST(XmlDocument, NotLoadedDocumentHasNoElementAndHelpersAcceptNull) {
    XmlDocument doc;
    EXPECT_FALSE(doc.IsActive());
    EXPECT_EQ(doc.DocumentElement(), nullptr);
    EXPECT_EQ(XmlDocument::FirstChild(nullptr), nullptr);
    EXPECT_EQ(XmlDocument::NextSibling(nullptr), nullptr);
    EXPECT_FALSE(XmlDocument::IsElement(nullptr));
    EXPECT_EQ(XmlDocument::Tag(nullptr), "");
    EXPECT_EQ(XmlDocument::Text(nullptr), "");
    std::string v = "unchanged";
    EXPECT_FALSE(XmlDocument::Attribute(nullptr, "name", v));
    EXPECT_EQ(v, "unchanged");
}

TEST(XmlDocument, KeepsWhiteSpaceTextNodesBetweenElements) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<r>\n  <a/>\n  <b/>\n</r>"));
    EXPECT_TRUE(doc.Load().ok());
    ASSERT_TRUE(doc.IsActive());
    _xmlNode* root = doc.DocumentElement();
    EXPECT_EQ(XmlDocument::Tag(root), "r");
    _xmlNode* first = XmlDocument::FirstChild(root);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(XmlDocument::IsElement(first));
    EXPECT_EQ(XmlDocument::Text(first), "\n  ");
    _xmlNode* a = XmlDocument::NextSibling(first);
    EXPECT_EQ(XmlDocument::Tag(a), "a");
    EXPECT_EQ(XmlDocument::Text(root), "\n  \n  \n");
}

TEST(XmlDocument, AbsentAttributeDiffersFromEmptyOne) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<r><e note=\"\"/></r>"));
    EXPECT_TRUE(doc.Load().ok());
    _xmlNode* e = XmlDocument::FirstChild(doc.DocumentElement());
    std::string v = "x";
    EXPECT_TRUE(XmlDocument::Attribute(e, "note", v));
    EXPECT_EQ(v, "");
    v = "x";
    EXPECT_FALSE(XmlDocument::Attribute(e, "name", v));
    EXPECT_EQ(v, "x");
}

TEST(XmlDocument, AttributeNamesAndTagsAreCaseSensitive) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<r><Calc Name=\"x\"/></r>"));
    EXPECT_TRUE(doc.Load().ok());
    _xmlNode* e = XmlDocument::FirstChild(doc.DocumentElement());
    std::string v;
    EXPECT_FALSE(XmlDocument::Attribute(e, "name", v));
    EXPECT_TRUE(XmlDocument::Attribute(e, "Name", v));
    EXPECT_EQ(XmlDocument::Tag(e), "Calc");
}

TEST(XmlDocument, Utf8TextBecomesWindows1251) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml",
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                              "<r name=\"Котельная №1\">м3/ч °C</r>"));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(doc.DocumentElement(), "name", v));
    EXPECT_EQ(v, W("Котельная №1"));
    EXPECT_EQ(XmlDocument::Text(doc.DocumentElement()), W("м3/ч °C"));
}

TEST(XmlDocument, DeclaredWindows1251FileReadsCorrectly) {
    TempDir dir;
    const std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<r name=\"" +
                             W("Котельная ЁЖИК") + "\">" + W("кВт·ч") + "</r>\r\n";
    XmlDocument doc(dir.Write("a.xml", text));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(doc.DocumentElement(), "name", v));
    EXPECT_EQ(v, W("Котельная ЁЖИК"));
    EXPECT_EQ(XmlDocument::Text(doc.DocumentElement()), W("кВт·ч"));
}

TEST(XmlDocument, UndeclaredFileThatIsNotUtf8ReadsAsWindows1251) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<r name=\"" + W("Система отопления") + "\"/>"));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(doc.DocumentElement(), "name", v));
    EXPECT_EQ(v, W("Система отопления"));
}

TEST(XmlDocument, UndeclaredUtf8FileStaysUtf8) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<?xml version=\"1.0\"?><r name=\"Вода\"/>"));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(doc.DocumentElement(), "name", v));
    EXPECT_EQ(v, W("Вода"));
}

TEST(XmlDocument, AttributeLowerLowersOnTheUnicodeForm) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml", "<r name=\"T1ЁЖЫ Ґ\"/>"));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::AttributeLower(doc.DocumentElement(), "name", v));
    EXPECT_EQ(v, W("t1ёжы ґ"));
}

TEST(XmlDocument, MissingFileFailsWithTheLibraryText) {
    TempDir dir;
    XmlDocument doc(dir / "absent.xml");
    const Status loaded = doc.Load();
    ASSERT_FALSE(loaded.ok()) << "no error";
    const std::string& what = loaded.failure().detail;
    EXPECT_EQ(loaded.failure().kind, FailureKind::Invalid);
    EXPECT_EQ(loaded.failure().path, dir / "absent.xml");
    EXPECT_NE(what.find("absent.xml"), std::string::npos) << what;
    EXPECT_NE(what.find("failed to load"), std::string::npos) << what;
    EXPECT_FALSE(doc.IsActive());
}

// What cannot be read is refused by the input opener before the XML library sees it, and the
// message names the file and what is wrong with it (never the library's "Document is empty").
TEST(XmlDocument, UnreadableFileSaysWhatIsWrongWithIt) {
    TempDir dir;
    const std::string sparse = dir / "huge.xml";
    ASSERT_EQ(::truncate(dir.Write("huge.xml", "<r/>").c_str(), off_t{2} << 30), 0);
    ASSERT_EQ(::symlink("nowhere.xml", (dir / "dangling.xml").c_str()), 0);
    const struct {
        std::string path, why;
    } cases[] = {
        {"/dev/zero", "not a regular file (a character device)"},
        {sparse, "larger than 64 MiB (2147483648 bytes): not read"},
        {dir.MakeDir("folder.xml"), "Is a directory"},
        {dir / "dangling.xml", "No such file or directory"},
    };
    for (const auto& c : cases) {
        XmlDocument doc(c.path);
        const Status loaded = doc.Load();
        ASSERT_FALSE(loaded.ok()) << c.path;
        EXPECT_EQ(loaded.failure().detail, c.path + ": failed to load: " + c.why);
        EXPECT_EQ(loaded.failure().path, c.path);
        EXPECT_FALSE(doc.IsActive());
    }
}

TEST(XmlDocument, MalformedFileFailsWithTheLibraryTextAndLine) {
    TempDir dir;
    XmlDocument doc(dir.Write("bad.xml", "<r>\n<a></b>\n</r>"));
    const Status loaded = doc.Load();
    ASSERT_FALSE(loaded.ok()) << "no error";
    const std::string& what = loaded.failure().detail;
    EXPECT_NE(what.find("bad.xml:2"), std::string::npos) << what;
    EXPECT_NE(what.find("mismatch"), std::string::npos) << what;
    EXPECT_FALSE(doc.IsActive());
    EXPECT_EQ(doc.DocumentElement(), nullptr);
}

TEST(XmlDocument, LoadErrorsPrintNothingAndTellTheFirstError) {
    TempDir dir;
    XmlDocument missing(dir / "absent.xml");
    XmlDocument bad(dir.Write("bad.xml", "<r>\n<a></b>\n"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(missing.Load().ok());
    const Status loaded = bad.Load();
    if (!loaded) {
        const std::string& what = loaded.failure().detail;
        EXPECT_NE(what.find("Opening and ending tag mismatch"), std::string::npos) << what;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XmlDocument, EmptyFileFails) {
    TempDir dir;
    XmlDocument doc(dir.Write("empty.xml", ""));
    EXPECT_FALSE(doc.Load().ok());
    EXPECT_FALSE(doc.IsActive());
}

TEST(XmlDocument, FailedLoadDropsThePreviousDocument) {
    TempDir dir;
    XmlDocument doc(dir.Write("good.xml", "<r/>"));
    ASSERT_TRUE(doc.Load().ok());
    ASSERT_TRUE(doc.IsActive());
    doc.SetFileName(dir / "absent.xml");
    EXPECT_FALSE(doc.Load().ok());
    EXPECT_FALSE(doc.IsActive());
}

TEST(XmlDocument, NeverLoadsExternalEntitiesOrDtds) {
    TempDir dir;
    dir.Write("secret.txt", "SECRET");
    const std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY x SYSTEM \"" +
                            (dir / "secret.txt") + "\">]>\n<r a=\"1\">&x;</r>";
    XmlDocument doc(dir.Write("ent.xml", xml));
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_EQ(XmlDocument::Text(doc.DocumentElement()).find("SECRET"), std::string::npos);
}

TEST(XmlDocument, InternalEntitiesAndCharacterReferencesAreText) {
    TempDir dir;
    XmlDocument doc(dir.Write("ent.xml", "<r n=\"a&amp;b&#x416;\">x&lt;y</r>"));
    EXPECT_TRUE(doc.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(doc.DocumentElement(), "n", v));
    EXPECT_EQ(v, W("a&bЖ"));
    EXPECT_EQ(XmlDocument::Text(doc.DocumentElement()), "x<y");
}

TEST(XmlDocument, DeclaredEntitiesExpandInTextAndAttributesWithinABound) {
    TempDir dir;
    XmlDocument small(dir.Write("e.xml",
                                "<!DOCTYPE r [<!ENTITY u \"м3/ч\">]><r "
                                "n=\"&u;!\"><a>&u;</a>-<!--c-->&u;</r>"));
    EXPECT_TRUE(small.Load().ok());
    std::string v;
    ASSERT_TRUE(XmlDocument::Attribute(small.DocumentElement(), "n", v));
    EXPECT_EQ(v, W("м3/ч!"));
    EXPECT_EQ(XmlDocument::Text(small.DocumentElement()), W("м3/ч-м3/ч"));

    // A small file whose one entity is referred to 200000 times would expand to 200 MB.
    std::string xml = "<!DOCTYPE r [<!ENTITY k \"" + std::string(1000, 'k') + "\">]><r n=\"";
    for (int i = 0; i < 100000; ++i) xml += "&k;";
    xml += "\">";
    for (int i = 0; i < 100000; ++i) xml += "&k;";
    xml += "</r>";
    XmlDocument big(dir.Write("big.xml", xml));
    EXPECT_TRUE(big.Load().ok());
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(XmlDocument::Attribute(big.DocumentElement(), "n", v));
    EXPECT_EQ(v.size(), 1u << 20);
    EXPECT_EQ(XmlDocument::Text(big.DocumentElement()).size(), 1u << 20);
    // Read once, not once a reference: a loaded machine still takes far less than this.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kPromptMs));
}

TEST(XmlDocument, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    TempDir dir;
    XmlDocument doc(dir.Write("a.xml",
                              "<r>a\xE4\xB8\xAD"
                              "b</r>"));  // U+4E2D
    EXPECT_TRUE(doc.Load().ok());
    EXPECT_EQ(XmlDocument::Text(doc.DocumentElement()), "a?b");
}

// The copy-free helpers answer as the copying ones on every node and attribute: prefixed tags,
// text and comments, absent, empty, entity and long values.
TEST(XmlDocument, HasTagAndAttributeUtf8AgreeWithTagAndAttribute) {
    TempDir dir;
    const std::string longValue(5000, 'v');
    XmlDocument doc(
        dir.Write("mix.xml",
                  "<!DOCTYPE r [<!ENTITY u \"м3\">]><r xmlns:x=\"urn:x\" xmlns:calcx=\"urn:c\">"
                  "<calc name=\"t1\"/><x:calc name=\"t2\"/><calcx:calc name=\"\"/><calc/>"
                  "<calc x:name=\"ns\" name=\"a&u;b\"/><Calc name=\"Жар\"/><!--calc-->text"
                  "<calc name=\"&#x416;&amp;\"/><calc name=\"" +
                      longValue + "\"/></r>"));
    ASSERT_TRUE(doc.Load().ok());
    const char* const tags[] = {"calc", "x:calc", "calcx:calc", "Calc", "x:", ":calc", "x", ""};
    int nodes = 0;
    for (_xmlNode* n = XmlDocument::FirstChild(doc.DocumentElement()); n != nullptr;
         n = XmlDocument::NextSibling(n), ++nodes) {
        for (const char* tag : tags)
            EXPECT_EQ(XmlDocument::HasTag(n, tag), XmlDocument::Tag(n) == tag)
                << "node " << nodes << " tag " << tag;
        for (const char* name : {"name", "x:name", "other"}) {
            std::string converted, storage;
            std::string_view raw = "unchanged";
            const bool present = XmlDocument::Attribute(n, name, converted);
            EXPECT_EQ(XmlDocument::AttributeUtf8(n, name, storage, raw), present);
            EXPECT_EQ(XmlDocument::HasAttribute(n, name), present);
            if (present) {
                EXPECT_EQ(cp1251::FromUtf8(raw).bytes(), converted) << "node " << nodes;
            }
        }
    }
    EXPECT_EQ(nodes, 10);
    EXPECT_TRUE(XmlDocument::HasTag(nullptr, ""));
    EXPECT_FALSE(XmlDocument::HasTag(nullptr, "calc"));
}

// A file in the system's code page reads every byte as the C library's converter reads it, in
// short and long files (the library hands the decoder pieces of a long one), and 0x98, which is
// no character of the code page, fails the load as the converter fails it.
TEST(XmlDocument, Windows1251BytesDecodeAsTheCLibraryDecodesThem) {
    auto reference = [](unsigned char byte) {
        iconv_t cd = iconv_open("UTF-8", "WINDOWS-1251");
        char in[1] = {static_cast<char>(byte)}, out[8];
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
        iconv_close(cd);
        return ok ? std::string(out, outPtr) : std::string("(none)");
    };
    EXPECT_EQ(reference(0x98), "(none)");
    TempDir dir;
    for (const char* declaration : {"windows-1251", "CP1251", "Windows-1251"}) {
        for (int repeat : {1, 20000}) {
            std::string xml =
                std::string("<?xml version=\"1.0\" encoding=\"") + declaration + "\"?>\n<r>";
            for (int b = 0x80; b <= 0xFF; ++b) {
                if (b == 0x98) continue;
                xml += "<b v=\"";
                for (int k = 0; k < repeat / 100 + 1; ++k) xml += static_cast<char>(b);
                xml += "x\"/>";
            }
            xml += std::string(static_cast<size_t>(repeat), ' ') + "</r>";
            XmlDocument doc(dir.Write("cp.xml", xml));
            ASSERT_TRUE(doc.Load().ok()) << declaration;
            _xmlNode* n = XmlDocument::FirstChild(doc.DocumentElement());
            for (int b = 0x80; b <= 0xFF; ++b) {
                if (b == 0x98) continue;
                std::string storage;
                std::string_view raw;
                ASSERT_TRUE(XmlDocument::AttributeUtf8(n, "v", storage, raw));
                std::string expected;
                for (int k = 0; k < repeat / 100 + 1; ++k) expected += reference(b);
                EXPECT_EQ(raw, expected + "x") << declaration << " byte " << b;
                n = XmlDocument::NextSibling(n);
            }
        }
    }
    XmlDocument bad(
        dir.Write("bad.xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<r>\xC0\x98</r>"));
    const Status loaded = bad.Load();
    ASSERT_FALSE(loaded.ok());
    EXPECT_NE(
        loaded.failure().detail.find("input conversion failed due to input error, bytes 0x98"),
        std::string::npos)
        << loaded.failure().detail;
}

}  // namespace
