#pragma once

#include "app/mainform.h"
#include "platform/browserpane.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

// Waits until `pane` completes a document whose address contains `addressPart`.
inline bool waitForDocument(BrowserPane *pane, const QString &addressPart, int timeoutMs = 30000)
{
    QSignalSpy spy(pane, &BrowserPane::documentComplete);
    return QTest::qWaitFor([&] {
        for (const auto &args : spy)
            if (args.at(0).toString().contains(addressPart))
                return true;
        return false;
    }, timeoutMs);
}

// Every main window that exists now.
inline QList<MainForm *> mainForms()
{
    QList<MainForm *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<MainForm *>(w))
            out << f;
    return out;
}
