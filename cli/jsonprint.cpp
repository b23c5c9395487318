#include "cli/jsonprint.h"

#include <string>

#include "base/cp1251.h"
#include "gateway/snvtlist.h"

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

std::string Utf8(const std::string& cp1251Text) {
    return cp1251::ToUtf8(Cp1251String(cp1251Text));
}

// The members a variable and its flags variable share, from the row's columns.
void WriteVariable(JsonWriter& json, const SnvtRow& row, int name, int ref, int type, int snvtId) {
    json.Member("name", Utf8(row.Text(name)))
        .Member("ref", Utf8(row.Text(ref)))
        .Member("type", Utf8(row.Text(type)))
        .Member("snvt_id", Utf8(row.Text(snvtId)));
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

JsonWriter& BeginJsonDocument(JsonWriter& json) {
    return json.BeginObject().Member("schema", kJsonSchema);
}

void WriteTreeNodes(JsonWriter& json, const CfgTree& tree) {
    json.BeginArray();
    for (const auto& root : tree.Roots()) WriteNode(json, *root);
    json.EndArray();
}

void PrintTreeJson(const CfgTree& tree, std::ostream& out, bool complete) {
    JsonWriter json(out);
    BeginJsonDocument(json).Member("complete", complete).Key("nodes");
    WriteTreeNodes(json, tree);
    json.EndObject();
}

void PrintListJson(const SnvtList& list, std::ostream& out) {
    JsonWriter json(out);
    BeginJsonDocument(json)
        .Member("capacity", list.MaxVariables())
        .Member("used", list.UsedVariables())
        .Member("available", static_cast<int64_t>(list.MaxVariables()) -
                                 static_cast<int64_t>(list.UsedVariables()))
        .Key("rows")
        .BeginArray();
    for (const SnvtRow& row : list.Rows()) {
        json.BeginObject();
        WriteVariable(json, row, colVarName, colRef, colType, colSnvtId);
        json.Member("unit", Utf8(row.Text(colDimension))).Key("flags");
        if (row.HasFlags()) {
            json.BeginObject();
            WriteVariable(json, row, colFlagsName, colFlagsRef, colFlagsType, colFlagsSnvtId);
            json.EndObject();
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
}

void PrintDeviceInfoJson(const DeviceInfo& info, std::ostream& out) {
    JsonWriter json(out);
    BeginJsonDocument(json)
        .Member("version", info.VersionText())
        .Member("major", info.VersionMajor())
        .Member("minor", info.VersionMinor())
        .Member("build", info.VersionBuild())
        .Member("number", info.DeviceNumber())
        .EndObject();
}
