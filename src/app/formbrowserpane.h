#pragma once

#include "platform/browserpane.h"

// The window's browser panes as its form creates them: with a parent alone,
// on the program's one profile.
class FormBrowserPane : public BrowserPane
{
public:
    explicit FormBrowserPane(QWidget *parent = nullptr)
        : BrowserPane(BrowserProfile::instance(), parent)
    {
    }
};
