#include "pictureclaims.h"

bool PictureClaims::claim(const QString &picture, int index)
{
    const std::lock_guard lock(m_mutex);
    if (!m_open || m_holders.contains(picture))
        return false;
    m_holders.insert(picture, index);
    return true;
}

void PictureClaims::take(const QString &picture, int index)
{
    const std::lock_guard lock(m_mutex);
    m_holders.insert(picture, index);
}

bool PictureClaims::heldByAnother(const QString &picture, int index) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_holders.constFind(picture);
    return it != m_holders.cend() && *it != index;
}

int PictureClaims::holder(const QString &picture) const
{
    const std::lock_guard lock(m_mutex);
    const int index = m_holders.value(picture, -1);
    return index == Saved ? -1 : index;
}

void PictureClaims::release(const QString &picture, int index)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_holders.find(picture); it != m_holders.end() && *it == index)
        m_holders.erase(it);
}

void PictureClaims::markSaved(const QString &picture)
{
    const std::lock_guard lock(m_mutex);
    m_holders.insert(picture, Saved);
}

bool PictureClaims::saved(const QString &picture) const
{
    const std::lock_guard lock(m_mutex);
    return m_holders.value(picture, -1) == Saved;
}

void PictureClaims::setOpen(bool open)
{
    const std::lock_guard lock(m_mutex);
    m_open = open;
}

QHash<QString, int> PictureClaims::holders() const
{
    const std::lock_guard lock(m_mutex);
    QHash<QString, int> held = m_holders;
    held.removeIf([](const auto &it) { return it.value() == Saved; });
    return held;
}
