#include "cli/jsonprint.h"

#include <string>

#include "app/listdiff.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"

namespace {

// The name of a node record's kind, or null for a node without a record.
const char* KindName(const TreeNode& node) {
    if (!node.Data) return nullptr;
    switch (node.Data->Kind) {
        case nkDevice:
            return "device";
        case nkSystem:
            return "system";
        case nkEventGroup:
            return "event_group";
        case nkGeidGroup:
            return "geid_group";
        case nkEvent:
            return "event";
        case nkConstGroup:
            return "const_group";
        case nkConst:
            return "const";
        case nkCalcGroup:
            return "calc_group";
        case nkCalc:
            return "calc";
    }
    return nullptr;
}

void WriteNode(JsonWriter& json, const TreeNode& node) {
    json.BeginObject()
        .Member("caption", cp1251::ToUtf8(Cp1251String(node.Text)))
        .Member("image", node.ImageIndex)
        .Key("kind");
    if (const char* kind = KindName(node)) {
        json.String(kind);
    } else {
        json.Null();
    }
    json.Key("children").BeginArray();
    for (const auto& child : node.Children) WriteNode(json, *child);
    json.EndArray().EndObject();
}

}  // namespace

void WriteTreeNodes(JsonWriter& json, const CfgTree& tree) {
    json.BeginArray();
    for (const auto& root : tree.Roots()) WriteNode(json, *root);
    json.EndArray();
}

void PrintTreeJson(const CfgTree& tree, std::ostream& out, bool complete) {
    JsonWriter json(out);
    json.BeginObject().Member("complete", complete).Key("nodes");
    WriteTreeNodes(json, tree);
    json.EndObject();
}

void PrintListJson(const SnvtList& list, std::ostream& out) {
    JsonWriter json(out);
    json.BeginObject()
        .Member("capacity", list.MaxVariables())
        .Member("used", list.UsedVariables())
        .Member("available", static_cast<int64_t>(list.MaxVariables()) -
                                 static_cast<int64_t>(list.UsedVariables()))
        .Key("rows")
        .BeginArray();
    for (const SnvtRow& row : list.Rows()) {
        json.BeginObject();
        for (int column = 0; column < kSnvtColumnCount; ++column) {
            json.Key(SnvtColumnName(column));
            if (column == colVarName || static_cast<size_t>(column) <= row.subItems.size()) {
                json.String(cp1251::ToUtf8(Cp1251String(row.Text(column))));
            } else {
                json.Null();
            }
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
}

void PrintDeviceInfoJson(const DeviceInfo& info, std::ostream& out) {
    JsonWriter json(out);
    json.BeginObject()
        .Member("version", info.VersionText())
        .Member("major", info.VersionMajor())
        .Member("minor", info.VersionMinor())
        .Member("build", info.VersionBuild())
        .Member("number", info.DeviceNumber())
        .EndObject();
}
