#pragma once
// Every text the program shows its user: message boxes, the error display, the status panel and
// the list's counters. Each is spelled here once, in UTF-8, and converted to Windows-1251 once, at
// its first use; paths, settings and numbers are put in as their bytes are. The window, the
// toolkit-free commands and vr7lon all take their texts from here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/result.h"
#include "device/failurefacts.h"
#include "link/vr7types.h"

struct DeviceInfo;
struct FrameFacts;
struct SerialPortInfo;

namespace usertext {

// Every fixed text (or fixed part of a text) of the program, by name, in UTF-8: what the manual
// must quote.
struct NamedText {
    const char* name;
    const char* utf8;
};
const std::vector<NamedText>& AllTexts();

// Message boxes of the commands.
const Cp1251String& NoConfiguration();  // "Конфигурация VR-7 не обнаружена"
const Cp1251String& EmptyList();        // "Список SNVT переменных пуст!"
const Cp1251String& NotConnected();     // "VR-7 не подключен!!!"
const Cp1251String& ReadError();        // "Ошибка чтения!!!"
const Cp1251String& Stored();  // "Настройки Tervon шлюза сохраненены"
const Cp1251String& WriteProtected();  // the store's write protection (EN_PR) message
const Cp1251String& StoreBroken();  // "Сохранение настроек Tervon шлюза прервано!!!"
const Cp1251String& StoreCancelled();  // "Сохранение настроек Tervon шлюза отменено!"
// A store's backup of the device's settings that failed: nothing was stored.
// "Резервная копия настроек шлюза не сохранена: <path>: <reason>\nНастройки в VR-7 не изменены."
Cp1251String BackupNotSaved(const std::string& path, const Utf8String& reason);
// "Настройки шлюза не прочитаны из VR-7 для резервной копии!!!\nНастройки в VR-7 не изменены."
const Cp1251String& BackupNotRead();
// Why a backup cannot be stored back (the gateway file reader's reasons):
const Cp1251String& BackupEmpty();  // "файл пуст"
const Cp1251String& BackupNoRows();  // "в файле нет ни одной строки настроек шлюза"
// "строка N: недопустимый байт 0xNN"
Cp1251String BackupBadByte(size_t line, unsigned byte);
// "строка N оборвана: файл кончается не в конце строки"
Cp1251String BackupCut(size_t line);
// "строка N не по форме файла настроек шлюза"
Cp1251String BackupBadLine(size_t line);
// The question after a backup's download failed: "Резервная копия не сохранена: <reason>.
// Сохранить в VR-7 без резервной копии?"
Cp1251String StoreWithoutBackupQuestion(const Cp1251String& reason);
// The status bar at start when Qt's Russian translations are not installed.
const Cp1251String& QtTranslationsMissing();

// The status bar after a cancelled read or store, and the store's line when its upload had
// begun, so that the device may hold only part of the new settings.
const Cp1251String& ReadCancelledStatus();  // "Чтение прервано пользователем"
const Cp1251String& StoreCancelledStatus();  // "Запись прервана пользователем"
// "Настройки шлюза в приборе могут быть неполными: повторите сохранение в VR-7."
const Cp1251String& DeviceSettingsIncomplete();
// A store's steps in the status panel while its bar moves: "Шаг 1 из 2. Чтение настроек из
// VR-7" (the backup's or the preview's download), "Шаг 2 из 2. Запись настроек в VR-7" (the
// upload); a store of one step has no "Шаг" part.
enum class StoreStepKind { Download, Upload };
Cp1251String StoreStepStatus(StoreStepKind kind, int step, int steps);
// The Cancel button's tool tip once the upload has begun: it is let finish.
const Cp1251String& UploadNotCancelled();
// The Cancel button of the status bar: "Отмена".
const Cp1251String& CancelButton();
// Qt's own texts that its Russian translations lack (UTF-8), by context and English source: the
// file dialog's type column ("Папка", "Файл", "Файл %1", "Диск"); null for any other.
const char* MissingQtText(const char* context, const char* source);
// The window's questions and explanations. Before Exit, Open and Read replace or drop a list
// changed since it was loaded, saved or stored; each asks about what it is about to do:
// "Список SNVT переменных изменён и не сохранён.\nВыйти без сохранения?"
const Cp1251String& LeaveUnsaved();
// "Список SNVT переменных изменён и не сохранён.\nОткрыть другую папку без сохранения?"
const Cp1251String& OpenUnsaved();
// "Список SNVT переменных изменён и не сохранён.\nПрочитать из VR-7 без сохранения?"
const Cp1251String& ReadUnsaved();
// The second line under "Конфигурация VR-7 не обнаружена": the path has no "vr7_".
const Cp1251String& NoVr7InPath();
// A text around a file-system path, which stays in its own encoding: before + path + after.
struct AroundPath {
    const Cp1251String& before;
    const Cp1251String& after;
};
// The catalogue was not found at the path: what is missing and that no variable can be added.
AroundPath CatalogueNotFound();
// Where to put the catalogue, a line under CatalogueNotFound: "\nПоложите calcbank.xml в рабочую
// папку (" + working folder + ")" and, when the program has an installed data folder, " или в
// папку данных программы (" + data folder + ")", then CatalogueWhereEnd ".".
AroundPath CatalogueWhereWork();
const Cp1251String& CatalogueWhereData();  // ") или в папку данных программы ("
const Cp1251String& CatalogueWhereEnd();  // ")."
// The status bar after a successful save to disk: "Сохранено в " + path.
AroundPath SavedTo();
// The second line under the XML library's text when the CONFIG folder (the path) has no main.xmc.
AroundPath NoMainXmc();
// The settings file (the path) could not be written when the window closed.
AroundPath SettingsNotSaved();
// The help document (the path) is missing, or no program could show it.
AroundPath HelpNotFound();
AroundPath HelpNotShown();

// "Недопустимый порт TCP/IP: TCPIPport=<value> (допустимо от 1 до 65535)": the connection
// settings' TCP port is out of range, so nothing was connected to.
Cp1251String TcpPortOutOfRange(const std::string& value);

// "VR-7 версии M.m.B не поддерживает работу c Tervon шлюзом!!!" (the "c" is a Latin letter).
Cp1251String UnsupportedVersion(const DeviceInfo& info);

// What went wrong with a local file, in "Файл <path> не создан.\n<reason>".
enum class FileStep { NotCreated, NotWritten, NotSaved, NotOpened };
// "Файл " + path + " не создан.\n" (or the other steps' words) + reason. path is taken as it is.
Cp1251String FileFailure(FileStep step, const std::string& path, const Cp1251String& reason);
// The same text's two parts around the path, for a caller that builds it from its own path text.
const Cp1251String& FileFailureBefore();              // "Файл "
const Cp1251String& FileFailureAfter(FileStep step);  // " не создан.\n", ...

// Why a serial port (its device path) did not open, for a user of Linux to act on: it does not
// exist, the user lacks the dialout group, another program holds it, it is no terminal, or the
// system's own text (errno error).
Cp1251String SerialPortProblem(const std::string& path, int error);

// The serial port (its device path) went away during a command, its adapter pulled out most
// likely: "Порт /dev/ttyUSB0 исчез (адаптер отключён?)", the second line under "VR-7 не
// подключен!!!" and the status bar's cause.
Cp1251String SerialPortGone(const std::string& path);

// The tool tip of a port in the port list, UTF-8 (sysfs gives its strings so): what the system
// says of it ("FT232R USB UART (FTDI), драйвер ftdi_sio, USB 0403:6001, серийный номер
// A50285BI") and, when the port has a stable name, a second line: for the kernel's name
// (stableItem false) the stable name to choose instead, for the stable name (stableItem true)
// the kernel's name it stands for now.
Utf8String SerialPortToolTip(const SerialPortInfo& port, bool stableItem);

// The configuration field after a read: "Порт: <port>, VR-7 № <number>".
Cp1251String DeviceConfigurationCaption(const std::string& portName, uint32_t deviceNumber);

// The list's messages and status texts.
// "Количество SNVT переменных достигло максимума!!!\nНе могу добавить 2 переменых" (need 2) or
// "... 1 переменую" (any other need): the spelling users know.
Cp1251String NoRoom(unsigned need);
// "SNVT переменных M, задействовано: U, доступно: A"
Cp1251String Counters(unsigned maxVariables, unsigned usedVariables, long long available);
// Why the gateway's capacity is not known: no catalogue, or one whose capacity is unusable.
enum class CapacityUnknown { NoCatalogue, Unusable };
// "SNVT переменных задействовано: U, ёмкость неизвестна: нет calcbank.xml" (or "... ошибка в
// calcbank.xml"): the counters without a capacity to count against.
Cp1251String CountersWithoutCapacity(unsigned usedVariables, CapacityUnknown why);
const Cp1251String& DeletingChecked();  // "удаление выбранных переменных"
const Cp1251String& DeletingRow();      // "Удаляю " (the row's caption follows)

// The gateway settings file's refusals of a row and its write errors.
// "Не могу сохранить строку N (caption): problem"
Cp1251String RowRefused(size_t rowNumber, const std::string& caption, const Cp1251String& problem);
// "В файле <rows> строк, а список вмещает не больше <limit>: файл не прочитан целиком."
Cp1251String TooManyRows(size_t rows, size_t limit);
Cp1251String EmptyField(const std::string& column);    // "пустое поле \"column\""
Cp1251String SpaceInField(const std::string& column);  // "пробел в поле \"column\""
const Cp1251String& TypeNotF();                        // "в поле \"Type\" не \"F\""
const Cp1251String& FlagsTypeNotB();  // "поле \"Type\" флагов не начинается с \"B\""
// "Ошибка записи файла: " + reason
Cp1251String FileWriteError(const std::string& reason);

// The list's CSV export: the header's captions in column order (the gateway's variable number,
// name, register, type, SNVT id, unit), and the window's command, its hint and the dialog's filter.
const std::vector<const Cp1251String*>& ListCsvCaptions();
const Cp1251String& ExportList();  // "Экспорт списка…"
const Cp1251String& ExportListHint();  // "Сохранить SNVT список в CSV для интегратора LON"
const Cp1251String& ExportListFilter();  // "Таблица CSV (*.csv)"

// The texts of the core's failures (base/result.h), chosen here from what failed.
// Why, in UTF-8: a file step's failure gives the system's text for its errno, invalid input its
// reason; a device's failure gives none here (its texts are the link's and the causes below).
Utf8String FailureReason(const Failure& failure);
// vr7lon's words for it, UTF-8: "<path>: <reason>", or the reason alone when no file is named.
Utf8String FailureLine(const Failure& failure);
// The line under "Файл <path> не ...\n": a file that was not saved because a
// file step failed says "Ошибка записи файла: " + the system's text; any other step, and input
// that was refused, the reason itself.
Cp1251String FileFailureReason(FileStep step, const Failure& failure);
// FileFailure(step, path, FileFailureReason(step, failure)).
Cp1251String FileFailure(FileStep step, const std::string& path, const Failure& failure);

}  // namespace usertext

