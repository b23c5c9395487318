#include "app/messages.h"

#include <string_view>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "base/cp1251.h"
#include "base/syserror.h"
#include "link/frametext.h"
#include "link/resulttext.h"
#include "link/serialports.h"
#include "link/vr7frame.h"
#include "link/vr7types.h"

namespace usertext {

namespace {

std::vector<NamedText>& Registry() {
    static std::vector<NamedText> texts;
    return texts;
}

bool Register(const char* name, const char* utf8) {
    Registry().push_back({name, utf8});
    return true;
}

// A text of this file in Windows-1251, converted once, and listed in AllTexts.
#define VR7_TEXT(name, utf8)                                     \
    static const bool name##Listed = Register(#name, utf8);      \
    const Cp1251String& name() {                                 \
        static const Cp1251String text = cp1251::FromUtf8(utf8); \
        return text;                                             \
    }

// A text of this file that stays in UTF-8 (it goes straight to the toolkit), listed in AllTexts.
#define VR7_UTF8_TEXT(name, utf8)                           \
    static const bool name##Listed = Register(#name, utf8); \
    constexpr const char* name = utf8;

VR7_UTF8_TEXT(TipDriver, "драйвер ")
VR7_UTF8_TEXT(TipSerial, "серийный номер ")
VR7_UTF8_TEXT(TipNothingKnown, "Система не сообщает сведений о порте")
VR7_UTF8_TEXT(TipNowBefore, "\nСейчас это ")
VR7_UTF8_TEXT(TipNowAfter, "; постоянное имя не меняется при переподключении адаптеров.")
VR7_UTF8_TEXT(TipStableBefore, "\nПостоянное имя: ")
VR7_UTF8_TEXT(TipStableAfter, " (не меняется при переподключении адаптеров; его и стоит выбрать).")

// Bytes put into a text as they are: numbers, ASCII punctuation, paths and settings.
Cp1251String Raw(std::string bytes) {
    return Cp1251String(std::move(bytes));
}

VR7_TEXT(VersionBefore, "VR-7 версии ")
VR7_TEXT(VersionAfter, " не поддерживает работу c Tervon шлюзом!!!")
VR7_TEXT(NotCreated, " не создан.\n")
VR7_TEXT(NotWritten, " не записан.\n")
VR7_TEXT(NotSaved, " не сохранён.\n")
VR7_TEXT(NotOpened, " не открыт.\n")
VR7_TEXT(CaptionPort, "Порт: ")
VR7_TEXT(CaptionDevice, ", VR-7 № ")
VR7_TEXT(NoRoomBefore, "Количество SNVT переменных достигло максимума!!!\nНе могу добавить ")
VR7_TEXT(NeedTwo, "2 переменых")
VR7_TEXT(NeedOne, "1 переменую")
VR7_TEXT(CountersTotal, "SNVT переменных ")
VR7_TEXT(CountersUsed, ", задействовано: ")
VR7_TEXT(CountersFree, ", доступно: ")
VR7_TEXT(RowRefusedBefore, "Не могу сохранить строку ")
VR7_TEXT(TooManyRowsBefore, "В файле ")
VR7_TEXT(TooManyRowsMiddle, " строк, а список вмещает не больше ")
VR7_TEXT(TooManyRowsAfter, ": файл не прочитан целиком.")
VR7_TEXT(EmptyFieldBefore, "пустое поле \"")
VR7_TEXT(SpaceInFieldBefore, "пробел в поле \"")
VR7_TEXT(WriteErrorBefore, "Ошибка записи файла: ")
VR7_TEXT(CatalogueBefore, "Не найден каталог SNVT переменных calcbank.xml.\nФайл искали здесь: ")
VR7_TEXT(CatalogueAfter, "\nБез каталога переменные в список добавить нельзя.")
VR7_TEXT(CatalogueWhereBefore, "\nПоложите calcbank.xml в рабочую папку (")
VR7_TEXT(SavedToBefore, "Сохранено в ")
VR7_TEXT(CountersUsedOnly, "SNVT переменных задействовано: ")
VR7_TEXT(NoCatalogueCapacity, ", ёмкость неизвестна: нет calcbank.xml")
VR7_TEXT(UnusableCapacity, ", ёмкость неизвестна: ошибка в calcbank.xml")
VR7_TEXT(CsvNumber, "№ переменной шлюза")
VR7_TEXT(CsvName, "Имя")
VR7_TEXT(CsvRegister, "Регистр")
VR7_TEXT(CsvType, "Тип")
VR7_TEXT(CsvSnvtId, "SNVT_ID")
VR7_TEXT(CsvUnit, "Единица измерения")
VR7_TEXT(NoMainXmcBefore, "В папке ")
VR7_TEXT(NoMainXmcAfter,
         " нет файла main.xmc: папка конфигурации VR-7 (vr7_<номер прибора>) содержит папку "
         "CONFIG с файлом main.xmc и файлами систем.")
VR7_TEXT(HelpBefore, "Файл справки ")
VR7_TEXT(HelpNotFoundAfter, " не найден.")
VR7_TEXT(SettingsBefore, "Настройки программы не сохранены: файл ")
VR7_TEXT(SettingsAfter, " не удалось записать.")
VR7_TEXT(HelpNotShownAfter, " не удалось открыть: нет программы для его просмотра.")
VR7_TEXT(TcpPortBefore, "Недопустимый порт TCP/IP: TCPIPport=")
VR7_TEXT(TcpPortAfter, " (допустимо от 1 до 65535)")
VR7_TEXT(PortWord, "Порт ")
VR7_TEXT(PortMissing, ": такого устройства нет (проверьте имя порта и подключение адаптера).")
VR7_TEXT(PortDenied,
         ": нет доступа. Пользователь должен входить в группу dialout: sudo usermod -aG dialout "
         "$USER, затем выйти из системы и войти снова.")
VR7_TEXT(PortBusy, ": занят другой программой.")
VR7_TEXT(PortNotSerial, ": это не последовательный порт.")
VR7_TEXT(PortOther, ": ошибка открытия: ")
VR7_TEXT(PortGone, " исчез (адаптер отключён?)")

}  // namespace

VR7_TEXT(NoConfiguration, "Конфигурация VR-7 не обнаружена")
VR7_TEXT(EmptyList, "Список SNVT переменных пуст!")
VR7_TEXT(NotConnected, "VR-7 не подключен!!!")
VR7_TEXT(ReadError, "Ошибка чтения!!!")
VR7_TEXT(Stored, "Настройки Tervon шлюза сохраненены")
VR7_TEXT(WriteProtected,
         "Для сохранения настроек Tervon шлюза в VR-7,\nнеобходимо снять защиту (EN_PR)!!!")
VR7_TEXT(StoreBroken, "Сохранение настроек Tervon шлюза прервано!!!")
VR7_TEXT(StoreCancelled, "Сохранение настроек Tervon шлюза отменено!")
VR7_TEXT(BackupNotRead,
         "Настройки шлюза не прочитаны из VR-7 для резервной копии!!!\n"
         "Настройки в VR-7 не изменены.")
VR7_TEXT(BackupNotSavedBefore, "Резервная копия настроек шлюза не сохранена: ")
VR7_TEXT(DeviceUnchanged, "Настройки в VR-7 не изменены.")
VR7_TEXT(BackupEmpty, "файл пуст")
VR7_TEXT(BackupNoRows, "в файле нет ни одной строки настроек шлюза")
VR7_TEXT(LineBefore, "строка ")
VR7_TEXT(BadByteMiddle, ": недопустимый байт ")
VR7_TEXT(CutAfter, " оборвана: файл кончается не в конце строки")
VR7_TEXT(BadLineAfter, " не по форме файла настроек шлюза")
VR7_TEXT(WithoutBackupBefore, "Резервная копия не сохранена: ")
VR7_TEXT(WithoutBackupAfter, "\nСохранить в VR-7 без резервной копии?")
VR7_TEXT(ReadCancelledStatus, "Чтение прервано пользователем")
VR7_TEXT(StoreCancelledStatus, "Запись прервана пользователем")
VR7_TEXT(CancelButton, "Отмена")
// Qt's own dialog texts: not the program's messages, so not listed for the manual.
constexpr const char* QtTypeFolder = "Папка";
constexpr const char* QtTypeFile = "Файл";
constexpr const char* QtTypeSuffixFile = "Файл %1";
constexpr const char* QtTypeDrive = "Диск";
VR7_TEXT(StepBefore, "Шаг ")
VR7_TEXT(StepOf, " из ")
VR7_TEXT(StepAfter, ". ")
VR7_TEXT(DownloadStep, "Чтение настроек из VR-7")
VR7_TEXT(UploadStep, "Запись настроек в VR-7")
VR7_TEXT(UploadNotCancelled,
         "Запись в VR-7 началась и будет доведена до конца: прибор не должен остаться с частью "
         "настроек")
VR7_TEXT(DeviceSettingsIncomplete,
         "Настройки шлюза в приборе могут быть неполными: повторите сохранение в VR-7.")
VR7_TEXT(TcpConnectStep,
         "Нет соединения: проверьте IP-адрес и порт TCP/IP (меню «Настройки», пункт «Порт») и "
         "питание прибора.")
VR7_TEXT(ReadAgainStep,
         "Повторите чтение; если ошибка повторится, проверьте кабель и скорость порта.")
VR7_TEXT(UpdateFirmwareStep, "Обновите встроенное ПО прибора: нужна сборка 32 или новее.")
VR7_TEXT(FixTcpPortStep, "Исправьте его в меню «Настройки», пункт «Порт».")
VR7_TEXT(CatalogueWhereData, ") или в папку данных программы (")
VR7_TEXT(CatalogueWhereEnd, ").")
VR7_TEXT(QtTranslationsMissing,
         "Стандартные диалоги на английском: не установлены переводы Qt "
         "(пакет qt6-translations-l10n)")
VR7_TEXT(LeaveUnsaved, "Список SNVT переменных изменён и не сохранён.\nВыйти без сохранения?")
VR7_TEXT(OpenUnsaved,
         "Список SNVT переменных изменён и не сохранён.\nОткрыть другую папку без сохранения?")
VR7_TEXT(ReadUnsaved,
         "Список SNVT переменных изменён и не сохранён.\nПрочитать из VR-7 без сохранения?")
VR7_TEXT(NoVr7InPath,
         "В пути к папке нет \"vr7_\": папка конфигурации VR-7 называется vr7_<номер прибора> "
         "(например, vr7_12) и содержит папку CONFIG с файлом main.xmc.")
VR7_TEXT(FileFailureBefore, "Файл ")
VR7_TEXT(DeletingChecked, "удаление выбранных переменных")
VR7_TEXT(DeletingRow, "Удаляю ")
VR7_TEXT(TypeNotF, "в поле \"Type\" не \"F\"")
VR7_TEXT(FlagsTypeNotB, "поле \"Type\" флагов не начинается с \"B\"")

VR7_TEXT(ExportList, "Экспорт списка…")
VR7_TEXT(ExportListHint, "Сохранить SNVT список в CSV для интегратора LON")
VR7_TEXT(ExportListFilter, "Таблица CSV (*.csv)")

const std::vector<const Cp1251String*>& ListCsvCaptions() {
    static const std::vector<const Cp1251String*> captions = {
        &CsvNumber(), &CsvName(), &CsvRegister(), &CsvType(), &CsvSnvtId(), &CsvUnit()};
    return captions;
}

Cp1251String UnsupportedVersion(const DeviceInfo& info) {
    return VersionBefore() + Raw(info.VersionText()) + VersionAfter();
}

const Cp1251String& FileFailureAfter(FileStep step) {
    switch (step) {
        case FileStep::NotCreated:
            return NotCreated();
        case FileStep::NotWritten:
            return NotWritten();
        case FileStep::NotSaved:
            return NotSaved();
        case FileStep::NotOpened:
            break;
    }
    return NotOpened();
}

Cp1251String FileFailure(FileStep step, const std::string& path, const Cp1251String& reason) {
    return FileFailureBefore() + Raw(path) + FileFailureAfter(step) + reason;
}

Cp1251String DeviceConfigurationCaption(const std::string& portName, uint32_t deviceNumber) {
    return CaptionPort() + Raw(portName) + CaptionDevice() + Raw(std::to_string(deviceNumber));
}

Cp1251String NoRoom(unsigned need) {
    return NoRoomBefore() + (need == 2 ? NeedTwo() : NeedOne());
}

Cp1251String Counters(unsigned maxVariables, unsigned usedVariables, long long available) {
    return CountersTotal() + Raw(std::to_string(maxVariables)) + CountersUsed() +
           Raw(std::to_string(usedVariables)) + CountersFree() + Raw(std::to_string(available));
}

Cp1251String CountersWithoutCapacity(unsigned usedVariables, CapacityUnknown why) {
    return CountersUsedOnly() + Raw(std::to_string(usedVariables)) +
           (why == CapacityUnknown::NoCatalogue ? NoCatalogueCapacity() : UnusableCapacity());
}

Cp1251String TooManyRows(size_t rows, size_t limit) {
    return TooManyRowsBefore() + Raw(std::to_string(rows)) + TooManyRowsMiddle() +
           Raw(std::to_string(limit)) + TooManyRowsAfter();
}

Cp1251String RowRefused(size_t rowNumber, const std::string& caption, const Cp1251String& problem) {
    return RowRefusedBefore() + Raw(std::to_string(rowNumber) + " (" + caption + "): ") + problem;
}

Cp1251String EmptyField(const std::string& column) {
    return EmptyFieldBefore() + Raw(column + "\"");
}

Cp1251String SpaceInField(const std::string& column) {
    return SpaceInFieldBefore() + Raw(column + "\"");
}

Cp1251String BackupBadByte(size_t line, unsigned byte) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", byte & 0xFFu);
    return LineBefore() + Raw(std::to_string(line)) + BadByteMiddle() + Raw(hex);
}

