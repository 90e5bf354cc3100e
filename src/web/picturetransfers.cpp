#include "picturetransfers.h"

#include "cookiejar.h"
#include "curlnetwork.h"
#include "transferrequests.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QThread>

#include <mutex>

namespace {

// What ties a request on the transfer thread to its ticket on the caller's.
struct Link {
    std::mutex mutex;
    bool abandoned = false;     // the caller left, or heard its answer
    QPointer<QObject> ticket;   // made on the caller's thread; only copied elsewhere
    QObject *request = nullptr; // the running request, on the transfer thread
    std::shared_ptr<PartFile> part;
};

using LinkPtr = std::shared_ptr<Link>;

// Long enough for the transfer thread to abort its replies; it never waits
// on anything itself.
constexpr int StopWaitMs = 10000;

} // namespace

// A lane's place, held by one step while it runs: given up once, as the
// step ends where it runs, or when its requests go without an answer.
class LaneSeat
{
public:
    explicit LaneSeat(std::shared_ptr<TransferLane> lane) : m_lane(std::move(lane)) {}
    ~LaneSeat()
    {
        // Not from inside a request's destruction: the next begins later.
        if (m_lane)
            m_lane->ended(false);
    }
    LaneSeat(const LaneSeat &) = delete;
    LaneSeat &operator=(const LaneSeat &) = delete;

    void leave()
    {
        if (m_lane)
            std::exchange(m_lane, {})->ended(true);
    }

private:
    std::shared_ptr<TransferLane> m_lane;
};

using SeatPtr = std::shared_ptr<LaneSeat>;

TransferLane::TransferLane(PictureTransfers *owner, QObject *runner, int cap)
    : m_owner(owner)
    , m_runner(runner)
    , m_runnerIsOwner(runner == owner)
    , m_cap(qMax(1, cap))
{
}

void TransferLane::setCap(int cap)
{
    {
        const std::lock_guard lock(m_mutex);
        if (qMax(1, cap) == m_cap)
            return;
        m_cap = qMax(1, cap);
    }
    beginSoon();
}

void TransferLane::halt()
{
    const std::lock_guard lock(m_mutex);
    m_halted = true;
}

void TransferLane::goOn()
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_halted)
            return;
        m_halted = false;
    }
    beginSoon();
}

QList<int> TransferLane::takeBackWaiting()
{
    std::deque<Step> taken;
    {
        const std::lock_guard lock(m_mutex);
        taken.swap(m_waiting);
    }
    QList<int> keys;
    for (Step &step : taken) {
        keys << step.key;
        if (step.drop)
            step.drop();
    }
    return keys;
}

int TransferLane::running() const
{
    const std::lock_guard lock(m_mutex);
    return m_running;
}

int TransferLane::waiting() const
{
    const std::lock_guard lock(m_mutex);
    return int(m_waiting.size());
}

void TransferLane::ask(Step step)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(step));
    }
    beginSoon();
}

void TransferLane::ended(bool beginNext)
{
    {
        const std::lock_guard lock(m_mutex);
        --m_running;
    }
    if (beginNext)
        beginWhatFits();
    else
        beginSoon();
}

void TransferLane::beginSoon()
{
    // The owner guarantees the runner, and is read on its own thread; a
    // runner of its own thread lives while that thread runs.
    if ((m_runnerIsOwner || QThread::currentThread() != m_runner->thread()) && !m_owner)
        return;
    QMetaObject::invokeMethod(
            m_runner, [lane = weak_from_this()] {
                if (const std::shared_ptr<TransferLane> self = lane.lock())
                    self->beginWhatFits();
            },
            Qt::QueuedConnection);
}

void TransferLane::beginWhatFits()
{
    for (;;) {
        Step step;
        {
            const std::lock_guard lock(m_mutex);
            if (m_halted || m_running >= m_cap || m_waiting.empty())
                return;
            step = std::move(m_waiting.front());
            m_waiting.pop_front();
            ++m_running;
        }
        // The seat ends the step's turn, however the step ends.
        step.begin(std::make_shared<LaneSeat>(shared_from_this()));
    }
}