namespace usertext {

// Why a device command failed, one line for the status bar.
// "нет ответа от прибора № 5 (3 попытки по 800 мс)"
Cp1251String NoAnswerCause(uint32_t deviceNumber, int attempts, unsigned timeoutMs);
// "неверная контрольная сумма в ответе прибора № 5"
Cp1251String BadCheckCause(uint32_t deviceNumber);
// "прибор № 5 отказал (код 3)"
Cp1251String RefusalCause(uint32_t deviceNumber, int code);
// "ответ прибора № 5 искажён или неполон"
Cp1251String BrokenAnswerCause(uint32_t deviceNumber);
// "нет соединения с 127.0.0.1:10001 (соединение отклонено)"
Cp1251String TcpConnectCause(const std::string& host, const std::string& port, int error);
// "ошибка связи с прибором № 5 (код 1020)"
Cp1251String LinkErrorCause(uint32_t deviceNumber, int code);
// The device refused to open a file for writing: "прибор № 5 отказал в записи: включена защита
// (снимите EN_PR)".
Cp1251String WriteProtectedCause(uint32_t deviceNumber);
// The device refused to open a file for reading: "прибор № 5 отказал: такого файла в приборе нет".
Cp1251String NoSuchFileCause(uint32_t deviceNumber);
// The line is set to hand requests back and did not: "линия не возвращает запрос: выключите
// «эхо»".
const Cp1251String& NoEchoCause();
// A second whole answer to one request: "на номер 5 отвечают два прибора (или линия повторяет
// ответ)".
Cp1251String TwoAnswersCause(uint32_t deviceNumber);

// The next step after a device command failed, a line of its own under the message.
// "Нет ответа: проверьте номер прибора (сейчас № 5) и порт (меню «Настройки», пункт «Порт»)."
Cp1251String NoAnswerStep(uint32_t deviceNumber);
// "Ответ искажён: проверьте скорость порта, кабель и номер прибора (сейчас № 5)."
Cp1251String BrokenAnswerStep(uint32_t deviceNumber);
// "Нет соединения: проверьте IP-адрес и порт TCP/IP (меню «Настройки», пункт «Порт») и питание
// прибора."
const Cp1251String& TcpConnectStep();
// "Повторите чтение; если ошибка повторится, проверьте кабель и скорость порта."
const Cp1251String& ReadAgainStep();
// "Обновите встроенное ПО прибора: нужна сборка 32 или новее."
const Cp1251String& UpdateFirmwareStep();
// "Исправьте его в меню «Настройки», пункт «Порт»."
const Cp1251String& FixTcpPortStep();

// The words of a device command's outcome, chosen from its facts (device/failurefacts.h); each is
// empty for None. The message of a serial port's failure names the port on a second line.
Cp1251String CommandMessageText(const CommandMessage& message);
Cp1251String NextStepText(const NextStepAdvice& next);
// The message with its next step on a line of its own under it; empty when there is no message.
Cp1251String CommandMessageWithStep(const CommandMessage& message, const NextStepAdvice& next);
Cp1251String FailureCauseText(const FailureCauseFacts& cause);

}  // namespace usertext

