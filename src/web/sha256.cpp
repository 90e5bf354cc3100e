#include "sha256.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cctype>

#include <openssl/evp.h>

Sha256Digest Sha256Digest::fromBytes(QByteArrayView bytes)
{
    Sha256Digest digest;
    if (bytes.size() != qsizetype(digest.m_bytes.size()))
        return digest;
    std::copy(bytes.begin(), bytes.end(), digest.m_bytes.begin());
    digest.m_state = State::Whole;
    return digest;
}

Sha256Digest Sha256Digest::fromHex(QByteArrayView hex)
{
    // Checked first: QByteArray::fromHex skips what is not a digit, so a
    // damaged text would read as some other digest.
    if (hex.isEmpty())
        return {};
    const bool digits = std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); });
    if (digits && hex.size() == 64)
        return fromBytes(QByteArray::fromHex(hex.toByteArray()));
    Sha256Digest damaged;
    damaged.m_state = State::Damaged;
    return damaged;
}

QByteArray Sha256Digest::toByteArray() const
{
    return m_state == State::Whole ? QByteArray(m_bytes.data(), qsizetype(m_bytes.size())) : QByteArray();
}

QByteArray Sha256Digest::toHex() const
{
    return m_state == State::Damaged ? QByteArrayLiteral("damaged") : toByteArray().toHex();
}

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

Sha256Digest Sha256::result()
{
    // A digest that could not be made is none: never one that looks right.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (m_failed || EVP_DigestFinal_ex(m_context.get(), digest, &size) != 1)
        size = 0;
    reset();
    return Sha256Digest::fromBytes(QByteArrayView(digest, qsizetype(size)));
}

Sha256Digest Sha256::ofFile(const QString &path)
{
    QFile in(path);
    Sha256 hash;
    return in.open(QIODevice::ReadOnly) && hash.addData(&in) ? hash.result() : Sha256Digest();
}
