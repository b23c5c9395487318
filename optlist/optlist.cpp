#include "optlist/optlist.h"

#include "optlist/catalogueindex.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The first child of the document element that `pred` accepts, or null. A document that is not
// loaded has no children.
template <class Pred>
_xmlNode* FirstChildWhere(const XmlDocument& doc, Pred pred) {
    for (_xmlNode* n = XmlDocument::FirstChild(doc.DocumentElement()); n != nullptr;
         n = XmlDocument::NextSibling(n)) {
        if (pred(n)) return n;
    }
    return nullptr;
}

// The first child of the document element whose "name" pattern matches varName (a child without
// the attribute, or not an element at all, has the empty pattern).
_xmlNode* FindEntry(const XmlDocument& doc, const std::string& varName) {
    return CatalogueIndex::Of(doc).Find(varName);
}

_xmlNode* FirstLonVar(_xmlNode* entry) {
    for (_xmlNode* n = XmlDocument::FirstChild(entry); n != nullptr;
         n = XmlDocument::NextSibling(n)) {
        if (XmlDocument::HasTag(n, "LonVar")) return n;
    }
    return nullptr;
}

// Each "$" of the flags pattern takes the digit at the same position of the value variable's
// name; a "$" beyond the name, or facing a non-digit, is deleted.
std::string ExpandFlags(std::string flags, const std::string& varName) {
    for (size_t j = flags.size(); j-- > 0;) {
        if (flags[j] != '$') continue;
        if (j >= varName.size() || !IsDigit(varName[j])) {
            flags.erase(j, 1);
        } else {
            flags[j] = varName[j];
        }
    }
    return flags;
}

}  // namespace

std::string GetFirstChildAttr(const XmlDocument& doc, const char* childTag, const char* attrName) {
    _xmlNode* child =
        FirstChildWhere(doc, [&](_xmlNode* n) { return XmlDocument::HasTag(n, childTag); });
    std::string value;
    XmlDocument::Attribute(child, attrName, value);
    return value;
}

std::string FindChildText(const XmlDocument& doc, const char* childTag, const char* attrName,
                          const std::string& attrValue) {
    _xmlNode* child = FirstChildWhere(doc, [&](_xmlNode* n) {
        std::string value;
        return XmlDocument::HasTag(n, childTag) && XmlDocument::Attribute(n, attrName, value) &&
               value == attrValue;
    });
    return child ? XmlDocument::Text(child) : std::string();
}

bool MatchCatalogName(const std::string& pattern, const std::string& varName) {
    std::string p = pattern;
    if (p.size() == varName.size() + 1 && p.back() == '$') p.pop_back();
    if (p.size() == varName.size()) {
        for (size_t i = p.size(); i-- > 0;) {
            if (p[i] != '$') continue;
            if (IsDigit(varName[i])) {
                p[i] = varName[i];
            } else {
                p.erase(i, 1);
            }
        }
    }
    return p == varName;
}

SOptions GetVarOptions(const XmlDocument& doc, const std::string& varName) {
    SOptions result;
    _xmlNode* lonVar = FirstLonVar(FindEntry(doc, varName));
    if (lonVar == nullptr) return result;

    // The name of an absent attribute stays in slot k until the next step overwrites it, so
    // items[1].name is "FSNVTid" exactly when both ids are present.
    size_t k = 0;
    std::string value;
    result.items[k].name = "VSNVTid";
    if (XmlDocument::Attribute(lonVar, "VSNVTid", value)) result.items[k++].value = value;
    result.items[k].name = "FSNVTid";
    if (XmlDocument::Attribute(lonVar, "FSNVTid", value)) result.items[k++].value = value;
    result.items[k].name = "flags";
    if (XmlDocument::Attribute(lonVar, "flags", value))
        result.items[k++].value = ExpandFlags(value, varName);
    result.count = static_cast<uint8_t>(k);
    return result;
}

bool HasVarOptions(const XmlDocument& doc, const std::string& varName) {
    _xmlNode* lonVar = FirstLonVar(FindEntry(doc, varName));
    return XmlDocument::HasAttribute(lonVar, "VSNVTid") ||
           XmlDocument::HasAttribute(lonVar, "FSNVTid") ||
           XmlDocument::HasAttribute(lonVar, "flags");
}

std::string GetVarNote(const XmlDocument& doc, const std::string& varName) {
    // The same two steps as the options: the first matching entry, and its "LonVar" child. An
    // entry the options read as unknown (no "LonVar") has no note either.
    _xmlNode* entry = FindEntry(doc, varName);
    std::string note;
    if (FirstLonVar(entry) != nullptr) XmlDocument::Attribute(entry, "note", note);
    return note;
}
