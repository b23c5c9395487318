// The exchange log's own words: every kind of frame, every check and the results of the link put
// in the window's language from the same decoding as vr7lon's English trace.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/messages.h"
#include "link/frametext.h"
#include "tests/common/vr7wire.h"

namespace {

using namespace wire;

std::string Summary(bool sent, const Bytes& frame) {
    return logtext::FrameSummary(DecodeFrame(sent, frame.data(), static_cast<int>(frame.size())));
}

TEST(LogText, SummarisesEachCommandAndAnswer) {
    const struct {
        bool sent;
        Bytes frame;
        const char* summary;
    } cases[] = {
        {true, kIdentify, "идентификация, прибор № 7, длина 0"},
        {true, kReadHeader, "чтение заголовка, прибор № 7, длина 0"},
        {true, kReadEntry9, "чтение записи, прибор № 7, длина 2, запись 9"},
        {true, kOpenAForRead, "открытие файла, прибор № 7, длина 2, для чтения \"a\""},
        {true, kOpenAForWrite, "открытие файла, прибор № 7, длина 2, для записи \"a\""},
        {false, kFileSize2, "открытие файла, прибор № 7, длина 4, размер 2"},
        {true, kAskNextBlock, "чтение блока, прибор № 7, длина 1, следующий блок"},
        {true, kAskSameBlockAgain, "чтение блока, прибор № 7, длина 1, тот же блок снова"},
        {false, kLastBlock, "чтение блока, прибор № 7, длина 4, позиция 2"},
        {true, kWriteXy, "запись блока, прибор № 7, длина 2"},
        {false, kWriteProtected, "отказ 21, прибор № 7, длина 0"},
        {true, Bytes{0x54, 0x53, 0x52, 0x51, 0x00, 0x00, 0x01, 0x00, 0x00},
         "идентификация, любой прибор, длина 0"},
        {false, Bytes{0x07, 0x00, 0x00}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Summary(c.sent, c.frame), c.summary) << c.summary;
}

TEST(LogText, NamesTheCheckAndTheLineKeepsTheTraceLayout) {
    Bytes bad = kNoSuchEntry;
    bad.back() ^= 1;
    const struct {
        Bytes frame;
        int length;
        const char* check;
    } cases[] = {
        {kIdentify, -1, "контроль верен"},
        {bad, -1, "контроль НЕВЕРЕН"},
        {kEntry1, 9, "неполный (9 из 26 байт)"},
        {kEntry1, 3, "неполный заголовок"},
    };
    for (const auto& c : cases) {
        const int length = c.length < 0 ? static_cast<int>(c.frame.size()) : c.length;
        EXPECT_EQ(logtext::FrameCheck(DecodeFrame(false, c.frame.data(), length)), c.check);
    }
    const FrameFacts facts = DecodeFrame(true, kIdentify.data(), 9);
    EXPECT_EQ(FrameTraceLine(12, true, kIdentify.data(), 9, logtext::FrameCheck(facts),
                             logtext::FrameSummary(facts)),
              "      12 ms -> 07 00 00 00 00 00 01 06 08  контроль верен  идентификация, прибор "
              "№ 7, длина 0");
}

TEST(LogText, NamesEveryKindOfResult) {
    const struct {
        LinkResult result;
        int systemError;
        const char* text;
    } cases[] = {
        {lr::Ok, 0, "результат 0: успешно"},
        {lr::Cancelled, 0, "результат 1021: прервано пользователем"},
        {lr::TcpTimeout, 0, "результат 1011: нет ответа в срок по TCP"},
        {3, 0, "результат 3: прибор ответил этим кодом отказа"},
        {4000, 0, "результат 4000: неизвестный результат"},
        {lr::NotOpen, ENOTTY,
         "результат 1003: канал не открыт (порт или адрес не удалось открыть) (не терминал, "
         "значит не последовательный порт)"},
        {lr::NotOpen, ECONNRESET, "результат 1003: канал не открыт: прибор закрыл соединение"},
    };
    for (const auto& c : cases) EXPECT_EQ(logtext::Result(c.result, c.systemError), c.text);
    EXPECT_TRUE(logtext::Result(lr::SystemError, EIO)
                    .starts_with("результат 1020: порт исчез (адаптер отключён?): "));
    EXPECT_EQ(logtext::Outcome(lr::Ok, 0), "итог: результат 0: успешно");
    EXPECT_EQ(logtext::SerialLink("/dev/ttyUSB0", 115200), "связь: порт /dev/ttyUSB0, 115200 бод");
}

}  // namespace