Cp1251String BackupCut(size_t line) {
    return LineBefore() + Raw(std::to_string(line)) + CutAfter();
}

Cp1251String BackupBadLine(size_t line) {
    return LineBefore() + Raw(std::to_string(line)) + BadLineAfter();
}

const char* MissingQtText(const char* context, const char* source) {
    if (context == nullptr || source == nullptr ||
        std::string_view(context) != "QAbstractFileIconProvider")
        return nullptr;
    const std::string_view english(source);
    if (english == "Folder") return QtTypeFolder;
    if (english == "File") return QtTypeFile;
    if (english == "%1 File") return QtTypeSuffixFile;
    if (english == "Drive") return QtTypeDrive;
    return nullptr;
}

Cp1251String StoreStepStatus(StoreStepKind kind, int step, int steps) {
    const Cp1251String& what = kind == StoreStepKind::Download ? DownloadStep() : UploadStep();
    if (steps < 2) return what;
    return StepBefore() + Raw(std::to_string(step + 1)) + StepOf() + Raw(std::to_string(steps)) +
           StepAfter() + what;
}

Cp1251String StoreWithoutBackupQuestion(const Cp1251String& reason) {
    return WithoutBackupBefore() + reason + WithoutBackupAfter();
}

Cp1251String BackupNotSaved(const std::string& path, const Utf8String& reason) {
    return BackupNotSavedBefore() + Raw(path + ": ") + cp1251::FromUtf8(reason) + '\n' +
           DeviceUnchanged();
}

