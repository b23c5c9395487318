// The user manual (docs/manual): its pages are well-formed and need nothing from outside, every
// link between them leads to a page and an anchor that exist (the Help.chm project's contents and
// index too), it quotes every text of the program's messages, and a built Help.chm holds it all.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/messages.h"

namespace fs = std::filesystem;

namespace {

const fs::path kManual = fs::path(VR7_SOURCE_DIR) / "docs" / "manual";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Runs of white space become one space; none at either end.
std::string Collapse(const std::string& text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

struct Page {
    std::string name;
    std::string error;  // the parser's complaint; empty for a well-formed page
    std::string text;   // what a reader sees, white space collapsed
    std::set<std::string> ids;
    std::vector<std::string> links;      // href of a and link, src of img
    std::vector<std::string> forbidden;  // script elements and resources from outside
};

bool IsBlock(const char* name) {
    static const std::set<std::string> blocks = {
        "p",  "div", "br", "li", "ul",  "ol", "td", "th", "tr",         "table",
        "h1", "h2",  "h3", "h4", "pre", "dt", "dd", "dl", "blockquote", "title"};
    return blocks.count(name) > 0;
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

void Walk(xmlNode* node, Page& page, std::string& text) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            text += reinterpret_cast<const char*>(node->content);
            continue;
        }
        if (node->type != XML_ELEMENT_NODE) continue;
        const char* name = reinterpret_cast<const char*>(node->name);
        const std::string id = Attribute(node, "id");
        if (!id.empty()) page.ids.insert(id);
        if (std::strcmp(name, "script") == 0) page.forbidden.push_back("<script>");
        for (const char* attribute : {"href", "src"}) {
            const std::string target = Attribute(node, attribute);
            if (target.empty()) continue;
            if (target.find("//") != std::string::npos || target.rfind("javascript:", 0) == 0)
                page.forbidden.push_back(target);
            else
                page.links.push_back(target);
        }
        const bool block = IsBlock(name);
        if (block) text += ' ';
        Walk(node->children, page, text);
        if (block) text += ' ';
    }
}

Page LoadPage(const fs::path& path) {
    Page page;
    page.name = path.filename().string();
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(),
                                                                    xmlFreeParserCtxt);
    // Well-formed as XML: every element closed and nested, only the five predefined entities.
    xmlDoc* doc = xmlCtxtReadFile(ctxt.get(), path.c_str(), "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
        const xmlError* error = xmlCtxtGetLastError(ctxt.get());
        page.error = error != nullptr && error->message != nullptr
                         ? "line " + std::to_string(error->line) + ": " + error->message
                         : "cannot be parsed";
        return page;
    }
    std::string text;
    Walk(xmlDocGetRootElement(doc), page, text);
    page.text = Collapse(text);
    xmlFreeDoc(doc);
    return page;
}

std::vector<fs::path> Files(const fs::path& dir, const std::string& extension) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == extension) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class Manual : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (const fs::path& path : Files(kManual, ".html"))
            pages_[path.filename()] = LoadPage(path);
    }
    static void TearDownTestSuite() { pages_.clear(); }

    // Empty when target (relative to the manual's folder) names an existing file and, for a page,
    // an existing anchor; otherwise what is wrong.
    static std::string Resolve(const std::string& from, const std::string& target) {
        const size_t hash = target.find('#');
        const std::string file = hash == std::string::npos ? target : target.substr(0, hash);
        const std::string anchor = hash == std::string::npos ? "" : target.substr(hash + 1);
        const std::string page = file.empty() ? from : file;
        if (!fs::is_regular_file(kManual / page)) return "no file " + page;
        if (anchor.empty()) return {};
        const auto found = pages_.find(page);
        if (found == pages_.end()) return "an anchor into " + page + ", which is no page";
        if (found->second.ids.count(anchor) == 0) return "no id \"" + anchor + "\" in " + page;
        return {};
    }

    static std::map<std::string, Page> pages_;
};

std::map<std::string, Page> Manual::pages_;

TEST_F(Manual, EveryPageIsWellFormedAndNeedsNothingFromOutside) {
    ASSERT_GE(pages_.size(), 10u);
    ASSERT_EQ(pages_.count("index.html"), 1u);
    for (const auto& [name, page] : pages_) {
        SCOPED_TRACE(name);
        EXPECT_EQ(page.error, "");
        EXPECT_EQ(page.forbidden, std::vector<std::string>());
        EXPECT_NE(page.text, "");
    }
}

