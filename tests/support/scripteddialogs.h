#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

// Answers the program's dialogs for a test and remembers what was shown.
class ScriptedDialogs : public Dialogs
{
public:
    struct Message {
        QString title;
        QString text;
    };

    ScriptedDialogs() { setDialogs(this); }
    ~ScriptedDialogs() override { setDialogs(nullptr); }

    void information(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({title, text});
        if (onInformation)
            onInformation();
    }
    bool question(QWidget *, const QString &title, const QString &text) override
    {
        questions.append({title, text});
        return answerYes;
    }
    int choose(QWidget *, const QString &title, const QString &text, const QStringList &answers,
               int defaultAnswer) override
    {
        choices.append({title, text});
        choiceAnswers.append(answers);
        const int answer = chooseAnswers.isEmpty() ? defaultAnswer : chooseAnswers.takeFirst();
        return answer >= 0 && answer < answers.size() ? answer : defaultAnswer;
    }
    QString chooseFolder(QWidget *, const QString &title) override
    {
        folderDialogTitles << title;
        return folderAnswer;
    }
    bool openUrl(const QUrl &url) override
    {
        opened << url;
        return openSucceeds;
    }

    QString lastText() const { return messages.isEmpty() ? QString() : messages.constLast().text; }
    QStringList texts() const
    {
        QStringList out;
        for (const Message &m : messages)
            out << m.text;
        return out;
    }

    QList<Message> messages;
    QList<Message> questions;
    QStringList folderDialogTitles;
    QList<QUrl> opened;
    // Questions with several answers, the answers offered, and the index
    // each one is to get in turn (the question's default once used up).
    QList<Message> choices;
    QList<QStringList> choiceAnswers;
    QList<int> chooseAnswers;
    // Called after each information box, e.g. to end an event loop.
    std::function<void()> onInformation;
    bool answerYes = false;
    QString folderAnswer;
    bool openSucceeds = true;
};