Cp1251String FileWriteError(const std::string& reason) {
    return WriteErrorBefore() + Raw(reason);
}

Utf8String FailureReason(const Failure& failure) {
    switch (failure.kind) {
        case FailureKind::File:
            return Utf8String(SystemErrorText(failure.errorNumber));
        case FailureKind::Invalid:
            return Utf8String(failure.detail);
        default:
            return Utf8String();
    }
}

Utf8String FailureLine(const Failure& failure) {
    if (failure.path.empty()) return FailureReason(failure);
    return Utf8String(failure.path + ": " + FailureReason(failure).str());
}

Cp1251String FileFailureReason(FileStep step, const Failure& failure) {
    if (failure.kind == FailureKind::File && step == FileStep::NotSaved)
        return FileWriteError(SystemErrorText(failure.errorNumber));
    if (failure.kind == FailureKind::File) return Raw(SystemErrorText(failure.errorNumber));
    return cp1251::FromUtf8(FailureReason(failure));
}

Cp1251String FileFailure(FileStep step, const std::string& path, const Failure& failure) {
    return FileFailure(step, path, FileFailureReason(step, failure));
}

Cp1251String SerialPortProblem(const std::string& path, int error) {
    const Cp1251String text = PortWord() + Raw(path);
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return text + PortMissing();
        case EACCES:
        case EPERM:
            return text + PortDenied();
        case EBUSY:
        case EWOULDBLOCK:
            return text + PortBusy();
        case ENOTTY:
            return text + PortNotSerial();
        default:
            return text + PortOther() + Raw(SystemErrorText(error));
    }
}

Cp1251String SerialPortGone(const std::string& path) {
    return PortWord() + Raw(path) + PortGone();
}

Utf8String SerialPortToolTip(const SerialPortInfo& port, bool stableItem) {
    std::string text;
    auto add = [&text](const std::string& part) {
        if (!text.empty()) text += ", ";
        text += part;
    };
    if (!port.product.empty() && !port.vendor.empty())
        add(port.product + " (" + port.vendor + ")");
    else if (!port.product.empty() || !port.vendor.empty())
        add(port.product + port.vendor);
    if (!port.driver.empty()) add(TipDriver + port.driver);
    if (!port.usbId.empty()) add("USB " + port.usbId);
    if (!port.serial.empty()) add(TipSerial + port.serial);
    if (text.empty()) text = TipNothingKnown;
    if (port.byIdPath.empty()) return Utf8String(text);
    if (stableItem) return Utf8String(text + TipNowBefore + port.path + TipNowAfter);
    return Utf8String(text + TipStableBefore + port.byIdPath + TipStableAfter);
}

Cp1251String TcpPortOutOfRange(const std::string& value) {
    return TcpPortBefore() + Raw(value) + TcpPortAfter();
}

AroundPath SettingsNotSaved() {
    return {SettingsBefore(), SettingsAfter()};
}

AroundPath CatalogueNotFound() {
    return {CatalogueBefore(), CatalogueAfter()};
}

AroundPath CatalogueWhereWork() {
    static const Cp1251String none;
    return {CatalogueWhereBefore(), none};
}

AroundPath SavedTo() {
    static const Cp1251String none;
    return {SavedToBefore(), none};
}

AroundPath NoMainXmc() {
    return {NoMainXmcBefore(), NoMainXmcAfter()};
}

AroundPath HelpNotFound() {
    return {HelpBefore(), HelpNotFoundAfter()};
}

AroundPath HelpNotShown() {
    return {HelpBefore(), HelpNotShownAfter()};
}

