// Portable or installed: where settings and pictures go, decided from the
// executable's folder, and kept across runs of a copy that cannot write it.
#include "app/icons.h"
#include "storage/applocations.h"
#include "storage/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

namespace {

// Set in the environment of a copy of this program that plays the installed
// Quillmoor: it starts up as the window does and prints what it used.
const char InstalledRunVariable[] = "QUILLMOOR_INSTALLED_RUN";
constexpr uid_t Nobody = 65534;

int runAsInstalledProgram()
{
    const AppLocations where = chooseLocations(locationInputs(QCoreApplication::applicationDirPath()));
    prepareLocations(where);
    const QString section = QStringLiteral("Settings");
    QString path = ReadSetting(where.settingsFile, section, QStringLiteral("Path"));
    if (path.isEmpty()) {
        path = where.defaultSaveFolder;
        if (!WriteSetting(where.settingsFile, section, QStringLiteral("Path"), path))
            return 3;
    }
    const QString report = QStringList{where.installed ? "installed" : "portable", where.settingsFile,
                                       where.defaultSaveFolder, path}
                               .join(QLatin1Char('\n'));
    fputs(report.toLocal8Bit().constData(), stdout);
    return 0;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void choiceFollowsTheExecutablesFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::newRow("own folder") << "/home/li/Quillmoor" << true << false;
        QTest::newRow("unwritable folder") << "/opt/quillmoor" << false << true;
        // Root may write there, yet it is a package's place, not the program's own.
        QTest::newRow("/usr/bin as root") << "/usr/bin" << true << true;
        QTest::newRow("/usr/local/bin/") << "/usr/local/bin/" << true << true;
        QTest::newRow("only looks like /usr") << "/usr2/bin" << true << false;
        QTest::newRow("leaves /usr by ..") << "/usr/../home/li" << true << false;
    }
    void choiceFollowsTheExecutablesFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, writable);
        QFETCH(bool, installed);
        const AppLocations where = chooseLocations({folder, writable, "/home/li/.config", "/home/li/图片"});
        QCOMPARE(where.installed, installed);
        if (installed) {
            QCOMPARE(where.settingsFile, QString("/home/li/.config/Quillmoor/Settings.ini"));
            QCOMPARE(where.defaultSaveFolder, QString("/home/li/图片/Quillmoor"));
        } else {
            QCOMPARE(where.settingsFile, folder + "/Settings.ini");
            QCOMPARE(where.defaultSaveFolder, folder);
        }
    }

    void inputsComeFromTheUsersEnvironment()
    {
        QTemporaryDir dir;
        const QString home = dir.path() + "/home";
        const QString config = dir.path() + "/config";
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        qputenv("HOME", home.toLocal8Bit());

        // The pictures folder is the one the desktop names, in the user's language.
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        writeFile(config + "/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/图片\"\n");
        LocationInputs in = locationInputs(dir.path());
        QCOMPARE(in.configHome, config);
        QCOMPARE(in.picturesFolder, home + "/图片");
        QVERIFY(in.applicationFolderWritable);

        // A relative XDG_CONFIG_HOME is invalid and falls back to ~/.config.
        qputenv("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(locationInputs(dir.path()).configHome, home + "/.config");
        qunsetenv("XDG_CONFIG_HOME");
        in = locationInputs(dir.path() + "/gone");
        QCOMPARE(in.configHome, home + "/.config");
        QVERIFY(!in.applicationFolderWritable); // a folder that is not there cannot be written
    }

    void foldersAreMadeWhenFirstUsed()
    {
        QTemporaryDir dir;
        const AppLocations where =
            chooseLocations({"/usr/bin", true, dir.path() + "/config", dir.path() + "/home/Pictures"});

        // Neither the configuration folder nor ~/Pictures exist yet.
        prepareLocations(where);
        QVERIFY(QFileInfo(where.defaultSaveFolder).isDir());
        QVERIFY(WriteSetting(where.settingsFile, "Settings", "Path", where.defaultSaveFolder));

        // Removed by the user while it is still the save folder: made again.
        QVERIFY(QDir(where.defaultSaveFolder).removeRecursively());
        prepareLocations(where);
        QVERIFY(QFileInfo(where.defaultSaveFolder).isDir());

        // Not while the settings name another save folder.
        QVERIFY(QDir(where.defaultSaveFolder).removeRecursively());
        QVERIFY(WriteSetting(where.settingsFile, "Settings", "Path", dir.path() + "/chosen"));
        prepareLocations(where);
        QVERIFY(!QFileInfo::exists(where.defaultSaveFolder));
        QVERIFY(!QFileInfo::exists(dir.path() + "/chosen"));
    }

    // A copy of this program in a folder its user cannot write: as the user
    // "nobody" when the tests run as root, who could write any folder.
    void unwritableCopyKeepsItsSettingsAcrossRuns()
    {
        QTemporaryDir dir;
        const QString appFolder = dir.path() + "/app";
        const QString home = dir.path() + "/home";
        const QString config = home + "/.config";
        QVERIFY(QDir().mkpath(appFolder));
        QVERIFY(QDir().mkpath(config));
        writeFile(config + "/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
        const QString copy = appFolder + "/quillmoor";
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));

        const bool root = ::geteuid() == 0;
        const auto readAndRun = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), readAndRun | QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(appFolder, readAndRun));
        auto writableAgain = qScopeGuard([&] {
            QFile::setPermissions(appFolder, readAndRun | QFileDevice::WriteOwner);
        });
        if (root) {
            for (const QString &path : {home, home + "/.config", config + "/user-dirs.dirs"})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), Nobody, Nobody), 0);
        }

        auto run = [&](QString *output) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(InstalledRunVariable, "1");
            env.insert("HOME", home);
            env.remove("XDG_CONFIG_HOME");
            p.setProcessEnvironment(env);
            if (root) {
                p.setChildProcessModifier([] {
                    if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
                        ::_exit(4);
                });
            }
            p.start(copy, {});
            if (!p.waitForFinished(60000))
                return -1;
            *output = QString::fromLocal8Bit(p.readAllStandardOutput());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };

        const QString settingsFile = config + "/Quillmoor/Settings.ini";
        const QString pictures = home + "/Bilder/Quillmoor";
        QString output;
        QCOMPARE(run(&output), 0);
        QCOMPARE(output.split('\n'), QStringList({"installed", settingsFile, pictures, pictures}));
        QVERIFY(QFileInfo(pictures).isDir());
        QCOMPARE(QDir(appFolder).entryList(QDir::Files), QStringList("quillmoor"));

        // The user chose another folder in the first run; the second keeps it.
        QVERIFY(WriteSetting(settingsFile, "Settings", "Path", "/srv/相册"));
        QCOMPARE(run(&output), 0);
        QCOMPARE(output.split('\n').value(3), QString("/srv/相册"));
    }

    // The installed tree's manual page names every option the installed
    // program's --help lists, and its completion offers them.
    void installTreeHasTheManualAndTheCompletion()
    {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QProcess install;
        install.start("cmake", {"--install", QUILLMOOR_BUILD_DIR, "--prefix", prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        QProcess help;
        help.start(prefix.filePath("bin/quillmoor"), {"--help"});
        QVERIFY(help.waitForFinished(60000));
        const QString helpText = QString::fromUtf8(help.readAllStandardOutput());
        QStringList options;
        for (const QRegularExpressionMatch &m : QRegularExpression("(?<![\\w-])--?[a-z][a-z-]*").globalMatch(helpText))
            if (!options.contains(m.captured()))
                options << m.captured();
        QVERIFY2(options.contains("--update-all") && options.contains("--json") && options.contains("-h"),
                 qPrintable(helpText));

        QFile manFile(prefix.filePath("share/man/man1/quillmoor.1"));
        QVERIFY(manFile.open(QIODevice::ReadOnly));
        const QString man = QString::fromUtf8(manFile.readAll());
        for (const QString &option : std::as_const(options))
            QVERIFY2(man.contains(QString(option).replace("-", "\\-")), qPrintable(option));
        for (const char *section : {".SH EXIT STATUS", ".SH FILES", "Settings.ini", "OnCalendar="})
            QVERIFY2(man.contains(section), section);
        // Made for the build, shown to nobody.
        QVERIFY(!helpText.contains("--man-page") && !man.contains("man\\-page"));

        // The completion, as bash runs it: options by their start, folders after --save-folder.
        QTemporaryDir cwd;
        QVERIFY(QDir(cwd.path()).mkdir("相册A"));
        writeFile(cwd.filePath("a-file"), "x");
        auto complete = [&](const QString &words) {
            QProcess bash;
            bash.setWorkingDirectory(cwd.path());
            bash.start("bash", {"-c", QStringLiteral("source '%1'; COMP_WORDS=(%2); COMP_CWORD=$((${#COMP_WORDS[@]}-1)); "
                                                    "_quillmoor; printf '%s\\n' \"${COMPREPLY[@]}\"")
                                          .arg(prefix.filePath("share/bash-completion/completions/quillmoor"), words)});
            bash.waitForFinished(10000);
            return QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        };
        QCOMPARE(complete("quillmoor --update"), QStringList({"--update-all", "--update"}));
        QCOMPARE(complete("quillmoor --save-folder ''"), QStringList("相册A"));
    }

    void windowIconCarriesTheApplicationIcon()
    {
        const QIcon icon = Icons::windowIcon();
        for (int size : {16, 32, 64, 256})
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
        // The frame's blue at the left edge's middle, drawn from the SVG.
        const QImage image = icon.pixmap(64).toImage();
        QCOMPARE(image.size(), QSize(64, 64));
        QCOMPARE(image.pixelColor(5, 35).rgb(), QColor("#1e4682").rgb());
    }
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Quillmoor"));
    if (qEnvironmentVariableIsSet(InstalledRunVariable))
        return runAsInstalledProgram();
    TestInstall test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_install.moc"
