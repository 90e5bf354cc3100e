#pragma once

#include <QByteArray>

#include <memory>

// Undoes a Content-Encoding of gzip or deflate as the body arrives, and tells
// whether the compressed stream was complete. Qt would decompress by itself,
// but it then counts the decompressed bytes and cannot tell a cut stream
// from a whole one, so this layer asks for the encoding and decodes here.
class ContentDecoder
{
public:
    // `encoding` is the Content-Encoding header; empty or "identity" passes
    // the bytes through.
    explicit ContentDecoder(const QByteArray &encoding);
    ~ContentDecoder();

    // False for an encoding this decoder cannot undo.
    bool isSupported() const { return m_supported; }
    // Appends the decoded bytes to `out`; false once the stream is corrupt.
    bool decode(const QByteArray &bytes, QByteArray *out);
    // True when nothing is missing: the compressed stream reached its end,
    // or the body was not compressed, or no byte came at all.
    bool isComplete() const;

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_supported = true;
    bool m_corrupt = false;
    bool m_ended = false;
    bool m_started = false;
};
