#include "progressmodel.h"

#include "progresstexts.h"

#include <QCoreApplication>

ProgressModel::ProgressModel(const QList<QIcon> &icons, QObject *parent)
    : QAbstractTableModel(parent)
    , m_icons(icons)
{
}

int ProgressModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ProgressModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProgressModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case StatusColumn:
        return tr("Status");
    case ProgressColumn:
        return tr("下载进度");
    }
    return QVariant();
}

QVariant ProgressModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    if (role == Qt::DisplayRole)
        return index.column() == StatusColumn ? statusText(row) : progressText(row);
    if (role == Qt::DecorationRole && index.column() == StatusColumn) {
        const int icon = iconOf(index.row());
        return icon > 0 && icon < m_icons.size() ? QVariant(m_icons.at(icon)) : QVariant();
    }
    return QVariant();
}

QString ProgressModel::statusText(const Row &row) const
{
    switch (row.kind) {
    case Kind::Collecting:
        return tr("Collecting");
    case Kind::Album:
        return tr("Album");
    case Kind::Stopped:
        return tr("Stopped");
    case Kind::Finished:
        // "Finished", or why the album did not finish (stopped, gone).
        return QCoreApplication::translate("ProgressModel",
                                           ProgressText::finishedRow(*row.report).status.toUtf8().constData());
    case Kind::Text:
        return QCoreApplication::translate("ProgressModel", row.status.toUtf8().constData());
    case Kind::Picture:
        break;
    }
    switch (row.picture.kind) {
    case PictureReport::Kind::Saved:
        return tr("Success");
    case PictureReport::Kind::AlreadyThere:
        return tr("Exists");
    case PictureReport::Kind::Skipped:
        return tr("Skipped");
    case PictureReport::Kind::Failed:
        break;
    }
    return tr("Failed");
}

QString ProgressModel::progressText(const Row &row) const
{
    if (row.madeText)
        return row.text;
    switch (row.kind) {
    case Kind::Collecting:
        if (row.count < 0)
            return ProgressText::collectingStarted();
        return row.complete ? ProgressText::collectedAll(row.count) : ProgressText::collectedSoFar(row.count);
    case Kind::Album:
        return tr("相册《%1》 (%2/%3)").arg(row.text, QString::number(row.count), QString::number(row.total));
    case Kind::Picture:
        return ProgressText::pictureRow(row.picture, row.onlyNew).text;
    case Kind::Stopped:
        return ProgressText::stoppedRow(row.report->collectionStop).text;
    case Kind::Finished:
        return ProgressText::finishedRow(*row.report).text;
    case Kind::Text:
        break;
    }
    return QString();
}

int ProgressModel::iconOf(int rowNumber) const
{
    const Row &row = m_rows.at(rowNumber);
    switch (row.kind) {
    case Kind::Collecting:
    case Kind::Album:
        return ProgressText::CollectingIcon;
    case Kind::Picture:
        return ProgressText::pictureRow(row.picture, row.onlyNew).icon;
    case Kind::Stopped:
        return ProgressText::WarningIcon;
    case Kind::Finished:
        return ProgressText::finishedRow(*row.report).icon;
    case Kind::Text:
        break;
    }
    return row.icon;
}

void ProgressModel::clear()
{
    beginResetModel();
    std::deque<Row>().swap(m_rows);
    endResetModel();
}

void ProgressModel::append(Row row)
{
    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

int ProgressModel::addCollecting()
{
    Row row;
    row.kind = Kind::Collecting;
    append(row);
    return int(m_rows.size()) - 1;
}

void ProgressModel::setCollected(int rowNumber, int collected, bool complete)
{
    if (rowNumber < 0 || rowNumber >= int(m_rows.size()))
        return;
    Row &row = m_rows[rowNumber];
    row.count = collected;
    row.complete = complete;
    const QModelIndex changed = index(rowNumber, ProgressColumn);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ProgressModel::addAlbum(const QString &title, int album, int albums)
{
    Row row;
    row.kind = Kind::Album;
    row.text = title;
    row.count = album;
    row.total = albums;
    append(row);
}

void ProgressModel::addPictures(const QList<PictureReport> &pictures, bool onlyNew)
{
    if (pictures.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(pictures.size()) - 1);
    for (const PictureReport &picture : pictures) {
        Row row;
        row.kind = Kind::Picture;
        row.onlyNew = onlyNew;
        row.picture = picture;
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
}

void ProgressModel::addStopped(const CollectionStop &stop)
{
    Row row;
    row.kind = Kind::Stopped;
    // Kept where an album's end keeps its report: a picture's row grows by nothing.
    auto report = std::make_shared<JobReport>();
    report->collectionStop = stop;
    row.report = std::move(report);
    append(row);
}

void ProgressModel::addFinished(const JobReport &report)
{
    Row row;
    row.kind = Kind::Finished;
    row.report = std::make_shared<const JobReport>(report);
    append(row);
}

void ProgressModel::addText(const QString &status, const QString &text, int icon)
{
    Row row;
    row.status = status;
    row.text = text;
    row.madeText = true;
    row.icon = quint8(qBound(0, icon, 255));
    append(row);
}

void ProgressModel::setText(int rowNumber, const QString &text)
{
    if (rowNumber < 0 || rowNumber >= int(m_rows.size()))
        return;
    Row &row = m_rows[rowNumber];
    row.text = text;
    row.madeText = true;
    const QModelIndex changed = index(rowNumber, ProgressColumn);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}
