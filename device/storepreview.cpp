#include "device/storepreview.h"

#include "app/messages.h"
#include "base/cp1251.h"
#include "device/devicecommands.h"
#include "gateway/gatewayfile.h"
#include "gateway/listdiff.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

std::string Utf8(const std::string& field) {
    return cp1251::ToUtf8(Cp1251String(field));
}

}  // namespace

std::string StorePreview::Headline() const {
    std::string text;
    if (!deviceHadFile) {
        text = storetext::NoDeviceFile(device);
    } else if (!unreadable.empty()) {
        text = storetext::DeviceFileUnreadable(unreadable);
    } else if (Same()) {
        return storetext::SameQuestion(device);
    } else {
        text = storetext::Summary(device, added, removed, moved, changed);
    }
    return text + "\n" + storetext::StoreQuestion();
}

StorePreview MakeStorePreview(uint32_t device, const DeviceBackup& current, const SnvtList& list) {
    StorePreview preview;
    preview.device = device;
    preview.deviceHadFile = current.hadFile;
    preview.backupPath = current.path;
    XmlDocument noCatalogue;  // comparing never looks variables up
    SnvtList before(noCatalogue);
    if (current.hadFile) {
        if (const Status loaded = LoadGatewayBytes(before, current.bytes); !loaded) {
            preview.unreadable = usertext::FailureReason(loaded.failure()).str();
            before.Clear();
        }
    }
    for (const ListDiffEntry& e : DiffLists(before.Rows(), list.Rows())) {
        switch (e.kind) {
            case ListEntryKind::Added:
                ++preview.added;
                preview.lines.push_back(storetext::Added(Utf8(e.after->caption), e.afterIndex + 1,
                                                         ColumnsText(*e.after)));
                break;
            case ListEntryKind::Removed:
                ++preview.removed;
                preview.lines.push_back(
                    storetext::Removed(Utf8(e.before->caption), e.beforeIndex + 1));
                break;
            case ListEntryKind::Kept:
                if (e.moved) {
                    ++preview.moved;
                    std::string line = storetext::Moved(Utf8(e.after->caption), e.beforeIndex + 1,
                                                        e.afterIndex + 1);
                    if (!e.changes.empty()) {
                        ++preview.changed;
                        line +=
                            storetext::AlsoChanged() + ChangesText(e.changes, storetext::NoValue());
                    }
                    preview.lines.push_back(std::move(line));
                } else {
                    ++preview.changed;
                    preview.lines.push_back(storetext::Changed(Utf8(e.after->caption)) +
                                            ChangesText(e.changes, storetext::NoValue()));
                }
                break;
        }
    }
    return preview;
}
