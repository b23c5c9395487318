#pragma once
// Lookups in the variable catalogue ("calcbank.xml") and in main.xmc. Every lookup walks the
// document from its first child; a document that is not loaded behaves as an empty one.
#include <array>
#include <cstdint>
#include <string>

#include "optlist/xmldocument.h"

struct SOption {
    std::string name;   // attribute name: "VSNVTid", "FSNVTid" or "flags"
    std::string value;  // Windows-1251
};

struct SOptions {
    uint8_t count = 0;  // pairs filled, 0..3; 0 means "not in the catalogue"
    std::array<SOption, 5> items;
};

// The attribute attrName of the first child of the document element tagged childTag; empty when
// there is no such child or it lacks the attribute.
std::string GetFirstChildAttr(const XmlDocument& doc, const char* childTag, const char* attrName);

// The text content of the first child tagged childTag whose attribute attrName equals attrValue.
std::string FindChildText(const XmlDocument& doc, const char* childTag, const char* attrName,
                          const std::string& attrValue);

// The SNVT data of the first catalogue entry whose "name" pattern matches varName (Windows-1251).
SOptions GetVarOptions(const XmlDocument& doc, const std::string& varName);

// GetVarOptions(doc, varName).count != 0, without reading the values.
bool HasVarOptions(const XmlDocument& doc, const std::string& varName);

// The "note" of the first matching catalogue entry, or empty.
std::string GetVarNote(const XmlDocument& doc, const std::string& varName);

// Catalogue name patterns: "$" stands for one digit; one trailing "$" may stand for nothing.
bool MatchCatalogName(const std::string& pattern, const std::string& varName);