// The caller's side of one request: a child of its context, so destroying
// the context abandons the request.
class TransferTicket : public QObject
{
public:
    TransferTicket(QObject *context, PictureTransfers *owner)
        : QObject(context ? context : owner)
        , m_owner(owner)
        , link(std::make_shared<Link>())
    {
        link->ticket = this;
        owner->m_tickets.insert(this);
    }

    ~TransferTicket() override
    {
        abandon();
        if (m_owner)
            m_owner->m_tickets.remove(this);
    }

    // Nothing of the request happens any more: the part file is removed at
    // once, under the lock its writes take, and the request is deleted on
    // its own thread.
    void abandon()
    {
        const std::lock_guard lock(link->mutex);
        if (link->abandoned)
            return;
        link->abandoned = true;
        if (link->part)
            link->part->abandon();
        if (link->request)
            link->request->deleteLater();
    }

    void finishPage(const PageResult &page)
    {
        PageCallback done = std::move(pageDone);
        close();
        if (done)
            done(page);
    }

    void finishPicture(const DownloadResult &result)
    {
        DownloadCallback done = std::move(pictureDone);
        close();
        if (done)
            done(result);
    }

    void finishBoth(const PageResult &page, const std::optional<DownloadResult> &picture)
    {
        PictureTransfers::PageAndPictureCallback done = std::move(bothDone);
        close();
        if (done)
            done(page, picture);
    }

    // The transfer thread stopped under the request.
    void sessionClosed()
    {
        m_owner = nullptr;
        WebResult closed;
        closed.error = WebError::Aborted;
        closed.failure = {WebReason::SessionClosed};
        PageResult page;
        static_cast<WebResult &>(page) = closed;
        if (bothDone)
            return finishBoth(page, std::nullopt);
        if (pageDone)
            return finishPage(page);
        finishPicture(DownloadResult(closed));
    }

    void detachFromOwner() { m_owner = nullptr; }

private:
    // The callback may delete the context: detach first, delete later.
    void close()
    {
        abandon();
        setParent(nullptr);
        deleteLater();
    }

    QPointer<PictureTransfers> m_owner;

public:
    LinkPtr link;
    std::function<void(int)> throttled;
    PageCallback pageDone;
    DownloadCallback pictureDone;
    PictureTransfers::PageAndPictureCallback bothDone;
};

namespace {

// Runs `step` on the caller's thread with the ticket, unless the caller has
// left by then. `owner` outlives the transfer thread.
void toCaller(const LinkPtr &link, PictureTransfers *owner, std::function<void(TransferTicket *)> step)
{
    QPointer<QObject> ticket;
    {
        const std::lock_guard lock(link->mutex);
        if (link->abandoned)
            return;
        ticket = link->ticket;
    }
    QMetaObject::invokeMethod(
            owner,
            [ticket, step = std::move(step)] {
                if (ticket)
                    step(static_cast<TransferTicket *>(ticket.data()));
            },
            Qt::QueuedConnection);
}

// The options as the transfer thread uses them: the caller's `throttled`
// stays on its thread and is reached through the ticket.
RequestOptions onTransferThread(const RequestOptions &options, const LinkPtr &link, PictureTransfers *owner)
{
    RequestOptions out = options;
    out.throttled = {};
    if (options.throttled) {
        out.throttled = [link, owner](int retryAfterMs) {
            toCaller(link, owner, [retryAfterMs](TransferTicket *ticket) {
                if (ticket->throttled)
                    ticket->throttled(retryAfterMs);
            });
        };
    }
    return out;
}

} // namespace

