#include "app/ui/windowstate.h"

#include <algorithm>

#include <QFile>
#include <QStringList>
#include <string>

#include "base/inifile.h"

namespace {

constexpr char kSection[] = "WINDOW";
constexpr size_t kPathBuffer = 4096;

std::string Read(const std::string& iniPath, const char* key, size_t buffer = 255) {
    return ini::ReadString(iniPath, kSection, key, "", buffer);
}

int Positive(const std::string& text) {
    bool ok = false;
    const int value = QString::fromStdString(text).toInt(&ok);
    return ok && value > 0 ? value : -1;
}

}  // namespace

WindowState LoadWindowState(const std::string& iniPath) {
    WindowState state;
    const int width = Positive(Read(iniPath, "width"));
    const int height = Positive(Read(iniPath, "height"));
    if (width > 0 && height > 0) state.size = QSize(width, height);
    state.maximized = Read(iniPath, "maximized") == "1";
    state.treeWidth = Positive(Read(iniPath, "tree"));
    const int share = Positive(Read(iniPath, "treeshare"));
    if (share > 0 && share < kShareUnit) state.treeShare = share;
    const QStringList columns = QString::fromStdString(Read(iniPath, "columns"))
                                    .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& column : columns) {
        bool ok = false;
        const int value = column.toInt(&ok);
        if (!ok || value < 0) {
            state.columnWidths.clear();
            break;
        }
        state.columnWidths << value;
    }
    state.openFolder =
        QFile::decodeName(QByteArray::fromStdString(Read(iniPath, "opened", kPathBuffer)));
    state.saveFolder =
        QFile::decodeName(QByteArray::fromStdString(Read(iniPath, "saved", kPathBuffer)));
    state.logShown = Read(iniPath, "log") == "1";
    state.logHeight = Positive(Read(iniPath, "logheight"));
    state.backupBeforeStore = Read(iniPath, "backup") != "0";
    state.previewBeforeStore = Read(iniPath, "preview") != "0";
    const int kept = Positive(Read(iniPath, "backupskept"));
    if (kept > 0) state.backupsKept = kept;
    return state;
}

void SaveWindowState(const std::string& iniPath, const WindowState& state) {
    auto write = [&iniPath](const char* key, const QString& value) {
        ini::WriteString(iniPath, kSection, key, value.toStdString());
    };
    if (state.size.isValid()) {
        write("width", QString::number(state.size.width()));
        write("height", QString::number(state.size.height()));
    }
    write("maximized", state.maximized ? QStringLiteral("1") : QStringLiteral("0"));
    if (state.treeWidth > 0) write("tree", QString::number(state.treeWidth));
    if (state.treeShare > 0) write("treeshare", QString::number(state.treeShare));
    QStringList columns;
    for (int width : state.columnWidths) columns << QString::number(width);
    write("columns", columns.join(QLatin1Char(',')));
    ini::WriteString(iniPath, kSection, "opened",
                     QFile::encodeName(state.openFolder).toStdString());
    ini::WriteString(iniPath, kSection, "saved", QFile::encodeName(state.saveFolder).toStdString());
    write("log", state.logShown ? QStringLiteral("1") : QStringLiteral("0"));
    if (state.logHeight > 0) write("logheight", QString::number(state.logHeight));
    write("backup", state.backupBeforeStore ? QStringLiteral("1") : QStringLiteral("0"));
    write("preview", state.previewBeforeStore ? QStringLiteral("1") : QStringLiteral("0"));
    write("backupskept", QString::number(std::max(1, state.backupsKept)));
}
