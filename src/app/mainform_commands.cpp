// The commands on a running job (pause, continue, stop), the window's side
// of an expired login, and the progress bar in the status bar.
#include "mainform.h"

#include "platform/browserpane.h"
#include "progress/progresstexts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

void MainForm::createJobCommands()
{
    Pro->addSeparator();
    PauseDown = Pro->addAction(tr("暂停下载"));
    PauseDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    ResumeDown = Pro->addAction(tr("继续下载"));
    ResumeDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    StopDown = Pro->addAction(tr("停止下载"));
    StopDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(PauseDown, &QAction::triggered, this, &MainForm::PauseDown_Click);
    connect(ResumeDown, &QAction::triggered, this, &MainForm::ResumeDown_Click);
    connect(StopDown, &QAction::triggered, this, &MainForm::StopDown_Click);

    for (QTreeView *list : {ListView1, ListView2}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
            auto *menu = new QMenu(list);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addActions({PauseDown, ResumeDown, StopDown});
            menu->popup(list->viewport()->mapToGlobal(at));
        });
    }

    // Below the fixed form, so it covers none of its controls.
    JobProgress = new QProgressBar(this);
    JobProgress->setObjectName(QStringLiteral("JobProgress"));
    JobProgress->setAccessibleName(tr("下载进度"));
    JobProgress->setMinimumWidth(360);
    JobProgress->setTextVisible(true);
    JobProgress->hide();
    statusBar()->addPermanentWidget(JobProgress);
    statusBar()->setSizeGripEnabled(false);
    updateJobCommands();
}

void MainForm::updateJobCommands()
{
    // Asked of the queue: it alone knows whether it can pause, go on or stop.
    PauseDown->setEnabled(m_queue && m_queue->canPause());
    ResumeDown->setEnabled(m_queue && m_queue->canResume());
    StopDown->setEnabled(m_queue && m_queue->canStop());
}

void MainForm::PauseDown_Click()
{
    if (m_queue)
        m_queue->pause();
}

void MainForm::ResumeDown_Click()
{
    if (m_queue)
        m_queue->resume();
}

void MainForm::StopDown_Click()
{
    if (!m_queue || !m_queue->canStop())
        return;
    // The album's end (and the message) may come from inside stop().
    const QPointer<MainForm> self(this);
    m_queue->stop();
    if (self)
        updateJobCommands();
}

QLabel *MainForm::statusLabel() const
{
    return JobSource() == qint16(::JobSource::BrowserPane) ? Label1 : lblstate;
}

void MainForm::onJobPaused(HaltReason reason, const QString &loginPage)
{
    m_estimate.pause(m_clock.elapsed());
    // Rows waiting for the next frame would put the count back on the label.
    flushRows();
    updateJobCommands();
    updateProgressBar();
    if (!statusLabel()->text().isEmpty() && statusLabel()->text() != ProgressText::pausedText(reason))
        m_runningStatus = statusLabel()->text();
    statusLabel()->setText(ProgressText::pausedText(reason));
    if (reason != HaltReason::LoginExpired)
        return;
    // The list gives way to the browsing tab's pane, where the user logs in
    // again; it shows what the site answered.
    ListView1->hide();
    SSTab1->setCurrentIndex(0);
    if (WebBrowser1->locationUrl() != loginPage && !loginPage.isEmpty())
        WebBrowser1->navigate(loginPage);
    // Shown from the event loop: the job is inside its own call still.
    QTimer::singleShot(0, this, [this] {
        if (m_queue && m_queue->pausedBy() == HaltReason::LoginExpired)
            information(ProgressText::pausedText(HaltReason::LoginExpired));
    });
}

void MainForm::onJobResumed()
{
    m_estimate.resume(m_clock.elapsed());
    updateJobCommands();
    updateProgressBar();
    statusLabel()->setText(m_runningStatus);
    if (JobSource() == qint16(::JobSource::BrowserPane)) {
        ListView1->show();
    } else {
        SSTab1->setCurrentIndex(1);
    }
}

void MainForm::resetProgressBar()
{
    if (!m_clock.isValid())
        m_clock.start();
    m_estimate.reset(0, m_clock.elapsed());
    m_runningStatus.clear();
    // Busy until the album's first pictures are collected.
    JobProgress->setRange(0, 0);
    JobProgress->setValue(0);
    JobProgress->show();
    updateProgressBar();
}

void MainForm::updateProgressBar()
{
    if (!m_queue) {
        JobProgress->hide();
        return;
    }
    ProgressText::BarState bar;
    bar.done = m_estimate.done();
    bar.total = m_estimate.total();
    bar.album = m_queue->currentIndex() + 1;
    bar.albums = m_queue->count();
    bar.perSecond = m_estimate.rate();
    bar.remainingMs = m_estimate.remainingMs();
    bar.paused = m_queue->isPaused();
    bar.collecting = albumJob() && albumJob()->state() == DownloadJob::State::Collecting;
    // The text first: a screen reader told of the new value reads it.
    JobProgress->setFormat(ProgressText::progressBarText(bar));
    JobProgress->setToolTip(JobProgress->format());
    // While collecting, of the pictures collected so far: its value moves
    // with the pictures done, and a screen reader hears of that.
    if (bar.total > 0) {
        JobProgress->setRange(0, bar.total);
        JobProgress->setValue(qMin(bar.done, bar.total));
    }
}
