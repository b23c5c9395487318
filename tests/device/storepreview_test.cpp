// What a store would change on the device, in the user's words: one line a variable that differs,
// the summary, and the cases with nothing to compare.
#include "device/storepreview.h"

#include <gtest/gtest.h>

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
    const std::string ask = "\nЗаписать список в VR-7?";
    const Case cases[] = {
        {"same",
         a + b,
         a + b,
         {},
         "Настройки в VR-7 № 7 уже совпадают со списком: сохранять "
         "нечего. Записать всё равно?"},
        {"added and removed",
         a + b,
         a + c,
         {"удалена «1b» из строки 2",
          "добавлена «1c» в строку 2: Ref 40005, Type F, SNVT_ID 28, Dimention C"},
         "Сохранение изменит настройки в VR-7 № 7: добавлено 1, удалено 1, перемещено 0, "
         "изменено 0." +
             ask},
        {"moved and changed",
         a + b,
         "F 40003 106 1b C\r\n" + a,
         {"изменена «1b»: SNVT_ID 105 → 106", "перемещена «1a» из строки 1 в строку 2"},
         "Сохранение изменит настройки в VR-7 № 7: добавлено 0, удалено 0, перемещено 1, "
         "изменено 1." +
             ask},
        {"moved with a change",
         a + b + c,
         "F 40005 29 1c C\r\n" + a + b,
         {"перемещена «1c» из строки 3 в строку 1; изменено: SNVT_ID 28 → 29"},
         "Сохранение изменит настройки в VR-7 № 7: добавлено 0, удалено 0, перемещено 1, "
         "изменено 1." +
             ask},
        {"no file",
         "-",
         a,
         {"добавлена «1a» в строку 1: Ref 40001, Type F, SNVT_ID 105, Dimention C"},
         "В VR-7 № 7 нет файла настроек шлюза: все переменные списка будут добавлены." + ask},
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