namespace {

VR7_TEXT(NoAnswerFrom, "нет ответа от прибора № ")
VR7_TEXT(AttemptOne, " попытка по ")
VR7_TEXT(AttemptFew, " попытки по ")
VR7_TEXT(AttemptMany, " попыток по ")
VR7_TEXT(Milliseconds, " мс)")
VR7_TEXT(BadCheckIn, "неверная контрольная сумма в ответе прибора № ")
VR7_TEXT(DeviceWord, "прибор № ")
VR7_TEXT(RefusedCode, " отказал (код ")
VR7_TEXT(AnswerOf, "ответ прибора № ")
VR7_TEXT(Broken, " искажён или неполон")
VR7_TEXT(NoConnectionTo, "нет соединения с ")
VR7_TEXT(Refused, "соединение отклонено")
VR7_TEXT(TimedOut, "адрес не отвечает")
VR7_TEXT(LinkErrorWith, "ошибка связи с прибором № ")
VR7_TEXT(CodeWord, " (код ")
VR7_TEXT(RefusedWrite, " отказал в записи: включена защита (снимите EN_PR)")
VR7_TEXT(RefusedNoFile, " отказал: такого файла в приборе нет")
VR7_TEXT(NoEcho, "линия не возвращает запрос: выключите «эхо»")
VR7_TEXT(TwoAnswersBefore, "на номер ")
VR7_TEXT(TwoAnswersAfter, " отвечают два прибора (или линия повторяет ответ)")
VR7_TEXT(NoAnswerStepBefore, "Нет ответа: проверьте номер прибора (сейчас № ")
VR7_TEXT(NoAnswerStepAfter, ") и порт (меню «Настройки», пункт «Порт»).")
VR7_TEXT(BrokenAnswerStepBefore,
         "Ответ искажён: проверьте скорость порта, кабель и номер прибора (сейчас № ")
VR7_TEXT(StepEnd, ").")

#undef VR7_TEXT
#undef VR7_UTF8_TEXT

const Cp1251String& Attempts(int n) {
    const int tens = n % 100, ones = n % 10;
    if (tens >= 11 && tens <= 14) return AttemptMany();
    if (ones == 1) return AttemptOne();
    if (ones >= 2 && ones <= 4) return AttemptFew();
    return AttemptMany();
}

}  // namespace

Cp1251String NoAnswerCause(uint32_t deviceNumber, int attempts, unsigned timeoutMs) {
    return NoAnswerFrom() + Raw(std::to_string(deviceNumber) + " (" + std::to_string(attempts)) +
           Attempts(attempts) + Raw(std::to_string(timeoutMs)) + Milliseconds();
}

Cp1251String BadCheckCause(uint32_t deviceNumber) {
    return BadCheckIn() + Raw(std::to_string(deviceNumber));
}

Cp1251String RefusalCause(uint32_t deviceNumber, int code) {
    return DeviceWord() + Raw(std::to_string(deviceNumber)) + RefusedCode() +
           Raw(std::to_string(code) + ")");
}

Cp1251String BrokenAnswerCause(uint32_t deviceNumber) {
    return AnswerOf() + Raw(std::to_string(deviceNumber)) + Broken();
}

Cp1251String TcpConnectCause(const std::string& host, const std::string& port, int error) {
    Cp1251String reason;
    if (error == ECONNREFUSED)
        reason = Refused();
    else if (error == ETIMEDOUT)
        reason = TimedOut();
    else
        reason = Raw(SystemErrorText(error));
    return NoConnectionTo() + Raw(host + ":" + port + " (") + reason + ')';
}

Cp1251String LinkErrorCause(uint32_t deviceNumber, int code) {
    return LinkErrorWith() + Raw(std::to_string(deviceNumber)) + CodeWord() +
           Raw(std::to_string(code) + ")");
}

Cp1251String WriteProtectedCause(uint32_t deviceNumber) {
    return DeviceWord() + Raw(std::to_string(deviceNumber)) + RefusedWrite();
}

Cp1251String NoSuchFileCause(uint32_t deviceNumber) {
    return DeviceWord() + Raw(std::to_string(deviceNumber)) + RefusedNoFile();
}

const Cp1251String& NoEchoCause() {
    return NoEcho();
}

Cp1251String TwoAnswersCause(uint32_t deviceNumber) {
    return TwoAnswersBefore() + Raw(std::to_string(deviceNumber)) + TwoAnswersAfter();
}

Cp1251String NoAnswerStep(uint32_t deviceNumber) {
    return NoAnswerStepBefore() + Raw(std::to_string(deviceNumber)) + NoAnswerStepAfter();
}

Cp1251String BrokenAnswerStep(uint32_t deviceNumber) {
    return BrokenAnswerStepBefore() + Raw(std::to_string(deviceNumber)) + StepEnd();
}

Cp1251String CommandMessageText(const CommandMessage& message) {
    switch (message.kind) {
        case CommandMessageKind::None:
            return {};
        case CommandMessageKind::NotConnected:
            return NotConnected();
        case CommandMessageKind::SerialPortProblem:
            return NotConnected() + '\n' + SerialPortProblem(message.path, message.systemError);
        case CommandMessageKind::SerialPortGone:
            return NotConnected() + '\n' + SerialPortGone(message.path);
        case CommandMessageKind::TcpPortOutOfRange:
            return TcpPortOutOfRange(message.path);
        case CommandMessageKind::UnsupportedVersion:
            return UnsupportedVersion(message.info);
        case CommandMessageKind::ReadError:
            return ReadError();
        case CommandMessageKind::FileNotCreated:
            return FileFailure(FileStep::NotCreated, message.path, message.failure);
        case CommandMessageKind::FileNotWritten:
            return FileFailure(FileStep::NotWritten, message.path, message.failure);
        case CommandMessageKind::FileNotSaved:
            return FileFailure(FileStep::NotSaved, message.path, message.failure);
        case CommandMessageKind::FileNotOpened:
            return FileFailure(FileStep::NotOpened, message.path, message.failure);
        case CommandMessageKind::EmptyList:
            return EmptyList();
        case CommandMessageKind::Stored:
            return Stored();
        case CommandMessageKind::StoreCancelled:
            return StoreCancelled();
        case CommandMessageKind::WriteProtected:
            return WriteProtected();
        case CommandMessageKind::StoreBroken:
            return StoreBroken();
        case CommandMessageKind::BackupNotSaved:
            return BackupNotSaved(message.path, FailureReason(message.failure));
        case CommandMessageKind::BackupNotRead:
            return BackupNotRead();
    }
    return {};
}

