// The program's resources: its string table, its icons and the display name
// of a path.
#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace res {

// String resources (the wizard's caption, page 1's version line, the
// technical-support text, the version warning and the About line).
QString aboutMenuEntry();      // "&About unitflash..."
QString sheetCaption();        // "KvUnitflash"
QString techSupportText();     // "Your Unit has a version prior to 1.090 ..."
QString downgradeWarningText();  // "Your unit has a Version newer than ..."
QString loaderVersion();       // "Loader Version 1.000"

// Icons, drawn by the build into PNG resources (with @2x variants for
// high-density screens).
enum class Icon {
    Unit,         // the handheld: window and About icon
    Empty,        // row not used
    RedLight,     // step listed, not yet reached
    YellowLight,  // step in progress
    GreenLight,   // step done
    FailedLight,  // the step the upgrade failed in
    CheckMark,    // placeholder of the layout
};
QIcon icon(Icon which);
// The size the icons are drawn at (device-independent pixels).
constexpr int kIconSize = 32;

// Shows widget's text in bold.
void makeBold(QWidget* widget);

}  // namespace res

// What the progress window shows of a path: the part after its first
// separator ("\" or "/"), or the whole path when it has none.
QString displayName(const QString& path);
