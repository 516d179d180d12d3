// The search window: a captioned busy picture the technician cannot close.
#include "app/gui/SearchWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/gui/BusyAnimation.h"
#include "app/gui/Resources.h"

SearchWindow::SearchWindow(const QString& str, const QString& caption, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), clip(str)
{
    setWindowTitle(caption);
    setWindowIcon(res::icon(res::Icon::Unit));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    busy = new BusyAnimation;
    layout->addWidget(busy);
    setMinimumSize(240, 130);
}

void SearchWindow::closeEvent(QCloseEvent* event)
{
    // Only the identification ends it.
    event->ignore();
}

void SearchWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
