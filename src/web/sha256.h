#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>

class QIODevice;
struct evp_md_ctx_st;

// A SHA-256 digest, held in place: a large album keeps one for every
// picture, and a QByteArray would give each a heap block of its own. A
// digest is none (isEmpty()), exactly 32 bytes, or damaged: read from a
// text that is not one, it matches no file, so a damaged record never
// vouches for a picture.
class Sha256Digest
{
public:
    Sha256Digest() = default;
    // None unless `bytes` is a whole digest.
    static Sha256Digest fromBytes(QByteArrayView bytes);
    // None for an empty text, damaged unless it is exactly 64 hex digits.
    static Sha256Digest fromHex(QByteArrayView hex);

    bool isEmpty() const { return m_state == State::None; }
    // Empty unless whole.
    QByteArray toByteArray() const;
    // A damaged digest writes a text that reads back as damaged.
    QByteArray toHex() const;
    friend bool operator==(const Sha256Digest &, const Sha256Digest &) = default;

private:
    enum class State : quint8 { None, Whole, Damaged };
    std::array<char, 32> m_bytes{};
    State m_state = State::None;
};

// SHA-256 on OpenSSL's implementation, which uses the processor's own SHA
// instructions where it has them: every picture is hashed as it arrives, and
// Qt's portable code took a quarter of the transfers' time.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void reset();
    void addData(QByteArrayView bytes);
    // Everything `device` still holds; false when a read failed.
    bool addData(QIODevice *device);
    // The digest of what was added since the last reset.
    Sha256Digest result();

    // The digest of the file at `path`; none when it cannot be read.
    static Sha256Digest ofFile(const QString &path);

private:
    struct Free {
        void operator()(evp_md_ctx_st *context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
    bool m_failed = false;
};
