#pragma once
// Every text the program shows its user: message boxes, the error display, the status panel and
// the list's counters. Each is spelled here once, in UTF-8, and converted to Windows-1251 once, at
// its first use. The window, the toolkit-free commands and vr7lon all take their texts from here.
#include <cstdint>
#include <string>

#include "base/result.h"

struct DeviceInfo;
struct SerialPortInfo;

namespace usertext {

// Message boxes of the commands.
const std::string& NoConfiguration();  // "Конфигурация VR-7 не обнаружена"
const std::string& EmptyList();        // "Список SNVT переменных пуст!"
const std::string& NotConnected();     // "VR-7 не подключен!!!"
const std::string& ReadError();        // "Ошибка чтения!!!"
const std::string& Stored();  // "Настройки Tervon шлюза сохраненены"
const std::string& WriteProtected();  // the store's write protection (EN_PR) message
const std::string& StoreBroken();  // "Сохранение настроек Tervon шлюза прервано!!!"
const std::string& StoreCancelled();  // "Сохранение настроек Tervon шлюза отменено!"

// The window's questions and explanations.
// "Список SNVT переменных изменён и не сохранён.\nВыйти без сохранения?"
const std::string& LeaveUnsaved();
// The second line under "Конфигурация VR-7 не обнаружена": the path has no "vr7_".
const std::string& NoVr7InPath();
// A text around a file-system path, which stays in its own encoding: before + path + after.
struct AroundPath {
    const std::string& before;
    const std::string& after;
};
// The catalogue was not found at the path: what is missing and that no variable can be added.
AroundPath CatalogueNotFound();
// The second line under the XML library's text when the CONFIG folder (the path) has no main.xmc.
AroundPath NoMainXmc();
// The settings file (the path) could not be written when the window closed.
AroundPath SettingsNotSaved();
// The help document (the path) is missing, or no program could show it.
AroundPath HelpNotFound();
AroundPath HelpNotShown();

// "Недопустимый порт TCP/IP: TCPIPport=<value> (допустимо от 1 до 65535)": the connection
// settings' TCP port is out of range, so nothing was connected to.
std::string TcpPortOutOfRange(const std::string& value);

// "VR-7 версии M.m.B не поддерживает работу c Tervon шлюзом!!!" (the "c" is a Latin letter).
std::string UnsupportedVersion(const DeviceInfo& info);

// What went wrong with a local file, in "Файл <path> не создан.\n<reason>".
enum class FileStep { NotCreated, NotWritten, NotSaved, NotOpened };
// "Файл " + path + " не создан.\n" (or the other steps' words) + reason. path is taken as it is.
std::string FileFailure(FileStep step, const std::string& path, const std::string& reason);
// The same text's two parts around the path, for a caller that builds it from its own path text.
const std::string& FileFailureBefore();              // "Файл "
const std::string& FileFailureAfter(FileStep step);  // " не создан.\n", ...

// Why a serial port (its device path) did not open, for a user of Linux to act on: it does not
// exist, the user lacks the dialout group, another program holds it, it is no terminal, or the
// system's own text (errno error).
std::string SerialPortProblem(const std::string& path, int error);

// The serial port (its device path) went away during a command, its adapter pulled out most
// likely: "Порт /dev/ttyUSB0 исчез (адаптер отключён?)", the second line under "VR-7 не
// подключен!!!" and the status bar's cause.
std::string SerialPortGone(const std::string& path);

// The tool tip of a port in the port list, UTF-8 (sysfs gives its strings so): what the system
// says of it ("FT232R USB UART (FTDI), драйвер ftdi_sio, USB 0403:6001, серийный номер
// A50285BI") and, when the port has a stable name, a second line: for the kernel's name
// (stableItem false) the stable name to choose instead, for the stable name (stableItem true)
// the kernel's name it stands for now.
std::string SerialPortToolTip(const SerialPortInfo& port, bool stableItem);

// The configuration field after a read: "Порт: <port>, VR-7 № <number>".
std::string DeviceConfigurationCaption(const std::string& portName, uint32_t deviceNumber);

// The list's messages and status texts.
// "Количество SNVT переменных достигло максимума!!!\nНе могу добавить 2 переменых" (need 2) or
// "... 1 переменую" (any other need): the spelling users know.
std::string NoRoom(unsigned need);
// "SNVT переменных M, задействовано: U, доступно: A"
std::string Counters(unsigned maxVariables, unsigned usedVariables, long long available);
const std::string& DeletingChecked();  // "удаление выбранных переменных"
const std::string& DeletingRow();      // "Удаляю " (the row's caption follows)

// The gateway settings file's refusals of a row and its write errors.
// "Не могу сохранить строку N (caption): problem"
std::string RowRefused(size_t rowNumber, const std::string& caption, const std::string& problem);
std::string EmptyField(const std::string& column);    // "пустое поле \"column\""
std::string SpaceInField(const std::string& column);  // "пробел в поле \"column\""
const std::string& TypeNotF();                        // "в поле \"Type\" не \"F\""
const std::string& FlagsTypeNotB();  // "поле \"Type\" флагов не начинается с \"B\""
// "Ошибка записи файла: " + reason
std::string FileWriteError(const std::string& reason);

// The texts of the core's failures (base/result.h), chosen here from what failed.
// Why, in UTF-8: a file step's failure gives the system's text for its errno, invalid input its
// reason; a device's failure gives none here (its texts are the link's and the causes below).
std::string FailureReason(const Failure& failure);
// vr7lon's words for it, UTF-8: "<path>: <reason>", or the reason alone when no file is named.
std::string FailureLine(const Failure& failure);
// The line under "Файл <path> не ...\n" (Windows-1251): a file that was not saved because a
// file step failed says "Ошибка записи файла: " + the system's text; any other step, and input
// that was refused, the reason itself.
std::string FileFailureReason(FileStep step, const Failure& failure);
// FileFailure(step, path, FileFailureReason(step, failure)).
std::string FileFailure(FileStep step, const std::string& path, const Failure& failure);

}  // namespace usertext

namespace usertext {

// Why a device command failed, one line for the status bar (Windows-1251).
// "нет ответа от прибора № 5 (3 попытки по 800 мс)"
std::string NoAnswerCause(uint32_t deviceNumber, int attempts, unsigned timeoutMs);
// "неверная контрольная сумма в ответе прибора № 5"
std::string BadCheckCause(uint32_t deviceNumber);
// "прибор № 5 отказал (код 3)"
std::string RefusalCause(uint32_t deviceNumber, int code);
// "ответ прибора № 5 искажён или неполон"
std::string BrokenAnswerCause(uint32_t deviceNumber);
// "нет соединения с 127.0.0.1:10001 (соединение отклонено)"
std::string TcpConnectCause(const std::string& host, const std::string& port, int error);
// "ошибка связи с прибором № 5 (код 1020)"
std::string LinkErrorCause(uint32_t deviceNumber, int code);

}  // namespace usertext
