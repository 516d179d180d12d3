// One dialog at a time, opened without a nested event loop.
#include "app/gui/DialogQueue.h"

#include <QDialog>

#include "app/gui/DialogRunner.h"

DialogQueue::DialogQueue(DialogRunner& runner, QObject* parent) : QObject(parent), runner(runner) {}

DialogQueue::~DialogQueue()
{
    for (Entry& e : waiting)
        delete e.dialog.data();
    delete current.data();
}

void DialogQueue::enqueue(QDialog* dialog, Then then)
{
    waiting.push_back({dialog, std::move(then)});
    if (current == nullptr)
        showNext();
}

void DialogQueue::showNext()
{
    while (current == nullptr && !waiting.empty()) {
        Entry next = std::move(waiting.front());
        waiting.pop_front();
        if (next.dialog == nullptr)
            continue;  // went with its parent window
        current = next.dialog;
        connect(current, &QDialog::finished, this, [this, dialog = current, then = std::move(next.then)](int result) {
            dialog->deleteLater();
            current = nullptr;
            // The answer may end the program or queue another dialog; the
            // next waiting one shows after it.
            if (then)
                then(result);
            showNext();
        });
        runner.open(*current);
    }
}
