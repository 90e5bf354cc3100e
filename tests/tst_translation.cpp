// The English translation: complete, chosen by the desktop's first language
// (the process's LANG, LANGUAGE, LC_ALL), and on the window with captions
// that fit; any other language leaves every text as today's Chinese.
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "demosite.h"
#include "progress/translation.h"
#include "testmain.h"

#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeView>
#include <QXmlStreamReader>

namespace {

const QRegularExpression Han(QStringLiteral("\\p{Han}"));

// What the window shows: every text, and each named control's place in the
// window with the width its text takes.
QJsonObject windowDump(MainForm *w)
{
    QJsonArray texts{w->windowTitle()};
    QJsonObject controls;
    const auto control = [&](QWidget *c, const QString &text) {
        const QRect r(c->mapTo(w, QPoint(0, 0)), c->size());
        controls.insert(c->objectName(), QJsonObject{{"x", r.x()}, {"y", r.y()}, {"w", r.width()}, {"h", r.height()},
                                                     {"text", text},
                                                     {"advance", c->fontMetrics().horizontalAdvance(text)},
                                                     {"button", bool(qobject_cast<CommandButton *>(c))},
                                                     {"label", bool(qobject_cast<QLabel *>(c))}});
    };
    for (QWidget *c : w->centralWidget()->findChildren<QWidget *>()) {
        if (c->objectName().isEmpty() || c->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QString text;
        if (auto *b = qobject_cast<CommandButton *>(c)) {
            text = b->Caption();
            texts << b->ToolTipText();
        } else if (auto *l = qobject_cast<QLabel *>(c)) {
            text = l->text();
        } else if (auto *g = qobject_cast<QGroupBox *>(c)) {
            text = g->title();
        } else if (auto *t = qobject_cast<QTabWidget *>(c)) {
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
        } else if (auto *v = qobject_cast<QTreeView *>(c)) {
            for (int i = 0; i < v->model()->columnCount(); ++i)
                texts << v->model()->headerData(i, Qt::Horizontal).toString();
        }
        texts << text << c->accessibleName();
        control(c, text);
    }
    std::function<void(const QList<QAction *> &)> menus = [&](const QList<QAction *> &actions) {
        for (const QAction *a : actions) {
            texts << a->text();
            if (a->menu())
                menus(a->menu()->actions());
        }
    };
    menus(w->menuBar()->actions());
    texts << w->JobProgress->accessibleName();
    return {{"texts", texts}, {"controls", controls}};
}

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

QRect rectOf(const QJsonObject &c)
{
    return {c["x"].toInt(), c["y"].toInt(), c["w"].toInt(), c["h"].toInt()};
}

// The environment of a desktop in `locale`: only the given variables of
// LANG, LANGUAGE, LC_ALL and LC_MESSAGES are set.
QProcessEnvironment desktopIn(const QStringList &settings)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    for (const QString &setting : settings)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    return env;
}

} // namespace

