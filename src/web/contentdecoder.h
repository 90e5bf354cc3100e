#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

// Undoes a Content-Encoding of gzip or deflate as the body arrives, and tells
// whether the compressed stream was complete. Qt would decompress by itself,
// but it then counts the decompressed bytes and cannot tell a cut stream
// from a whole one, so this layer asks for the encoding and decodes here.
class ContentDecoder
{
public:
    // Takes one piece of decoded body; false stops the decoding.
    using Sink = std::function<bool(QByteArrayView piece)>;

    // `encoding` is the Content-Encoding header; empty or "identity" passes
    // the bytes through.
    explicit ContentDecoder(const QByteArray &encoding);
    ~ContentDecoder();

    // False for an encoding this decoder cannot undo.
    bool isSupported() const { return m_supported; }
    // Hands the decoded bytes to `sink` in pieces of at most PieceBytes
    // (undecoded bytes as they are), so that a small body which inflates to
    // gigabytes is never held whole. False once the stream is corrupt or
    // the sink said stop.
    bool decode(QByteArrayView bytes, const Sink &sink);
    // True when nothing is missing: the compressed stream reached its end,
    // or the body was not compressed, or no byte came at all.
    bool isComplete() const;

    static constexpr qsizetype PieceBytes = 64 * 1024;

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_supported = true;
    bool m_corrupt = false;
    bool m_ended = false;
    bool m_started = false;
};