Cp1251String NextStepText(const NextStepAdvice& next) {
    switch (next.kind) {
        case NextStepKind::None:
            return {};
        case NextStepKind::SettingsIncomplete:
            return DeviceSettingsIncomplete();
        case NextStepKind::UpdateFirmware:
            return UpdateFirmwareStep();
        case NextStepKind::ReadAgain:
            return ReadAgainStep();
        case NextStepKind::FixTcpPort:
            return FixTcpPortStep();
        case NextStepKind::CheckTcpLink:
            return TcpConnectStep();
        case NextStepKind::CheckNumber:
            return NoAnswerStep(next.deviceNumber);
        case NextStepKind::CheckLineSpeed:
            return BrokenAnswerStep(next.deviceNumber);
    }
    return {};
}

Cp1251String CommandMessageWithStep(const CommandMessage& message, const NextStepAdvice& next) {
    Cp1251String text = CommandMessageText(message);
    if (text.empty()) return text;
    if (const Cp1251String step = NextStepText(next); !step.empty()) text = text + '\n' + step;
    return text;
}

Cp1251String FailureCauseText(const FailureCauseFacts& cause) {
    const uint32_t number = cause.deviceNumber;
    switch (cause.kind) {
        case FailureCauseKind::None:
            return {};
        case FailureCauseKind::NoAnswer:
            return NoAnswerCause(number, cause.attempts, cause.timeoutMs);
        case FailureCauseKind::BadCheck:
            return BadCheckCause(number);
        case FailureCauseKind::BrokenAnswer:
            return BrokenAnswerCause(number);
        case FailureCauseKind::NoEcho:
            return NoEchoCause();
        case FailureCauseKind::TwoAnswers:
            return TwoAnswersCause(number);
        case FailureCauseKind::WriteProtected:
            return WriteProtectedCause(number);
        case FailureCauseKind::NoSuchFile:
            return NoSuchFileCause(number);
        case FailureCauseKind::Refusal:
            return RefusalCause(number, cause.code);
        case FailureCauseKind::TcpConnect:
            return TcpConnectCause(cause.host, cause.port, cause.systemError);
        case FailureCauseKind::SerialPortProblem:
            return SerialPortProblem(cause.port, cause.systemError);
        case FailureCauseKind::SerialPortGone:
            return SerialPortGone(cause.port);
        case FailureCauseKind::LinkError:
            return LinkErrorCause(number, cause.code);
    }
    return {};
}

const std::vector<NamedText>& AllTexts() {
    return Registry();
}

}  // namespace usertext

namespace usertext {
namespace {

// A text of the exchange log, UTF-8, listed in AllTexts.
#define VR7_LOG_TEXT(name, utf8)                            \
    static const bool name##Listed = Register(#name, utf8); \
    constexpr const char* name = utf8;

VR7_LOG_TEXT(LogIncompleteHeader, "неполный заголовок")
VR7_LOG_TEXT(LogLengthWord, "длина ")
VR7_LOG_TEXT(LogTooLong, " слишком велика")
VR7_LOG_TEXT(LogIncompleteBefore, "неполный (")
VR7_LOG_TEXT(LogOf, " из ")
VR7_LOG_TEXT(LogBytes, " байт)")
VR7_LOG_TEXT(LogCheckBad, "контроль НЕВЕРЕН")
VR7_LOG_TEXT(LogCheckOk, "контроль верен")
VR7_LOG_TEXT(LogIdentify, "идентификация")
VR7_LOG_TEXT(LogOpenFile, "открытие файла")
VR7_LOG_TEXT(LogReadBlock, "чтение блока")
VR7_LOG_TEXT(LogWriteBlock, "запись блока")
VR7_LOG_TEXT(LogReadEntry, "чтение записи")
VR7_LOG_TEXT(LogReadHeader, "чтение заголовка")
VR7_LOG_TEXT(LogCommand, "команда ")
VR7_LOG_TEXT(LogRefusal, "отказ ")
VR7_LOG_TEXT(LogAnyDevice, ", любой прибор")
VR7_LOG_TEXT(LogDevice, ", прибор № ")
VR7_LOG_TEXT(LogLength, ", длина ")
VR7_LOG_TEXT(LogEntry, ", запись ")
VR7_LOG_TEXT(LogSameBlock, ", тот же блок снова")
VR7_LOG_TEXT(LogNextBlock, ", следующий блок")
VR7_LOG_TEXT(LogPosition, ", позиция ")
VR7_LOG_TEXT(LogForReading, ", для чтения \"")
VR7_LOG_TEXT(LogForWriting, ", для записи \"")
VR7_LOG_TEXT(LogSize, ", размер ")
VR7_LOG_TEXT(LogResultWord, "результат ")
VR7_LOG_TEXT(LogOk, "успешно")
VR7_LOG_TEXT(LogUnacknowledged, "блок файла не подтверждён, или локальный файл не прочитан")
VR7_LOG_TEXT(LogBadArgument, "отказ: прибор не открыл файл, или неверный аргумент")
VR7_LOG_TEXT(LogNotOpen, "канал не открыт (порт или адрес не удалось открыть)")
VR7_LOG_TEXT(LogLockFailed, "соединение занято")
VR7_LOG_TEXT(LogNoLinkObject, "канал не создан")
VR7_LOG_TEXT(LogShortWrite, "запрос записан не полностью")
VR7_LOG_TEXT(LogTcpTimeout, "нет ответа в срок по TCP")
VR7_LOG_TEXT(LogBadCheck, "неверные контрольные байты ответа")
VR7_LOG_TEXT(LogBadTcpPort, "порт TCP (TCPIPport) не число от 1 до 65535")
VR7_LOG_TEXT(LogSystemError, "ошибка ввода-вывода в канале")
VR7_LOG_TEXT(LogCancelled, "прервано пользователем")
VR7_LOG_TEXT(LogNoAnswer, "нет ответа")
VR7_LOG_TEXT(LogBadLength, "ответ неверной длины или оборван")
VR7_LOG_TEXT(LogIncomplete,
             "передача неполна: блоки файла не сходятся с размером, который назвал прибор")
VR7_LOG_TEXT(LogFileTooLarge, "прибор называет файл больше 8 МиБ: не прочитан")
VR7_LOG_TEXT(LogGarbled, "ответ не того вида, что у команды (длина или поля)")
VR7_LOG_TEXT(LogNoEcho, "линия не вернула запрос (эхо)")
VR7_LOG_TEXT(LogTwoAnswers, "на один запрос пришли два ответа")
VR7_LOG_TEXT(LogEcho, "эхо запроса")
VR7_LOG_TEXT(LogGetState, "не прочитаны настройки последовательного порта")
VR7_LOG_TEXT(LogSetState, "не применены настройки последовательного порта (скорость?)")
VR7_LOG_TEXT(LogSetMask, "не установлена маска событий последовательного порта")
VR7_LOG_TEXT(LogPortGone, "порт исчез (адаптер отключён?): ")
VR7_LOG_TEXT(LogPeerClosed, "канал не открыт: прибор закрыл соединение")
VR7_LOG_TEXT(LogRefusalCode, "прибор ответил этим кодом отказа")
VR7_LOG_TEXT(LogUnknown, "неизвестный результат")
VR7_LOG_TEXT(LogNotTerminal, " (не терминал, значит не последовательный порт)")
VR7_LOG_TEXT(LogLinkWord, "связь: ")
VR7_LOG_TEXT(LogPortWord, "порт ")
VR7_LOG_TEXT(LogBaud, " бод")
VR7_LOG_TEXT(LogExchange, "обмен: ")
VR7_LOG_TEXT(LogOutcome, "итог: ")
VR7_LOG_TEXT(LogNotOpened, "связь не открыта: ")
VR7_LOG_TEXT(LogDialout, " (состоит ли пользователь в группе dialout?)")

#undef VR7_LOG_TEXT

const char* LogExplanation(LinkResult result) {
    switch (result) {
        case lr::Ok:
            return LogOk;
        case lr::Unacknowledged:
            return LogUnacknowledged;
        case lr::BadArgument:
            return LogBadArgument;
        case lr::NotOpen:
            return LogNotOpen;
        case lr::LockFailed:
            return LogLockFailed;
        case lr::NoLinkObject:
            return LogNoLinkObject;
        case lr::ShortWrite:
            return LogShortWrite;
        case lr::TcpTimeout:
            return LogTcpTimeout;
        case lr::BadCheck:
            return LogBadCheck;
        case lr::BadTcpPort:
            return LogBadTcpPort;
        case lr::SystemError:
            return LogSystemError;
        case lr::Cancelled:
            return LogCancelled;
        case lr::NoAnswer:
            return LogNoAnswer;
        case lr::BadLength:
            return LogBadLength;
        case lr::Incomplete:
            return LogIncomplete;
        case lr::FileTooLarge:
            return LogFileTooLarge;
        case lr::Garbled:
            return LogGarbled;
        case lr::NoEcho:
            return LogNoEcho;
        case lr::TwoAnswers:
            return LogTwoAnswers;
        case lr::GetStateFailed:
            return LogGetState;
        case lr::SetStateFailed:
            return LogSetState;
        case lr::SetMaskFailed:
            return LogSetMask;
        default:
            return LogUnknown;
    }
}

const char* LogCommandName(uint8_t command) {
    switch (command) {
        case cmdIdentify:
            return LogIdentify;
        case cmdOpenFile:
            return LogOpenFile;
        case cmdReadBlock:
            return LogReadBlock;
        case cmdWriteBlock:
            return LogWriteBlock;
        case cmdReadEntry:
            return LogReadEntry;
        case cmdReadHeader:
            return LogReadHeader;
        default:
            return "";
    }
}

}  // namespace
}  // namespace usertext

