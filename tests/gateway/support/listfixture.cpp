#include "tests/gateway/support/listfixture.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "gateway/maxvariables.h"
#include "tests/common/testtext.h"

std::string CatalogueXml(const std::string& size) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<calcbank>\n"
           " <LonCfg size=\"" +
           size +
           "\"/>\n"
           " <calc name=\"t$\" note=\"°C\"><LonVar VSNVTid=\"105\" FSNVTid=\"83\" "
           "flags=\"t$f\"/></calc>\n"
           " <calc name=\"p$\" note=\"бар\"><LonVar VSNVTid=\"30\" FSNVTid=\"83\"/></calc>\n"
           " <calc name=\"e$\" note=\"\"><LonVar VSNVTid=\"1\" FSNVTid=\"2\" flags=\"\"/></calc>\n"
           " <calc name=\"q$\" note=\"м3/ч\"><LonVar VSNVTid=\"15\"/></calc>\n"
           " <calc name=\"Тв$\" note=\"x\"><LonVar VSNVTid=\"3\"/></calc>\n"
           "</calcbank>\n";
}

void Recorder::RowInserted(size_t index) {
    events.push_back("+" + std::to_string(index));
    mirror.insert(mirror.begin() + static_cast<std::ptrdiff_t>(index), list.Row(index));
    usedAtInsert.push_back(list.UsedVariables());
}

void Recorder::RowRemoved(size_t index) {
    events.push_back("-" + std::to_string(index));
    mirror.erase(mirror.begin() + static_cast<std::ptrdiff_t>(index));
}

void Recorder::RowsRemoved(const std::vector<size_t>& indices) {
    std::string event = "-[";
    for (size_t k = indices.size(); k-- > 0;) {
        mirror.erase(mirror.begin() + static_cast<std::ptrdiff_t>(indices[k]));
        event += std::to_string(indices[indices.size() - 1 - k]) + (k > 0 ? "," : "");
    }
    events.push_back(event + "]");
}

void Recorder::RowChanged(size_t index) {
    events.push_back("~" + std::to_string(index));
    mirror[index] = list.Row(index);
}

void Recorder::ListCleared() {
    events.push_back("clear");
    mirror.clear();
}

void Recorder::ListReplaced() {
    events.push_back("replaced");
    mirror = list.Rows();
}

void Recorder::CountersChanged(const std::string& text) {
    counters = text;
}

ListFixture::ListFixture(const std::string& size, size_t rowLimit)
    : catalogue(dir.Write("calcbank.xml", CatalogueXml(size))),
      list(catalogue, rowLimit),
      rec(list) {
    EXPECT_TRUE(catalogue.Load().ok());
    list.SetMaxVariables(LoadMaxVariables(catalogue).value_or(0));
    list.SetObserver(&rec);
    list.SetMessageSink(&rec);
    list.SetProgressSink(&rec);
}

std::vector<std::string> Captions(const SnvtList& list) {
    std::vector<std::string> out;
    for (const SnvtRow& row : list.Rows()) out.push_back(row.caption);
    return out;
}