TEST_F(Manual, EveryLinkLeadsToAPageAndAnchorThatExist) {
    for (const auto& [name, page] : pages_) {
        for (const std::string& link : page.links) {
            SCOPED_TRACE(name + " -> " + link);
            EXPECT_EQ(Resolve(name, link), "");
        }
    }
    // The compiled help's contents and index, and the files its project names.
    const std::regex local(R"re(<param name="Local" value="([^"]*)">)re", std::regex::icase);
    std::set<std::string> inContents;
    for (const char* sitemap : {"Help.hhc", "Help.hhk"}) {
        const std::string text = ReadFile(kManual / sitemap);
        size_t count = 0;
        for (std::sregex_iterator it(text.begin(), text.end(), local), end; it != end; ++it) {
            const std::string target = (*it)[1];
            SCOPED_TRACE(std::string(sitemap) + " -> " + target);
            EXPECT_EQ(Resolve("", target), "");
            if (std::strcmp(sitemap, "Help.hhc") == 0) inContents.insert(target);
            ++count;
        }
        EXPECT_GT(count, 0u) << sitemap;
    }
    for (const auto& [name, page] : pages_)
        EXPECT_EQ(inContents.count(name), 1u) << name << " is not in the contents (Help.hhc)";

    std::istringstream project(ReadFile(kManual / "Help.hhp"));
    bool files = false;
    for (std::string line; std::getline(project, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            files = line == "[FILES]";
            continue;
        }
        if (files && !line.empty()) {
            EXPECT_TRUE(fs::is_regular_file(kManual / line)) << line;
        }
    }
}

TEST_F(Manual, QuotesEveryTextOfTheProgramsMessages) {
    std::string manual;
    for (const auto& [name, page] : pages_) manual += page.text + ' ';

    int quoted = 0;
    for (const usertext::NamedText& t : usertext::AllTexts()) {
        // The user's texts are the Russian ones (and the few that carry a "№"); parts such as a
        // plain "USB " are not worth quoting.
        const std::string literal = t.utf8;
        bool ascii = true;
        for (unsigned char c : literal) ascii = ascii && c < 0x80;
        if (ascii) continue;
        ++quoted;
        const std::string text = Collapse(literal);
        EXPECT_NE(manual.find(text), std::string::npos)
            << "the manual does not quote " << t.name << ": " << text;
    }
    ASSERT_GE(quoted, 30) << "the program's texts were not listed";
}

// The names in a CHM file's directory (its ITSF header, the ITSP directory header and the PMGL
// listing chunks); empty when the file is no CHM.
std::set<std::string> ChmDirectory(const std::string& chm) {
    auto u32 = [&chm](size_t at) -> uint64_t {
        if (at + 4 > chm.size()) return 0;
        uint64_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(chm[at + i]);
        return v;
    };
    std::set<std::string> names;
    if (chm.compare(0, 4, "ITSF") != 0) return names;
    const uint64_t directory = u32(0x48);
    if (chm.compare(directory, 4, "ITSP") != 0) return names;
    const uint64_t headerSize = u32(directory + 8);
    const uint64_t chunkSize = u32(directory + 0x10);
    const uint64_t chunks = u32(directory + 0x2C);
    for (uint64_t n = 0; n < chunks; ++n) {
        const size_t chunk = directory + headerSize + n * chunkSize;
        if (chunk + chunkSize > chm.size() || chm.compare(chunk, 4, "PMGL") != 0) continue;
        const size_t end = chunk + chunkSize - u32(chunk + 4);
        size_t at = chunk + 20;
        auto encint = [&chm, &at]() {
            uint64_t v = 0;
            while (at < chm.size()) {
                const unsigned char b = static_cast<unsigned char>(chm[at++]);
                v = v << 7 | (b & 0x7F);
                if ((b & 0x80) == 0) break;
            }
            return v;
        };
        while (at < end) {
            const uint64_t length = encint();
            names.insert(chm.substr(at, length));
            at += length;
            encint();  // section
            encint();  // offset
            encint();  // length
        }
    }
    return names;
}

TEST(HelpChm, HoldsEveryPageStyleAndImage) {
    const fs::path chm = fs::path(VR7_BINARY_DIR) / "docs" / "Help.chm";
    if (!fs::exists(chm)) {
        GTEST_SKIP() << "no Help.chm was built (chmcmd of fp-utils is missing)";
    }
    const std::set<std::string> names = ChmDirectory(ReadFile(chm));
    ASSERT_FALSE(names.empty()) << chm << " is no CHM file";
    std::vector<fs::path> wanted = Files(kManual, ".html");
    wanted.push_back(kManual / "style.css");
    for (const fs::path& image : Files(kManual / "images", ".png")) wanted.push_back(image);
    for (const fs::path& file : wanted) {
        const std::string name = "/" + fs::relative(file, kManual).generic_string();
        EXPECT_EQ(names.count(name), 1u) << name;
    }
}

}  // namespace