// vr7lon's English reports of device work (UTF-8), told by "vr7lon device" and "vr7lon fleet".
namespace reporttext {

// "the device has no duxgate.cfg"
std::string NoDeviceFile(const std::string& name);
// "the device's NAME differs from LOCAL at offset N (expected A bytes, the device holds B)"
std::string Mismatch(const std::string& name, const std::string& local, size_t at,
                     size_t expectedSize, size_t deviceSize);
// "the device's NAME is the same as LOCAL (N bytes)"
std::string Same(const std::string& name, const std::string& local, size_t size);
// "the stored copy PATH": the local side of the check after a store.
std::string StoredCopy(const std::string& path);

// The fleet's one-line outcomes of a device.
std::string Identified(const DeviceInfo& info);  // "version 2.1.32, number 12"
// "tree of N lines, duxgate.cfg B bytes", or ", the device has no duxgate.cfg" when found is false.
std::string TreeAndFile(size_t treeLines, bool found, size_t fileSize);
std::string StoredAndVerified(size_t size);  // "stored and verified, N bytes"
// "backup of duxgate.cfg, N bytes: PATH"
std::string BackupKept(const std::string& path, size_t size);
const std::string& NothingToBackUp();  // "no backup: the device had no duxgate.cfg"
std::string Identical(size_t size);    // "identical, N bytes"
// "the check download of NAME failed"
std::string CheckDownloadFailed(const std::string& name);
const std::string& NoPlaceForWorkingCopy();  // "no place for the working copy"
// "PATH is a symbolic link: a device's folder is never followed"
std::string FolderIsLink(const std::string& path);

}  // namespace reporttext

