// The string table, the icon resources and path display names.
#include "app/gui/Resources.h"

#include <QCoreApplication>
#include <QWidget>

namespace res {

QString aboutMenuEntry()
{
    return QCoreApplication::translate("Resources", "&About unitflash...");
}

QString sheetCaption()
{
    return QCoreApplication::translate("Resources", "KvUnitflash");
}

QString techSupportText()
{
    return QCoreApplication::translate(
        "Resources",
        "Your Unit has a version prior to 1.090\n"
        "Please send it to customer service to be upgraded.\n"
        "You can contact your local technical assistance representative\n"
        "at one of following phone numbers:\n\n"
        "North America\t\t+1 555 010 2040\n"
        "Latin America\t\t+1 555 010 2041\n"
        "Europe\t\t\t+44 20 7946 0840\n"
        "Asia Pacific\t\t+61 2 5550 1840\n");
}

QString downgradeWarningText()
{
    return QCoreApplication::translate(
        "Resources",
        "Your unit has a Version newer than that of the loader files. \n"
        " If you want to force a downgrade in versions, click on the downgrade button, "
        "else you may abort and exit the loader utility.");
}

QString loaderVersion()
{
    return QCoreApplication::translate("Resources", "Loader Version 1.000");
}

QIcon icon(Icon which)
{
    const char* name = "empty";
    switch (which) {
    case Icon::Unit: name = "unit"; break;
    case Icon::Empty: name = "empty"; break;
    case Icon::RedLight: name = "red"; break;
    case Icon::YellowLight: name = "yellow"; break;
    case Icon::GreenLight: name = "green"; break;
    case Icon::FailedLight: name = "failed"; break;
    case Icon::CheckMark: name = "check"; break;
    }
    // QIcon picks name@2x.png by itself on a high-density screen.
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}

void makeBold(QWidget* widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

}  // namespace res

QString displayName(const QString& path)
{
    for (int i = 0; i < path.size(); ++i)
        if (path[i] == QLatin1Char('\\') || path[i] == QLatin1Char('/'))
            return path.mid(i + 1);
    return path;
}
