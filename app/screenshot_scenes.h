// Scenes of the screenshot program that open a window of the cube design
// commands or of the summaries over the workbench: the dimension-map editor
// on a real-time cube with a composite dimension, and the formula editor of a
// calculated summary. Each gives a null image when its window did not open.
#pragma once

#include <QImage>
#include <functional>
#include <initializer_list>
#include <string>

class QWidget;

namespace qd {

class TCubeDesignForm;

//! The window with the popups and dialogs over it, where they stand.
QImage Compose(QWidget& form, std::initializer_list<QWidget*> above);

//! Runs `open`, which shows a modal dialog, and draws the window with the
//! dialog over it while it is open; a null image when no dialog opened.
QImage ModalScene(QWidget& form, const std::function<void()>& open);

//! "设计Cube" on the real-time cube `definition` of the catalog, with its first
//! row dimension (a composite one) selected, its parts open and its
//! properties in the panel.
QImage MapEditorScene(TCubeDesignForm& form, const std::string& definition);

//! Adds the calculated summary `name` with `formula` to the grid, as the
//! summaries dialog does, and shows the formula editor on it.
QImage FormulaScene(TCubeDesignForm& form, const std::string& name, const std::string& formula);

//! The shown cube compared with an earlier state of itself, a few of its
//! facts 10 % lower or higher: the changed cells coloured, the summary in
//! the status bar.
QImage CompareScene(TCubeDesignForm& form);

}  // namespace qd
