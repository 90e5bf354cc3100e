#pragma once

#include "download/jobtypes.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

#include <deque>
#include <memory>

// The rows of a progress list, one per thing a job reported: the album's
// "Collecting" row with its counts, album header rows of a queue, a row per
// picture, the stop and end of an album. A row keeps what was reported, not
// the words; the texts the user reads are made when a view asks for them.
class ProgressModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { StatusColumn, ProgressColumn, ColumnCount };

    // `icons` by their row index; index 0 stands for no icon.
    explicit ProgressModel(const QList<QIcon> &icons, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void clear();
    // The row that counts the album's picture pages as they are collected;
    // returns its row.
    int addCollecting();
    // Collected so far, or all of them (`complete`), in the row of addCollecting().
    void setCollected(int row, int collected, bool complete);
    // One album of a queue of several: its title and place in the queue.
    void addAlbum(const QString &title, int album, int albums);
    // Pictures in the order they were reported; `onlyNew` marks a saved one as new.
    void addPictures(const QList<PictureReport> &pictures, bool onlyNew);
    void addStopped(const CollectionStop &stop);
    void addFinished(const JobReport &report);
    // A row whose progress text was made already.
    void addText(const QString &status, const QString &text, int icon);
    // Sets the progress text of `row`.
    void setText(int row, const QString &text);

    // The icon index of `row`, as the row was reported.
    int iconOf(int row) const;

private:
    enum class Kind : quint8 { Collecting, Album, Picture, Stopped, Finished, Text };
    struct Row {
        Kind kind = Kind::Text;
        bool onlyNew = false;
        bool complete = false;
        bool madeText = false; // `text` is the progress text, as given
        quint8 icon = 0; // a text row's icon
        int count = -1; // collected pictures; an album's place
        int total = 0;  // albums in the queue
        QString status; // a text row's status word
        QString text;   // album title, stop reason, or the text as given
        PictureReport picture;
        // How the album ended, for its end row: one per album.
        std::shared_ptr<const JobReport> report;
    };

    void append(Row row);
    QString statusText(const Row &row) const;
    QString progressText(const Row &row) const;

    QList<QIcon> m_icons;
    // Grows by blocks: an album of many thousand pictures never holds its
    // rows twice over while the list moves to a larger place.
    std::deque<Row> m_rows;
};
