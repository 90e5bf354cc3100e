#include "app/icons.h"
#include "app/mainform.h"
#include "skinbutton.h"
#include "platform/browserpane.h"
#include "app/siteaddresses.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    QApplication::setApplicationVersion(QStringLiteral("Beta 4.0"));
    // Message boxes and the desktop's task list show the program's own icon;
    // the desktop entry names it on Wayland.
    QApplication::setWindowIcon(Icons::windowIcon());
    QGuiApplication::setDesktopFileName(Icons::applicationId());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Downloads Kestrelnet photo albums."));
    parser.addHelpOption();
    QCommandLineOption site(QStringLiteral("site"),
                            QStringLiteral("Use the site at BASE (e.g. http://127.0.0.1:8080) for every site address."),
                            QStringLiteral("BASE"));
    parser.addOption(site);
    QCommandLineOption noTheme(QStringLiteral("no-theme"),
                               QStringLiteral("Draw the buttons in their plain look instead of the desktop theme."));
    parser.addOption(noTheme);
    parser.process(app);
    if (parser.isSet(site)) {
        const QUrl base(parser.value(site));
        if (!base.isValid() || base.scheme() != QLatin1String("http") || base.host().isEmpty()) {
            fprintf(stderr, "quillmoor: --site needs an address like http://127.0.0.1:8080\n");
            return 2;
        }
        setSiteAddresses(SiteAddresses::forBase(parser.value(site)));
    }

    if (parser.isSet(noTheme))
        SkinButton::setThemeAvailable(false);

    const AppLocations locations =
        chooseLocations(locationInputs(QCoreApplication::applicationDirPath()));
    prepareLocations(locations);
    auto *window = new MainForm(locations);
    window->show();
    const int code = app.exec();

    // Pages must go before the browser profile they use.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<MainForm *>(w))
            delete w;
    }
    BrowserProfile::shutdown();
    return code;
}