// The transfer thread's cookies: the session's as the caller last passed
// them, plus those the site set here that the session has not taken in yet.
class FollowingCookieJar : public QNetworkCookieJar
{
public:
    FollowingCookieJar(PictureTransfers *owner, QObject *parent) : QNetworkCookieJar(parent), m_owner(owner) {}

    void follow(const QList<QNetworkCookie> &session, quint64 absorbed)
    {
        setAllCookies(session);
        while (!m_pending.isEmpty() && m_pending.first().batch <= absorbed)
            m_pending.removeFirst();
        for (const Pending &p : std::as_const(m_pending))
            QNetworkCookieJar::setCookiesFromUrl(p.cookies, p.url);
    }

    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override
    {
        const bool changed = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
        const quint64 batch = ++m_sent;
        m_pending.append({batch, cookies, url});
        PictureTransfers *owner = m_owner;
        QMetaObject::invokeMethod(
                owner, [owner, batch, cookies, url] { owner->absorb(batch, cookies, url); }, Qt::QueuedConnection);
        return changed;
    }

private:
    struct Pending {
        quint64 batch;
        QList<QNetworkCookie> cookies;
        QUrl url;
    };
    PictureTransfers *m_owner;
    QList<Pending> m_pending;
    quint64 m_sent = 0;
};

// Lives on the transfer thread: its network manager and the requests on it.
class TransferHost : public QObject
{
public:
    explicit TransferHost(PictureTransfers *owner) : m_owner(owner) {}

    // The session's cookies as they were at the caller's `turn`: a request
    // that waited in a lane brings older ones than the last, which are kept.
    void follow(const QList<QNetworkCookie> &cookies, quint64 absorbed, quint64 turn)
    {
        if (!m_network) {
            // Made here, so that it and its replies belong to this thread.
            m_network = new CurlNetworkManager(this);
            m_jar = new FollowingCookieJar(m_owner, nullptr);
            m_network->setCookieJar(m_jar);
        }
        if (turn < m_turn)
            return;
        m_turn = turn;
        m_jar->follow(cookies, absorbed);
    }

    QNetworkAccessManager *network() const { return m_network; }

    // Starts `request` unless its caller has left meanwhile.
    void start(const LinkPtr &link, WebTransfer *request, std::shared_ptr<PartFile> part = {})
    {
        {
            const std::lock_guard lock(link->mutex);
            if (link->abandoned) {
                delete request;
                return;
            }
            link->request = request;
            link->part = std::move(part);
        }
        // A link may carry a page's request and then its picture's: only the
        // running one is forgotten.
        connect(request, &QObject::destroyed, [link, request] {
            const std::lock_guard lock(link->mutex);
            if (link->request == request)
                link->request = nullptr;
        });
        request->start();
    }

    // The request has delivered and deletes itself: abandoning the link
    // later need not ask for that from another thread.
    static void delivered(const LinkPtr &link)
    {
        const std::lock_guard lock(link->mutex);
        link->request = nullptr;
    }

private:
    PictureTransfers *m_owner;
    QNetworkAccessManager *m_network = nullptr;
    FollowingCookieJar *m_jar = nullptr;
    quint64 m_turn = 0;
};

PictureTransfers::PictureTransfers(QNetworkAccessManager *session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{
    // Only a jar whose cookies can be read whole can be followed.
    if (!session || !dynamic_cast<PersistentCookieJar *>(session->cookieJar()))
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("PictureTransfers"));
    m_host = new TransferHost(this);
    m_host->moveToThread(m_thread);
    m_thread->start();
}

PictureTransfers::~PictureTransfers()
{
    if (m_thread) {
        // The host takes its manager, and every request on it, along.
        QMetaObject::invokeMethod(
                m_host,
                [host = m_host] {
                    delete host;
                    QThread::currentThread()->quit();
                },
                Qt::QueuedConnection);
        if (m_thread->wait(QDeadlineTimer(StopWaitMs)))
            delete m_thread;
        else
            qWarning("The picture transfer thread did not stop; it is left to the end of the process.");
    }
    // Each request still waiting hears once that the session closed, as it
    // would from the free functions.
    for (TransferTicket *ticket : std::as_const(m_tickets)) {
        ticket->detachFromOwner();
        QMetaObject::invokeMethod(ticket, [ticket] { ticket->sessionClosed(); }, Qt::QueuedConnection);
    }
}