namespace logtext {

using namespace usertext;

std::string FrameCheck(const FrameFacts& f) {
    switch (f.check) {
        case FrameFacts::Check::IncompleteHeader:
            return LogIncompleteHeader;
        case FrameFacts::Check::TooLong:
            return LogLengthWord + std::to_string(f.whole) + LogTooLong;
        case FrameFacts::Check::Incomplete:
            return LogIncompleteBefore + std::to_string(f.length) + LogOf +
                   std::to_string(f.whole) + LogBytes;
        case FrameFacts::Check::Bad:
            return LogCheckBad;
        case FrameFacts::Check::Ok:
            break;
    }
    return LogCheckOk;
}

const char* EchoLine() {
    return LogEcho;
}

std::string FrameSummary(const FrameFacts& f) {
    if (!f.header) return std::string();
    std::string text;
    switch (f.kind) {
        case FrameFacts::Kind::Command:
            text = LogCommandName(f.command);
            break;
        case FrameFacts::Kind::OtherCommand:
            text = LogCommand + std::to_string(f.command);
            break;
        case FrameFacts::Kind::Refusal:
            text = LogRefusal + std::to_string(f.command);
            break;
    }
    text += f.anyDevice ? std::string(LogAnyDevice) : LogDevice + std::to_string(f.device);
    text += LogLength + std::to_string(f.dataLength);
    switch (f.detail) {
        case FrameFacts::Detail::None:
            break;
        case FrameFacts::Detail::Entry:
            text += LogEntry + std::to_string(f.value);
            break;
        case FrameFacts::Detail::SameBlockAgain:
            text += LogSameBlock;
            break;
        case FrameFacts::Detail::NextBlock:
            text += LogNextBlock;
            break;
        case FrameFacts::Detail::Position:
            text += LogPosition + std::to_string(f.value);
            break;
        case FrameFacts::Detail::OpenForReading:
            text += LogForReading + f.name + '"';
            break;
        case FrameFacts::Detail::OpenForWriting:
            text += LogForWriting + f.name + '"';
            break;
        case FrameFacts::Detail::Size:
            text += LogSize + std::to_string(f.value);
            break;
    }
    return text;
}

std::string Result(LinkResult result, int systemError) {
    const ResultFacts facts = DescribeResult(result, systemError);
    std::string text = LogResultWord + std::to_string(result) + ": ";
    switch (facts.kind) {
        case ResultFacts::Kind::PortGone:
            return text + LogPortGone + SystemErrorText(systemError);
        case ResultFacts::Kind::PeerClosed:
            return text + LogPeerClosed;
        case ResultFacts::Kind::Known:
            text += LogExplanation(result);
            break;
        case ResultFacts::Kind::Refusal:
            return text + LogRefusalCode;
        case ResultFacts::Kind::Unknown:
            return text + LogUnknown;
    }
    switch (facts.note) {
        case ResultFacts::Note::None:
            break;
        case ResultFacts::Note::NotTerminal:
            text += LogNotTerminal;
            break;
        case ResultFacts::Note::SystemError:
            text += " (" + SystemErrorText(systemError) + ")";
            break;
    }
    return text;
}

std::string TcpLink(const std::string& host, const std::string& port) {
    return std::string(LogLinkWord) + "TCP " + host + ":" + port;
}

std::string SerialLink(const std::string& port, uint32_t speed) {
    return std::string(LogLinkWord) + LogPortWord + port + ", " + std::to_string(speed) + LogBaud;
}

std::string Exchange(LinkResult result, int systemError) {
    return LogExchange + Result(result, systemError);
}

std::string Outcome(LinkResult result, int systemError) {
    return LogOutcome + Result(result, systemError);
}

std::string NotOpened(LinkResult result, int systemError) {
    return LogNotOpened + Result(result, systemError);
}

std::string DialoutHint() {
    return LogDialout;
}

}  // namespace logtext

