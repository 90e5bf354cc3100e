#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QIODevice;
struct evp_md_ctx_st;

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
    QByteArray result();

    // The digest of the file at `path`; empty when it cannot be read.
    static QByteArray ofFile(const QString &path);

private:
    struct Free {
        void operator()(evp_md_ctx_st *context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
    bool m_failed = false;
};
