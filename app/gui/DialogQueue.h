// The main window's dialogs, one at a time: each waits until the one before
// it has been answered, and none runs a nested event loop.
#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>

class DialogRunner;
class QDialog;

// GUI thread only. Owns the dialogs it is given until they are answered.
class DialogQueue : public QObject {
    Q_OBJECT
public:
    using Then = std::function<void(int result)>;

    DialogQueue(DialogRunner& runner, QObject* parent = nullptr);
    ~DialogQueue() override;

    // Shows dialog once every dialog queued before it has been answered,
    // then calls then (when given) with its result.
    void enqueue(QDialog* dialog, Then then = {});
    // True while a dialog is on screen or waiting.
    bool busy() const { return current != nullptr || !waiting.empty(); }
    // The dialog on screen, or null.
    QDialog* showing() const { return current; }

private:
    struct Entry {
        QPointer<QDialog> dialog;
        Then then;
    };
    void showNext();

    DialogRunner& runner;
    std::deque<Entry> waiting;
    QPointer<QDialog> current;
};