// The window's exchange log in the user's words (UTF-8, shown as it is): each frame's check and
// summary, the results of the link, and the log's own lines. vr7lon's trace keeps its English.
namespace logtext {

std::string FrameCheck(const FrameFacts& facts);  // "контроль верен", ...
std::string FrameSummary(
    const FrameFacts& facts);  // "чтение записи, прибор № 12, длина 2, запись 3"
const char* EchoLine();  // "эхо запроса": the request as the line handed it back
// "результат 1011: нет ответа в срок по TCP"; systemError as for ResultText (link/resulttext.h).
std::string Result(LinkResult result, int systemError);
std::string TcpLink(const std::string& host, const std::string& port);  // "связь: TCP host:port"
std::string SerialLink(const std::string& port, uint32_t speed);  // "связь: порт P, 115200 бод"
std::string Exchange(LinkResult result, int systemError);  // "обмен: " + Result
std::string Outcome(LinkResult result, int systemError);   // "итог: " + Result
std::string NotOpened(LinkResult result, int systemError);  // "связь не открыта: " + Result
// Said after NotOpened when a serial port was refused to the user.
std::string DialoutHint();

}  // namespace logtext

// The printable reports (UTF-8, put into HTML): the window's report of a store and its check, and
// the site report of "vr7lon fleet --html". Each is one fixed text.
namespace htmltext {

// The report of a store.
const char* StoreTitle();  // "Отчёт о сохранении настроек шлюза в VR-7"
const char* DeviceNumber();     // "Номер прибора"
const char* Firmware();         // "Версия встроенного ПО"
const char* Port();             // "Порт"
const char* When();             // "Дата и время"
const char* User();             // "Пользователь"
const char* Backup();           // "Резервная копия"
const char* NoBackup();         // "резервная копия не делалась"
const char* StoredList();       // "Сохранённый список SNVT переменных"
const char* EmptyStoredList();  // "список пуст"
const char* Store();            // "Сохранение"
const char* StoreNotDone();     // "не проводилось"
const char* Verification();     // "Проверка"
const char* VerifyNotDone();    // "не проводилась"
const char* VerifyIdentical();  // "✔ Успешно: настройки в приборе совпадают со списком"
const char* VerifyDiffersBefore();  // "✘ Ошибка: настройки в приборе отличаются, начиная с байта "
const char* VerifyFailedBefore();  // "✘ Ошибка: проверка не выполнена: "
// A serial port's speed after its name: "/dev/ttyUSB0, 9600" + " бод".
const char* Baud();

// The site report.
const char* SiteTitle();      // "Отчёт о работе с приборами объекта"
const char* Action();         // "Действие"
const char* ActionInfo();     // "опрос"
const char* ActionRead();     // "чтение"
const char* ActionStore();    // "сохранение"
const char* ActionVerify();   // "проверка"
const char* Summary();        // "Итог"
const char* Devices();        // "Приборов"
const char* Succeeded();      // "Успешно"
const char* Failed();         // "С ошибкой"
const char* ByCause();        // "Ошибки по причинам"
const char* NoFailures();     // "ошибок нет"
const char* Count();          // "Количество"
const char* Cause();          // "Причина"
const char* Code();           // "Код"
const char* Name();           // "Имя"
const char* Endpoint();       // "Подключение"
const char* Number();         // "Номер"
const char* Version();        // "Версия"
const char* Result();         // "Результат"
const char* Message();        // "Сообщение"
const char* Seconds();        // "Время, с"
const char* BytesSent();      // "Отправлено, байт"
const char* BytesReceived();  // "Принято, байт"
// A device's result class, a symbol before its word so that it reads without colour.
const char* ClassSuccess();    // "✔ Успешно"
const char* ClassLink();       // "✘ Ошибка связи"
const char* ClassRefusal();    // "✘ Отказ прибора"
const char* ClassTooOld();     // "⚠ Устаревшее ПО"
const char* ClassMismatch();   // "≠ Расхождение"
const char* ClassLocalFile();  // "✘ Ошибка локального файла"
const char* ClassCancelled();  // "— Отменено"

// The window's report and check commands, and the report dialog.
const char* ReportCommand();      // "Отчёт…"
const char* VerifyCommand();      // "Проверить настройки в VR-7"
const char* ReportDialogTitle();  // "Отчёт"
const char* PrintButton();        // "Печать…"
const char* SavePdfButton();      // "Сохранить PDF…"
const char* SaveHtmlButton();     // "Сохранить HTML…"
const char* CloseButton();        // "Закрыть"
const char* PdfFilter();          // "Документ PDF (*.pdf)"
const char* HtmlFilter();         // "Страница HTML (*.html)"
const char* HtmlSaveFailed();     // "Отчёт не сохранён: "

}  // namespace htmltext

