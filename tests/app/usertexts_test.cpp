// Every text the user sees, written out once: each text function's words for a sample of what it
// is told, the device commands' messages, next steps and causes for each of their outcomes, and
// the exchange log's words for each result and frame. Every other test takes its texts from
// app/messages; this table alone says what they read, so that no text changes unnoticed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "app/messages.h"
#include "link/frametext.h"
#include "link/serialports.h"
#include "link/vr7frame.h"
#include "link/vr7types.h"

namespace {

using usertext::FileStep;

// The texts in UTF-8, whatever their type.
std::string U(const Cp1251String& text) {
    return cp1251::ToUtf8(text);
}
std::string U(const Utf8String& text) {
    return text.str();
}
std::string U(const std::string& text) {
    return text;
}
std::string U(const char* text) {
    return text;
}

DeviceInfo Info() {
    DeviceInfo info;
    info.Bytes[2] = 31;  // build 31, version 2.5
    info.Bytes[4] = 5;
    info.Bytes[5] = 2;
    info.Bytes[21] = 12;  // number 12
    return info;
}

SerialPortInfo Ftdi() {
    SerialPortInfo port;
    port.path = "/dev/ttyUSB0";
    port.byIdPath = "/dev/serial/by-id/usb-FTDI-if00-port0";
    port.driver = "ftdi_sio";
    port.vendor = "FTDI";
    port.product = "FT232R USB UART";
    port.usbId = "0403:6001";
    port.serial = "A50285BI";
    return port;
}

SerialPortInfo Uart() {
    SerialPortInfo port;
    port.path = "/dev/ttyS0";
    port.driver = "serial8250";
    return port;
}

// A command's message of kind with what it names.
CommandMessage Message(CommandMessageKind kind) {
    CommandMessage message;
    message.kind = kind;
    const bool serial =
        kind == CommandMessageKind::SerialPortProblem || kind == CommandMessageKind::SerialPortGone;
    message.path = kind == CommandMessageKind::TcpPortOutOfRange ? "75537"
                   : serial                                      ? "/dev/ttyUSB0"
                                                                 : "/w/duxgate.cfg";
    message.systemError = ENOENT;
    message.failure = Failure::OfFile(message.path, EACCES);
    message.info = Info();
    return message;
}

// A failure's cause of kind, for device 5.
FailureCauseFacts Cause(FailureCauseKind kind) {
    FailureCauseFacts cause;
    cause.kind = kind;
    cause.deviceNumber = 5;
    cause.attempts = 3;
    cause.timeoutMs = 800;
    cause.code = kind == FailureCauseKind::LinkError ? 1020 : 3;
    cause.host = "127.0.0.1";
    cause.port = kind == FailureCauseKind::TcpConnect ? "10001" : "/dev/ttyUSB0";
    cause.systemError = kind == FailureCauseKind::TcpConnect ? ECONNREFUSED : EBUSY;
    return cause;
}

// A frame's facts as the exchange log is told them: checked as check, a command's header with
// detail.
FrameFacts Frame(FrameFacts::Check check, FrameFacts::Kind kind = FrameFacts::Kind::Command,
                 uint8_t command = cmdReadEntry,
                 FrameFacts::Detail detail = FrameFacts::Detail::None) {
    FrameFacts facts;
    facts.check = check;
    facts.length = 5;
    facts.whole = 9;
    facts.header = true;
    facts.kind = kind;
    facts.command = command;
    facts.device = 12;
    facts.dataLength = 2;
    facts.detail = detail;
    facts.value = 3;
    facts.name = "duxgate.cfg";
    return facts;
}

FrameFacts AnyDevice() {
    FrameFacts facts = Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command, cmdIdentify);
    facts.anyDevice = true;
    return facts;
}

struct Pinned {
    const char* call;
    std::string text;
    const char* utf8;
};

#define PIN(call, utf8)      \
    Pinned {                 \
#call, U(call), utf8 \
    }

