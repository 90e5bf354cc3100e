// The metadata layer against exiv2 itself: what is written into a picture or
// a sidecar is read back with exiv2, and the picture still decodes.
#include "metadata/picturemetadata.h"
#include "metadataread.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray jpegBytes()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

// A 1x1 GIF89a: Qt reads GIF but cannot write it.
const QByteArray GifBytes = QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c00000000"
                                                "010001000002024401003b");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString Album = QStringLiteral("春游, 2024 \"西湖\"");
const QString Source = QStringLiteral("http://127.0.0.1/photo/1/photo-2");

} // namespace

class TestMetadata : public QObject
{
    Q_OBJECT
private slots:
    void jpegCarriesCaptionEverywhere_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("ascii");
        QTest::newRow("Chinese, a quote, outside the first plane")
            << QStringLiteral("他说 \"你好\" 😀") << false;
        QTest::newRow("plain ASCII with markup characters") << QStringLiteral("Spring \"trip\" & <fun>") << true;
        QTest::newRow("no caption") << QString() << false;
    }
    void jpegCarriesCaptionEverywhere()
    {
        QFETCH(QString, caption);
        QFETCH(bool, ascii);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.jpg");
        QVERIFY(writeFile(path, jpegBytes()));
        QVERIFY(Metadata::canEmbed(path));

        const Metadata::Result result = Metadata::embed(path, {caption, Album, Source, {}});
        QVERIFY2(result.ok(), qPrintable(result.detail));

        const ReadMetadata back = readMetadata(path);
        QVERIFY2(back.read, qPrintable(back.error));
        QCOMPARE(back.description, caption);
        QCOMPARE(back.subject, QStringList{Album});
        QCOMPARE(back.source, Source);
        QCOMPARE(back.hasUserComment, !caption.isEmpty());
        if (!caption.isEmpty()) {
            QCOMPARE(back.userCommentCharset, QByteArray("UNICODE\0", 8));
            QCOMPARE(back.userComment, caption);
            QCOMPARE(back.iptcCaption, caption);
            QCOMPARE(back.iptcCharset, QByteArray("\x1b%G"));
        }
        QCOMPARE(back.hasImageDescription, ascii);
        if (ascii)
            QCOMPARE(back.imageDescription, caption);

        QImageReader reader(path);
        const QImage decoded = reader.read();
        QVERIFY2(!decoded.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(decoded.size(), QSize(40, 30));

        // Written twice (a picture saved again): still one album keyword.
        QVERIFY(Metadata::embed(path, {caption, Album, Source, {}}).ok());
        QCOMPARE(readMetadata(path).subject, QStringList{Album});
    }

    void sidecarsAndWhatCannotBeWritten_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<bool>("sidecarThere"); // a file of the sidecar's name exists already
        QTest::addColumn<int>("embedded");      // Metadata::Result::Error of embed()
        QTest::addColumn<int>("sidecar");       // ... of writeSidecar()
        using E = Metadata::Result::Error;
        QTest::newRow("GIF: no embedding, a sidecar") << GifBytes << false << int(E::NotWritable) << int(E::None);
        QTest::newRow("sidecar of someone else's") << GifBytes << true << int(E::NotWritable) << int(E::SidecarExists);
        QTest::newRow("a JPEG cut short") << jpegBytes().left(60) << false << int(E::Unreadable) << int(E::None);
        QTest::newRow("not a picture") << QByteArray("<html></html>") << false << int(E::NotWritable) << int(E::None);
    }
    void sidecarsAndWhatCannotBeWritten()
    {
        QFETCH(QByteArray, picture);
        QFETCH(bool, sidecarThere);
        QFETCH(int, embedded);
        QFETCH(int, sidecar);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.gif");
        const QString side = dir.filePath(Metadata::sidecarName("p.gif"));
        QCOMPARE(side, dir.filePath("p.gif.xmp"));
        QVERIFY(writeFile(path, picture));
        if (sidecarThere)
            QVERIFY(writeFile(side, "mine"));
        const QString caption = QStringLiteral("动图 \"一\"");

        const Metadata::Result inPlace = Metadata::embed(path, {caption, Album, Source, {}});
        QCOMPARE(int(inPlace.error), embedded);
        QVERIFY(!inPlace.detail.isEmpty());
        QCOMPARE(fileBytes(path), picture);

        const Metadata::Result beside = Metadata::writeSidecar(side, {caption, Album, Source, {}});
        QCOMPARE(int(beside.error), sidecar);
        if (sidecarThere) {
            QCOMPARE(fileBytes(side), QByteArray("mine"));
            return;
        }
        const ReadMetadata back = readMetadata(side);
        QVERIFY2(back.read, qPrintable(back.error));
        QCOMPARE(back.description, caption);
        QCOMPARE(back.subject, QStringList{Album});
        QCOMPARE(back.source, Source);
    }

    void failuresComeBackAsValues()
    {
        QTemporaryDir dir;
        const QDateTime date = QDateTime::fromString(QStringLiteral("2021-03-04T05:06:07Z"), Qt::ISODate);
        const Metadata::Description d{QStringLiteral("x"), Album, Source, date};
        QCOMPARE(Metadata::setFileDate(dir.filePath("gone.jpg"), date).error, Metadata::Result::Error::Unreadable);
        QCOMPARE(Metadata::embed(dir.filePath("missing.jpg"), d).error, Metadata::Result::Error::NotWritable);
        const Metadata::Result noFolder = Metadata::writeSidecar(dir.filePath("none/p.jpg.xmp"), d);
        QCOMPARE(noFolder.error, Metadata::Result::Error::WriteFailed);
        QVERIFY(!QFileInfo::exists(dir.filePath("none")));
    }
};

QTEST_GUILESS_MAIN(TestMetadata)
#include "tst_metadata.moc"
