// What a store would change on the device, in the user's words: one line a variable that differs,
// the summary, and the cases with nothing to compare.
#include "device/storepreview.h"

#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

struct Case {
    const char* name;
    std::string device;  // the device's file; "-" for none
    std::string list;
    std::vector<std::string> lines;
    std::string headline;
};

TEST(StorePreview, TellsEachChangeAsTheDiffDoes) {
    const std::string a = "F 40001 105 1a C\r\n";
    const std::string b = "F 40003 105 1b C\r\n";
    const std::string c = "F 40005 28 1c C\r\n";
    const std::string ask = std::string("\n") + storetext::StoreQuestion();
    const Case cases[] = {
        {"same", a + b, a + b, {}, storetext::SameQuestion(7)},
        {"added and removed",
         a + b,
         a + c,
         {storetext::Removed("1b", 2),
          storetext::Added("1c", 2, "Ref 40005, Type F, SNVT_ID 28, Dimention C")},
         storetext::Summary(7, 1, 1, 0, 0) + ask},
        {"moved and changed",
         a + b,
         "F 40003 106 1b C\r\n" + a,
         {storetext::Changed("1b") + "SNVT_ID 105 → 106", storetext::Moved("1a", 1, 2)},
         storetext::Summary(7, 0, 0, 1, 1) + ask},
        {"moved with a change",
         a + b + c,
         "F 40005 29 1c C\r\n" + a + b,
         {storetext::Moved("1c", 3, 1) + storetext::AlsoChanged() + "SNVT_ID 28 → 29"},
         storetext::Summary(7, 0, 0, 1, 1) + ask},
        {"no file",
         "-",
         a,
         {storetext::Added("1a", 1, "Ref 40001, Type F, SNVT_ID 105, Dimention C")},
         storetext::NoDeviceFile(7) + ask},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceBackup current;
        current.read = true;
        current.hadFile = c.device != "-";
        if (current.hadFile) current.bytes = c.device;
        XmlDocument noCatalogue;
        SnvtList list(noCatalogue);
        ASSERT_TRUE(LoadGatewayBytes(list, c.list).ok());
        const StorePreview preview = MakeStorePreview(7, current, list);
        EXPECT_EQ(preview.lines, c.lines);
        EXPECT_EQ(preview.Headline(), c.headline);
    }
}

}  // namespace
