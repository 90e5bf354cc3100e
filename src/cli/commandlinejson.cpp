// The lines --json writes: values a script reads, in place of the Chinese
// sentences a person reads.
#include "commandline.h"
#include "commandlineoptions.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Why an album is not whole, as words a script can compare; empty when it is.
QJsonArray notWholeBecause(const JobReport &report)
{
    QJsonArray why;
    if (report.busy)
        why.append(QStringLiteral("busy"));
    if (report.albumGone)
        why.append(QStringLiteral("gone"));
    if (report.haltedBy == HaltReason::User)
        why.append(QStringLiteral("stopped"));
    if (report.haltedBy == HaltReason::LoginExpired)
        why.append(QStringLiteral("login-expired"));
    if (!report.collectionStop.isNone())
        why.append(QStringLiteral("collection-stopped"));
    if (report.failed > 0)
        why.append(QStringLiteral("failed"));
    if (report.folderGone)
        why.append(QStringLiteral("folder-gone"));
    if (why.isEmpty() && !report.isWhole())
        why.append(QStringLiteral("not-whole"));
    return why;
}

} // namespace

QJsonObject albumJson(int index, int count, const QString &title, const QString &address, const QString &saveFolder,
                      const JobReport &report)
{
    const bool whole = report.isWhole() && !report.busy && !report.albumGone;
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("album")},
        {QStringLiteral("index"), index + 1},
        {QStringLiteral("count"), count},
        {QStringLiteral("title"), title},
        {QStringLiteral("address"), address},
        {QStringLiteral("folder"),
         report.folderName.isEmpty() || report.folderGone ? QJsonValue() : QJsonValue(QDir(saveFolder).filePath(report.folderName))},
        {QStringLiteral("new"), report.saved},
        {QStringLiteral("alreadyThere"), report.alreadyThere},
        {QStringLiteral("failed"), report.failed},
        {QStringLiteral("skipped"), report.notDownloaded},
        {QStringLiteral("noPicture"), report.noPictureAddress},
        {QStringLiteral("whole"), whole},
        {QStringLiteral("notWholeBecause"), whole ? QJsonArray() : notWholeBecause(report)},
    };
}

QJsonObject totalJson(const RunTotals &totals, int exitCode)
{
    const ExitCodeRow *row = findExitCode(exitCode);
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("total")},
        {QStringLiteral("albums"), totals.albums},
        {QStringLiteral("whole"), totals.whole},
        {QStringLiteral("new"), totals.saved},
        {QStringLiteral("failed"), totals.failed},
        {QStringLiteral("notBegun"), totals.notBegun},
        {QStringLiteral("exitCode"), exitCode},
        {QStringLiteral("exit"), row ? QLatin1String(row->word) : QLatin1String("unknown")},
        {QStringLiteral("exitMeaning"), row ? QLatin1String(row->meaning) : QLatin1String("")},
    };
}

void writeJson(const QJsonObject &object)
{
    fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}
