#pragma once
// What the SNVT list tests share: a small catalogue, and sinks that record what the list tells the
// window, including a mirror of the rows kept only from the notifications.
#include <string>
#include <utility>
#include <vector>

#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

// Windows-1251 of a UTF-8 literal, for expected texts.

// A catalogue of capacity `size`:
//   t$ -> 105, flags 83 named "t$f", note "°C"     p$ -> 30, flags 83, no flags pattern
//   e$ -> 1, flags 2, empty flags pattern, empty note  q$ -> 15 alone, note "м3/ч"
//   Тв$ (Cyrillic) -> 3 alone
std::string CatalogueXml(const std::string& size);

struct Recorder : ISnvtListObserver, IMessageSink, IProgressSink {
    explicit Recorder(const SnvtList& list) : list(list) {}

    void RowInserted(size_t index) override;
    void RowRemoved(size_t index) override;
    void RowsRemoved(const std::vector<size_t>& indices) override;
    void RowChanged(size_t index) override;
    void ListCleared() override;
    void ListReplaced() override;
    void CountersChanged(const std::string& text) override;
    void ShowMessage(const Cp1251String& text) override { messages.push_back(text.bytes()); }
    void ShowProgress(const std::string& text, float fraction) override {
        progress.emplace_back(text, fraction);
    }

    const SnvtList& list;
    std::vector<std::string> events;     // "+i", "-i", "-[i,j,...]", "~i", "clear", "replaced"
    std::vector<SnvtRow> mirror;         // rows as a view that follows the events holds them
    std::vector<unsigned> usedAtInsert;  // UsedVariables seen by each insert notification
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, float>> progress;
    std::string counters;
};

// A loaded catalogue and a list on it, wired to a recorder.
struct ListFixture {
    explicit ListFixture(const std::string& size = "10",
                         size_t rowLimit = SnvtList::kDefaultRowLimit);

    TempDir dir;
    XmlDocument catalogue;
    SnvtList list;
    Recorder rec;
};

// Captions of the list's rows, in order.
std::vector<std::string> Captions(const SnvtList& list);