namespace reporttext {

std::string NoDeviceFile(const std::string& name) {
    return "the device has no " + name;
}

std::string Mismatch(const std::string& name, const std::string& local, size_t at,
                     size_t expectedSize, size_t deviceSize) {
    return "the device's " + name + " differs from " + local + " at offset " + std::to_string(at) +
           " (expected " + std::to_string(expectedSize) + " bytes, the device holds " +
           std::to_string(deviceSize) + ")";
}

std::string Same(const std::string& name, const std::string& local, size_t size) {
    return "the device's " + name + " is the same as " + local + " (" + std::to_string(size) +
           " bytes)";
}

std::string StoredCopy(const std::string& path) {
    return "the stored copy " + path;
}

std::string Identified(const DeviceInfo& info) {
    return "version " + info.VersionText() + ", number " + std::to_string(info.DeviceNumber());
}

std::string TreeAndFile(size_t treeLines, bool found, size_t fileSize) {
    const std::string tree = "tree of " + std::to_string(treeLines) + " lines, ";
    if (!found) return tree + NoDeviceFile("duxgate.cfg");
    return tree + "duxgate.cfg " + std::to_string(fileSize) + " bytes";
}

std::string BackupKept(const std::string& path, size_t size) {
    return "backup of duxgate.cfg, " + std::to_string(size) + " bytes: " + path;
}

const std::string& NothingToBackUp() {
    static const std::string text = "no backup: the device had no duxgate.cfg";
    return text;
}

std::string StoredAndVerified(size_t size) {
    return "stored and verified, " + std::to_string(size) + " bytes";
}

std::string Identical(size_t size) {
    return "identical, " + std::to_string(size) + " bytes";
}

std::string CheckDownloadFailed(const std::string& name) {
    return "the check download of " + name + " failed";
}

const std::string& NoPlaceForWorkingCopy() {
    static const std::string text = "no place for the working copy";
    return text;
}

std::string FolderIsLink(const std::string& path) {
    return path + " is a symbolic link: a device's folder is never followed";
}

}  // namespace reporttext

namespace htmltext {

// A text of the printable reports, UTF-8, listed in AllTexts.
#define VR7_HTML_TEXT(name, utf8)                                            \
    static const bool name##Listed = usertext::Register("Html" #name, utf8); \
    const char* name() {                                                     \
        return utf8;                                                         \
    }

VR7_HTML_TEXT(StoreTitle, "Отчёт о сохранении настроек шлюза в VR-7")
VR7_HTML_TEXT(DeviceNumber, "Номер прибора")
VR7_HTML_TEXT(Firmware, "Версия встроенного ПО")
VR7_HTML_TEXT(Port, "Порт")
VR7_HTML_TEXT(When, "Дата и время")
VR7_HTML_TEXT(User, "Пользователь")
VR7_HTML_TEXT(Backup, "Резервная копия")
VR7_HTML_TEXT(NoBackup, "резервная копия не делалась")
VR7_HTML_TEXT(StoredList, "Сохранённый список SNVT переменных")
VR7_HTML_TEXT(EmptyStoredList, "список пуст")
VR7_HTML_TEXT(Store, "Сохранение")
VR7_HTML_TEXT(StoreNotDone, "не проводилось")
VR7_HTML_TEXT(Verification, "Проверка")
VR7_HTML_TEXT(VerifyNotDone, "не проводилась")
VR7_HTML_TEXT(VerifyIdentical, "✔ Успешно: настройки в приборе совпадают со списком")
VR7_HTML_TEXT(VerifyDiffersBefore, "✘ Ошибка: настройки в приборе отличаются, начиная с байта ")
VR7_HTML_TEXT(VerifyFailedBefore, "✘ Ошибка: проверка не выполнена: ")
VR7_HTML_TEXT(Baud, " бод")
VR7_HTML_TEXT(SiteTitle, "Отчёт о работе с приборами объекта")
VR7_HTML_TEXT(Action, "Действие")
VR7_HTML_TEXT(ActionInfo, "опрос")
VR7_HTML_TEXT(ActionRead, "чтение")
VR7_HTML_TEXT(ActionStore, "сохранение")
VR7_HTML_TEXT(ActionVerify, "проверка")
VR7_HTML_TEXT(Summary, "Итог")
VR7_HTML_TEXT(Devices, "Приборов")
VR7_HTML_TEXT(Succeeded, "Успешно")
VR7_HTML_TEXT(Failed, "С ошибкой")
VR7_HTML_TEXT(ByCause, "Ошибки по причинам")
VR7_HTML_TEXT(NoFailures, "ошибок нет")
VR7_HTML_TEXT(Count, "Количество")
VR7_HTML_TEXT(Cause, "Причина")
VR7_HTML_TEXT(Code, "Код")
VR7_HTML_TEXT(Name, "Имя")
VR7_HTML_TEXT(Endpoint, "Подключение")
VR7_HTML_TEXT(Number, "Номер")
VR7_HTML_TEXT(Version, "Версия")
VR7_HTML_TEXT(Result, "Результат")
VR7_HTML_TEXT(Message, "Сообщение")
VR7_HTML_TEXT(Seconds, "Время, с")
VR7_HTML_TEXT(BytesSent, "Отправлено, байт")
VR7_HTML_TEXT(BytesReceived, "Принято, байт")
VR7_HTML_TEXT(ClassSuccess, "✔ Успешно")
VR7_HTML_TEXT(ClassLink, "✘ Ошибка связи")
VR7_HTML_TEXT(ClassRefusal, "✘ Отказ прибора")
VR7_HTML_TEXT(ClassTooOld, "⚠ Устаревшее ПО")
VR7_HTML_TEXT(ClassMismatch, "≠ Расхождение")
VR7_HTML_TEXT(ClassLocalFile, "✘ Ошибка локального файла")
VR7_HTML_TEXT(ClassCancelled, "— Отменено")

VR7_HTML_TEXT(ReportCommand, "Отчёт…")
VR7_HTML_TEXT(VerifyCommand, "Проверить настройки в VR-7")
VR7_HTML_TEXT(ReportDialogTitle, "Отчёт")
VR7_HTML_TEXT(PrintButton, "Печать…")
VR7_HTML_TEXT(SavePdfButton, "Сохранить PDF…")
VR7_HTML_TEXT(SaveHtmlButton, "Сохранить HTML…")
VR7_HTML_TEXT(CloseButton, "Закрыть")
VR7_HTML_TEXT(PdfFilter, "Документ PDF (*.pdf)")
VR7_HTML_TEXT(HtmlFilter, "Страница HTML (*.html)")
VR7_HTML_TEXT(HtmlSaveFailed, "Отчёт не сохранён: ")

}  // namespace htmltext

