#include "contentdecoder.h"

#include <zlib.h>

struct ContentDecoder::Stream {
    z_stream z{};
    QByteArray buffer; // one piece of output, reused
    ~Stream() { inflateEnd(&z); }
};

ContentDecoder::ContentDecoder(const QByteArray &encoding)
{
    const QByteArray name = encoding.trimmed().toLower();
    if (name.isEmpty() || name == "identity")
        return;
    if (name != "gzip" && name != "x-gzip" && name != "deflate") {
        m_supported = false;
        return;
    }
    m_stream = std::make_unique<Stream>();
    // 32 added to the window size: zlib reads a gzip or a zlib header,
    // whichever comes, as Qt does for both names.
    if (inflateInit2(&m_stream->z, MAX_WBITS + 32) != Z_OK)
        m_corrupt = true;
}

ContentDecoder::~ContentDecoder() = default;

bool ContentDecoder::decode(QByteArrayView bytes, const Sink &sink)
{
    if (!m_supported || m_corrupt)
        return false;
    if (bytes.isEmpty())
        return true;
    m_started = true;
    if (!m_stream)
        return sink(bytes);
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    if (m_stream->buffer.isEmpty())
        m_stream->buffer.resize(PieceBytes);
    char *buffer = m_stream->buffer.data();
    while (z.avail_in > 0) {
        // Several gzip members in a row make one body.
        if (m_ended) {
            if (inflateReset(&z) != Z_OK) {
                m_corrupt = true;
                return false;
            }
            m_ended = false;
        }
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = uInt(PieceBytes);
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                m_corrupt = true;
                return false;
            }
            const qsizetype produced = PieceBytes - qsizetype(z.avail_out);
            if (produced > 0 && !sink(QByteArrayView(buffer, produced)))
                return false;
            if (status == Z_STREAM_END) {
                m_ended = true;
                break;
            }
        } while (z.avail_out == 0);
        if (!m_ended)
            break; // all input taken; the stream goes on in the next chunk
    }
    return true;
}

bool ContentDecoder::isComplete() const
{
    if (!m_supported || m_corrupt)
        return false;
    return !m_stream || !m_started || m_ended;
}