const std::vector<Pinned>& Table() {
    static const std::vector<Pinned> table = {
        PIN(usertext::NoConfiguration(), "Конфигурация VR-7 не обнаружена"),
        PIN(usertext::EmptyList(), "Список SNVT переменных пуст!"),
        PIN(usertext::NotConnected(), "VR-7 не подключен!!!"),
        PIN(usertext::ReadError(), "Ошибка чтения!!!"),
        PIN(usertext::Stored(), "Настройки Tervon шлюза сохраненены"),
        PIN(usertext::WriteProtected(),
            "Для сохранения настроек Tervon шлюза в VR-7,\nнеобходимо снять защиту (EN_PR)!!!"),
        PIN(usertext::StoreBroken(), "Сохранение настроек Tervon шлюза прервано!!!"),
        PIN(usertext::StoreCancelled(), "Сохранение настроек Tervon шлюза отменено!"),
        PIN(usertext::BackupNotRead(),
            "Настройки шлюза не прочитаны из VR-7 для резервной копии!!!\nНастройки в VR-7 не "
            "изменены."),
        PIN(usertext::BackupEmpty(), "файл пуст"),
        PIN(usertext::BackupNoRows(), "в файле нет ни одной строки настроек шлюза"),
        PIN(usertext::QtTranslationsMissing(),
            "Стандартные диалоги на английском: не установлены переводы Qt (пакет "
            "qt6-translations-l10n)"),
        PIN(usertext::ReadCancelledStatus(), "Чтение прервано пользователем"),
        PIN(usertext::StoreCancelledStatus(), "Запись прервана пользователем"),
        PIN(usertext::DeviceSettingsIncomplete(),
            "Настройки шлюза в приборе могут быть неполными: повторите сохранение в VR-7."),
        PIN(usertext::LeaveUnsaved(),
            "Список SNVT переменных изменён и не сохранён.\nВыйти без сохранения?"),
        PIN(usertext::OpenUnsaved(),
            "Список SNVT переменных изменён и не сохранён.\nОткрыть другую папку без сохранения?"),
        PIN(usertext::ReadUnsaved(),
            "Список SNVT переменных изменён и не сохранён.\nПрочитать из VR-7 без сохранения?"),
        PIN(usertext::StoreStepStatus(usertext::StoreStepKind::Download, 0, 2),
            "Шаг 1 из 2. Чтение настроек из VR-7"),
        PIN(usertext::StoreStepStatus(usertext::StoreStepKind::Upload, 1, 2),
            "Шаг 2 из 2. Запись настроек в VR-7"),
        PIN(usertext::UploadNotCancelled(),
            "Запись в VR-7 началась и будет доведена до конца: прибор не должен остаться с частью "
            "настроек"),
        PIN(usertext::MissingQtText("QAbstractFileIconProvider", "Folder"), "Папка"),
        PIN(usertext::MissingQtText("QAbstractFileIconProvider", "%1 File"), "Файл %1"),
        PIN(usertext::NoVr7InPath(),
            "В пути к папке нет \"vr7_\": папка конфигурации VR-7 называется vr7_<номер прибора> "
            "(например, vr7_12) и содержит папку CONFIG с файлом main.xmc."),
        PIN(usertext::CatalogueNotFound().before,
            "Не найден каталог SNVT переменных calcbank.xml.\nФайл искали здесь: "),
        PIN(usertext::CatalogueNotFound().after,
            "\nБез каталога переменные в список добавить нельзя."),
        PIN(usertext::CatalogueWhereWork().before, "\nПоложите calcbank.xml в рабочую папку ("),
        PIN(usertext::CatalogueWhereWork().after, ""),
        PIN(usertext::CatalogueWhereData(), ") или в папку данных программы ("),
        PIN(usertext::CatalogueWhereEnd(), ")."),
        PIN(usertext::SavedTo().before, "Сохранено в "),
        PIN(usertext::SavedTo().after, ""),
        PIN(usertext::NoMainXmc().before, "В папке "),
        PIN(usertext::NoMainXmc().after,
            " нет файла main.xmc: папка конфигурации VR-7 (vr7_<номер прибора>) содержит папку "
            "CONFIG с файлом main.xmc и файлами систем."),
        PIN(usertext::SettingsNotSaved().before, "Настройки программы не сохранены: файл "),
        PIN(usertext::SettingsNotSaved().after, " не удалось записать."),
        PIN(usertext::HelpNotFound().before, "Файл справки "),
        PIN(usertext::HelpNotFound().after, " не найден."),
        PIN(usertext::HelpNotShown().before, "Файл справки "),
        PIN(usertext::HelpNotShown().after,
            " не удалось открыть: нет программы для его просмотра."),
        PIN(usertext::FileFailureBefore(), "Файл "),
        PIN(usertext::DeletingChecked(), "удаление выбранных переменных"),
        PIN(usertext::DeletingRow(), "Удаляю "),
        PIN(usertext::TypeNotF(), "в поле \"Type\" не \"F\""),
        PIN(usertext::FlagsTypeNotB(), "поле \"Type\" флагов не начинается с \"B\""),
        PIN(usertext::ExportList(), "Экспорт списка…"),
        PIN(usertext::ExportListHint(), "Сохранить SNVT список в CSV для интегратора LON"),
        PIN(usertext::ExportListFilter(), "Таблица CSV (*.csv)"),
        PIN(usertext::NoEchoCause(), "линия не возвращает запрос: выключите «эхо»"),
        PIN(usertext::TcpConnectStep(),
            "Нет соединения: проверьте IP-адрес и порт TCP/IP (меню «Настройки», пункт «Порт») и "
            "питание прибора."),
        PIN(usertext::ReadAgainStep(),
            "Повторите чтение; если ошибка повторится, проверьте кабель и скорость порта."),
        PIN(usertext::UpdateFirmwareStep(),
            "Обновите встроенное ПО прибора: нужна сборка 32 или новее."),
        PIN(usertext::FixTcpPortStep(), "Исправьте его в меню «Настройки», пункт «Порт»."),
        PIN(reporttext::NothingToBackUp(), "no backup: the device had no duxgate.cfg"),
        PIN(reporttext::NoPlaceForWorkingCopy(), "no place for the working copy"),
        PIN(logtext::EchoLine(), "эхо запроса"),
        PIN(logtext::DialoutHint(), " (состоит ли пользователь в группе dialout?)"),
        PIN(htmltext::StoreTitle(), "Отчёт о сохранении настроек шлюза в VR-7"),
        PIN(htmltext::DeviceNumber(), "Номер прибора"),
        PIN(htmltext::Firmware(), "Версия встроенного ПО"),
        PIN(htmltext::Port(), "Порт"),
        PIN(htmltext::When(), "Дата и время"),
        PIN(htmltext::User(), "Пользователь"),
        PIN(htmltext::Backup(), "Резервная копия"),
        PIN(htmltext::NoBackup(), "резервная копия не делалась"),
        PIN(htmltext::StoredList(), "Сохранённый список SNVT переменных"),
        PIN(htmltext::EmptyStoredList(), "список пуст"),
        PIN(htmltext::Store(), "Сохранение"),
        PIN(htmltext::StoreNotDone(), "не проводилось"),
        PIN(htmltext::Verification(), "Проверка"),
        PIN(htmltext::VerifyNotDone(), "не проводилась"),
        PIN(htmltext::VerifyIdentical(), "✔ Успешно: настройки в приборе совпадают со списком"),
        PIN(htmltext::VerifyDiffersBefore(),
            "✘ Ошибка: настройки в приборе отличаются, начиная с байта "),
        PIN(htmltext::VerifyFailedBefore(), "✘ Ошибка: проверка не выполнена: "),
        PIN(htmltext::Baud(), " бод"),
        PIN(htmltext::SiteTitle(), "Отчёт о работе с приборами объекта"),
        PIN(htmltext::Action(), "Действие"),
        PIN(htmltext::ActionInfo(), "опрос"),
        PIN(htmltext::ActionRead(), "чтение"),
        PIN(htmltext::ActionStore(), "сохранение"),
        PIN(htmltext::ActionVerify(), "проверка"),
        PIN(htmltext::Summary(), "Итог"),
        PIN(htmltext::Devices(), "Приборов"),
        PIN(htmltext::Succeeded(), "Успешно"),
        PIN(htmltext::Failed(), "С ошибкой"),
        PIN(htmltext::ByCause(), "Ошибки по причинам"),
        PIN(htmltext::NoFailures(), "ошибок нет"),
        PIN(htmltext::Count(), "Количество"),
        PIN(htmltext::Cause(), "Причина"),
        PIN(htmltext::Code(), "Код"),
        PIN(htmltext::Name(), "Имя"),
        PIN(htmltext::Endpoint(), "Подключение"),
        PIN(htmltext::Number(), "Номер"),
        PIN(htmltext::Version(), "Версия"),
        PIN(htmltext::Result(), "Результат"),
        PIN(htmltext::Message(), "Сообщение"),
        PIN(htmltext::Seconds(), "Время, с"),
        PIN(htmltext::BytesSent(), "Отправлено, байт"),
        PIN(htmltext::BytesReceived(), "Принято, байт"),
        PIN(htmltext::ClassSuccess(), "✔ Успешно"),
        PIN(htmltext::ClassLink(), "✘ Ошибка связи"),
        PIN(htmltext::ClassRefusal(), "✘ Отказ прибора"),
        PIN(htmltext::ClassTooOld(), "⚠ Устаревшее ПО"),
        PIN(htmltext::ClassMismatch(), "≠ Расхождение"),
        PIN(htmltext::ClassLocalFile(), "✘ Ошибка локального файла"),
        PIN(htmltext::ClassCancelled(), "— Отменено"),
        PIN(htmltext::ReportCommand(), "Отчёт…"),
        PIN(htmltext::VerifyCommand(), "Проверить настройки в VR-7"),
        PIN(htmltext::ReportDialogTitle(), "Отчёт"),
        PIN(htmltext::PrintButton(), "Печать…"),
        PIN(htmltext::SavePdfButton(), "Сохранить PDF…"),
        PIN(htmltext::SaveHtmlButton(), "Сохранить HTML…"),
        PIN(htmltext::CloseButton(), "Закрыть"),
        PIN(htmltext::PdfFilter(), "Документ PDF (*.pdf)"),
        PIN(htmltext::HtmlFilter(), "Страница HTML (*.html)"),
        PIN(htmltext::HtmlSaveFailed(), "Отчёт не сохранён: "),
        PIN(storetext::BackupSetting(), "Резервная копия перед сохранением"),
        PIN(storetext::PreviewSetting(), "Показывать изменения перед сохранением"),
        PIN(storetext::RestoreCommand(), "Восстановить из резервной копии…"),
        PIN(storetext::PreviewTitle(), "Изменения в VR-7"),
        PIN(storetext::RestoreTitle(), "Восстановление из резервной копии"),
        PIN(storetext::RestoreButton(), "Записать в VR-7"),
        PIN(storetext::CancelButton(), "Отмена"),
        PIN(storetext::YesButton(), "Да"),
        PIN(storetext::NoButton(), "Нет"),
        PIN(storetext::DeviceColumn(), "Прибор"),
        PIN(storetext::TakenColumn(), "Дата и время"),
        PIN(storetext::SizeColumn(), "Размер, байт"),
        PIN(storetext::VariablesColumn(), "Переменных"),
        PIN(storetext::NoBackups(), "Резервных копий нет: папка "),
        PIN(storetext::Unreadable(), "не читается: "),
        PIN(storetext::AlsoChanged(), "; изменено: "),
        PIN(storetext::NoValue(), "нет"),
        PIN(storetext::StoreQuestion(), "Записать список в VR-7?"),
        PIN(storetext::BackupOff(), "Резервная копия не делалась (отключена в меню «Настройки»)."),
        PIN(storetext::NothingToBackUp(),
            "В приборе не было файла настроек шлюза: копировать нечего."),
        PIN(storetext::StoreDeclined(), "Сохранение в VR-7 не выполнялось."),
        PIN(usertext::BackupNotSaved("/b/12/duxgate.cfg", Utf8String("Permission denied")),
            "Резервная копия настроек шлюза не сохранена: /b/12/duxgate.cfg: Permission "
            "denied\nНастройки в VR-7 не изменены."),
        PIN(usertext::BackupBadByte(2, 0x01), "строка 2: недопустимый байт 0x01"),
        PIN(usertext::BackupCut(3), "строка 3 оборвана: файл кончается не в конце строки"),
        PIN(usertext::BackupBadLine(2), "строка 2 не по форме файла настроек шлюза"),
        PIN(usertext::StoreWithoutBackupQuestion(usertext::BackupNotRead()),
            "Резервная копия не сохранена: Настройки шлюза не прочитаны из VR-7 для резервной "
            "копии!!!\nНастройки в VR-7 не изменены.\nСохранить в VR-7 без резервной копии?"),
        PIN(usertext::TcpPortOutOfRange("75537"),
            "Недопустимый порт TCP/IP: TCPIPport=75537 (допустимо от 1 до 65535)"),
        PIN(usertext::UnsupportedVersion(Info()),
            "VR-7 версии 2.5.31 не поддерживает работу c Tervon шлюзом!!!"),
        PIN(usertext::FileFailure(FileStep::NotCreated, "/w/duxgate.cfg", Cp1251String("x")),
            "Файл /w/duxgate.cfg не создан.\nx"),
        PIN(usertext::FileFailureAfter(FileStep::NotCreated), " не создан.\n"),
        PIN(usertext::FileFailureAfter(FileStep::NotWritten), " не записан.\n"),
        PIN(usertext::FileFailureAfter(FileStep::NotSaved), " не сохранён.\n"),
        PIN(usertext::FileFailureAfter(FileStep::NotOpened), " не открыт.\n"),
        PIN(usertext::SerialPortProblem("/dev/ttyUSB0", ENOENT),
            "Порт /dev/ttyUSB0: такого устройства нет (проверьте имя порта и подключение "
            "адаптера)."),
        PIN(usertext::SerialPortProblem("/dev/ttyUSB0", EACCES),
            "Порт /dev/ttyUSB0: нет доступа. Пользователь должен входить в группу dialout: sudo "
            "usermod -aG dialout $USER, затем выйти из системы и войти снова."),
        PIN(usertext::SerialPortProblem("/dev/ttyUSB0", EBUSY),
            "Порт /dev/ttyUSB0: занят другой программой."),
        PIN(usertext::SerialPortProblem("/dev/ttyUSB0", ENOTTY),
            "Порт /dev/ttyUSB0: это не последовательный порт."),
        PIN(usertext::SerialPortProblem("/dev/ttyUSB0", EIO),
            "Порт /dev/ttyUSB0: ошибка открытия: Input/output error"),
        PIN(usertext::SerialPortGone("/dev/ttyUSB0"),
            "Порт /dev/ttyUSB0 исчез (адаптер отключён?)"),
        PIN(usertext::SerialPortToolTip(Ftdi(), false),
            "FT232R USB UART (FTDI), драйвер ftdi_sio, USB 0403:6001, серийный номер "
            "A50285BI\nПостоянное имя: /dev/serial/by-id/usb-FTDI-if00-port0 (не меняется при "
            "переподключении адаптеров; его и стоит выбрать)."),
        PIN(usertext::SerialPortToolTip(Ftdi(), true),
            "FT232R USB UART (FTDI), драйвер ftdi_sio, USB 0403:6001, серийный номер "
            "A50285BI\nСейчас это /dev/ttyUSB0; постоянное имя не меняется при переподключении "
            "адаптеров."),
        PIN(usertext::SerialPortToolTip(Uart(), false), "драйвер serial8250"),
        PIN(usertext::SerialPortToolTip(SerialPortInfo{}, false),
            "Система не сообщает сведений о порте"),
        PIN(usertext::DeviceConfigurationCaption("/dev/ttyUSB0", 12),
            "Порт: /dev/ttyUSB0, VR-7 № 12"),
        PIN(usertext::DeviceConfigurationCaption("TCP/IP", 4294967295u),
            "Порт: TCP/IP, VR-7 № 4294967295"),
        PIN(usertext::NoRoom(2),
            "Количество SNVT переменных достигло максимума!!!\nНе могу добавить 2 переменых"),
        PIN(usertext::NoRoom(1),
            "Количество SNVT переменных достигло максимума!!!\nНе могу добавить 1 переменую"),
        PIN(usertext::Counters(62, 3, 59), "SNVT переменных 62, задействовано: 3, доступно: 59"),
        PIN(usertext::CountersWithoutCapacity(3, usertext::CapacityUnknown::NoCatalogue),
            "SNVT переменных задействовано: 3, ёмкость неизвестна: нет calcbank.xml"),
        PIN(usertext::CountersWithoutCapacity(3, usertext::CapacityUnknown::Unusable),
            "SNVT переменных задействовано: 3, ёмкость неизвестна: ошибка в calcbank.xml"),
        PIN(usertext::RowRefused(2, "1b", usertext::EmptyField("Ref")),
            "Не могу сохранить строку 2 (1b): пустое поле \"Ref\""),
        PIN(usertext::TooManyRows(70000, 65535),
            "В файле 70000 строк, а список вмещает не больше 65535: файл не прочитан целиком."),
        PIN(usertext::EmptyField("Ref"), "пустое поле \"Ref\""),
        PIN(usertext::SpaceInField("Ref"), "пробел в поле \"Ref\""),
        PIN(usertext::FileWriteError("Permission denied"),
            "Ошибка записи файла: Permission denied"),
        PIN(usertext::FailureReason(Failure::OfFile("/w/a.cfg", EACCES)), "Permission denied"),
        PIN(usertext::FailureLine(Failure::OfFile("/w/a.cfg", EACCES)),
            "/w/a.cfg: Permission denied"),
        PIN(usertext::FileFailureReason(FileStep::NotSaved, Failure::OfFile("/w/a.cfg", EACCES)),
            "Ошибка записи файла: Permission denied"),
        PIN(usertext::FileFailure(FileStep::NotSaved, "/w/a.cfg",
                                  Failure::OfFile("/w/a.cfg", EACCES)),
            "Файл /w/a.cfg не сохранён.\nОшибка записи файла: Permission denied"),
        PIN(usertext::NoAnswerCause(5, 3, 800), "нет ответа от прибора № 5 (3 попытки по 800 мс)"),
        PIN(usertext::NoAnswerCause(5, 1, 800), "нет ответа от прибора № 5 (1 попытка по 800 мс)"),
        PIN(usertext::BadCheckCause(5), "неверная контрольная сумма в ответе прибора № 5"),
        PIN(usertext::RefusalCause(5, 3), "прибор № 5 отказал (код 3)"),
        PIN(usertext::BrokenAnswerCause(5), "ответ прибора № 5 искажён или неполон"),
        PIN(usertext::TcpConnectCause("127.0.0.1", "10001", ECONNREFUSED),
            "нет соединения с 127.0.0.1:10001 (соединение отклонено)"),
        PIN(usertext::TcpConnectCause("127.0.0.1", "10001", ETIMEDOUT),
            "нет соединения с 127.0.0.1:10001 (адрес не отвечает)"),
        PIN(usertext::TcpConnectCause("127.0.0.1", "10001", EHOSTUNREACH),
            "нет соединения с 127.0.0.1:10001 (No route to host)"),
        PIN(usertext::LinkErrorCause(5, 1020), "ошибка связи с прибором № 5 (код 1020)"),
        PIN(usertext::WriteProtectedCause(5),
            "прибор № 5 отказал в записи: включена защита (снимите EN_PR)"),
        PIN(usertext::NoSuchFileCause(5), "прибор № 5 отказал: такого файла в приборе нет"),
        PIN(usertext::TwoAnswersCause(5),
            "на номер 5 отвечают два прибора (или линия повторяет ответ)"),
        PIN(usertext::NoAnswerStep(12),
            "Нет ответа: проверьте номер прибора (сейчас № 12) и порт (меню «Настройки», пункт "
            "«Порт»)."),
        PIN(usertext::BrokenAnswerStep(12),
            "Ответ искажён: проверьте скорость порта, кабель и номер прибора (сейчас № 12)."),
        PIN(reporttext::NoDeviceFile("duxgate.cfg"), "the device has no duxgate.cfg"),
        PIN(reporttext::Mismatch("duxgate.cfg", "a.cfg", 7, 100, 90),
            "the device's duxgate.cfg differs from a.cfg at offset 7 (expected 100 bytes, the "
            "device holds 90)"),
        PIN(reporttext::Same("duxgate.cfg", "a.cfg", 100),
            "the device's duxgate.cfg is the same as a.cfg (100 bytes)"),
        PIN(reporttext::StoredCopy("DUXGate.cfg"), "the stored copy DUXGate.cfg"),
        PIN(reporttext::Identified(Info()), "version 2.5.31, number 12"),
        PIN(reporttext::TreeAndFile(40, true, 100), "tree of 40 lines, duxgate.cfg 100 bytes"),
        PIN(reporttext::TreeAndFile(40, false, 0),
            "tree of 40 lines, the device has no duxgate.cfg"),
        PIN(reporttext::StoredAndVerified(100), "stored and verified, 100 bytes"),
        PIN(reporttext::BackupKept("/b/12/x.cfg", 100),
            "backup of duxgate.cfg, 100 bytes: /b/12/x.cfg"),
        PIN(reporttext::Identical(100), "identical, 100 bytes"),
        PIN(reporttext::CheckDownloadFailed("DUXGate.cfg"),
            "the check download of DUXGate.cfg failed"),
        PIN(reporttext::FolderIsLink("/out/boiler"),
            "/out/boiler is a symbolic link: a device's folder is never followed"),
        PIN(logtext::TcpLink("127.0.0.1", "10001"), "связь: TCP 127.0.0.1:10001"),
        PIN(logtext::SerialLink("/dev/ttyUSB0", 115200), "связь: порт /dev/ttyUSB0, 115200 бод"),
        PIN(logtext::Exchange(lr::NoAnswer, 0), "обмен: результат 1016: нет ответа"),
        PIN(logtext::Outcome(lr::Ok, 0), "итог: результат 0: успешно"),
        PIN(logtext::NotOpened(lr::NotOpen, EACCES),
            "связь не открыта: результат 1003: канал не открыт (порт или адрес не удалось открыть) "
            "(Permission denied)"),
        PIN(logtext::DialoutHint(), " (состоит ли пользователь в группе dialout?)"),
        PIN(storetext::NoBackupsIn("/b"), "Резервных копий нет: папка /b"),
        PIN(storetext::Added("1c", 2, "Ref 40005"), "добавлена «1c» в строку 2: Ref 40005"),
        PIN(storetext::Removed("1b", 2), "удалена «1b» из строки 2"),
        PIN(storetext::Moved("1a", 1, 2), "перемещена «1a» из строки 1 в строку 2"),
        PIN(storetext::Changed("1b"), "изменена «1b»: "),
        PIN(storetext::Summary(7, 1, 2, 3, 4),
            "Сохранение изменит настройки в VR-7 № 7: добавлено 1, удалено 2, перемещено 3, "
            "изменено 4."),
        PIN(storetext::SameQuestion(7),
            "Настройки в VR-7 № 7 уже совпадают со списком: сохранять нечего. Записать всё равно?"),
        PIN(storetext::NoDeviceFile(7),
            "В VR-7 № 7 нет файла настроек шлюза: все переменные списка будут добавлены."),
        PIN(storetext::DeviceFileUnreadable("файл пуст"),
            "Файл настроек шлюза в VR-7 не читается как список (файл пуст): он будет заменён "
            "целиком."),
        PIN(storetext::BackupKept("/b/7/x.cfg"), "Резервная копия: /b/7/x.cfg"),
        PIN(storetext::Restored("/b/7/x.cfg"), "Восстановлено из /b/7/x.cfg"),
        PIN(logtext::Result(lr::Ok, 0), "результат 0: успешно"),
        PIN(logtext::Result(lr::Unacknowledged, 0),
            "результат -1: блок файла не подтверждён, или локальный файл не прочитан"),
        PIN(logtext::Result(lr::BadArgument, 0),
            "результат 1001: отказ: прибор не открыл файл, или неверный аргумент"),
        PIN(logtext::Result(lr::NotOpen, 0),
            "результат 1003: канал не открыт (порт или адрес не удалось открыть)"),
        PIN(logtext::Result(lr::LockFailed, 0), "результат 1005: соединение занято"),
        PIN(logtext::Result(lr::NoLinkObject, 0), "результат 1007: канал не создан"),
        PIN(logtext::Result(lr::ShortWrite, 0), "результат 1010: запрос записан не полностью"),
        PIN(logtext::Result(lr::TcpTimeout, 0), "результат 1011: нет ответа в срок по TCP"),
        PIN(logtext::Result(lr::BadCheck, 0), "результат 1013: неверные контрольные байты ответа"),
        PIN(logtext::Result(lr::BadTcpPort, 0),
            "результат 1019: порт TCP (TCPIPport) не число от 1 до 65535"),
        PIN(logtext::Result(lr::SystemError, 0), "результат 1020: ошибка ввода-вывода в канале"),
        PIN(logtext::Result(lr::Cancelled, 0), "результат 1021: прервано пользователем"),
        PIN(logtext::Result(lr::NoAnswer, 0), "результат 1016: нет ответа"),
        PIN(logtext::Result(lr::BadLength, 0), "результат 1017: ответ неверной длины или оборван"),
        PIN(logtext::Result(lr::Incomplete, 0),
            "результат 1018: передача неполна: блоки файла не сходятся с размером, который назвал "
            "прибор"),
        PIN(logtext::Result(lr::FileTooLarge, 0),
            "результат 1022: прибор называет файл больше 8 МиБ: не прочитан"),
        PIN(logtext::Result(lr::Garbled, 0),
            "результат 1023: ответ не того вида, что у команды (длина или поля)"),
        PIN(logtext::Result(lr::NoEcho, 0), "результат 1024: линия не вернула запрос (эхо)"),
        PIN(logtext::Result(lr::TwoAnswers, 0), "результат 1025: на один запрос пришли два ответа"),
        PIN(logtext::Result(lr::GetStateFailed, 0),
            "результат 1051: не прочитаны настройки последовательного порта"),
        PIN(logtext::Result(lr::SetStateFailed, 0),
            "результат 1052: не применены настройки последовательного порта (скорость?)"),
        PIN(logtext::Result(lr::SetMaskFailed, 0),
            "результат 1053: не установлена маска событий последовательного порта"),
        PIN(logtext::Result(3, 0), "результат 3: прибор ответил этим кодом отказа"),
        PIN(logtext::Result(lr::SystemError, ENODEV),
            "результат 1020: порт исчез (адаптер отключён?): No such device"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::NotConnected)),
            "VR-7 не подключен!!!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::SerialPortProblem)),
            "VR-7 не подключен!!!\nПорт /dev/ttyUSB0: такого устройства нет (проверьте имя порта и "
            "подключение адаптера)."),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::SerialPortGone)),
            "VR-7 не подключен!!!\nПорт /dev/ttyUSB0 исчез (адаптер отключён?)"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::TcpPortOutOfRange)),
            "Недопустимый порт TCP/IP: TCPIPport=75537 (допустимо от 1 до 65535)"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::UnsupportedVersion)),
            "VR-7 версии 2.5.31 не поддерживает работу c Tervon шлюзом!!!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::ReadError)),
            "Ошибка чтения!!!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::FileNotCreated)),
            "Файл /w/duxgate.cfg не создан.\nPermission denied"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::FileNotWritten)),
            "Файл /w/duxgate.cfg не записан.\nPermission denied"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::FileNotSaved)),
            "Файл /w/duxgate.cfg не сохранён.\nОшибка записи файла: Permission denied"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::FileNotOpened)),
            "Файл /w/duxgate.cfg не открыт.\nPermission denied"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::EmptyList)),
            "Список SNVT переменных пуст!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::Stored)),
            "Настройки Tervon шлюза сохраненены"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::StoreCancelled)),
            "Сохранение настроек Tervon шлюза отменено!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::WriteProtected)),
            "Для сохранения настроек Tervon шлюза в VR-7,\nнеобходимо снять защиту (EN_PR)!!!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::StoreBroken)),
            "Сохранение настроек Tervon шлюза прервано!!!"),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::BackupNotSaved)),
            "Резервная копия настроек шлюза не сохранена: /w/duxgate.cfg: Permission "
            "denied\nНастройки в VR-7 не изменены."),
        PIN(usertext::CommandMessageText(Message(CommandMessageKind::BackupNotRead)),
            "Настройки шлюза не прочитаны из VR-7 для резервной копии!!!\nНастройки в VR-7 не "
            "изменены."),
        PIN(usertext::NextStepText({NextStepKind::SettingsIncomplete, 12}),
            "Настройки шлюза в приборе могут быть неполными: повторите сохранение в VR-7."),
        PIN(usertext::NextStepText({NextStepKind::UpdateFirmware, 12}),
            "Обновите встроенное ПО прибора: нужна сборка 32 или новее."),
        PIN(usertext::NextStepText({NextStepKind::ReadAgain, 12}),
            "Повторите чтение; если ошибка повторится, проверьте кабель и скорость порта."),
        PIN(usertext::NextStepText({NextStepKind::FixTcpPort, 12}),
            "Исправьте его в меню «Настройки», пункт «Порт»."),
        PIN(usertext::NextStepText({NextStepKind::CheckTcpLink, 12}),
            "Нет соединения: проверьте IP-адрес и порт TCP/IP (меню «Настройки», пункт «Порт») и "
            "питание прибора."),
        PIN(usertext::NextStepText({NextStepKind::CheckNumber, 12}),
            "Нет ответа: проверьте номер прибора (сейчас № 12) и порт (меню «Настройки», пункт "
            "«Порт»)."),
        PIN(usertext::NextStepText({NextStepKind::CheckLineSpeed, 12}),
            "Ответ искажён: проверьте скорость порта, кабель и номер прибора (сейчас № 12)."),
        PIN(usertext::CommandMessageWithStep(Message(CommandMessageKind::ReadError),
                                             {NextStepKind::ReadAgain, 12}),
            "Ошибка чтения!!!\nПовторите чтение; если ошибка повторится, проверьте кабель и "
            "скорость порта."),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::NoAnswer)),
            "нет ответа от прибора № 5 (3 попытки по 800 мс)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::BadCheck)),
            "неверная контрольная сумма в ответе прибора № 5"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::BrokenAnswer)),
            "ответ прибора № 5 искажён или неполон"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::NoEcho)),
            "линия не возвращает запрос: выключите «эхо»"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::TwoAnswers)),
            "на номер 5 отвечают два прибора (или линия повторяет ответ)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::WriteProtected)),
            "прибор № 5 отказал в записи: включена защита (снимите EN_PR)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::NoSuchFile)),
            "прибор № 5 отказал: такого файла в приборе нет"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::Refusal)),
            "прибор № 5 отказал (код 3)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::TcpConnect)),
            "нет соединения с 127.0.0.1:10001 (соединение отклонено)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::SerialPortProblem)),
            "Порт /dev/ttyUSB0: занят другой программой."),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::SerialPortGone)),
            "Порт /dev/ttyUSB0 исчез (адаптер отключён?)"),
        PIN(usertext::FailureCauseText(Cause(FailureCauseKind::LinkError)),
            "ошибка связи с прибором № 5 (код 1020)"),
        PIN(usertext::NoAnswerCause(5, 5, 800), "нет ответа от прибора № 5 (5 попыток по 800 мс)"),
        PIN(*usertext::ListCsvCaptions()[0], "№ переменной шлюза"),
        PIN(*usertext::ListCsvCaptions()[1], "Имя"),
        PIN(*usertext::ListCsvCaptions()[2], "Регистр"),
        PIN(*usertext::ListCsvCaptions()[3], "Тип"),
        PIN(*usertext::ListCsvCaptions()[4], "SNVT_ID"),
        PIN(*usertext::ListCsvCaptions()[5], "Единица измерения"),
        PIN(logtext::FrameCheck(Frame(FrameFacts::Check::IncompleteHeader)), "неполный заголовок"),
        PIN(logtext::FrameCheck(Frame(FrameFacts::Check::TooLong)), "длина 9 слишком велика"),
        PIN(logtext::FrameCheck(Frame(FrameFacts::Check::Incomplete)), "неполный (5 из 9 байт)"),
        PIN(logtext::FrameCheck(Frame(FrameFacts::Check::Bad)), "контроль НЕВЕРЕН"),
        PIN(logtext::FrameCheck(Frame(FrameFacts::Check::Ok)), "контроль верен"),
        PIN(logtext::FrameSummary(
                Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command, cmdIdentify)),
            "идентификация, прибор № 12, длина 2"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdOpenFile, FrameFacts::Detail::OpenForReading)),
            "открытие файла, прибор № 12, длина 2, для чтения \"duxgate.cfg\""),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdOpenFile, FrameFacts::Detail::OpenForWriting)),
            "открытие файла, прибор № 12, длина 2, для записи \"duxgate.cfg\""),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdOpenFile, FrameFacts::Detail::Size)),
            "открытие файла, прибор № 12, длина 2, размер 3"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdReadBlock, FrameFacts::Detail::SameBlockAgain)),
            "чтение блока, прибор № 12, длина 2, тот же блок снова"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdReadBlock, FrameFacts::Detail::NextBlock)),
            "чтение блока, прибор № 12, длина 2, следующий блок"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdWriteBlock, FrameFacts::Detail::Position)),
            "запись блока, прибор № 12, длина 2, позиция 3"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command,
                                        cmdReadEntry, FrameFacts::Detail::Entry)),
            "чтение записи, прибор № 12, длина 2, запись 3"),
        PIN(logtext::FrameSummary(
                Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Command, cmdReadHeader)),
            "чтение заголовка, прибор № 12, длина 2"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::OtherCommand, 9)),
            "команда 9, прибор № 12, длина 2"),
        PIN(logtext::FrameSummary(Frame(FrameFacts::Check::Ok, FrameFacts::Kind::Refusal, 3)),
            "отказ 3, прибор № 12, длина 2"),
        PIN(logtext::Result(lr::NotOpen, ECONNRESET),
            "результат 1003: канал не открыт: прибор закрыл соединение"),
        PIN(logtext::Result(lr::NotOpen, ENOTTY),
            "результат 1003: канал не открыт (порт или адрес не удалось открыть) (не терминал, "
            "значит не последовательный порт)"),
        PIN(logtext::Result(999, 0), "результат 999: неизвестный результат"),
        PIN(logtext::FrameSummary(AnyDevice()), "идентификация, любой прибор, длина 2"),
    };
    return table;
}

TEST(UserTexts, EachTextReadsAsWrittenHere) {
    for (const Pinned& p : Table()) EXPECT_EQ(p.text, p.utf8) << p.call;
}

// A text added to app/messages is added to the table too.
TEST(UserTexts, TheTableHoldsEveryListedText) {
    for (const usertext::NamedText& t : usertext::AllTexts()) {
        const bool found = std::any_of(Table().begin(), Table().end(), [&t](const Pinned& p) {
            return p.text.find(t.utf8) != std::string::npos;
        });
        EXPECT_TRUE(found) << t.name << ": " << t.utf8;
    }
}

}  // namespace
