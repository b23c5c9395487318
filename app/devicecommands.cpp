#include "devicecommands.h"

#include <string.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "connection.h"
#include "cp1251.h"
#include "gatewayfile.h"
#include "snvtlist.h"
#include "vr7cfgtree.h"
#include "vr7prot.h"

namespace {

// The messages, Windows-1251, converted once from their UTF-8 spelling.
#define VR7_MESSAGE(name, utf8)                                 \
    const std::string& name() {                                 \
        static const std::string text = cp1251::FromUtf8(utf8); \
        return text;                                            \
    }
VR7_MESSAGE(NotConnectedText, "VR-7 не подключен!!!")
VR7_MESSAGE(ReadErrorText, "Ошибка чтения!!!")
VR7_MESSAGE(EmptyListText, "Список SNVT переменных пуст!")
VR7_MESSAGE(StoredText, "Настройки Tervon шлюза сохраненены")
VR7_MESSAGE(ProtectedText,
            "Для сохранения настроек Tervon шлюза в VR-7,\nнеобходимо снять защиту (EN_PR)!!!")
VR7_MESSAGE(StoreBrokenText, "Сохранение настроек Tervon шлюза прервано!!!")
VR7_MESSAGE(FileText, "Файл ")
VR7_MESSAGE(NotCreatedText, " не создан.\n")
VR7_MESSAGE(NotWrittenText, " не записан.\n")
VR7_MESSAGE(NotSavedText, " не сохранён.\n")
VR7_MESSAGE(NotOpenedText, " не открыт.\n")
#undef VR7_MESSAGE

enum class Identity { Known, Silent, TooOld };

// Identifies the device, adopting its own number while ours is 0, and checks that its firmware
// serves the gateway's files. Shows the message of a failure.
Identity Identify(const DeviceCommandTarget& target, DeviceInfo& info, LinkResult& code) {
    const uint32_t address = target.DeviceNumber == 0 ? AnyDeviceAddress : target.DeviceNumber;
    code = ReadDeviceInfo(target.conn, address, info);
    if (code != lr::Ok) {
        target.messages.ShowMessage(NotConnectedText());
        return Identity::Silent;
    }
    if (target.DeviceNumber == 0) target.DeviceNumber = info.DeviceNumber();
    if (info.VersionBuild() < kMinGatewayBuild) {
        target.messages.ShowMessage(UnsupportedVersionText(info));
        return Identity::TooOld;
    }
    return Identity::Known;
}

// The system's own English text of an errno: a translated one would follow the locale.
std::string Reason(int error) {
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? text : "error " + std::to_string(error);
}

// A local file of the working directory as the user finds it.
std::string WorkingPath(const char* name) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    return ec ? std::string(name) : path.string();
}

void ReportFile(IMessageSink& messages, const char* name, const std::string& what,
                const std::string& reason) {
    messages.ShowMessage(FileText() + WorkingPath(name) + what + reason);
}

}  // namespace

void TreeProgress(void* context, float fraction, const char* text) {
    if (context == nullptr) return;
    static_cast<IProgressSink*>(context)->ShowProgress(text != nullptr ? text : "", fraction);
}

std::string UnsupportedVersionText(const DeviceInfo& info) {
    // "VR-7 версии " ... " не поддерживает работу c Tervon шлюзом!!!"; the "c" before "Tervon"
    // is a Latin letter in the text users know.
    static const std::string before = cp1251::FromUtf8("VR-7 версии ");
    static const std::string after = cp1251::FromUtf8(" не поддерживает работу c Tervon шлюзом!!!");
    return before + std::to_string(info.VersionMajor()) + "." +
           std::to_string(info.VersionMinor()) + "." + std::to_string(info.VersionBuild()) + after;
}

std::string DeviceConfigurationCaption(const std::string& portName, uint32_t deviceNumber) {
    static const std::string port = cp1251::FromUtf8("Порт: ");
    static const std::string device = cp1251::FromUtf8(", VR-7 № ");
    return port + portName + device + std::to_string(deviceNumber);
}

