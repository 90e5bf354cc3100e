// What `quillmoor --update-all` costs over albums that have not changed: 20
// albums are downloaded once, then brought up to date, the program run as a
// process the way a scheduler runs it. Prints the site's requests by kind and
// the wall time; fails when the update asked for a picture page or a picture
// (an unchanged album needs neither) or when a run did not end with 0.
//
//   ./bench_updateall [albums]
#include "demosite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QByteArray seed(int albums)
{
    QJsonArray list;
    for (int i = 0; i < albums; ++i)
        list.append(QJsonObject{{"id", QString::number(8000 + i)},
                                {"name", QStringLiteral("相册 %1").arg(i + 1)},
                                {"pages", 2},
                                {"perPage", 3}});
    const QJsonObject member{{"id", "100000001"}, {"albums", list}};
    return QJsonDocument(QJsonObject{{"members", QJsonArray{member}}}).toJson(QJsonDocument::Compact);
}

// One run of the program; its exit code, or -1 when it did not end in time.
int runProgram(const QTemporaryDir &home, const QString &save, const DemoSite &site, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_CACHE_HOME", home.filePath("cache"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(QUILLMOOR_PATH),
                  QStringList{"--site", site.base(), "--save-folder", save, "--quiet"} + arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    fputs(process.readAllStandardOutput().constData(), stdout);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int albums = argc > 1 ? qMax(1, atoi(argv[1])) : 20;
    DemoSite site(seed(albums));
    QTemporaryDir home, save;
    if (!site.start() || !home.isValid() || !save.isValid()) {
        fprintf(stderr, "bench_updateall: could not start the demo site or make temporary folders\n");
        return 2;
    }
    QStringList all{"--fast"};
    for (int i = 0; i < albums; ++i)
        all << "--album" << site.url(QStringLiteral("/photo/100000001/album-%1").arg(8000 + i));
    if (runProgram(home, save.path(), site, all) != 0) {
        fprintf(stderr, "bench_updateall: the first download did not end whole\n");
        return 1;
    }

    site.requests(true);
    QElapsedTimer clock;
    clock.start();
    const int code = runProgram(home, save.path(), site, {"--update-all"});
    const qint64 wall = clock.elapsed();
    const QJsonObject requests = site.requests();
    printf("--update-all over %d unchanged albums: exit %d, %.2f s wall\n", albums, code, wall / 1000.0);
    printf("requests: album pages %d, picture pages %d, pictures %d, other %d\n",
           requests.value("albumPages").toInt(), requests.value("picturePages").toInt(),
           requests.value("pictures").toInt(), requests.value("other").toInt());
    const bool lean = requests.value("picturePages").toInt() == 0 && requests.value("pictures").toInt() == 0;
    if (!lean)
        fprintf(stderr, "bench_updateall: an unchanged album cost picture-page or picture requests\n");
    return code == 0 && lean ? 0 : 1;
}