class TestTranslation : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site;

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("QUILLMOOR_DUMP_WINDOW"))
            return;
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

    // Every text has its English, with the same placeholders.
    void everyTextTranslated()
    {
        QFile file(QStringLiteral(QUILLMOOR_TRANSLATION_PATH));
        QVERIFY(file.open(QIODevice::ReadOnly));
        struct Message {
            QString source, translation;
            bool finished = true;
        };
        QList<Message> messages;
        QXmlStreamReader ts(&file);
        while (!ts.atEnd()) {
            if (ts.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (ts.name() == QLatin1String("source")) {
                messages.append({ts.readElementText(), {}});
            } else if (ts.name() == QLatin1String("translation")) {
                messages.last().finished = !ts.attributes().hasAttribute(QLatin1String("type"));
                messages.last().translation = ts.readElementText();
            }
        }
        QVERIFY(!ts.hasError());
        QVERIFY(messages.size() > 200);
        static const QRegularExpression placeholder(QStringLiteral("%\\d"));
        for (const Message &message : messages) {
            const QString &source = message.source;
            QVERIFY2(message.finished, qPrintable(source));
            QVERIFY2(!message.translation.isEmpty() && !message.translation.contains(Han), qPrintable(source));
            QStringList wanted, given;
            for (const auto &m : placeholder.globalMatch(source))
                wanted << m.captured();
            for (const auto &m : placeholder.globalMatch(message.translation))
                given << m.captured();
            wanted.sort();
            given.sort();
            QVERIFY2(wanted == given, qPrintable(source));
        }
    }

    void languageFromTheDesktop_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("language");
        QTest::newRow("en-US") << QStringList{"en-US", "en-Latn-US", "en"} << "en";
        QTest::newRow("en-GB") << QStringList{"en-GB"} << "en";
        QTest::newRow("zh-CN") << QStringList{"zh-CN", "zh"} << "";
        QTest::newRow("English second") << QStringList{"de-DE", "en-US"} << "";
        QTest::newRow("C") << QStringList{"C"} << "";
        QTest::newRow("none") << QStringList{} << "";
    }
    void languageFromTheDesktop()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, language);
        QCOMPARE(Translation::languageFor(uiLanguages), language);
        if (!language.isEmpty())
            QVERIFY(QFile::exists(Translation::fileFor(language)));
    }

    // Run in a process of its own by the test below, with the desktop's
    // language in its environment: installs the translation the way
    // main() does and writes down what the window shows.
    void dumpWindow()
    {
        const QString out = qEnvironmentVariable("QUILLMOOR_DUMP_WINDOW");
        if (out.isEmpty())
            QSKIP("run by windowInTheDesktopsLanguage");
        setSiteAddresses(SiteAddresses::forBase(qEnvironmentVariable("QUILLMOOR_DUMP_SITE")));
        Translation::install(QCoreApplication::instance());
        QTemporaryDir app;
        auto *w = new MainForm(app.path());
        w->show();
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(windowDump(w)).toJson());
        delete w;
    }

    void windowInTheDesktopsLanguage_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<bool>("english");
        QTest::newRow("en_US") << QStringList{"LANG=en_US.UTF-8"} << true;
        QTest::newRow("LANGUAGE English first") << QStringList{"LANG=zh_CN.UTF-8", "LANGUAGE=en_GB:zh_CN"} << true;
        QTest::newRow("zh_CN") << QStringList{"LANG=zh_CN.UTF-8"} << false;
        QTest::newRow("LC_ALL=C over English") << QStringList{"LANG=en_US.UTF-8", "LC_ALL=C"} << false;
        QTest::newRow("unset") << QStringList{} << false;
    }
    void windowInTheDesktopsLanguage()
    {
        QFETCH(QStringList, environment);
        QFETCH(bool, english);
        // Today's window: this process installs no translation.
        QTemporaryDir app;
        auto *today = new MainForm(app.path());
        today->show();
        const QJsonObject chinese = windowDump(today);
        delete today;

        QTemporaryDir dumps;
        const QString out = dumps.filePath("window.json");
        QProcessEnvironment env = desktopIn(environment);
        env.insert("QUILLMOOR_DUMP_WINDOW", out);
        env.insert("QUILLMOOR_DUMP_SITE", m_site.base());
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {"dumpWindow"});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitCode(), 0);
        const QJsonObject shown = readJson(out);
        QVERIFY(!shown.isEmpty());
        if (!english) {
            QCOMPARE(shown, chinese);
            return;
        }

        for (const QJsonValue text : shown["texts"].toArray())
            QVERIFY2(!text.toString().contains(Han), qPrintable(text.toString()));
        const QJsonObject before = chinese["controls"].toObject();
        const QJsonObject after = shown["controls"].toObject();
        QCOMPARE(after.keys(), before.keys());
        QCOMPARE(after["CmdStartDown"].toObject()["text"].toString(), QString("Start Download"));
        for (const QString &name : after.keys()) {
            const QJsonObject c = after[name].toObject();
            const QRect place = rectOf(c), chinesePlace = rectOf(before[name].toObject());
            const QString what = name + ": " + c["text"].toString();
            if (c["label"].toBool()) {
                // Whole, and clear of the controls its Chinese text is clear of.
                QVERIFY2(c["advance"].toInt() <= place.width(), qPrintable(what));
                const QRect text(place.topLeft(), QSize(c["advance"].toInt(), place.height()));
                const QJsonObject chineseLabel = before[name].toObject();
                const QRect chineseText(place.topLeft(), QSize(chineseLabel["advance"].toInt(), place.height()));
                for (const QString &other : after.keys())
                    if (other != name && after[other].toObject()["button"].toBool()
                        && rectOf(after[other].toObject()).intersects(text))
                        QVERIFY2(rectOf(before[other].toObject()).intersects(chineseText), qPrintable(what + " under " + other));
            }
            if (!c["button"].toBool()) {
                QVERIFY2(place == chinesePlace, qPrintable(what));
                continue;
            }
            // Inside the caption's rectangle (4 pixels in from each side),
            // so the button need not shrink its font.
            QVERIFY2(c["advance"].toInt() <= place.width() - 8, qPrintable(what));
            // Only wider, to the right, and over nothing it did not cover.
            QVERIFY2(place.topLeft() == chinesePlace.topLeft() && place.height() == chinesePlace.height()
                         && place.width() >= chinesePlace.width(), qPrintable(what));
            for (const QString &other : after.keys()) {
                const QRect otherPlace = rectOf(after[other].toObject());
                if (other != name && otherPlace.intersects(place))
                    QVERIFY2(otherPlace.intersects(chinesePlace), qPrintable(what + " covers " + other));
            }
        }
    }

    // A run without a window speaks the desktop's language from its first line.
    void terminalInTheDesktopsLanguage_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("line");
        QTest::newRow("en_US") << QStringList{"LANG=en_US.UTF-8"} << "No albums to update in the save folder: ";
        QTest::newRow("zh_CN") << QStringList{"LANG=zh_CN.UTF-8"} << "保存路径中没有可更新的相册：";
        QTest::newRow("C") << QStringList{"LC_ALL=C"} << "保存路径中没有可更新的相册：";
    }
    void terminalInTheDesktopsLanguage()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, line);
        QTemporaryDir home, save;
        QProcessEnvironment env = desktopIn(environment);
        env.insert("HOME", home.path());
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(QUILLMOOR_PATH), {"--site", m_site.base(), "--save-folder", save.path(), "--update-all"});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0);
        // UTF-8 also where the locale is C: the program writes its lines in the locale's encoding.
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(out.startsWith(line + save.path()), qPrintable(out));
    }
};

QUILLMOOR_TEST_MAIN(TestTranslation)
#include "tst_translation.moc"