DeviceReadResult ReadFromDevice(const DeviceCommandTarget& target, CfgTree& tree, CSnvtList& list,
                                const XmlDocument* catalogue, IProgressSink* progress) {
    DeviceReadResult result;
    connection::OpenedLink link(target.conn);
    switch (Identify(target, result.info, result.code)) {
        case Identity::Silent:
            result.outcome = DeviceReadOutcome::NotConnected;
            return result;
        case Identity::TooOld:
            result.outcome = DeviceReadOutcome::UnsupportedVersion;
            return result;
        case Identity::Known:
            break;
    }
    if (BuildTreeFromDevice(tree, target.conn, target.DeviceNumber, progress,
                            progress != nullptr ? TreeProgress : nullptr, catalogue,
                            kWindowTreeOptions)) {
        target.messages.ShowMessage(ReadErrorText());
        result.outcome = DeviceReadOutcome::ReadFailed;
        return result;
    }
    result.outcome = DeviceReadOutcome::Read;
    result.download = ReadGatewayFileFromDevice(target, list);
    return result;
}

GatewayDownload ReadGatewayFileFromDevice(const DeviceCommandTarget& target, CSnvtList& list) {
    std::ofstream local(kDownloadFileName, std::ios::binary | std::ios::trunc);
    if (!local) {
        // Asking the device for a file that has nowhere to go would only load whatever an
        // earlier download left here as if it were the device's.
        const int error = errno;
        list.Clear();
        ReportFile(target.messages, kDownloadFileName, NotCreatedText(), Reason(error));
        return GatewayDownload::LocalFailed;
    }
    const LinkResult r = ReadDeviceFile(target.conn, target.DeviceNumber, &local, kDownloadFileName,
                                        nullptr, nullptr);
    local.close();
    const int error = errno;
    if (r == lr::Ok && !local) {
        list.Clear();
        ReportFile(target.messages, kDownloadFileName, NotWrittenText(), Reason(error));
        return GatewayDownload::LocalFailed;
    }
    // The device refuses to open a file it does not have: it simply has no gateway settings yet.
    if (r == lr::BadArgument) {
        list.Clear();
        return GatewayDownload::NoFile;
    }
    // Any other failure, whether or not bytes had come, leaves the device's settings unknown;
    // an empty or partial list must not pass for them, or storing it would overwrite them.
    if (r != lr::Ok) {
        list.Clear();
        target.messages.ShowMessage(ReadErrorText());
        return GatewayDownload::Broken;
    }
    LoadGatewayFile(list, "");
    return GatewayDownload::Loaded;
}

DeviceStoreResult StoreGatewayFileToDevice(const DeviceCommandTarget& target,
                                           const CSnvtList& list) {
    DeviceStoreResult result;
    // Only a copy written in full goes to the device; an older copy must never stand in for it.
    const SaveGatewayResult saved = SaveGatewayFile(list, kUploadFileName);
    if (!saved) {
        ReportFile(target.messages, kUploadFileName, NotSavedText(), saved.message);
        result.outcome = DeviceStoreOutcome::NotSaved;
        return result;
    }
    std::ifstream copy(kUploadFileName, std::ios::binary);
    if (!copy) {
        const int error = errno;
        ReportFile(target.messages, kUploadFileName, NotOpenedText(), Reason(error));
        result.outcome = DeviceStoreOutcome::NotSaved;
        return result;
    }

    connection::OpenedLink link(target.conn);
    DeviceInfo info;
    switch (Identify(target, info, result.code)) {
        case Identity::Silent:
            result.outcome = DeviceStoreOutcome::NotConnected;
            return result;
        case Identity::TooOld:
            result.outcome = DeviceStoreOutcome::UnsupportedVersion;
            return result;
        case Identity::Known:
            break;
    }
    result.code =
        WriteDeviceFile(target.conn, target.DeviceNumber, &copy, kUploadFileName, nullptr, nullptr);
    if (result.code == lr::Ok) {
        target.messages.ShowMessage(StoredText());
        result.outcome = DeviceStoreOutcome::Stored;
    } else if (result.code == lr::BadArgument) {
        // The device refuses the file while its write protection (EN_PR) is on.
        target.messages.ShowMessage(ProtectedText());
        result.outcome = DeviceStoreOutcome::Protected;
    } else {
        target.messages.ShowMessage(StoreBrokenText());
        result.outcome = DeviceStoreOutcome::Broken;
    }
    return result;
}

DeviceStoreResult Store(const DeviceCommandTarget& target, const CSnvtList& list) {
    if (list.RowCount() == 0) {
        target.messages.ShowMessage(EmptyListText());
        DeviceStoreResult result;
        result.outcome = DeviceStoreOutcome::EmptyList;
        return result;
    }
    return StoreGatewayFileToDevice(target, list);
}
