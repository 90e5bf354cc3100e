#pragma once

#include <QHash>
#include <QString>

#include <mutex>

// Which item of a run fetches each picture, and which pictures the run has
// saved. A picture page read on the transfer thread claims its picture here
// before the picture's request goes out, so a picture is never fetched twice
// and no request leaves while the run holds still; the run, on its own
// thread, reads the same claims to tell a repeat from the item that fetches
// the picture, and its placer marks what it saved.
class PictureClaims
{
public:
    // Takes `picture` for `index`, unless another item holds it, it was
    // saved, or the run sends nothing new.
    bool claim(const QString &picture, int index);
    // Takes `picture` for `index` whoever held it.
    void take(const QString &picture, int index);
    // True when an item other than `index` holds `picture`, or it was saved.
    bool heldByAnother(const QString &picture, int index) const;
    // The item holding `picture`, or -1 (also once it is saved).
    int holder(const QString &picture) const;
    // Frees `picture` if `index` holds it.
    void release(const QString &picture, int index);
    // `picture` is in the album: no item fetches it again.
    void markSaved(const QString &picture);
    bool saved(const QString &picture) const;
    void setOpen(bool open);
    // The pictures items hold, saved ones left out.
    QHash<QString, int> holders() const;

private:
    static constexpr int Saved = -2;
    mutable std::mutex m_mutex;
    QHash<QString, int> m_holders;
    bool m_open = true;
};
