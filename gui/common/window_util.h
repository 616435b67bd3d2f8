// SPDX-License-Identifier: GPL-3.0-or-later
// Small things the windows share: showing a secondary window, texts from the data files.
#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <string_view>

class QLineEdit;
class QListWidget;
class QComboBox;
class QScreen;
class QTableView;
class QWidget;

namespace kelvarn {

// The program's font, 11 pixels high: a sans serif with the metrics of the one the windows'
// pixel sizes were made for, or another sans serif where that one is missing.
QFont programFont();

// Shows a modeless secondary window centred over `owner` the first time, and brings it forward
// when it is already shown.
void showCentredOver(QWidget* window, const QWidget* owner);

// What a window's frame adds to its size: as framed by the window system once known, before
// that the height of a title bar.
QSize frameExtra(const QWidget* window);

// Moves a top-level window so that its frame stands centred on `centre`, but within the
// available area of `screen` as far as it fits.
void moveOnScreen(QWidget* window, QPoint centre, const QScreen* screen);

// Gives a new control the object name by which it is found (tests find controls so).
template <typename Control>
Control* named(Control* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// `text` as a tooltip that shows it as it stands. Qt reads any tooltip that looks like HTML as
// HTML and has no plain-text switch for tooltips, so the text goes in escaped, its spaces and
// line breaks kept.
QString plainToolTip(const QString& text);

// Qt's own dialogs (file and folder choosers, their questions) in Russian, as the program is;
// without the translations installed they stay in English.
void loadQtTranslations();

// Windows-1251 bytes as text for the screen.
QString fromCp1251(std::string_view bytes);

// Screen text as Windows-1251 bytes; a character without a byte becomes "?".
std::string toCp1251(const QString& text);

// A list of tick boxes, white on black: the tick boxes are framed in grey, which an empty one
// needs to show on black. Disabled items keep the palette's grey text.
void setUpDarkCheckList(QListWidget* list);

// An edit field on a black window: white on black in a grey frame, which turns white while the
// field has the focus, so it shows as a field either way.
void setUpDarkEditBox(QLineEdit* box);

// The grids' common ground: no row numbers, rows 16 pixels high, whole rows selected, nothing
// edited in place.
void setUpGridView(QTableView* grid);

// The drop-down of the fifteen style names in code order, in bold italic, as the record editor
// and the manual entry show it; the item index is the style code.
QComboBox* styleList(QWidget* parent);

// The look shared by the secondary windows: a black top-level window with only the buttons
// named, optionally above the others and drawn at `opacity` of 255.
void setUpSecondaryWindow(QWidget* window, const QString& caption, bool stayOnTop, int opacity,
                          bool minimizeButton = false);

// A modal dialog or box comes up above every window of the program, those kept above the others
// included: beneath one, its buttons could not be reached.
void keepAboveProgramWindows(QWidget* dialog);

// The smaller font of the secondary windows' texts.
void useSmallFont(QWidget* window);

// A view's text colour on its background.
void setTextColours(QWidget* view, const QColor& base, const QColor& text);

// The about, help and statistics windows: one view of a fixed size, made as the window's child,
// fills a secondary window (opaque, above the others) edge to edge, in the small font.
void setUpSingleViewWindow(QWidget* window, const QString& caption, bool minimizeButton,
                           QWidget* view);

}  // namespace kelvarn
