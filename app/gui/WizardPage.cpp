// The pages' shared helpers.
#include "app/gui/WizardPage.h"

#include <QLabel>

QLabel* WizardPage::wrapped(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}
