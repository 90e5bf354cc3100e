#include "sha256.h"

#include <QFile>
#include <QIODevice>

#include <openssl/evp.h>

void Sha256::Free::operator()(evp_md_ctx_st *context) const
{
    EVP_MD_CTX_free(context);
}

Sha256::Sha256()
    : m_context(EVP_MD_CTX_new())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    m_failed = !m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1;
}

void Sha256::addData(QByteArrayView bytes)
{
    if (!m_failed && !bytes.isEmpty())
        m_failed = EVP_DigestUpdate(m_context.get(), bytes.data(), size_t(bytes.size())) != 1;
}

bool Sha256::addData(QIODevice *device)
{
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = device->read(buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        addData(QByteArrayView(buffer, n));
    }
}

QByteArray Sha256::result()
{
    // A digest that could not be made is none: never one that looks right.
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    if (m_failed || EVP_DigestFinal_ex(m_context.get(), reinterpret_cast<unsigned char *>(digest.data()), &size) != 1)
        size = 0;
    digest.resize(size);
    reset();
    return digest;
}

QByteArray Sha256::ofFile(const QString &path)
{
    QFile in(path);
    Sha256 hash;
    return in.open(QIODevice::ReadOnly) && hash.addData(&in) ? hash.result() : QByteArray();
}
