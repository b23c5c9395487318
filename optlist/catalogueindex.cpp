#include "optlist/catalogueindex.h"

#include "optlist/optlist.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Pattern(_xmlNode* child) {
    std::string pattern;
    XmlDocument::Attribute(child, "name", pattern);  // none (or not an element): the empty one
    return pattern;
}

}  // namespace

CatalogueIndex::CatalogueIndex(const XmlDocument& doc) {
    for (_xmlNode* n = XmlDocument::FirstChild(doc.DocumentElement()); n != nullptr;
         n = XmlDocument::NextSibling(n)) {
        const std::string pattern = Pattern(n);
        const size_t child = children_.size();
        children_.push_back(n);
        Add(pattern, child);
        // A trailing "$" may also stand for nothing: the pattern then matches the names one
        // shorter, as the pattern without it.
        if (!pattern.empty() && pattern.back() == '$')
            Add(pattern.substr(0, pattern.size() - 1), child);
    }
}

void CatalogueIndex::Add(const std::string& pattern, size_t child) {
    std::vector<size_t> dollars;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '$') dollars.push_back(i);
    std::vector<Shape>& ofLength = shapes_[pattern.size()];
    Shape* shape = nullptr;
    for (Shape& s : ofLength)
        if (s.dollars == dollars) shape = &s;
    if (shape == nullptr) {
        ofLength.push_back(Shape{std::move(dollars), {}});
        shape = &ofLength.back();
    }
    shape->first.emplace(pattern, child);  // an earlier child keeps the pattern
}

const CatalogueIndex& CatalogueIndex::Of(const XmlDocument& doc) {
    return static_cast<const CatalogueIndex&>(
        doc.DerivedOnce([](const XmlDocument& d) { return std::make_unique<CatalogueIndex>(d); }));
}

_xmlNode* CatalogueIndex::Find(const std::string& varName) const {
    lookups_.fetch_add(1, std::memory_order_relaxed);
    const auto ofLength = shapes_.find(varName.size());
    if (ofLength == shapes_.end()) return nullptr;
    size_t best = children_.size();
    std::string key;
    for (const Shape& shape : ofLength->second) {
        bool digits = true;
        for (size_t i : shape.dollars) digits = digits && IsDigit(varName[i]);
        if (!digits) continue;
        key = varName;
        for (size_t i : shape.dollars) key[i] = '$';
        const auto found = shape.first.find(key);
        if (found != shape.first.end() && found->second < best) best = found->second;
    }
    return best < children_.size() ? children_[best] : nullptr;
}

_xmlNode* ScanCatalogue(const XmlDocument& doc, const std::string& varName) {
    for (_xmlNode* n = XmlDocument::FirstChild(doc.DocumentElement()); n != nullptr;
         n = XmlDocument::NextSibling(n)) {
        if (MatchCatalogName(Pattern(n), varName)) return n;
    }
    return nullptr;
}