// The window's safeguards of a store: its settings, the preview of what it changes on the device
// and the restore from a backup (UTF-8, straight to the toolkit).
namespace storetext {

const char* BackupSetting();  // "Резервная копия перед сохранением"
const char* PreviewSetting();  // "Показывать изменения перед сохранением"
const char* RestoreCommand();  // "Восстановить из резервной копии…"
const char* PreviewTitle();    // "Изменения в VR-7"
const char* RestoreTitle();    // "Восстановление из резервной копии"
const char* RestoreButton();   // "Записать в VR-7"
const char* CancelButton();    // "Отмена"
const char* YesButton();       // "Да"
const char* NoButton();        // "Нет"
// The column captions of the backups' table.
const char* DeviceColumn();     // "Прибор"
const char* TakenColumn();      // "Дата и время"
const char* SizeColumn();       // "Размер, байт"
const char* VariablesColumn();  // "Переменных"
const char* NoBackups();        // "Резервных копий нет: папка <folder>"
std::string NoBackupsIn(const std::string& folder);
const char* Unreadable();  // "не читается: " + the reader's reason
// The preview's lines, one a variable that differs, as "vr7lon diff" tells them.
// "добавлена «NAME» в строку N: COLUMN VALUE, ..."
std::string Added(const std::string& name, size_t row, const std::string& columns);
// "удалена «NAME» из строки N"
std::string Removed(const std::string& name, size_t row);
// "перемещена «NAME» из строки N в строку M"
std::string Moved(const std::string& name, size_t from, size_t to);
// "изменена «NAME»: "
std::string Changed(const std::string& name);
const char* AlsoChanged();  // "; изменено: "
const char* NoValue();      // "нет"
// The preview's summary: "Сохранение изменит настройки в VR-7 № N: добавлено A, удалено R,
// перемещено M, изменено C." and its question "Записать список в VR-7?"
std::string Summary(uint32_t device, size_t added, size_t removed, size_t moved, size_t changed);
const char* StoreQuestion();  // "Записать список в VR-7?"
// "Настройки в VR-7 № N уже совпадают со списком: сохранять нечего. Записать всё равно?"
std::string SameQuestion(uint32_t device);
// "В VR-7 № N нет файла настроек шлюза: все переменные списка будут добавлены."
std::string NoDeviceFile(uint32_t device);
// "Файл настроек шлюза в VR-7 не читается как список (<reason>): он будет заменён целиком."
std::string DeviceFileUnreadable(const std::string& reason);
// "Резервная копия: <path>" / "Резервная копия не делалась (отключена в меню «Настройки»)."
std::string BackupKept(const std::string& path);
const char* BackupOff();
const char* NothingToBackUp();  // "В приборе не было файла настроек шлюза: копировать нечего."
// The status line after the preview was answered "Нет": "Сохранение в VR-7 не выполнялось."
const char* StoreDeclined();
// The status after a restore: "Восстановлено из <path>"
std::string Restored(const std::string& path);

}  // namespace storetext