namespace storetext {

// A text of the store's safeguards, UTF-8, listed in AllTexts.
#define VR7_STORE_TEXT(name, utf8)                                            \
    static const bool name##Listed = usertext::Register("Store" #name, utf8); \
    const char* name() {                                                      \
        return utf8;                                                          \
    }

VR7_STORE_TEXT(BackupSetting, "Резервная копия перед сохранением")
VR7_STORE_TEXT(PreviewSetting, "Показывать изменения перед сохранением")
VR7_STORE_TEXT(RestoreCommand, "Восстановить из резервной копии…")
VR7_STORE_TEXT(PreviewTitle, "Изменения в VR-7")
VR7_STORE_TEXT(RestoreTitle, "Восстановление из резервной копии")
VR7_STORE_TEXT(RestoreButton, "Записать в VR-7")
VR7_STORE_TEXT(CancelButton, "Отмена")
VR7_STORE_TEXT(YesButton, "Да")
VR7_STORE_TEXT(NoButton, "Нет")
VR7_STORE_TEXT(DeviceColumn, "Прибор")
VR7_STORE_TEXT(TakenColumn, "Дата и время")
VR7_STORE_TEXT(SizeColumn, "Размер, байт")
VR7_STORE_TEXT(VariablesColumn, "Переменных")
VR7_STORE_TEXT(NoBackups, "Резервных копий нет: папка ")
VR7_STORE_TEXT(Unreadable, "не читается: ")
VR7_STORE_TEXT(AddedBefore, "добавлена «")
VR7_STORE_TEXT(AddedAt, "» в строку ")
VR7_STORE_TEXT(RemovedBefore, "удалена «")
VR7_STORE_TEXT(RemovedFrom, "» из строки ")
VR7_STORE_TEXT(MovedBefore, "перемещена «")
VR7_STORE_TEXT(MovedFrom, "» из строки ")
VR7_STORE_TEXT(MovedTo, " в строку ")
VR7_STORE_TEXT(ChangedBefore, "изменена «")
VR7_STORE_TEXT(AlsoChanged, "; изменено: ")
VR7_STORE_TEXT(NoValue, "нет")
VR7_STORE_TEXT(SummaryBefore, "Сохранение изменит настройки в VR-7 № ")
VR7_STORE_TEXT(SummaryAdded, ": добавлено ")
VR7_STORE_TEXT(SummaryRemoved, ", удалено ")
VR7_STORE_TEXT(SummaryMoved, ", перемещено ")
VR7_STORE_TEXT(SummaryChanged, ", изменено ")
VR7_STORE_TEXT(StoreQuestion, "Записать список в VR-7?")
VR7_STORE_TEXT(SameBefore, "Настройки в VR-7 № ")
VR7_STORE_TEXT(SameAfter, " уже совпадают со списком: сохранять нечего. Записать всё равно?")
VR7_STORE_TEXT(NoFileBefore, "В VR-7 № ")
VR7_STORE_TEXT(NoFileAfter, " нет файла настроек шлюза: все переменные списка будут добавлены.")
VR7_STORE_TEXT(UnreadableBefore, "Файл настроек шлюза в VR-7 не читается как список (")
VR7_STORE_TEXT(UnreadableAfter, "): он будет заменён целиком.")
VR7_STORE_TEXT(BackupKeptBefore, "Резервная копия: ")
VR7_STORE_TEXT(BackupOff, "Резервная копия не делалась (отключена в меню «Настройки»).")
VR7_STORE_TEXT(NothingToBackUp, "В приборе не было файла настроек шлюза: копировать нечего.")
VR7_STORE_TEXT(StoreDeclined, "Сохранение в VR-7 не выполнялось.")
VR7_STORE_TEXT(RestoredFrom, "Восстановлено из ")

std::string NoBackupsIn(const std::string& folder) {
    return std::string(NoBackups()) + folder;
}

std::string Added(const std::string& name, size_t row, const std::string& columns) {
    return AddedBefore() + name + AddedAt() + std::to_string(row) + ": " + columns;
}

std::string Removed(const std::string& name, size_t row) {
    return RemovedBefore() + name + RemovedFrom() + std::to_string(row);
}

std::string Moved(const std::string& name, size_t from, size_t to) {
    return MovedBefore() + name + MovedFrom() + std::to_string(from) + MovedTo() +
           std::to_string(to);
}

std::string Changed(const std::string& name) {
    return ChangedBefore() + name + "»: ";
}

std::string Summary(uint32_t device, size_t added, size_t removed, size_t moved, size_t changed) {
    return SummaryBefore() + std::to_string(device) + SummaryAdded() + std::to_string(added) +
           SummaryRemoved() + std::to_string(removed) + SummaryMoved() + std::to_string(moved) +
           SummaryChanged() + std::to_string(changed) + ".";
}

std::string SameQuestion(uint32_t device) {
    return SameBefore() + std::to_string(device) + SameAfter();
}

std::string NoDeviceFile(uint32_t device) {
    return NoFileBefore() + std::to_string(device) + NoFileAfter();
}

std::string DeviceFileUnreadable(const std::string& reason) {
    return UnreadableBefore() + reason + UnreadableAfter();
}

std::string BackupKept(const std::string& path) {
    return BackupKeptBefore() + path;
}

std::string Restored(const std::string& path) {
    return RestoredFrom() + path;
}

}  // namespace storetext
