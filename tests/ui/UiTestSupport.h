#pragma once

// Stand-ins for the operator at the program's seams: message boxes that
// record what they show and answer as told, file dialogs that return the
// path the operator would have chosen.

#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"

#include <QString>

#include <deque>
#include <vector>

namespace orx::test {

class RecordedBoxes : public ui::MessageBoxes
{
public:
    std::vector<ui::MessageRequest> shown;
    std::deque<QMessageBox::StandardButton> answers; // Ok once they run out
    QMessageBox::StandardButton show(QWidget*, const ui::MessageRequest& r) override
    {
        shown.push_back(r);
        if (answers.empty())
            return QMessageBox::Ok;
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& r : shown)
            t << r.text;
        return t;
    }
};

class ScriptedDialogs : public ui::FileDialogs
{
public:
    QString nextPath; // empty: the operator cancels
    std::vector<ui::FileDialogRequest> asked;
    QString getSaveFileName(QWidget*, const ui::FileDialogRequest& r) override
    {
        asked.push_back(r);
        return nextPath;
    }
    QString getOpenFileName(QWidget*, const ui::FileDialogRequest& r) override
    {
        asked.push_back(r);
        return nextPath;
    }
};

} // namespace orx::test
