#pragma once

#include "platform/browserpane.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Like QTEST_MAIN, plus what Qt WebEngine needs before the application
// exists, and a browser profile of the test's own in a temporary folder.
#define QUILLMOOR_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char *argv[])                                                              \
    {                                                                                             \
        prepareWebEngine();                                                                       \
        QStandardPaths::setTestModeEnabled(true);                                                 \
        QTemporaryDir profileDir;                                                                 \
        /* A test may run one of its functions in a child process on its own profile. */         \
        const QByteArray sharedProfile = qgetenv("QUILLMOOR_TEST_PROFILE");                      \
        const QString profilePath =                                                               \
            sharedProfile.isEmpty() ? profileDir.path() : QString::fromLocal8Bit(sharedProfile);  \
        BrowserProfile::setStoragePath(profilePath);                                              \
        qputenv("QUILLMOOR_TEST_PROFILE_IN_USE", profilePath.toLocal8Bit());                     \
        QApplication app(argc, argv);                                                             \
        QApplication::setApplicationName(QStringLiteral("Quillmoor"));                           \
        int rc = 0;                                                                               \
        {                                                                                         \
            TestObject tc;                                                                        \
            QTEST_SET_MAIN_SOURCE_PATH                                                            \
            rc = QTest::qExec(&tc, argc, argv);                                                   \
        }                                                                                         \
        for (QWidget * w : QApplication::topLevelWidgets())                                       \
            delete w;                                                                             \
        BrowserProfile::shutdown();                                                               \
        return rc;                                                                                \
    }