PictureTransfers *PictureTransfers::forSession(QNetworkAccessManager *session)
{
    if (auto *found = session->findChild<PictureTransfers *>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    return new PictureTransfers(session, session);
}

TransferTicket *PictureTransfers::ticketFor(QObject *context, const RequestOptions &options)
{
    auto *ticket = new TransferTicket(context, this);
    ticket->throttled = options.throttled;
    return ticket;
}

void PictureTransfers::absorb(quint64 batch, const QList<QNetworkCookie> &cookies, const QUrl &url)
{
    if (m_session && m_session->cookieJar())
        m_session->cookieJar()->setCookiesFromUrl(cookies, url);
    m_absorbed = batch;
}

namespace {

const PersistentCookieJar *followedJar(QNetworkAccessManager *session)
{
    return session ? dynamic_cast<const PersistentCookieJar *>(session->cookieJar()) : nullptr;
}

// Runs `start` on the transfer thread once its jar follows the session's.
// The cookies as they are now travel with it: one set in the session's jar
// before the call is sent with the request.
void startThere(TransferHost *host, const PersistentCookieJar &jar, quint64 absorbed, quint64 turn,
                std::function<void()> start)
{
    auto run = [host, cookies = jar.storedCookies(), absorbed, turn, start = std::move(start)] {
        host->follow(cookies, absorbed, turn);
        start();
    };
    QMetaObject::invokeMethod(host, std::move(run), Qt::QueuedConnection);
}

// What a picture's request hands back on the transfer thread: the part file
// checked, then named on the caller's thread just before it hears of it.
auto pictureChecked(const LinkPtr &link, PictureTransfers *owner,
                    std::function<void(TransferTicket *, const DownloadResult &)> finish, SeatPtr seat = {})
{
    return [link, owner, finish = std::move(finish), seat](const DownloadResult &result,
                                                           const std::shared_ptr<PartFile> &part) {
        TransferHost::delivered(link);
        if (!result.ok())
            part->discard();
        toCaller(link, owner, [result, part, finish](TransferTicket *ticket) {
            finish(ticket, placeStaged(result, *part));
        });
        if (seat)
            seat->leave();
    };
}

} // namespace

void PictureTransfers::fetchPage(const QString &charset, const QString &address, QObject *context,
                                 PageCallback done, const RequestOptions &options)
{
    const PersistentCookieJar *jar = followedJar(m_session);
    if (!m_thread || !jar)
        return ::fetchPage(m_session, charset, address, context, std::move(done), options);
    TransferTicket *ticket = ticketFor(context, options);
    ticket->pageDone = std::move(done);
    const LinkPtr link = ticket->link;
    PictureTransfers *owner = this;
    startThere(m_host, *jar, m_absorbed, ++m_cookieTurn,
               [host = m_host, link, owner, charset, address, options = onTransferThread(options, link, this)] {
                   auto answered = [link, owner](const PageResult &page) {
                       TransferHost::delivered(link);
                       toCaller(link, owner, [page](TransferTicket *ticket) { ticket->finishPage(page); });
                   };
                   host->start(link, new PageRequest(host->network(), address, charset, QString(), answered,
                                                     options, nullptr));
               });
}

void PictureTransfers::downloadPicture(const QString &address, const QString &filePath, QObject *context,
                                       DownloadCallback done, const RequestOptions &options)
{
    const PersistentCookieJar *jar = followedJar(m_session);
    if (!m_thread || !jar)
        return ::downloadPicture(m_session, address, filePath, context, std::move(done), options);
    TransferTicket *ticket = ticketFor(context, options);
    ticket->pictureDone = std::move(done);
    const LinkPtr link = ticket->link;
    PictureTransfers *owner = this;
    startThere(m_host, *jar, m_absorbed, ++m_cookieTurn,
               [host = m_host, link, owner, address, filePath, options = onTransferThread(options, link, this)] {
                   auto checked = pictureChecked(link, owner, [](TransferTicket *ticket, const DownloadResult &r) {
                       ticket->finishPicture(r);
                   });
                   auto *request = new PictureRequest(host->network(), address, filePath, checked, options, nullptr);
                   host->start(link, request, request->part());
               });
}

std::shared_ptr<TransferLane> PictureTransfers::lane(int cap)
{
    QObject *runner = m_thread ? static_cast<QObject *>(m_host) : this;
    return std::shared_ptr<TransferLane>(new TransferLane(this, runner, cap));
}

void PictureTransfers::fetchPageAndPicture(const QString &page, const QString &filePath, PictureOfPage pictureOf,
                                           QObject *context, PageAndPictureCallback done,
                                           const RequestOptions &options, const std::shared_ptr<TransferLane> &lane,
                                           int key)
{
    const PersistentCookieJar *jar = followedJar(m_session);
    if (!m_thread || !jar) {
        // The same two steps on the caller's thread; a page's answer comes
        // only while `context` lives.
        auto begin = [session = m_session, context = QPointer<QObject>(context), page, filePath,
                      pictureOf = std::move(pictureOf), done = std::move(done), options](SeatPtr seat) {
            if (!context)
                return;
            auto answered = [session, context, filePath, pictureOf, done, options, seat](const PageResult &result) {
                const QString picture = pictureOf(result);
                if (picture.isEmpty()) {
                    if (seat)
                        seat->leave();
                    return done(result, std::nullopt);
                }
                ::downloadPicture(session, picture, filePath, context,
                                  [result, done, seat](const DownloadResult &fetched) {
                                      if (seat)
                                          seat->leave();
                                      done(result, fetched);
                                  },
                                  options);
            };
            ::fetchPage(session, QStringLiteral("UTF-8"), page, context, std::move(answered), options);
        };
        if (lane)
            return lane->ask({key, std::move(begin), {}});
        return begin(nullptr);
    }
    TransferTicket *ticket = ticketFor(context, options);
    ticket->bothDone = std::move(done);
    const LinkPtr link = ticket->link;
    PictureTransfers *owner = this;
    auto begin = [host = m_host, link, owner, page, filePath, pictureOf = std::move(pictureOf),
                  options = onTransferThread(options, link, this), cookies = jar->storedCookies(),
                  absorbed = m_absorbed, turn = ++m_cookieTurn](SeatPtr seat) {
        host->follow(cookies, absorbed, turn);
        auto answered = [host, link, owner, filePath, pictureOf, options, seat](const PageResult &result) {
            TransferHost::delivered(link);
            const QString picture = pictureOf(result);
            if (picture.isEmpty()) {
                toCaller(link, owner, [result](TransferTicket *ticket) { ticket->finishBoth(result, std::nullopt); });
                if (seat)
                    seat->leave();
                return;
            }
            auto checked = pictureChecked(
                    link, owner,
                    [result](TransferTicket *ticket, const DownloadResult &r) { ticket->finishBoth(result, r); }, seat);
            auto *request = new PictureRequest(host->network(), picture, filePath, checked, options, nullptr);
            host->start(link, request, request->part());
        };
        host->start(link, new PageRequest(host->network(), page, QStringLiteral("UTF-8"), QString(), answered,
                                          options, nullptr));
    };
    if (lane)
        return lane->ask({key, std::move(begin), [ticket = QPointer<TransferTicket>(ticket)] { delete ticket.data(); }});
    QMetaObject::invokeMethod(m_host, [begin = std::move(begin)] { begin(nullptr); }, Qt::QueuedConnection);
}
