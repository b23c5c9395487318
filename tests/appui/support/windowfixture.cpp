#include "tests/appui/support/windowfixture.h"
#include "tests/common/testtext.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "base/cp1251.h"

QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "appui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        // An offscreen screen as large as an ordinary desktop's (the plugin's own is 800x600),
        // so that the window keeps its size; fitting it into a smaller one is tested apart.
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        if (platform.isEmpty() || platform == "offscreen") {
            static const QString config = QDir::temp().filePath(
                QStringLiteral("vr7-appui-screen-%1.json").arg(QCoreApplication::applicationPid()));
            QFile file(config);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                file.write(
                    R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1280,)"
                    R"( "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
                file.close();
                qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
            } else {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
        }
        return new QApplication(argc, argv);
    }();
    return *application;
}

void WindowTest::SetUp() {
    TestApplication();
    ASSERT_TRUE(work_.isValid());
    ASSERT_TRUE(program_.isValid());
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work_.path()));
}

void WindowTest::TearDown() {
    window.reset();
    QDir::setCurrent(previousDir_);
}

TVR7CfgUpdate& WindowTest::CreateWindow() {
    WindowEnvironment environment;
    environment.programDir = program_.path();
    environment.messages = &messages;
    environment.shell = &shell;
    window = std::make_unique<TVR7CfgUpdate>(environment);
    return *window;
}

void WindowTest::WriteFile(const QString& path, const std::string& bytes) const {
    QFile file(QFileInfo(path).isAbsolute() ? path : QDir(Work()).filePath(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string WindowTest::ReadFile(const QString& path) const {
    QFile file(QFileInfo(path).isAbsolute() ? path : QDir(Work()).filePath(path));
    if (!file.open(QIODevice::ReadOnly)) return std::string();
    return file.readAll().toStdString();
}

QString DemoFolder() {
    return QString::fromUtf8(VR7_SOURCE_DIR) + QStringLiteral("/examples/vr7_12");
}

void WindowTest::UseDemoCatalogue() const {
    const QString source =
        QString::fromUtf8(VR7_SOURCE_DIR) + QStringLiteral("/examples/calcbank.xml");
    ASSERT_TRUE(QFile::copy(source, QDir(Work()).filePath(QStringLiteral("calcbank.xml"))))
        << source.toStdString();
}

void CopyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(source));
        if (it.fileInfo().isDir()) {
            QDir().mkpath(target);
        } else {
            QFile::copy(source, target);
        }
    }
}

void FinishDeviceCommand(TVR7CfgUpdate& window) {
    QElapsedTimer clock;
    clock.start();
    while (window.DeviceCommandRunning() && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(window.DeviceCommandRunning()) << "the device command never ended";
}

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0) *out << ", ";
        PrintTo(texts[i], out);
    }
    *out << '}';
}

void ClickCheckBox(SnvtListView* list, int row, bool checked) {
    list->model()->setData(list->model()->index(row, colVarName),
                           checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

void ListReadFromTheDevice(TVR7CfgUpdate& window) {
    DeviceReadResult read;
    read.outcome = DeviceReadOutcome::Read;
    window.Controller.ReadEnded(read, window.Controller.DeviceNumber());
}

void HandleQueuedEvents() {
    // Handling one event may queue the next (a resize asks the layout again, the layout resizes
    // the children): a few rounds take each chain to its end.
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}
