#include "pictures.h"

#include "seed.h"

#include <httplib.h>

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <memory>
#include <mutex>

#include <zlib.h>

namespace {

// FNV-1a: stable across runs, unlike qHash.
quint32 stableHash(const QString &text)
{
    quint32 hash = 2166136261u;
    for (const char byte : text.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}

int sideOrDefault(int side, int fallback)
{
    return side > 0 ? side : fallback;
}

QSize pictureSize(const QString &id, int width, int height)
{
    const quint32 hash = stableHash(id);
    return QSize(sideOrDefault(width, 64 + int(hash % 64)), sideOrDefault(height, 48 + int((hash >> 8) % 48)));
}

// Packs variable-width codes least significant bit first, as GIF wants them.
class BitWriter
{
public:
    void write(int code, int width)
    {
        m_buffer |= quint32(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.append(char(m_buffer & 0xff));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_bytes.append(char(m_buffer & 0xff));
        m_buffer = 0;
        m_bits = 0;
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_buffer = 0;
    int m_bits = 0;
};

void appendLe16(QByteArray &out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

} // namespace

QByteArray encodeGif(int width, int height, const QList<QRgb> &palette, const QByteArray &indices)
{
    QByteArray out("GIF89a");
    appendLe16(out, width);
    appendLe16(out, height);
    out.append(char(0xf7)); // global colour table of 256 entries, 8 bits per primary
    out.append('\0');       // background colour index
    out.append('\0');       // square pixels
    for (int i = 0; i < 256; ++i) {
        const QRgb colour = i < palette.size() ? palette.at(i) : 0;
        out.append(char(qRed(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qBlue(colour)));
    }
    out.append(char(0x2c));
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, width);
    appendLe16(out, height);
    out.append('\0'); // no local colour table, not interlaced

    // Literal codes only, with a clear code often enough that the decoder's
    // table never outgrows 9-bit codes: valid LZW without a compressor.
    constexpr int MinCodeSize = 8;
    constexpr int ClearCode = 1 << MinCodeSize;
    constexpr int EndCode = ClearCode + 1;
    constexpr int CodesPerClear = 128;
    BitWriter bits;
    for (qsizetype i = 0; i < indices.size(); ++i) {
        if (i % CodesPerClear == 0)
            bits.write(ClearCode, MinCodeSize + 1);
        bits.write(quint8(indices.at(i)), MinCodeSize + 1);
    }
    bits.write(EndCode, MinCodeSize + 1);
    const QByteArray data = bits.finish();

    out.append(char(MinCodeSize));
    for (qsizetype pos = 0; pos < data.size(); pos += 255) {
        const QByteArray block = data.mid(pos, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append('\0');
    out.append(char(0x3b));
    return out;
}

QByteArray jpegPicture(const QString &id, int width, int height)
{
    const QSize size = pictureSize(id, width, height);
    const quint32 hash = stableHash(id);
    QImage image(size, QImage::Format_RGB32);
    const QColor base = QColor::fromHsv(int(hash % 360), 120 + int((hash >> 9) % 100), 200);
    image.fill(base);
    {
        QPainter painter(&image);
        // Bands that encode the hash so that two ids never look alike.
        const int bands = 16;
        const qreal bandWidth = qreal(size.width()) / bands;
        for (int i = 0; i < bands; ++i) {
            if (hash & (1u << i))
                painter.fillRect(QRectF(i * bandWidth, 0, bandWidth, size.height() / 2.0), base.darker(160));
        }
        // A second row from the id's length and last digits; no text, since
        // fonts need a GUI application.
        const quint32 second = quint32(id.size()) * 2654435761u ^ (hash >> 16);
        for (int i = 0; i < bands; ++i) {
            if (second & (1u << i))
                painter.fillRect(QRectF(i * bandWidth, size.height() / 2.0, bandWidth, size.height() / 2.0),
                                 base.lighter(140));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

QByteArray gifPicture(const QString &id, int width, int height)
{
    const QSize size = pictureSize(id, width, height);
    const quint32 hash = stableHash(id);
    QList<QRgb> palette;
    palette.reserve(256);
    for (int i = 0; i < 256; ++i)
        palette.append(QColor::fromHsv(int((hash + quint32(i) * 7) % 360), 160, 64 + i % 192).rgb());
    QByteArray indices(qsizetype(size.width()) * size.height(), Qt::Uninitialized);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            indices[qsizetype(y) * size.width() + x] = char((x / 4 + y / 4 + hash) & 0xff);
    }
    return encodeGif(size.width(), size.height(), palette, indices);
}

QString PictureStore::key(const QString &albumId, const QString &pictureId, const QString &file)
{
    return albumId + u'/' + pictureId + u'/' + file;
}

QByteArray compressed(const QByteArray &bytes, bool gzip)
{
    z_stream stream{};
    // 16 added to the window size asks zlib for a gzip header and trailer.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, MAX_WBITS + (gzip ? 16 : 0), 8, Z_DEFAULT_STRATEGY)
        != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

QByteArray gzipBomb(const QByteArray &head, char fill, qint64 inflatedBytes)
{
    static std::mutex lock;
    static QHash<QByteArray, QByteArray> made;
    const QByteArray key = head + '/' + fill + '/' + QByteArray::number(inflatedBytes);
    std::lock_guard guard(lock);
    if (const auto found = made.constFind(key); found != made.cend())
        return *found;

    constexpr qint64 MemberBytes = 1024 * 1024;
    QByteArray bomb = compressed(head, true);
    qint64 left = qMax<qint64>(0, inflatedBytes - head.size());
    const QByteArray fullMember = compressed(QByteArray(qsizetype(qMin(left, MemberBytes)), fill), true);
    for (; left >= MemberBytes; left -= MemberBytes)
        bomb += fullMember;
    if (left > 0)
        bomb += compressed(QByteArray(qsizetype(left), fill), true);
    made.insert(key, bomb);
    return bomb;
}

std::function<bool(size_t offset, size_t length, httplib::DataSink &sink)>
trickleProvider(std::string bytes, int everyMs, std::function<bool(int ms)> wait, int step)
{
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    return [shared, everyMs, wait, step](size_t offset, size_t, httplib::DataSink &sink) {
        if (offset >= shared->size()
            || !sink.write(shared->data() + offset, std::min(size_t(step), shared->size() - offset)))
            return false;
        return wait(everyMs);
    };
}

void PictureStore::generate(const Seed &seed)
{
    for (const SeedMember &member : seed.members) {
        for (const SeedAlbum &album : member.albums) {
            for (const SeedPicture &picture : album.pictures)
                add(album.id, picture);
        }
    }
}

void PictureStore::add(const QString &albumId, const SeedPicture &picture)
{
    if (picture.hasJpg()) {
        QByteArray jpg = jpegPicture(picture.id, picture.width, picture.height);
        // Bytes after the end-of-image marker, which decoders ignore.
        const qsizetype padded = qsizetype(picture.padKb) * 1024;
        if (jpg.size() < padded)
            jpg.append(padded - jpg.size(), '\x5A');
        m_files.insert(key(albumId, picture.id, picture.jpgFile()), jpg);
    }
    if (picture.hasGif())
        m_files.insert(key(albumId, picture.id, picture.gifFile()), gifPicture(picture.id, picture.width, picture.height));
}

QByteArray PictureStore::bytes(const QString &albumId, const QString &pictureId, const QString &file) const
{
    return m_files.value(key(albumId, pictureId, file));
}
