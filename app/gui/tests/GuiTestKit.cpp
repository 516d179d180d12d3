// The wizard's test kit.
#include "app/gui/tests/GuiTestKit.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWizard>

#include "app/gui/TextDialogs.h"

int ScriptedRunner::answer(QDialog& dialog)
{
    ShownDialog record{QString::fromLatin1(dialog.metaObject()->className()), dialog.windowTitle(), QString()};
    if (auto* text = qobject_cast<TextDialog*>(&dialog))
        record.text = text->text();
    else if (auto* box = qobject_cast<QMessageBox*>(&dialog))
        record.text = box->text();
    shown.push_back(record);
    QCoreApplication::processEvents();
    if (!answers.empty()) {
        const Answer scripted = answers.front();
        answers.erase(answers.begin());
        return scripted(dialog);
    }
    if (auto* box = qobject_cast<QMessageBox*>(&dialog))
        return (box->standardButtons() & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    return QDialog::Accepted;
}

void ScriptedRunner::open(QDialog& dialog)
{
    dialog.show();
    QPointer<QDialog> shownDialog(&dialog);
    QTimer::singleShot(0, &dialog, [this, shownDialog] {
        if (shownDialog)
            shownDialog->done(answer(*shownDialog));
    });
}

int ScriptedRunner::run(QDialog& dialog)
{
    dialog.show();
    const int result = answer(dialog);
    dialog.hide();
    return result;
}

QStringList visibleTexts(const QWidget& widget)
{
    QStringList out{widget.windowTitle()};
    for (const QLabel* l : widget.findChildren<QLabel*>())
        out << l->text();
    for (const QAbstractButton* b : widget.findChildren<QAbstractButton*>())
        out << b->text();
    for (const QGroupBox* g : widget.findChildren<QGroupBox*>())
        out << g->title();
    for (const QListWidget* list : widget.findChildren<QListWidget*>())
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    if (const auto* wizard = qobject_cast<const QWizard*>(&widget); wizard && wizard->currentPage())
        out << wizard->currentPage()->title();
    return out;
}

bool showsText(const QWidget& widget, const QString& text)
{
    for (const QString& t : visibleTexts(widget))
        if (t.contains(text))
            return true;
    return false;
}

void saveScreenshot(QWidget& widget, const QString& name, const QString& keyText)
{
    const QString dir = QStringLiteral(SCREENSHOT_DIR "/") + QGuiApplication::platformName();
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    const QPixmap picture = widget.grab();
    QVERIFY2(!picture.isNull() && picture.width() > 50 && picture.height() > 30, qPrintable(name));
    const QImage image = picture.toImage();
    // Non-empty: more than one colour in the picture.
    bool varied = false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != first;
    QVERIFY2(varied, qPrintable(name + " is blank"));
    QVERIFY2(showsText(widget, keyText), qPrintable(name + " lacks \"" + keyText + "\""));
    QVERIFY(picture.save(dir + "/" + name + ".png"));
}

bool clickWhenEnabled(QWizard& wizard, int which, int timeoutMs)
{
    QAbstractButton* b = wizard.button(static_cast<QWizard::WizardButton>(which));
    if (!QTest::qWaitFor([&] { return b->isVisible() && b->isEnabled(); }, timeoutMs))
        return false;
    b->click();
    return true;
}

bool walkToFinishPage(QWizard& wizard, int timeoutMs)
{
    for (int page = 0; page < 4; ++page)
        if (!clickWhenEnabled(wizard, QWizard::NextButton, timeoutMs))
            return false;
    return wizard.currentId() == 4;
}
